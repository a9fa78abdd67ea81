#include "ProcessStats.h"

#include <QDir>
#include <QFile>

#include <sys/resource.h>
#include <time.h>

namespace {

// The number after "key:" in a /proc status file, or -1.
long StatusField(const QString& path, const QByteArray& key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = file.readAll();
    for (const QByteArray& line : text.split('\n')) {
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

} // namespace

namespace ProcessStats {

int64_t MonotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long PeakResidentKiB()
{
    return StatusField(QStringLiteral("/proc/self/status"), "VmHWM");
}

long ThreadSleeps()
{
    return StatusField(QStringLiteral("/proc/thread-self/status"), "voluntary_ctxt_switches");
}

long ContextSwitches(pid_t pid)
{
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    const QStringList threads = QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (threads.isEmpty())
        return -1;
    long total = 0;
    for (const QString& thread : threads) {
        const QString status = tasks + '/' + thread + QStringLiteral("/status");
        const long voluntary = StatusField(status, "voluntary_ctxt_switches");
        const long involuntary = StatusField(status, "nonvoluntary_ctxt_switches");
        if (voluntary >= 0)
            total += voluntary;
        if (involuntary >= 0)
            total += involuntary;
    }
    return total;
}

} // namespace ProcessStats
