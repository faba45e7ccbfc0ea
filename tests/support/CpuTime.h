#pragma once

#include <sys/resource.h>

// CPU time this process has used so far, user and system, in seconds: what a wait that should
// sleep must not spend.
inline double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
