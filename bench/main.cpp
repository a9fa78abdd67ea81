// moxeld_bench: transfer speed, memory and idle wake-ups of two MOXELD peers, side by side with a
// blocking reference pair. Run without arguments for the full table; see README.md.
#include "Benchmark.h"
#include "BenchPeer.h"
#include "ReferencePeer.h"
#include "TApplication.h"
#include "TMainForm.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include <sched.h>
#include <sys/prctl.h>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

int Usage()
{
    std::fputs("usage: moxeld_bench [--quick] [--size MIB] [--rows 1,2,3,4,5,5/1] [--repeat N]\n"
               "                    [--idle-seconds N] [--cores own|same|free] [--dir DIR]\n"
               "       moxeld_bench --largest [--level N] [--cores own|same|free] [--dir DIR]\n",
               stderr);
    return 2;
}

// Keeps this process and every thread it starts on one CPU; -1 leaves it to the scheduler.
void PinToCpu(int cpu)
{
    if (cpu < 0)
        return;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    sched_setaffinity(0, sizeof set, &set);
}

// The roles the benchmark starts itself in: peer receive|send LEVEL PATH CPU, peer idle,
// reference receive|send LEVEL PATH CPU.
int RunRole(int argc, char** argv)
{
    const QByteArray kind = argv[1];
    const QByteArray role = argc > 2 ? argv[2] : "";
    const int level = argc > 3 ? std::atoi(argv[3]) : 0;
    const QString path = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QString();
    PinToCpu(argc > 5 ? std::atoi(argv[5]) : -1);
    // A peer left alone by an interrupted benchmark would wait for its partner for ever.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (kind == "reference") {
        if (role == "receive")
            return ReferencePeer::RunReceiver(level, path);
        if (role == "send")
            return ReferencePeer::RunSender(level, path);
        return Usage();
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication application(argc, argv);
    TMainForm MainForm;
    MainForm.show();
    BenchPeer peer(MainForm);
    QTimer::singleShot(0, &peer, [&] {
        if (role == "receive")
            peer.StartReceiver(level, path);
        else if (role == "send")
            peer.StartSender(level, path);
        else
            peer.StartIdle();
    });
    return application.exec();
}

bool ParseRows(const QString& text, QList<Benchmark::Row>* rows)
{
    rows->clear();
    for (const QString& item : text.split(',', Qt::SkipEmptyParts)) {
        const QStringList levels = item.split('/');
        bool senderOk = false;
        bool receiverOk = false;
        const int sender = levels.value(0).toInt(&senderOk);
        const int receiver = levels.size() > 1 ? levels.value(1).toInt(&receiverOk) : sender;
        if (levels.size() == 1)
            receiverOk = senderOk;
        if (!senderOk || !receiverOk || sender < 1 || sender > 5 || receiver < 1 || receiver > 5 || levels.size() > 2)
            return false;
        rows->append({sender, receiver});
    }
    return !rows->isEmpty();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && (std::strcmp(argv[1], "peer") == 0 || std::strcmp(argv[1], "reference") == 0))
        return RunRole(argc, argv);

    QCoreApplication application(argc, argv);
    Benchmark::Options options;
    options.Directory = QDir::tempPath();
    ParseRows(QStringLiteral("1,2,3,4,5,5/1"), &options.Rows);
    bool largest = false;
    const QStringList arguments = application.arguments().mid(1);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const QString value = arguments.value(i + 1);
        bool ok = true;
        if (argument == QLatin1String("--quick")) {
            options.FileBytes = 16 * 1024 * 1024;
            options.Repeat = 1;
            options.IdleSeconds = 1;
        } else if (argument == QLatin1String("--largest")) {
            largest = true;
        } else if (argument == QLatin1String("--size")) {
            options.FileBytes = int64_t(value.toDouble(&ok) * 1024 * 1024);
            ok = ok && options.FileBytes > 0 && options.FileBytes < (int64_t{1} << 31);
            ++i;
        } else if (argument == QLatin1String("--rows")) {
            ok = ParseRows(value, &options.Rows);
            ++i;
        } else if (argument == QLatin1String("--repeat")) {
            options.Repeat = value.toInt(&ok);
            ok = ok && options.Repeat >= 1 && options.Repeat <= 25;
            ++i;
        } else if (argument == QLatin1String("--idle-seconds")) {
            options.IdleSeconds = value.toInt(&ok);
            ok = ok && options.IdleSeconds > 0 && options.IdleSeconds <= 600;
            ++i;
        } else if (argument == QLatin1String("--level")) {
            options.BigLevel = value.toInt(&ok);
            ok = ok && options.BigLevel >= 1 && options.BigLevel <= 5;
            ++i;
        } else if (argument == QLatin1String("--cores")) {
            if (value == QLatin1String("own"))
                options.Cores = Benchmark::Placement::OwnCores;
            else if (value == QLatin1String("same"))
                options.Cores = Benchmark::Placement::SameCore;
            else if (value == QLatin1String("free"))
                options.Cores = Benchmark::Placement::Free;
            else
                ok = false;
            ++i;
        } else if (argument == QLatin1String("--dir")) {
            options.Directory = value;
            ok = !value.isEmpty();
            ++i;
        } else {
            ok = false;
        }
        if (!ok)
            return Usage();
    }
    Benchmark benchmark(options);
    return largest ? benchmark.RunLargest() : benchmark.RunTable();
}
