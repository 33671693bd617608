#include "runner/JobLimits.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

// Found by the test's printer through the type's namespace.
void PrintTo(const TaskLimit& limit, std::ostream* out)
{
    *out << limit.Max << "/" << limit.Current;
}

namespace {

struct GroupLayout
{
    const char* name;
    /// The process's /proc/self/cgroup.
    const char* cgroupFile;
    /// Files below the mount point, and what each holds.
    std::map<std::string, std::string> files;
    std::vector<TaskLimit> expected;
};

TEST(JobLimitsTest, ReadsTheTaskLimitsOfTheProcesssControlGroupAndThoseAboveIt)
{
    const GroupLayout layouts[] = {
        {"second version, a container's group below a limited slice",
         "0::/ci.slice/job-7\n",
         {{"ci.slice/job-7/pids.max", "40\n"},
          {"ci.slice/job-7/pids.current", "12\n"},
          {"ci.slice/pids.max", "max\n"},
          {"ci.slice/pids.current", "300\n"}},
         {{40, 12}}},
        {"first version, beside others; the one hierarchy of the second is empty",
         "9:cpu,cpuacct:/docker/abc\n8:pids:/docker/abc\n0::/\n",
         {{"pids/docker/abc/pids.max", "100\n"},
          {"pids/docker/abc/pids.current", "7\n"},
          {"pids/docker/pids.max", "50\n"},
          {"pids/docker/pids.current", "45\n"},
          {"cpu,cpuacct/docker/abc/pids.max", "1\n"}},
         {{100, 7}, {50, 45}}},
        {"second version beside the first, at unified",
         "8:pids:/\n0::/user.slice\n",
         {{"unified/user.slice/pids.max", "4915\n"}, {"unified/user.slice/pids.current", "210\n"}},
         {{4915, 210}}},
        {"no limit anywhere", "0::/\n", {}, {}},
    };
    for (const GroupLayout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        QTemporaryDir root;
        ASSERT_TRUE(root.isValid());
        const auto write = [](const QString& path, const std::string& text) {
            QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(text.data(), static_cast<qint64>(text.size())) >= 0;
        };
        ASSERT_TRUE(write(root.filePath(QStringLiteral("cgroup")), layout.cgroupFile));
        for (const auto& [path, text] : layout.files)
            ASSERT_TRUE(write(root.filePath(QStringLiteral("fs/") + QString::fromStdString(path)), text));
        EXPECT_EQ(controlGroupTaskLimits(root.filePath(QStringLiteral("cgroup")).toStdString(),
                                         root.filePath(QStringLiteral("fs")).toStdString()),
                  layout.expected);
    }
}

} // namespace
