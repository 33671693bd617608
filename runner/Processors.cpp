#include "runner/Processors.h"

#include <algorithm>
#include <cerrno>
#include <thread>

#include <sched.h>

int availableProcessors()
{
    // The kernel refuses a mask smaller than its own, so the set grows until it fits the machine.
    for (int size = 1024; size <= 1 << 20; size *= 2) {
        cpu_set_t* set = CPU_ALLOC(size);
        if (!set)
            break;
        const std::size_t bytes = CPU_ALLOC_SIZE(size);
        CPU_ZERO_S(bytes, set);
        const int result = ::sched_getaffinity(0, bytes, set);
        const int error = errno;
        const int count = result == 0 ? CPU_COUNT_S(bytes, set) : 0;
        CPU_FREE(set);
        if (result == 0 && count > 0)
            return count;
        if (result != 0 && error == EINVAL)
            continue;
        break;
    }
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}
