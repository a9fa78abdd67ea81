#pragma once

#include <QString>

#include <cstdint>
#include <sys/types.h>

// What the benchmark reads about a process, from the kernel's own counters.
namespace ProcessStats {

// Nanoseconds on the monotonic clock; comparable between processes.
int64_t MonotonicNs();
// User plus system CPU time of this process, all threads.
double CpuSeconds();
// Peak resident set of this process (VmHWM), in KiB.
long PeakResidentKiB();
// Times the calling thread has gone to sleep (voluntary context switches), e.g. in poll() or recv().
long ThreadSleeps();
// Voluntary plus involuntary context switches of every thread of a process: each time a thread
// stops running, e.g. to sleep in poll(). -1 when the process is gone.
long ContextSwitches(pid_t pid);

} // namespace ProcessStats
