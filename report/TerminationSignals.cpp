#include "report/TerminationSignals.h"

#include <QSocketNotifier>

#include <csignal>

#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

sigset_t g_watched;

} // namespace

void TerminationSignals::block()
{
    sigemptyset(&g_watched);
    sigaddset(&g_watched, SIGINT);
    sigaddset(&g_watched, SIGTERM);
    // Also when the program was started with them ignored, as a shell script's background jobs are: the way to
    // end --watch is SIGINT or SIGTERM, and "kill -INT" must reach it.
    for (const int signal : {SIGINT, SIGTERM})
        std::signal(signal, SIG_DFL);
    ::pthread_sigmask(SIG_BLOCK, &g_watched, nullptr);
}

void TerminationSignals::raiseDefault(int signal)
{
    std::signal(signal, SIG_DFL);
    ::raise(signal);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::_exit(128 + signal);
}

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent)
    , m_fd(::signalfd(-1, &g_watched, SFD_CLOEXEC | SFD_NONBLOCK))
{
    if (m_fd < 0)
        return;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignals);
}

TerminationSignals::~TerminationSignals()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

void TerminationSignals::readSignals()
{
    signalfd_siginfo info{};
    while (::read(m_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        emit received(static_cast<int>(info.ssi_signo));
}
