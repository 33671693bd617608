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
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction current
        {
        };
        // Started with the signal ignored (a background job of a shell script): keep it so.
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            continue;
        sigaddset(&g_watched, signal);
    }
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
