#pragma once
// The process's resident set now, in MiB, for the loading benchmarks' memory counters.

#include <fstream>

#include <unistd.h>

namespace tamborel::bench {

inline double residentMiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

} // namespace tamborel::bench
