#pragma once

#include <QByteArray>
#include <QList>

#include <cstdint>

// What a peer process reports on its last line of output, measured over its data phase.
struct PeerResult {
    int64_t StartNs = 0;    // monotonic clock
    int64_t EndNs = 0;
    int64_t Bytes = 0;
    double CpuSeconds = 0;  // within the data phase
    long PeakKiB = 0;       // of the whole process life so far
    long Sleeps = 0;        // times the main thread went to sleep within the data phase

    double Seconds() const { return double(EndNs - StartNs) / 1e9; }

    QByteArray ToLine() const
    {
        return "result " + QByteArray::number(StartNs) + ' ' + QByteArray::number(EndNs) + ' '
            + QByteArray::number(Bytes) + ' ' + QByteArray::number(CpuSeconds, 'f', 6) + ' '
            + QByteArray::number(qint64(PeakKiB)) + ' ' + QByteArray::number(qint64(Sleeps)) + '\n';
    }

    // False unless line is what ToLine made.
    bool FromLine(const QByteArray& line)
    {
        const QList<QByteArray> parts = line.trimmed().split(' ');
        if (parts.size() != 7 || parts[0] != "result")
            return false;
        StartNs = parts[1].toLongLong();
        EndNs = parts[2].toLongLong();
        Bytes = parts[3].toLongLong();
        CpuSeconds = parts[4].toDouble();
        PeakKiB = parts[5].toLong();
        Sleeps = parts[6].toLong();
        return EndNs > StartNs;
    }
};
