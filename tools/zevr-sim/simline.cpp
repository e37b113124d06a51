#include "tools/zevr-sim/simline.h"

#include <time.h>

// The system-wide monotonic clock, so that another process can compare its own readings with ours.
qint64 SimLine::monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}
