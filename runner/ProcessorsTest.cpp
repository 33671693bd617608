#include "runner/Processors.h"

#include <gtest/gtest.h>

#include <sched.h>

TEST(ProcessorsTest, CountsTheAffinityMaskNotTheMachine)
{
    // No child process here (nproc would tell the same): the sanitizer that runs these tests cannot follow one.
    // Narrowed to one processor, as taskset would: the count follows, whatever the machine has.
    cpu_set_t saved;
    ASSERT_EQ(::sched_getaffinity(0, sizeof saved, &saved), 0);
    int first = 0;
    while (!CPU_ISSET(first, &saved))
        ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
    const int narrowed = availableProcessors();
    ASSERT_EQ(::sched_setaffinity(0, sizeof saved, &saved), 0);
    EXPECT_EQ(narrowed, 1);
}
