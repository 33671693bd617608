// quillmark-exec PARENT STATUS-FD PROGRAM [ARGUMENT...]: what the command runner starts in place of PROGRAM,
// so that the child asks the kernel to end it with the program that started it (process PARENT); posix_spawn
// runs no code of ours between its fork and its exec. Then it becomes PROGRAM, found on PATH. When that fails,
// the error number goes to STATUS-FD, which the runner reads as its start error; an exec that works closes it.

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

int g_statusFd = -1;

[[noreturn]] void fail(int error)
{
    if (g_statusFd >= 0) [[maybe_unused]]
        const auto written = ::write(g_statusFd, &error, sizeof error);
    ::_exit(127);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        fail(EINVAL);
    const long parent = std::strtol(argv[1], nullptr, 10);
    g_statusFd = static_cast<int>(std::strtol(argv[2], nullptr, 10));
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
        fail(errno);
    // The parent may have ended before the request was made; then the program has no one to outlive.
    if (::getppid() != static_cast<pid_t>(parent))
        fail(ESRCH);
    ::fcntl(g_statusFd, F_SETFD, FD_CLOEXEC);
    ::execvp(argv[3], argv + 3);
    fail(errno);
}
