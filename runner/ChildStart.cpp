// Starts children with vfork. posix_spawn would run no code of ours between its fork and its exec, so a
// child could not ask to end with the thread that started it, and a helper program between the two cost an
// extra exec per check: a sixth of a small file's check under a hypervisor.
//
// Until its exec the child shares this program's memory and runs on the stack of the suspended calling
// thread. It therefore makes nothing but system calls, through the C library's syscall(), which neither
// sanitizer intercepts, and this file is built without sanitizers or stack protection.

#include "runner/ChildStart.h"

#include <cerrno>
#include <csignal>
#include <utility>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

/// The result, or the error number negated.
long systemCall(long number, long a = 0, long b = 0, long c = 0, long d = 0)
{
    const long result = ::syscall(number, a, b, c, d);
    return result == -1 ? -errno : result;
}

/// The kernel's signal set, as rt_sigaction and rt_sigprocmask take it.
constexpr long kKernelSigsetSize = (NSIG - 1) / 8;

[[noreturn]] void fail(int statusFd, long error)
{
    const int number = static_cast<int>(error);
    systemCall(SYS_write, statusFd, reinterpret_cast<long>(&number), sizeof number);
    for (;;)
        systemCall(SYS_exit_group, 127);
}

bool startsWith(const char* text, const char* prefix)
{
    while (*prefix != '\0')
        if (*text++ != *prefix++)
            return false;
    return true;
}

bool containsSlash(const char* text)
{
    for (; *text != '\0'; ++text)
        if (*text == '/')
            return true;
    return false;
}

long execute(const char* path, char* const* argv, char* const* envp)
{
    return systemCall(SYS_execve, reinterpret_cast<long>(path), reinterpret_cast<long>(argv),
                      reinterpret_cast<long>(envp));
}

/// Runs the file at path; a file the kernel cannot run for want of a "#!" line goes to the shell, as with
/// execvp. Returns the error number negated.
long tryPath(const char* path, char** argv, char* const* envp)
{
    const long result = execute(path, argv, envp);
    if (result != -ENOEXEC)
        return result;
    static const char shell[] = "/bin/sh";
    char* const name = argv[0];
    argv[-1] = const_cast<char*>(shell);
    argv[0] = const_cast<char*>(path);
    const long shellResult = execute(shell, argv - 1, envp);
    argv[0] = name;
    return shellResult;
}

/// execvp's search of PATH (its default when unset), with its choice of the error to report.
[[noreturn]] void runProgram(char** argv, char* const* envp, int statusFd)
{
    const char* file = argv[0];
    if (*file == '\0')
        fail(statusFd, ENOENT);
    if (containsSlash(file))
        fail(statusFd, -tryPath(file, argv, envp));
    const char* searchPath = "/bin:/usr/bin";
    for (char* const* entry = envp; *entry != nullptr; ++entry)
        if (startsWith(*entry, "PATH="))
            searchPath = *entry + 5;
    long fileLength = 0;
    while (file[fileLength] != '\0')
        ++fileLength;

    char candidate[4096];
    bool deniedSomewhere = false;
    const char* folder = searchPath;
    for (;;) {
        const char* end = folder;
        while (*end != '\0' && *end != ':')
            ++end;
        const long length = end - folder;
        // An empty entry is the current folder.
        if (length + fileLength + 2 <= static_cast<long>(sizeof candidate)) {
            long at = 0;
            for (const char* c = folder; c != end; ++c)
                candidate[at++] = *c;
            if (length > 0)
                candidate[at++] = '/';
            for (long i = 0; i <= fileLength; ++i)
                candidate[at++] = file[i];
            const long error = -tryPath(candidate, argv, envp);
            if (error == EACCES)
                deniedSomewhere = true;
            else if (error != ENOENT && error != ENOTDIR && error != ESTALE && error != ENODEV && error != ETIMEDOUT)
                fail(statusFd, error);
        }
        if (*end == '\0')
            break;
        folder = end + 1;
    }
    fail(statusFd, deniedSomewhere ? EACCES : ENOENT);
}

/// Places fd on target, without its close-on-exec mark.
long placeOn(int fd, int target)
{
    if (fd == target)
        return systemCall(SYS_fcntl, fd, F_SETFD, 0);
    return systemCall(SYS_dup3, fd, target, 0);
}

[[noreturn]] __attribute__((noinline)) void runChild(const ChildStart& start, pid_t parent, int statusFd)
{
    // All zero: SIG_DFL with no flags, and the empty mask, in every layout the kernel has for them.
    const long zeroed[8] = {};
    for (const int signal : {SIGPIPE, SIGINT, SIGQUIT, SIGCHLD, SIGTERM, SIGHUP})
        systemCall(SYS_rt_sigaction, signal, reinterpret_cast<long>(zeroed), 0, kKernelSigsetSize);
    for (const auto& [fd, target] : {std::pair{start.inputFd, STDIN_FILENO}, std::pair{start.outputFd, STDOUT_FILENO},
                                     std::pair{start.outputFd, STDERR_FILENO}}) {
        if (const long result = placeOn(fd, target); result < 0)
            fail(statusFd, -result);
    }
    // A group of its own, so that a stop ends whatever the program started too, and a terminal's Ctrl+C reaches
    // only this program, which stops its checks itself. The parent, suspended until the exec, can never signal the
    // group before it exists.
    if (const long result = systemCall(SYS_setpgid, 0, 0); result < 0)
        fail(statusFd, -result);
    // Until then the child was in this program's group, with every signal blocked: a Ctrl+C or a kill of that group
    // may be pending, meant for this program, and would end the child the moment it unblocks. A child starts with
    // nothing pending, and nobody knows its pid yet, so whatever is pending now came through that group.
    unsigned long every[kKernelSigsetSize / sizeof(unsigned long)];
    for (unsigned long& word : every)
        word = ~0UL;
    const long noWait[2] = {0, 0};
    while (systemCall(SYS_rt_sigtimedwait, reinterpret_cast<long>(every), 0, reinterpret_cast<long>(noWait),
                      kKernelSigsetSize)
           > 0) { }
    if (const long result = systemCall(SYS_prctl, PR_SET_PDEATHSIG, SIGKILL); result < 0)
        fail(statusFd, -result);
    // The starting thread may have ended before the request was made; then there is no one to outlive.
    if (systemCall(SYS_getppid) != parent)
        fail(statusFd, ESRCH);
    systemCall(SYS_rt_sigprocmask, SIG_SETMASK, reinterpret_cast<long>(zeroed), 0, kKernelSigsetSize);
    runProgram(start.argv, start.envp, statusFd);
}

} // namespace

namespace {

bool raiseAboveStandard(int& fd)
{
    if (fd > STDERR_FILENO)
        return true;
    const int raised = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (raised < 0)
        return false;
    ::close(fd);
    fd = raised;
    return true;
}

} // namespace

int makeChildPipe(int ends[2])
{
    ends[0] = ends[1] = -1;
    if (::pipe2(ends, O_CLOEXEC) == 0 && raiseAboveStandard(ends[0]) && raiseAboveStandard(ends[1]))
        return 0;
    const int error = errno;
    for (int i = 0; i < 2; ++i) {
        if (ends[i] >= 0)
            ::close(ends[i]);
        ends[i] = -1;
    }
    return error;
}

int startChild(const ChildStart& start, pid_t* pid)
{
    int status[2];
    if (const int error = makeChildPipe(status); error != 0)
        return error;
    const pid_t parent = ::getpid();
    const pid_t child = ::vfork();
    if (child == 0)
        runChild(start, parent, status[1]);
    int error = child < 0 ? errno : 0;
    ::close(status[1]);
    if (child > 0) {
        // An exec that works closes the pipe; a failed start writes its error number first.
        int childError = 0;
        ssize_t n = 0;
        while ((n = ::read(status[0], &childError, sizeof childError)) < 0 && errno == EINTR) { }
        if (n == static_cast<ssize_t>(sizeof childError)) {
            error = childError;
            while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) { }
        } else {
            *pid = child;
        }
    }
    ::close(status[0]);
    return error;
}
