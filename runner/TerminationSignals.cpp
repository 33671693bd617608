#include "runner/TerminationSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <memory>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

sigset_t g_watched;

/// Takes the signals until stopped is readable: tells the loop through toLoop of the first, and ends the program by
/// the signal on a second or when the loop has not ended it after the grace period.
void watchSignals(int signalFd, int toLoop, int stopped, std::chrono::milliseconds grace)
{
    int first = 0;
    for (;;) {
        pollfd watched[2] = {{signalFd, POLLIN, 0}, {stopped, POLLIN, 0}};
        const int timeout = first == 0 ? -1 : static_cast<int>(grace.count());
        const int ready = ::poll(watched, 2, timeout);
        if (ready < 0)
            continue;
        if (watched[1].revents != 0)
            break;
        if (ready == 0)
            TerminationSignals::raiseDefault(first); // the program did not end in time
        signalfd_siginfo info{};
        if (::read(signalFd, &info, sizeof info) != static_cast<ssize_t>(sizeof info))
            continue;
        const int signal = static_cast<int>(info.ssi_signo);
        if (first != 0)
            TerminationSignals::raiseDefault(signal); // asked twice
        first = signal;
        const unsigned char number = static_cast<unsigned char>(signal);
        [[maybe_unused]] const auto written = ::write(toLoop, &number, 1);
    }
    ::close(signalFd);
    ::close(toLoop);
    ::close(stopped);
}

} // namespace

/// The thread that takes the signals through a signalfd, which no event loop needs to read.
struct TerminationSignals::Watcher
{
    std::thread Thread;
};

void TerminationSignals::block()
{
    sigemptyset(&g_watched);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&g_watched, signal);
    // Also when the program was started with them ignored, as a shell script's background jobs are: the way to
    // end --watch is SIGINT or SIGTERM, and "kill -INT" must reach it.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, SIG_DFL);
    ::pthread_sigmask(SIG_BLOCK, &g_watched, nullptr);
}

void TerminationSignals::raiseDefault(int signal)
{
    std::signal(signal, SIG_DFL);
    // Pending for the whole process, so that whichever thread unblocks it first takes it.
    ::kill(::getpid(), signal);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::_exit(128 + signal);
}

TerminationSignals::TerminationSignals(std::chrono::milliseconds grace, QObject* parent)
    : QObject(parent)
{
    int toLoop[2] = {-1, -1};
    int stop[2] = {-1, -1};
    const int signalFd = ::signalfd(-1, &g_watched, SFD_CLOEXEC);
    const auto giveUp = [&] {
        for (const int fd : {signalFd, toLoop[0], toLoop[1], stop[0], stop[1]})
            if (fd >= 0)
                ::close(fd);
        // Blocked with nobody to take them, they would never end the program: they end it at once instead.
        ::pthread_sigmask(SIG_UNBLOCK, &g_watched, nullptr);
    };
    if (signalFd < 0 || ::pipe2(toLoop, O_CLOEXEC | O_NONBLOCK) != 0 || ::pipe2(stop, O_CLOEXEC) != 0) {
        giveUp();
        return;
    }

    auto watcher = std::make_unique<Watcher>();
    try {
        watcher->Thread = std::thread(watchSignals, signalFd, toLoop[1], stop[0], grace);
    } catch (const std::system_error&) {
        giveUp();
        return;
    }
    m_watcher = watcher.release();
    m_fd = toLoop[0];
    m_stopFd = stop[1];
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignals);
}

TerminationSignals::~TerminationSignals()
{
    delete m_notifier;
    if (m_watcher) {
        [[maybe_unused]] const auto written = ::write(m_stopFd, "x", 1);
        m_watcher->Thread.join();
        delete m_watcher;
    }
    for (const int fd : {m_fd, m_stopFd})
        if (fd >= 0)
            ::close(fd);
}

void TerminationSignals::readSignals()
{
    unsigned char number = 0;
    while (::read(m_fd, &number, 1) == 1)
        emit received(number);
}
