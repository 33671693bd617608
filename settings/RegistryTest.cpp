#include "settings/Registry.h"

#include "settings/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using RegistryTest = ConfigHomeTest;

/// Runs body and gives the message of the ERegistryException it throws; fails the test when none comes.
template <typename Body> std::string registryError(Body body)
{
    try {
        body();
    } catch (const ERegistryException& error) {
        return error.what();
    }
    ADD_FAILURE() << "no error";
    return std::string();
}

TEST_F(RegistryTest, FileLivesInTheUsersConfigurationFolder)
{
    EXPECT_EQ(TRegistry::defaultFilePath(), settingsFile());

    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(configHome()));
    const QString underHome = configHome() + QStringLiteral("/.config/Velloran/Quillmark/settings.json");
    qputenv("XDG_CONFIG_HOME", "");
    EXPECT_EQ(TRegistry::defaultFilePath(), underHome);
    qputenv("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(TRegistry::defaultFilePath(), underHome);
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(TRegistry::defaultFilePath(), underHome);
    qputenv("HOME", savedHome);
}

TEST_F(RegistryTest, ValuesKeepTheirKinds)
{
    TRegistry registry;
    EXPECT_TRUE(registry.OpenKey());
    registry.WriteString(QStringLiteral("FontStyle"), QString());
    registry.WriteString(QStringLiteral("LastDir"), QStringLiteral("/home/ütf 8/po"));
    registry.WriteInteger(QStringLiteral("Low"), std::numeric_limits<qint32>::min());
    registry.WriteInteger(QStringLiteral("Ratio"), 3);
    EXPECT_TRUE(settingsFileContents().contains("\"Ratio\": 3\n")) << settingsFileContents().toStdString();
    EXPECT_TRUE(storedValues().value(QStringLiteral("FontStyle")).isString());

    TRegistry reader;
    reader.OpenKey();
    EXPECT_TRUE(reader.ValueExists(QStringLiteral("FontStyle")));
    EXPECT_EQ(reader.ReadString(QStringLiteral("LastDir")), QStringLiteral("/home/ütf 8/po"));
    EXPECT_EQ(reader.ReadInteger(QStringLiteral("Low")), std::numeric_limits<qint32>::min());
    EXPECT_EQ(reader.ReadInteger(QStringLiteral("Ratio")), 3);
}

TEST_F(RegistryTest, MissingAndWronglyTypedValues)
{
    writeSettingsFile(R"({"Text": "3", "Number": 3, "Fraction": 3.5, "Big": 2147483648, "Small": -2147483649,
                          "Flag": true, "Nothing": null, "List": [1], "Zero": "ab\u0000cd", "Whole": 4.0,
                          "High": 2147483647})");
    TRegistry registry;
    registry.OpenKey();

    EXPECT_FALSE(registry.ValueExists(QStringLiteral("Missing")));
    EXPECT_FALSE(registry.ValueExists(QStringLiteral("text"))) << "names are case-sensitive";
    EXPECT_TRUE(registry.ValueExists(QStringLiteral("Nothing")));
    EXPECT_EQ(registry.ReadString(QStringLiteral("Missing")), QString());
    EXPECT_EQ(registry.ReadString(QStringLiteral("Zero")), QStringLiteral("ab"));
    EXPECT_EQ(registry.ReadInteger(QStringLiteral("Whole")), 4);
    EXPECT_EQ(registry.ReadInteger(QStringLiteral("High")), std::numeric_limits<qint32>::max());

    EXPECT_EQ(registryError([&] { registry.ReadInteger(QStringLiteral("Missing")); }),
              "Failed to get data for 'Missing'");
    for (const char* name : {"Text", "Fraction", "Big", "Small", "Flag", "Nothing", "List"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(registryError([&] { registry.ReadInteger(QString::fromLatin1(name)); }),
                  std::string("Invalid data type for '") + name + "'");
    }
    for (const char* name : {"Number", "Flag", "Nothing", "List"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(registryError([&] { registry.ReadString(QString::fromLatin1(name)); }),
                  std::string("Invalid data type for '") + name + "'");
    }
    EXPECT_TRUE(registry.DeleteValue(QStringLiteral("Missing")));
    EXPECT_TRUE(registry.DeleteValue(QStringLiteral("Text")));
    EXPECT_FALSE(storedValues().contains(QStringLiteral("Text")));
    EXPECT_TRUE(storedValues().contains(QStringLiteral("Number")));
}

TEST_F(RegistryTest, TwoProgramsKeepEachOthersValues)
{
    TRegistry first;
    TRegistry second;
    first.OpenKey();
    second.OpenKey();
    first.WriteString(QStringLiteral("Font"), QStringLiteral("Verdana"));
    second.WriteString(QStringLiteral("LastDir"), QStringLiteral("/po"));
    second.DeleteValue(QStringLiteral("Dir1"));
    EXPECT_EQ(second.ReadString(QStringLiteral("Font")), QStringLiteral("Verdana"));
    EXPECT_EQ(first.ReadString(QStringLiteral("LastDir")), QStringLiteral("/po"));
}

TEST_F(RegistryTest, ALinkedFileStaysALink)
{
    const QString kept = configHome() + QStringLiteral("/dotfiles/quillmark.json");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(kept).absolutePath()) && QDir().mkpath(settingsFolder()));
    ASSERT_TRUE(QFile::link(kept, settingsFile()));
    TRegistry registry;
    registry.OpenKey();
    registry.WriteInteger(QStringLiteral("Ratio"), 4);
    registry.WriteInteger(QStringLiteral("Ratio"), 5);
    EXPECT_EQ(QFileInfo(settingsFile()).symLinkTarget(), kept);
    EXPECT_EQ(storedValues().value(QStringLiteral("Ratio")), QJsonValue(5));
}

TEST_F(RegistryTest, BrokenFileIsKeptAsideAndToldOnce)
{
    const QByteArray cases[]
        = {R"({"LastDir": "/po", "Rat)", R"(["LastDir", "/po"])", QByteArray("\x00\xff{}", 4), "folder"};
    QStringList keptBefore;
    for (const QByteArray& contents : cases) {
        SCOPED_TRACE(contents.toStdString());
        // A folder in the file's place cannot be read whoever runs the test.
        if (contents == "folder")
            ASSERT_TRUE(QFile::remove(settingsFile()) && QDir().mkpath(settingsFile()));
        else
            writeSettingsFile(contents);

        TRegistry registry;
        registry.OpenKey();
        const QString notice = registry.takeNotice();
        EXPECT_EQ(registry.takeNotice(), QString());

        // Several in one second get names of their own.
        QStringList kept = QDir(settingsFolder())
                               .entryList({QStringLiteral("settings.json.corrupt-*")},
                                          QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString& old : keptBefore)
            kept.removeOne(old);
        ASSERT_EQ(kept.size(), 1);
        keptBefore << kept.first();
        const QString keptPath = settingsFolder() + QLatin1Char('/') + kept.first();
        EXPECT_TRUE(notice.contains(QStringLiteral("\"%1\"").arg(keptPath))) << notice.toStdString();
        QFile keptFile(keptPath);
        if (contents != "folder") {
            ASSERT_TRUE(keptFile.open(QIODevice::ReadOnly));
            EXPECT_EQ(keptFile.readAll(), contents);
        }

        EXPECT_FALSE(registry.ValueExists(QStringLiteral("LastDir")));
        registry.WriteInteger(QStringLiteral("Ratio"), 2);
        EXPECT_EQ(registry.ReadInteger(QStringLiteral("Ratio")), 2);
        EXPECT_EQ(registry.takeNotice(), QString());
    }

    // A file of nothing but blanks lost nothing: it holds no values and stays where it is.
    writeSettingsFile(" \n");
    TRegistry registry;
    registry.OpenKey();
    EXPECT_FALSE(registry.ValueExists(QStringLiteral("LastDir")));
    EXPECT_EQ(registry.takeNotice(), QString());
    EXPECT_EQ(settingsFileContents(), " \n");
}

TEST_F(RegistryTest, ReadOnlyFolderFailsWrites)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    writeSettingsFile(R"({"Dir1": "/po"})");
    TRegistry registry;
    registry.OpenKey();
    ASSERT_TRUE(QFile::setPermissions(settingsFolder(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    EXPECT_EQ(registryError([&] { registry.WriteString(QStringLiteral("LastDir"), QStringLiteral("/po")); }),
              "Failed to set data for 'LastDir'");
    EXPECT_FALSE(registry.DeleteValue(QStringLiteral("Dir1")));
    EXPECT_EQ(registry.ReadString(QStringLiteral("Dir1")), QStringLiteral("/po"));

    // A broken file that cannot be moved aside is left alone: no write may replace it.
    QFile::setPermissions(settingsFolder(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    writeSettingsFile("{\"Dir1\": ");
    ASSERT_TRUE(QFile::setPermissions(settingsFolder(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    TRegistry blocked;
    blocked.OpenKey();
    EXPECT_FALSE(blocked.ValueExists(QStringLiteral("Dir1")));
    EXPECT_EQ(registryError([&] { blocked.WriteString(QStringLiteral("LastDir"), QStringLiteral("/po")); }),
              "Failed to set data for 'LastDir'");
    EXPECT_TRUE(blocked.takeNotice().contains(QStringLiteral("left untouched")));
    EXPECT_EQ(blocked.takeNotice(), QString());
    EXPECT_EQ(settingsFileContents(), QByteArray("{\"Dir1\": "));
    QFile::setPermissions(settingsFolder(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

/// What stops a save from writing its new file.
enum class SaveBlocker
{
    FullFileSystem,
    ReadOnlyFileSystem,
    FileSizeLimit,
    ReadOnlyFolder,
};

struct SaveFailure
{
    const char* name;
    SaveBlocker blocker;
    /// The system's words that the message must give.
    const char* cause;
};

void PrintTo(const SaveFailure& failure, std::ostream* out)
{
    *out << failure.name;
}

class FailedSaveTest : public ConfigHomeTest, public ::testing::WithParamInterface<SaveFailure>
{
protected:
    void TearDown() override
    {
        if (m_limited) {
            ::setrlimit(RLIMIT_FSIZE, &m_savedLimit);
            std::signal(SIGXFSZ, SIG_DFL);
        }
        if (m_mounted)
            ::umount2(QFile::encodeName(settingsFolder()).constData(), MNT_DETACH);
        QFile::setPermissions(settingsFolder(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        ConfigHomeTest::TearDown();
    }

    /// A 64 KiB memory file system on the settings folder, in a mount namespace of this process's own so that no
    /// mount outlives the tests. Empty when it is there, else why not.
    std::string mountSmallFileSystem()
    {
        static const bool ownNamespace
            = ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        if (!ownNamespace)
            return std::string("no mount namespace of our own: ") + std::strerror(errno);
        if (::mount("tmpfs", QFile::encodeName(settingsFolder()).constData(), "tmpfs", 0, "size=64k") != 0)
            return std::string("cannot mount a file system: ") + std::strerror(errno);
        m_mounted = true;
        return std::string();
    }

    void limitFileSize()
    {
        ::getrlimit(RLIMIT_FSIZE, &m_savedLimit);
        rlimit limit = m_savedLimit;
        limit.rlim_cur = 16;
        std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        m_limited = true;
    }

    bool m_mounted = false;
    bool m_limited = false;
    rlimit m_savedLimit{};
};

TEST_P(FailedSaveTest, KeepsTheOldFileAndNamesTheCause)
{
    const SaveFailure& failure = GetParam();
    ASSERT_TRUE(QDir().mkpath(settingsFolder()));
    const bool onItsOwnFileSystem
        = failure.blocker == SaveBlocker::FullFileSystem || failure.blocker == SaveBlocker::ReadOnlyFileSystem;
    if (onItsOwnFileSystem) {
        if (const std::string why = mountSmallFileSystem(); !why.empty())
            GTEST_SKIP() << why;
    }
    if (failure.blocker == SaveBlocker::ReadOnlyFolder && geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";

    TRegistry registry;
    registry.OpenKey();
    registry.WriteString(QStringLiteral("LastDir"), QStringLiteral("/po/"));
    registry.WriteString(QStringLiteral("Dir1"), QStringLiteral("/po/"));
    const QByteArray before = settingsFileContents();
    // Without its lock file the save meets the blocker first when it makes one.
    ASSERT_TRUE(QFile::remove(settingsFile() + QStringLiteral(".lock")));

    switch (failure.blocker) {
    case SaveBlocker::FullFileSystem: {
        QFile filler(settingsFolder() + QStringLiteral("/filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) { }
        break;
    }
    case SaveBlocker::ReadOnlyFileSystem:
        ASSERT_EQ(
            ::mount(nullptr, QFile::encodeName(settingsFolder()).constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr),
            0)
            << std::strerror(errno);
        break;
    case SaveBlocker::FileSizeLimit:
        limitFileSize();
        break;
    case SaveBlocker::ReadOnlyFolder:
        ASSERT_TRUE(QFile::setPermissions(settingsFolder(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        break;
    }

    try {
        registry.WriteString(QStringLiteral("LastDir"), QStringLiteral("/elsewhere/"));
        ADD_FAILURE() << "no error";
    } catch (const ERegistryException& error) {
        EXPECT_EQ(error.FullText(),
                  "Failed to set data for 'LastDir'\n" + settingsFile() + QStringLiteral(": ") + failure.cause);
    }
    EXPECT_EQ(settingsFileContents(), before);
    EXPECT_EQ(QDir(settingsFolder()).entryList({QStringLiteral("settings.json.new-*")}, QDir::Files | QDir::Hidden),
              QStringList());
}

INSTANTIATE_TEST_SUITE_P(
    Blockers, FailedSaveTest,
    ::testing::Values(SaveFailure{"FullFileSystem", SaveBlocker::FullFileSystem, "No space left on device"},
                      SaveFailure{"ReadOnlyFileSystem", SaveBlocker::ReadOnlyFileSystem, "Read-only file system"},
                      SaveFailure{"FileSizeLimit", SaveBlocker::FileSizeLimit, "File too large"},
                      SaveFailure{"ReadOnlyFolder", SaveBlocker::ReadOnlyFolder, "Permission denied"}),
    [](const ::testing::TestParamInfo<SaveFailure>& info) { return info.param.name; });

/// Starts the writer on the test's settings file; its stdout comes back through a pipe.
struct Writer
{
    pid_t pid = -1;
    int output = -1;
};

Writer startWriter(const QString& file)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    const QByteArray path = QFile::encodeName(file);
    char program[] = QUILLMARK_TESTWRITER;
    char* argv[] = {program, const_cast<char*>(path.constData()), nullptr};
    Writer writer;
    if (posix_spawn(&writer.pid, program, &actions, nullptr, argv, environ) != 0)
        writer.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    writer.output = fds[0];
    return writer;
}

/// Waits for the writer's "R"; false when it ends or takes ten seconds instead.
bool waitUntilWriting(const Writer& writer)
{
    pollfd ready{writer.output, POLLIN, 0};
    char mark = 0;
    return ::poll(&ready, 1, 10000) == 1 && ::read(writer.output, &mark, 1) == 1 && mark == 'R';
}

TEST_F(RegistryTest, KillsAtRandomMomentsLeaveAWholeFile)
{
    // A kill is not a power loss: what the writer handed to the kernel survives it, so memory-backed files test
    // the same thing without waiting for a disk on every write.
    QTemporaryDir memoryFolder(QStringLiteral("/dev/shm/quillmark-settings-XXXXXX"));
    const QString file = (memoryFolder.isValid() ? memoryFolder.path() : configHome()) + QStringLiteral("/s.json");
    const char* cyclesText = std::getenv("QUILLMARK_KILL_CYCLES");
    const int cycles = cyclesText ? std::atoi(cyclesText) : 60;
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> delayMicroseconds(0, 20000);

    std::set<qint64> ratiosSeen;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        SCOPED_TRACE(cycle);
        Writer writer = startWriter(file);
        ASSERT_NE(writer.pid, -1);
        const bool writing = waitUntilWriting(writer);
        if (writing)
            std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
        ::kill(writer.pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(writer.pid, &status, 0), writer.pid);
        ::close(writer.output);
        ASSERT_TRUE(writing) << "the writer never wrote";
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the writer ended by itself";

        QFile left(file);
        ASSERT_TRUE(left.open(QIODevice::ReadOnly));
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(left.readAll(), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        ASSERT_TRUE(document.isObject());
        const QJsonObject values = document.object();
        for (auto it = values.begin(); it != values.end(); ++it) {
            SCOPED_TRACE(it.key().toStdString());
            if (it.key() == QLatin1String("Ratio") || it.key() == QLatin1String("FontSize"))
                EXPECT_TRUE(it.value().isDouble());
            else
                EXPECT_TRUE(it.value().isString());
        }
        EXPECT_GE(values.value(QStringLiteral("Editor")).toString().size(), 4096);

        TRegistry registry(file);
        registry.OpenKey();
        EXPECT_EQ(registry.takeNotice(), QString());
        ratiosSeen.insert(registry.ValueExists(QStringLiteral("Ratio")) ? registry.ReadInteger(QStringLiteral("Ratio"))
                                                                        : -1);
    }
    // Nothing kept aside, and what a killed writer left half-written went at the next opening.
    EXPECT_EQ(
        QDir(QFileInfo(file).absolutePath()).entryList({QStringLiteral("*.corrupt-*"), QStringLiteral("*.new-*")}),
        QStringList());
    // The kills met the writer at different points of its work.
    EXPECT_GE(ratiosSeen.size(), 2u);
}

} // namespace
