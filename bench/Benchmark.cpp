#include "Benchmark.h"

#include "PeerProcess.h"
#include "ProcessStats.h"
#include "ScratchFolder.h"
#include "SpeedLevels.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QThread>

#include <sched.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int64_t kMiB = 1024 * 1024;
constexpr int64_t kFullFileBytes = 256 * kMiB;
constexpr double kGiB = 1024.0 * 1024 * 1024;
constexpr int kStartTimeoutMs = 60000;

QString LevelArgument(int level)
{
    return QString::number(level);
}

QString RowName(const Benchmark::Row& row)
{
    if (row.SenderLevel == row.ReceiverLevel)
        return QString::number(row.SenderLevel);
    return QStringLiteral("%1/%2").arg(row.SenderLevel).arg(row.ReceiverLevel);
}

QString RowSizes(const Benchmark::Row& row)
{
    return QStringLiteral("%1/%2")
        .arg(SpeedLevelRow(row.SenderLevel).BlockSize)
        .arg(SpeedLevelRow(row.ReceiverLevel).ReceiveBufferSize);
}

double MegabytesPerSecond(const PeerResult& receiver)
{
    return double(receiver.Bytes) / receiver.Seconds() / 1e6;
}

double CpuPerGiB(const PeerResult& peer)
{
    return peer.CpuSeconds / (double(peer.Bytes) / kGiB);
}

double PeakMB(const PeerResult& peer)
{
    return double(peer.PeakKiB) * 1024 / 1e6;
}

// Long enough for the slowest row at 1 MB/s, so a stalled transfer still ends.
int TransferTimeoutMs(int64_t bytes)
{
    return int(std::min<int64_t>(60000 + bytes / 1000, 3'600'000));
}

void Print(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Context switches of a process per second, over seconds of doing nothing.
double WakeUpsPerSecond(pid_t pid, int seconds)
{
    const long before = ProcessStats::ContextSwitches(pid);
    QThread::sleep(static_cast<unsigned long>(seconds));
    const long after = ProcessStats::ContextSwitches(pid);
    if (before < 0 || after < 0)
        return -1;
    return double(after - before) / seconds;
}

// The CPUs this process may run on, in order.
QList<int> AllowedCpus()
{
    QList<int> cpus;
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &set))
                cpus.append(cpu);
        }
    }
    return cpus;
}

} // namespace

Benchmark::Benchmark(Options options) : m_options(std::move(options))
{
}

int Benchmark::SenderCpu() const
{
    const QList<int> cpus = AllowedCpus();
    if (m_options.Cores == Placement::Free || cpus.size() < (m_options.Cores == Placement::OwnCores ? 2 : 1))
        return -1;
    return cpus[0];
}

int Benchmark::ReceiverCpu() const
{
    const QList<int> cpus = AllowedCpus();
    if (m_options.Cores == Placement::Free || cpus.size() < (m_options.Cores == Placement::OwnCores ? 2 : 1))
        return -1;
    return m_options.Cores == Placement::OwnCores ? cpus[1] : cpus[0];
}

QString Benchmark::PlacementText() const
{
    if (SenderCpu() < 0)
        return QStringLiteral("peers placed by the scheduler");
    if (SenderCpu() == ReceiverCpu())
        return QStringLiteral("both peers on CPU %1").arg(SenderCpu());
    return QStringLiteral("sender on CPU %1, receiver on CPU %2").arg(SenderCpu()).arg(ReceiverCpu());
}

Benchmark::PairRun Benchmark::RunPair(bool reference, const Row& row, const QString& file, ScratchFolder& folder)
{
    PairRun run;
    const QString kind = reference ? QStringLiteral("reference") : QStringLiteral("peer");
    const QString saved = folder.FilePath(QStringLiteral("saved.bin"));
    const QString receiverErrors = folder.FilePath(QStringLiteral("receiver.stderr"));
    const QString senderErrors = folder.FilePath(QStringLiteral("sender.stderr"));
    PeerProcess receiver({kind, QStringLiteral("receive"), LevelArgument(row.ReceiverLevel), saved,
                          QString::number(ReceiverCpu())},
                         receiverErrors);
    if (receiver.WaitForLine("listening", kStartTimeoutMs) != "listening") {
        run.Error = QStringLiteral("receiver did not listen: ") + receiver.Transcript();
        return run;
    }
    PeerProcess sender({kind, QStringLiteral("send"), LevelArgument(row.SenderLevel), file, QString::number(SenderCpu())},
                       senderErrors);
    const int64_t size = QFileInfo(file).size();
    const int timeout = TransferTimeoutMs(size);
    const QByteArray receiverLine = receiver.WaitForLine("result", timeout);
    const QByteArray senderLine = sender.WaitForLine("result", timeout);
    const int receiverCode = receiver.Finish(10000);
    const int senderCode = sender.Finish(10000);
    if (!run.Receiver.FromLine(receiverLine) || receiverCode != 0)
        run.Error = QStringLiteral("receiver failed: ") + receiver.Transcript();
    else if (!run.Sender.FromLine(senderLine) || senderCode != 0)
        run.Error = QStringLiteral("sender failed: ") + sender.Transcript();
    else if (run.Receiver.Bytes != size)
        run.Error = QStringLiteral("receiver counted %1 bytes of %2").arg(run.Receiver.Bytes).arg(size);
    else if (QString why; !TestFiles::SameContents(file, saved, &why))
        run.Error = QStringLiteral("received file differs: ") + why;
    else
        run.Ok = true;
    QFile::remove(saved);
    QFile::remove(receiverErrors);
    QFile::remove(senderErrors);
    return run;
}

Benchmark::IdleFigures Benchmark::MeasureIdle(ScratchFolder& folder)
{
    IdleFigures figures;
    const int seconds = m_options.IdleSeconds;
    const auto settle = [] { QThread::msleep(1000); };

    PeerProcess receiver({QStringLiteral("peer"), QStringLiteral("idle")}, folder.FilePath(QStringLiteral("idle-a.stderr")));
    if (receiver.WaitForLine("ready", kStartTimeoutMs) != "ready") {
        figures.Error = QStringLiteral("idle window did not start: ") + receiver.Transcript();
        return figures;
    }
    settle();
    figures.Idle = WakeUpsPerSecond(receiver.Pid(), seconds);

    receiver.Send("receive");
    if (receiver.WaitForLine("ok", kStartTimeoutMs) != "ok") {
        figures.Error = QStringLiteral("idle window could not listen: ") + receiver.Transcript();
        return figures;
    }
    settle();
    figures.Listening = WakeUpsPerSecond(receiver.Pid(), seconds);

    PeerProcess sender({QStringLiteral("peer"), QStringLiteral("idle")}, folder.FilePath(QStringLiteral("idle-b.stderr")));
    if (sender.WaitForLine("ready", kStartTimeoutMs) != "ready") {
        figures.Error = QStringLiteral("second window did not start: ") + sender.Transcript();
        return figures;
    }
    sender.Send("connect");
    receiver.Send("wait-connected");
    if (sender.WaitForLine("connected", kStartTimeoutMs) != "connected"
        || receiver.WaitForLine("connected", kStartTimeoutMs) != "connected") {
        figures.Error = QStringLiteral("windows did not connect: ") + sender.Transcript() + ' ' + receiver.Transcript();
        return figures;
    }
    settle();
    const long receiverBefore = ProcessStats::ContextSwitches(receiver.Pid());
    figures.ConnectedSender = WakeUpsPerSecond(sender.Pid(), seconds);
    figures.ConnectedReceiver = double(ProcessStats::ContextSwitches(receiver.Pid()) - receiverBefore) / seconds;

    // Once a file has gone through, nothing of the transfer may keep ticking.
    const QString file = folder.FilePath(QStringLiteral("idle-file.bin"));
    const QString saved = folder.FilePath(QStringLiteral("idle-saved.bin"));
    TestFiles::MakeRandom(file, 4 * kMiB + 1, 7);
    receiver.Send("accept " + saved.toLocal8Bit());
    receiver.WaitForLine("ok", kStartTimeoutMs);
    sender.Send("send " + file.toLocal8Bit());
    if (sender.WaitForLine("done", kStartTimeoutMs) != "done" || receiver.WaitForLine("done", kStartTimeoutMs) != "done") {
        figures.Error = QStringLiteral("transfer between idle windows failed: ") + sender.Transcript() + ' '
            + receiver.Transcript();
        return figures;
    }
    QString why;
    if (!TestFiles::SameContents(file, saved, &why)) {
        figures.Error = QStringLiteral("file between idle windows differs: ") + why;
        return figures;
    }
    QFile::remove(file);
    QFile::remove(saved);
    settle();
    const long receiverAfter = ProcessStats::ContextSwitches(receiver.Pid());
    figures.AfterSender = WakeUpsPerSecond(sender.Pid(), seconds);
    figures.AfterReceiver = double(ProcessStats::ContextSwitches(receiver.Pid()) - receiverAfter) / seconds;

    sender.Send("quit");
    receiver.Send("quit");
    sender.Finish(10000);
    receiver.Finish(10000);
    figures.Ok = true;
    return figures;
}

bool Benchmark::RunRow(const Row& row, const QString& file, ScratchFolder& folder, PairRun* ours,
                       PairRun* reference, double* peakMB)
{
    // The fastest run of each kind: slow spells of the machine only ever take speed away.
    const auto fastest = [](const QList<PairRun>& runs) {
        return *std::max_element(runs.begin(), runs.end(), [](const PairRun& a, const PairRun& b) {
            return MegabytesPerSecond(a.Receiver) < MegabytesPerSecond(b.Receiver);
        });
    };
    QList<PairRun> oursRuns;
    QList<PairRun> referenceRuns;
    *peakMB = 0;
    for (int i = 0;; ++i) {
        for (const bool isReference : {false, true}) {
            PairRun run = RunPair(isReference, row, file, folder);
            if (!run.Ok) {
                *(isReference ? reference : ours) = run;
                return false;
            }
            if (!isReference)
                *peakMB = std::max({*peakMB, PeakMB(run.Sender), PeakMB(run.Receiver)});
            (isReference ? referenceRuns : oursRuns).append(run);
        }
        const int done = i + 1;
        if (m_options.Repeat > 0 ? done == m_options.Repeat : done == AutoRuns)
            break;
        if (m_options.Repeat == 0 && oursRuns.first().Receiver.Seconds() >= ShortRunSeconds) {
            // A long row is run again only when the two kinds disagree, as when a slow spell hit one.
            const double ratio = MegabytesPerSecond(fastest(oursRuns).Receiver)
                / MegabytesPerSecond(fastest(referenceRuns).Receiver);
            if (std::abs(ratio - 1) <= AgreeingSpread)
                break;
        }
    }
    *ours = fastest(oursRuns);
    *reference = fastest(referenceRuns);
    return true;
}

int Benchmark::RunTable()
{
    ScratchFolder directory(m_options.Directory);
    if (!directory.IsValid()) {
        Print(QStringLiteral("cannot make a temporary folder in ") + m_options.Directory);
        return 2;
    }
    const QString file = directory.FilePath(QStringLiteral("random.bin"));
    const int64_t size = m_options.FileBytes;
    if (!TestFiles::MakeRandom(file, size, 1898)) {
        Print(QStringLiteral("cannot write ") + file);
        return 2;
    }

    Print(QStringLiteral("MOXELD transfer benchmark: %1 MiB of random data per row, two processes over 127.0.0.1:1898,")
              .arg(double(size) / kMiB, 0, 'f', size % kMiB ? 2 : 0));
    Print(QStringLiteral("ours = two MOXELD main windows (offscreen); reference = blocking sockets, no event loop;"));
    Print(PlacementText() + '.');
    if (m_options.Repeat > 0)
        Print(QStringLiteral("Each row: the fastest of %1 runs of each kind, taken in turn. MB = 10^6 bytes; CPU in")
                  .arg(m_options.Repeat));
    else
        Print(QStringLiteral("Each row: the fastest of up to %1 runs of each kind, taken in turn (%1 when a run takes "
                             "under %2 s,\nelse more than one only when the kinds differ by over %3%). MB = 10^6 "
                             "bytes; CPU in")
                  .arg(AutoRuns)
                  .arg(ShortRunSeconds)
                  .arg(AgreeingSpread * 100));
    Print(QStringLiteral("seconds per GiB moved; peak MB = highest resident set of any run; S = sender, R = receiver;"));
    Print(QStringLiteral("sleeps/block = times the main thread slept per block (ours, then the reference)."));
    Print(QString());
    Print(QStringLiteral("level  block/buf  ours MB/s  ref MB/s  ours/ref  peak MB S/R  CPU s/GiB S/R  ref CPU S/R  sleeps/block S/R, ref"));

    bool allOk = true;
    double worstRatio = 1e9;
    QString worstRow;
    double peakMemory = 0;
    for (const Row& row : m_options.Rows) {
        PairRun ours;
        PairRun reference;
        double rowPeak = 0;
        if (!RunRow(row, file, directory, &ours, &reference, &rowPeak)) {
            allOk = false;
            Print(QStringLiteral("%1  failed: %2").arg(RowName(row), -5).arg(!ours.Ok ? "ours: " + ours.Error : "reference: " + reference.Error));
            continue;
        }
        const double oursSpeed = MegabytesPerSecond(ours.Receiver);
        const double referenceSpeed = MegabytesPerSecond(reference.Receiver);
        const double ratio = oursSpeed / referenceSpeed;
        if (ratio < worstRatio) {
            worstRatio = ratio;
            worstRow = RowName(row);
        }
        peakMemory = std::max(peakMemory, rowPeak);
        const double blocks = double(size) / SpeedLevelRow(row.SenderLevel).BlockSize;
        Print(QStringLiteral("%1  %2  %3  %4  %5  %6  %7  %8  %9")
                  .arg(RowName(row), -5)
                  .arg(RowSizes(row), -9)
                  .arg(oursSpeed, 9, 'f', 2)
                  .arg(referenceSpeed, 8, 'f', 2)
                  .arg(ratio, 8, 'f', 3)
                  .arg(QStringLiteral("%1/%2").arg(PeakMB(ours.Sender), 0, 'f', 1).arg(PeakMB(ours.Receiver), 0, 'f', 1), 11)
                  .arg(QStringLiteral("%1/%2").arg(CpuPerGiB(ours.Sender), 0, 'f', 1).arg(CpuPerGiB(ours.Receiver), 0, 'f', 1), 13)
                  .arg(QStringLiteral("%1/%2").arg(CpuPerGiB(reference.Sender), 0, 'f', 1).arg(CpuPerGiB(reference.Receiver), 0, 'f', 1), 11)
                  .arg(QStringLiteral("%1/%2, %3/%4")
                           .arg(ours.Sender.Sleeps / blocks, 0, 'f', 2)
                           .arg(ours.Receiver.Sleeps / blocks, 0, 'f', 2)
                           .arg(reference.Sender.Sleeps / blocks, 0, 'f', 2)
                           .arg(reference.Receiver.Sleeps / blocks, 0, 'f', 2), 25));
    }
    QFile::remove(file);

    Print(QString());
    const IdleFigures idle = MeasureIdle(directory);
    double worstIdle = 0;
    if (idle.Ok) {
        Print(QStringLiteral("Idle main window, wake-ups per second over %1 s (context switches of all its threads):")
                  .arg(m_options.IdleSeconds));
        Print(QStringLiteral("  idle %1 | listening %2 | connected R %3 S %4 | connected after a transfer R %5 S %6")
                  .arg(idle.Idle, 0, 'f', 1)
                  .arg(idle.Listening, 0, 'f', 1)
                  .arg(idle.ConnectedReceiver, 0, 'f', 1)
                  .arg(idle.ConnectedSender, 0, 'f', 1)
                  .arg(idle.AfterReceiver, 0, 'f', 1)
                  .arg(idle.AfterSender, 0, 'f', 1));
        worstIdle = std::max({idle.Idle, idle.Listening, idle.ConnectedReceiver, idle.ConnectedSender,
                              idle.AfterReceiver, idle.AfterSender});
    } else {
        allOk = false;
        Print(QStringLiteral("Idle measurement failed: ") + idle.Error);
    }

    Print(QString());
    if (worstRow.isEmpty()) {
        Print(QStringLiteral("Summary: no row completed."));
        return 1;
    }
    if (size < kFullFileBytes)
        Print(QStringLiteral("Note: a file under 256 MiB makes the fixed costs of each run (windows, progress repaints) "
                             "weigh more; the targets are for the full run."));
    const bool speedMet = worstRatio >= 0.85;
    const bool memoryMet = peakMemory < 60;
    const bool idleMet = idle.Ok && worstIdle == 0;
    Print(QStringLiteral("Summary: ours/ref lowest %1 (row %2, target >= 0.85: %3); peak memory %4 MB (target < 60: %5); "
                         "idle wake-ups at most %6/s (target 0: %7)%8.")
              .arg(worstRatio, 0, 'f', 3)
              .arg(worstRow)
              .arg(speedMet ? "met" : "NOT met")
              .arg(peakMemory, 0, 'f', 1)
              .arg(memoryMet ? "met" : "NOT met")
              .arg(worstIdle, 0, 'f', 1)
              .arg(idleMet ? "met" : "NOT met")
              .arg(allOk ? QString() : QStringLiteral("; some rows FAILED")));
    return allOk ? 0 : 1;
}

int Benchmark::RunLargest()
{
    ScratchFolder directory(m_options.Directory);
    if (!directory.IsValid()) {
        Print(QStringLiteral("cannot make a temporary folder in ") + m_options.Directory);
        return 2;
    }
    const Row row{m_options.BigLevel, m_options.BigLevel};
    const int64_t largest = int64_t{2} * 1024 * 1024 * 1024 - 1;
    Print(QStringLiteral("MOXELD largest file: sparse files (read as zeros) at level %1, two processes over 127.0.0.1:1898;")
              .arg(RowName(row)));
    Print(QStringLiteral("the received file is written in full and compared; %1. MB = 10^6 bytes.").arg(PlacementText()));
    Print(QString());
    Print(QStringLiteral("       bytes    seconds    MB/s  peak MB sender  peak MB receiver"));
    QList<PairRun> runs;
    for (const int64_t size : {int64_t{64} * kMiB, largest}) {
        const QString file = directory.FilePath(QStringLiteral("sparse.bin"));
        if (!TestFiles::MakeSparse(file, size)) {
            Print(QStringLiteral("cannot make ") + file);
            return 2;
        }
        const PairRun run = RunPair(false, row, file, directory);
        QFile::remove(file);
        if (!run.Ok) {
            Print(QStringLiteral("%1  failed: %2").arg(size, 12).arg(run.Error));
            Print(QString());
            Print(QStringLiteral("Summary: FAILED."));
            return 1;
        }
        runs.append(run);
        Print(QStringLiteral("%1  %2  %3  %4  %5")
                  .arg(size, 12)
                  .arg(run.Receiver.Seconds(), 9, 'f', 1)
                  .arg(MegabytesPerSecond(run.Receiver), 6, 'f', 2)
                  .arg(PeakMB(run.Sender), 14, 'f', 1)
                  .arg(PeakMB(run.Receiver), 16, 'f', 1));
    }
    const PairRun& small = runs.first();
    const PairRun& big = runs.last();
    const double peak = std::max(PeakMB(big.Sender), PeakMB(big.Receiver));
    const double growth = std::max(PeakMB(big.Sender) - PeakMB(small.Sender), PeakMB(big.Receiver) - PeakMB(small.Receiver));
    Print(QString());
    Print(QStringLiteral("Summary: %1 bytes arrived intact in %2 s; peak memory %3 MB (target < 60: %4), "
                         "%5 MB against the 64 MiB file.")
              .arg(big.Receiver.Bytes)
              .arg(big.Receiver.Seconds(), 0, 'f', 1)
              .arg(peak, 0, 'f', 1)
              .arg(peak < 60 ? "met" : "NOT met")
              .arg((growth < 0 ? QString() : QStringLiteral("+")) + QString::number(growth, 'f', 1)));
    return peak < 60 ? 0 : 1;
}
