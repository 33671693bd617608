#ifndef QUILLMARK_RUNNER_JOBLIMITS_H
#define QUILLMARK_RUNNER_JOBLIMITS_H

#include <QString>

#include <string>
#include <vector>

/// Descriptors one run holds at most at once: its wake-up eventfd, the child's input and output pipes and the
/// pipe that reports the child's start, while it starts; afterwards the eventfd, one end of each pipe and a pidfd.
constexpr int DescriptorsPerRun = 7;
/// Tasks one run adds: its reader thread and its child.
constexpr int TasksPerRun = 2;

/// How many runs at once the limits of this process hold.
struct JobsAllowed
{
    /// At most as many as were asked for, at least 1.
    int Jobs = 1;
    /// The limit that lowered Jobs below what was asked for, as "the limit of 64 open files (ulimit -n)"; empty
    /// when it was not lowered.
    QString Limit;
};

/// Fits the runs at once that were asked for into what the process can still open and start now: its descriptor
/// limit (RLIMIT_NOFILE) less the descriptors it holds, the limit on the user's processes and threads
/// (RLIMIT_NPROC, where the kernel applies it) less those the user has, and its control group's limit on tasks
/// (pids.max), each with room left for the rest of the program.
JobsAllowed jobsWithinLimits(int asked);

/// A control group's limit on tasks, processes and threads alike (pids.max), and the tasks in it now (pids.current).
struct TaskLimit
{
    long Max = 0;
    long Current = 0;

    friend bool operator==(const TaskLimit&, const TaskLimit&) = default;
};

/// The limits on tasks of every control group that cgroupFile (a /proc/…/cgroup) names, each group's and those of
/// the groups above it, where the cgroup file system is mounted at root: its pids controller of the first version,
/// or the one hierarchy of the second (also where it sits beside the first, at root/unified).
std::vector<TaskLimit> controlGroupTaskLimits(const std::string& cgroupFile = "/proc/self/cgroup",
                                              const std::string& root = "/sys/fs/cgroup");

#endif // QUILLMARK_RUNNER_JOBLIMITS_H
