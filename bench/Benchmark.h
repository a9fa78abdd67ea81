#pragma once

#include "PeerResult.h"

#include <QList>
#include <QString>

#include <cstdint>

class ScratchFolder;

// Runs the peers as separate processes of this same executable, one transfer at a time (they share
// the fixed transfer port), and prints the figures.
class Benchmark {
public:
    struct Row {
        int SenderLevel;
        int ReceiverLevel;
    };
    // Where the two peers of a transfer run. Each on its own core is how two computers would do it,
    // and gives steady figures; left to the scheduler, the pair may share a core or not from one run
    // to the next, and a shared core turns every wake-up into a cheap switch.
    enum class Placement { OwnCores, SameCore, Free };
    struct Options {
        int64_t FileBytes = int64_t{256} * 1024 * 1024;
        QList<Row> Rows;
        // Runs per row and kind, the fastest shown. 0: AutoRuns for rows whose first run of ours takes
        // less than ShortRunSeconds; longer rows are run again, up to AutoRuns times, only while the
        // fastest runs of the two kinds differ by more than AgreeingSpread.
        int Repeat = 0;
        int IdleSeconds = 3;
        int BigLevel = 5;
        QString Directory;  // where the temporary files go
        Placement Cores = Placement::OwnCores;
    };

    explicit Benchmark(Options options);

    // The table: every row for our peers and the reference pair, then the idle wake-ups.
    int RunTable();
    // One file of 2 GiB - 1 bytes end to end, beside a small one, to show memory does not grow.
    int RunLargest();

private:
    struct PairRun {
        bool Ok = false;
        QString Error;
        PeerResult Sender;
        PeerResult Receiver;
    };
    struct IdleFigures {
        bool Ok = false;
        QString Error;
        double Idle = -1;
        double Listening = -1;
        double ConnectedReceiver = -1;
        double ConnectedSender = -1;
        double AfterReceiver = -1;
        double AfterSender = -1;
    };

    PairRun RunPair(bool reference, const Row& row, const QString& file, ScratchFolder& folder);
    // The CPU for the sender and the receiver (-1: not pinned), and a line saying so.
    int SenderCpu() const;
    int ReceiverCpu() const;
    QString PlacementText() const;
    static constexpr int AutoRuns = 3;
    static constexpr double ShortRunSeconds = 20;
    static constexpr double AgreeingSpread = 0.10;

    // Runs ours and the reference in turn, Repeat times each; the fastest run of each kind.
    bool RunRow(const Row& row, const QString& file, ScratchFolder& folder, PairRun* ours, PairRun* reference,
                double* peakMB);
    IdleFigures MeasureIdle(ScratchFolder& folder);

    Options m_options;
};
