// Runs the built quillmark program as a child and ends it by signals while its msgfmt runs, or while a message
// box of its start waits for the user.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <ostream>

#include <sys/stat.h>
#include <sys/syscall.h>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool processAlive(pid_t pid)
{
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype end = stat.lastIndexOf(')');
    return end >= 0 && stat.mid(end + 2, 1) != "Z";
}

/// The window started on the single-file page with a file whose msgfmt, first on PATH, writes its pid and
/// sleeps; its settings in a folder of their own, holding settings when given.
class RunningWindow
{
public:
    explicit RunningWindow(const QByteArray& settings = QByteArray())
    {
        if (!settings.isEmpty() && QDir().mkpath(QFileInfo(settingsFile()).path())) {
            QFile stored(settingsFile());
            if (stored.open(QIODevice::WriteOnly))
                stored.write(settings);
        }
        const QString msgfmt = QStandardPaths::findExecutable(QStringLiteral("msgfmt"));
        const QString script = m_bin.filePath(QStringLiteral("msgfmt"));
        QFile file(script);
        if (file.open(QIODevice::WriteOnly))
            file.write(QStringLiteral("#!/bin/sh\necho $$ > '%1'\nexec sleep 30\n").arg(pidFile()).toUtf8());
        file.close();
        ::chmod(QFile::encodeName(script).constData(), 0755);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PATH"), m_bin.path() + u':' + environment.value(QStringLiteral("PATH")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(environment);
        m_process.start(QStringLiteral(QUILLMARK_PROGRAM),
                        {QStringLiteral("-f"), m_bin.filePath(QStringLiteral("x.po"))});
    }
    ~RunningWindow()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    QString pidFile() const { return m_bin.filePath(QStringLiteral("msgfmt.pid")); }
    QString settingsFile() const { return m_config.filePath(QStringLiteral("Velloran/Quillmark/settings.json")); }

    /// The sleeping msgfmt's pid once it runs; 0 when it does not within 20 s.
    pid_t msgfmt() const
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 20000) {
            if (const pid_t pid = readFile(pidFile()).trimmed().toInt(); pid > 0)
                return pid;
            QThread::msleep(10);
        }
        return 0;
    }

    /// Whether the program's main thread waits in an event loop within 20 s, as it does while a message box is up.
    bool waitsInEventLoop()
    {
        const QString syscall = QStringLiteral("/proc/%1/syscall").arg(m_process.processId());
        m_process.waitForStarted();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 20000 && m_process.state() == QProcess::Running) {
            const long number = readFile(syscall).split(' ').value(0).toLong();
#ifdef SYS_poll
            if (number == SYS_poll)
                return true;
#endif
            if (number == SYS_ppoll)
                return true;
            QThread::msleep(10);
        }
        return false;
    }

    QProcess& process() { return m_process; }

private:
    QTemporaryDir m_bin;
    QTemporaryDir m_config;
    QProcess m_process;
};

bool endsWithin(pid_t pid, int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (processAlive(pid) && clock.elapsed() < milliseconds)
        QThread::msleep(10);
    return !processAlive(pid);
}

struct SignalCase
{
    int Signal;
    /// Whether the signal comes while the start's message box about a corrupt settings file is up, rather than
    /// while a check runs.
    bool StartBoxUp;
};

void PrintTo(const SignalCase& given, std::ostream* out)
{
    *out << ::strsignal(given.Signal) << (given.StartBoxUp ? " with the start's message box up" : " during a check");
}

class ClosingSignalTest : public ::testing::TestWithParam<SignalCase>
{
};

TEST_P(ClosingSignalTest, ClosesTheWindowAsItsCloseButtonDoes)
{
    if (QStandardPaths::findExecutable(QStringLiteral("msgfmt")).isEmpty())
        GTEST_SKIP() << "no msgfmt on PATH";
    const SignalCase& given = GetParam();
    RunningWindow window(given.StartBoxUp ? QByteArrayLiteral("{\"LastDir\": ") : QByteArray());
    pid_t msgfmt = 0;
    if (given.StartBoxUp) {
        ASSERT_TRUE(window.waitsInEventLoop());
    } else {
        msgfmt = window.msgfmt();
        ASSERT_GT(msgfmt, 0);
    }
    // Whatever the start wrote goes, so that what is there at the end is what closing wrote.
    QFile::remove(window.settingsFile());
    ::kill(static_cast<pid_t>(window.process().processId()), given.Signal);
    // Below the grace period after which the program ends itself by the signal, without saving.
    ASSERT_TRUE(window.process().waitForFinished(4000));
    EXPECT_EQ(window.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(window.process().exitCode(), 0);
    if (msgfmt > 0) {
        EXPECT_TRUE(endsWithin(msgfmt, 2000)) << "msgfmt outlived the window";
    }
    // The folder and its history are saved on the way out.
    EXPECT_TRUE(readFile(window.settingsFile()).contains("\"LastDir\""))
        << readFile(window.settingsFile()).constData();
}

INSTANTIATE_TEST_SUITE_P(Signals, ClosingSignalTest,
                         ::testing::Values(SignalCase{SIGTERM, false}, SignalCase{SIGHUP, false},
                                           SignalCase{SIGINT, false}, SignalCase{SIGTERM, true},
                                           SignalCase{SIGHUP, true}, SignalCase{SIGINT, true}));

TEST(ProgramSignalsTest, MsgfmtEndsWithAWindowKilledOutright)
{
    if (QStandardPaths::findExecutable(QStringLiteral("msgfmt")).isEmpty())
        GTEST_SKIP() << "no msgfmt on PATH";
    RunningWindow window;
    const pid_t msgfmt = window.msgfmt();
    ASSERT_GT(msgfmt, 0);
    ::kill(static_cast<pid_t>(window.process().processId()), SIGKILL);
    ASSERT_TRUE(window.process().waitForFinished(10000));
    EXPECT_TRUE(endsWithin(msgfmt, 5000)) << "msgfmt outlived the window";
}

} // namespace
