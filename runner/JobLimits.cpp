#include "runner/JobLimits.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

/// Descriptors the program may open besides the runs asked for: the single-file check's run, a folder listing, the
/// settings file and its lock, a watcher, an editor being started, the window system's.
constexpr long kSpareDescriptors = 32;
/// Tasks besides the runs': a thread that reaps a child a time limit left running, the thread that starts the
/// children of runs with a time limit, a thread of the toolkit's, a reader on its way out as the next one starts.
constexpr long kSpareTasks = 4;

/// "1 process", "12 processes".
QString counted(long count, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

long clampLimit(rlim_t value)
{
    return value >= static_cast<rlim_t>(LONG_MAX) ? LONG_MAX : static_cast<long>(value);
}

/// The descriptors this process holds; -1 when it cannot say.
long openDescriptors(long limit)
{
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return errno == EMFILE ? limit : -1;
    long count = 0;
    while (const dirent* entry = ::readdir(dir))
        count += entry->d_name[0] != '.' ? 1 : 0;
    ::closedir(dir);
    // Less the listing's own.
    return count - 1;
}

/// The kernel skips its limit on a user's tasks for root and for a process that may raise limits.
bool userTaskLimitApplies()
{
    if (::getuid() == 0)
        return false;
    constexpr int CapSysAdmin = 21;
    constexpr int CapSysResource = 24;
    std::ifstream file("/proc/self/status");
    for (std::string line; std::getline(file, line);) {
        if (line.compare(0, 7, "CapEff:") == 0) {
            const unsigned long long effective = std::strtoull(line.c_str() + 7, nullptr, 16);
            return (effective & (1ULL << CapSysAdmin | 1ULL << CapSysResource)) == 0;
        }
    }
    return true;
}

/// Every task of the system, from one small file; -1 when it cannot be read.
long systemTasks()
{
    std::ifstream file("/proc/loadavg");
    std::string averages[3];
    std::string running;
    if (!(file >> averages[0] >> averages[1] >> averages[2] >> running))
        return -1;
    const auto slash = running.find('/');
    return slash == std::string::npos ? -1 : std::strtol(running.c_str() + slash + 1, nullptr, 10);
}

/// The processes and threads whose real user is uid, as far as this process sees them.
long tasksOfUser(uid_t uid)
{
    long tasks = 0;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return 0;
    while (const dirent* entry = ::readdir(proc)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        std::ifstream status(std::string("/proc/") + entry->d_name + "/status");
        bool ours = false;
        for (std::string line; std::getline(status, line);) {
            if (line.compare(0, 4, "Uid:") == 0)
                ours = std::strtoul(line.c_str() + 4, nullptr, 10) == uid;
            else if (ours && line.compare(0, 8, "Threads:") == 0)
                tasks += std::strtol(line.c_str() + 8, nullptr, 10);
        }
    }
    ::closedir(proc);
    return tasks;
}

/// A file holding one number; -1 for "max" or a file that is not there.
long numberInFile(const std::string& path)
{
    std::ifstream file(path);
    std::string text;
    if (!(file >> text) || text.empty() || text[0] < '0' || text[0] > '9')
        return -1;
    return std::strtol(text.c_str(), nullptr, 10);
}

} // namespace

std::vector<TaskLimit> controlGroupTaskLimits(const std::string& cgroupFile, const std::string& root)
{
    std::vector<TaskLimit> limits;
    std::ifstream file(cgroupFile);
    for (std::string line; std::getline(file, line);) {
        // "hierarchy:controllers:path"
        const auto first = line.find(':');
        const auto second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos)
            continue;
        const std::string controllers = "," + line.substr(first + 1, second - first - 1) + ",";
        std::vector<std::string> mounts;
        if (controllers == ",,")
            mounts = {root, root + "/unified"};
        else if (controllers.find(",pids,") != std::string::npos)
            mounts = {root + "/pids"};
        for (const std::string& mount : mounts) {
            for (std::string group = line.substr(second + 1);;) {
                const std::string folder = mount + (group == "/" ? std::string() : group);
                const long max = numberInFile(folder + "/pids.max");
                const long current = numberInFile(folder + "/pids.current");
                if (max >= 0 && current >= 0)
                    limits.push_back({max, current});
                const auto slash = group.rfind('/');
                if (slash == std::string::npos || group == "/")
                    break;
                group = slash == 0 ? std::string("/") : group.substr(0, slash);
            }
        }
    }
    return limits;
}

JobsAllowed jobsWithinLimits(int asked)
{
    JobsAllowed allowed;
    allowed.Jobs = std::max(1, asked);
    if (allowed.Jobs == 1)
        return allowed;
    const auto fit = [&](long room, long perRun, const QString& limit) {
        const long jobs = std::max(1L, room / perRun);
        if (jobs < allowed.Jobs) {
            allowed.Jobs = static_cast<int>(jobs);
            allowed.Limit = limit;
        }
    };

    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY) {
        const long limit = clampLimit(files.rlim_cur);
        const long open = std::max(0L, openDescriptors(limit));
        fit(limit - open - kSpareDescriptors, DescriptorsPerRun,
            QStringLiteral("the limit of %1 (ulimit -n)").arg(counted(limit, "open file", "open files")));
    }

    rlimit tasks{};
    if (::getrlimit(RLIMIT_NPROC, &tasks) == 0 && tasks.rlim_cur != RLIM_INFINITY && userTaskLimitApplies()) {
        const long limit = clampLimit(tasks.rlim_cur);
        // The tasks of the whole system outnumber the user's and take one read instead of one a process: a limit
        // they leave room under needs no count of the user's own.
        const long all = systemTasks();
        if (all < 0 || limit - all < allowed.Jobs * TasksPerRun + kSpareTasks) {
            fit(limit - tasksOfUser(::getuid()) - kSpareTasks, TasksPerRun,
                QStringLiteral("the limit of %1 (ulimit -u)").arg(counted(limit, "process", "processes")));
        }
    }

    for (const TaskLimit& group : controlGroupTaskLimits()) {
        fit(group.Max - group.Current - kSpareTasks, TasksPerRun,
            QStringLiteral("the control group's limit of %1 (pids.max)").arg(counted(group.Max, "task", "tasks")));
    }
    return allowed;
}
