// Sends a file from a sending side to a receiving side in this process through a relay that delays
// every byte by the same time in each direction, and prints the throughput of the data phase. With one
// block per request, each block costs a round trip: block size / (2 x delay) is the ceiling.
#include "ReceivingSide.h"
#include "ScriptedView.h"
#include "SendingSide.h"
#include "SpeedLevels.h"
#include "TClientSocket.h"
#include "TServerSocket.h"
#include "TcpRelay.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <memory>

namespace {
struct Side {
    TransferState State;
    TransferSettings Settings;
    ScriptedView View;
};

bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

// Bytes that make a run last a few seconds at the expected speed.
qint64 FileSizeFor(int delayMs, int blockSize)
{
    if (delayMs == 0)
        return 64LL * 1024 * 1024;
    const qint64 blocksPerSecond = 1000 / (2 * delayMs);
    return std::max<qint64>(64 * 1024, 3 * blocksPerSecond * blockSize);
}

// Megabytes (10^6) per second of the data phase, or a negative number when the transfer failed.
double Run(int delayMs, int level, const QString& folder)
{
    Side sender;
    Side receiver;
    ApplySpeedLevel(sender.Settings, level);
    ApplySpeedLevel(receiver.Settings, level);
    TClientSocket cs;
    TServerSocket ss;
    SendingSide sending(sender.State, sender.Settings, cs, sender.View);
    ReceivingSide receiving(receiver.State, receiver.Settings, ss, receiver.View);

    ss.setPort(0);
    ss.Open();
    receiver.View.ReceiveButton = QStringLiteral("Sto&p");
    TcpRelay relay;
    relay.Upstream.DelayMs = delayMs;
    relay.Downstream.DelayMs = delayMs;
    if (!relay.Listen(TransferPort, ss.Socket().LocalPort()))
        return -1;
    sender.View.Address = QStringLiteral("127.0.0.1");
    sending.Button5Click();
    if (!WaitFor([&] { return sender.State.Connected && receiver.State.Connected; }, 10000))
        return -1;

    const qint64 size = FileSizeFor(delayMs, sender.Settings.BlockSize);
    const QString source = folder + "/source.bin";
    {
        QFile file(source);
        if (!file.open(QIODevice::WriteOnly))
            return -1;
        QByteArray chunk(1024 * 1024, Qt::Uninitialized);
        QRandomGenerator generator(42);
        for (qint64 written = 0; written < size; written += chunk.size()) {
            generator.fillRange(reinterpret_cast<quint32*>(chunk.data()), chunk.size() / 4);
            file.write(chunk.constData(), std::min<qint64>(chunk.size(), size - written));
        }
    }
    sender.View.FilesToSend.enqueue(source);
    receiver.View.Answers.enqueue(true);
    receiver.View.SavePaths.enqueue(folder + "/target.bin");
    sending.Button2Click();

    if (!WaitFor([&] { return receiver.State.Transferring; }, 10000))
        return -1;
    QElapsedTimer clock;
    clock.start();
    if (!WaitFor([&] { return receiver.View.LastNotice() == QLatin1String("Transfer completed !"); }, 120000))
        return -1;
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (QFileInfo(folder + "/target.bin").size() != size)
        return -1;
    return size / seconds / 1e6;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    std::printf("Throughput of the data phase through a relay on loopback (MB/s, 10^6 bytes)\n");
    std::printf("%-20s %6s %10s %24s\n", "delay per direction", "level", "MB/s", "ceiling block/(2 delay)");
    for (int delayMs : {0, 1, 5, 20}) {
        for (int level : {3, 5}) {
            const double rate = Run(delayMs, level, folder.path());
            const int block = SpeedLevelRow(level).BlockSize;
            char ceiling[32] = "-";
            if (delayMs > 0)
                std::snprintf(ceiling, sizeof ceiling, "%.3f", block / (2.0 * delayMs / 1000.0) / 1e6);
            const QByteArray delay = QByteArray::number(delayMs) + " ms";
            if (rate < 0)
                std::printf("%-20s %6d %10s %24s\n", delay.constData(), level, "failed", ceiling);
            else
                std::printf("%-20s %6d %10.3f %24s\n", delay.constData(), level, rate, ceiling);
            std::fflush(stdout);
        }
    }
    return 0;
}
