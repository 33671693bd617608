// quillmark-exec PARENT STATUS-FD PROGRAM [ARGUMENT...]: what the command runner starts in place of PROGRAM,
// so that the child asks the kernel to end it with the program that started it (process PARENT); posix_spawn
// runs no code of ours between its fork and its exec. Then it becomes PROGRAM, found on PATH. When that fails,
// the error number goes to STATUS-FD, which the runner reads as its start error; an exec that works closes it.
//
// It runs before every check, so its own start must cost next to nothing. On x86-64 and AArch64 it is built
// without any C library: a static C library's start-up asks the processor about its caches and features,
// and under a hypervisor each of those questions traps, which measured as half of this program's cost and
// a sixth of a whole check of a small file. Elsewhere the C library's calls stand in for the system calls.

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

#if defined(__x86_64__) || defined(__aarch64__)
#define QUILLMARK_EXEC_FREESTANDING 1
#else
#include <unistd.h>
#endif

namespace {

#if QUILLMARK_EXEC_FREESTANDING

// Raw system calls: the result, or the error number negated.
long systemCall(long number, long a = 0, long b = 0, long c = 0)
{
#if defined(__x86_64__)
    long result = 0;
    asm volatile("syscall" : "=a"(result) : "a"(number), "D"(a), "S"(b), "d"(c) : "rcx", "r11", "memory");
    return result;
#else
    register long x8 asm("x8") = number;
    register long x0 asm("x0") = a;
    register long x1 asm("x1") = b;
    register long x2 asm("x2") = c;
    asm volatile("svc 0" : "+r"(x0) : "r"(x8), "r"(x1), "r"(x2) : "memory");
    return x0;
#endif
}

long setDeathSignal(int signal)
{
    return systemCall(SYS_prctl, PR_SET_PDEATHSIG, signal);
}
long parentId()
{
    return systemCall(SYS_getppid);
}
void closeOnExec(int fd)
{
    systemCall(SYS_fcntl, fd, F_SETFD, FD_CLOEXEC);
}
long execute(const char* path, char* const* argv, char* const* envp)
{
    return systemCall(SYS_execve, reinterpret_cast<long>(path), reinterpret_cast<long>(argv),
                      reinterpret_cast<long>(envp));
}
void writeAll(int fd, const void* data, long size)
{
    systemCall(SYS_write, fd, reinterpret_cast<long>(data), size);
}
[[noreturn]] void exitNow(int status)
{
    for (;;)
        systemCall(SYS_exit_group, status);
}

#else

long setDeathSignal(int signal)
{
    return ::prctl(PR_SET_PDEATHSIG, signal) == 0 ? 0 : -errno;
}
long parentId()
{
    return ::getppid();
}
void closeOnExec(int fd)
{
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}
long execute(const char* path, char* const* argv, char* const* envp)
{
    ::execve(path, argv, envp);
    return -errno;
}
void writeAll(int fd, const void* data, long size)
{
    [[maybe_unused]] const auto written = ::write(fd, data, static_cast<unsigned long>(size));
}
[[noreturn]] void exitNow(int status)
{
    ::_exit(status);
}

#endif

int g_statusFd = -1;

[[noreturn]] void fail(int error)
{
    if (g_statusFd >= 0)
        writeAll(g_statusFd, &error, sizeof error);
    exitNow(127);
}

long number(const char* text)
{
    long value = 0;
    bool negative = *text == '-';
    for (text += negative ? 1 : 0; *text >= '0' && *text <= '9'; ++text)
        value = value * 10 + (*text - '0');
    return negative ? -value : value;
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

/// Runs the file at path; a file the kernel cannot run for want of a "#!" line goes to the shell, as with
/// execvp. argv[-1] is free to hold the shell's own name. Returns the error number negated.
long tryPath(const char* path, char** argv, char* const* envp)
{
    const long result = execute(path, argv, envp);
    if (result != -ENOEXEC)
        return result;
    static char shell[] = "/bin/sh";
    char* const name = argv[0];
    argv[-1] = shell;
    argv[0] = const_cast<char*>(path);
    const long shellResult = execute(shell, argv - 1, envp);
    argv[0] = name;
    return shellResult;
}

/// execvp's search of PATH (its default when unset), with its choice of the error to report.
[[noreturn]] void runProgram(char** argv, char* const* envp)
{
    const char* file = argv[0];
    if (*file == '\0')
        fail(ENOENT);
    if (containsSlash(file))
        fail(static_cast<int>(-tryPath(file, argv, envp)));
    const char* searchPath = "/bin:/usr/bin";
    for (char* const* entry = envp; *entry != nullptr; ++entry)
        if (startsWith(*entry, "PATH="))
            searchPath = *entry + 5;
    long fileLength = 0;
    while (file[fileLength] != '\0')
        ++fileLength;

    static char candidate[4096];
    bool deniedSomewhere = false;
    const char* folder = searchPath;
    for (;;) {
        const char* end = folder;
        while (*end != '\0' && *end != ':')
            ++end;
        long length = end - folder;
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
                fail(static_cast<int>(error));
        }
        if (*end == '\0')
            break;
        folder = end + 1;
    }
    fail(deniedSomewhere ? EACCES : ENOENT);
}

[[noreturn]] void run(int argc, char** argv, char** envp)
{
    if (argc < 4)
        fail(EINVAL);
    const long parent = number(argv[1]);
    g_statusFd = static_cast<int>(number(argv[2]));
    if (const long result = setDeathSignal(SIGKILL); result < 0)
        fail(static_cast<int>(-result));
    // The parent may have ended before the request was made; then the program has no one to outlive.
    if (parentId() != parent)
        fail(ESRCH);
    closeOnExec(g_statusFd);
    runProgram(argv + 3, envp);
}

} // namespace

#if QUILLMARK_EXEC_FREESTANDING

extern "C" {

// The compiler may turn a loop into a call of these, and there is no library to provide them.
void* memcpy(void* to, const void* from, unsigned long size)
{
    auto* t = static_cast<char*>(to);
    const auto* f = static_cast<const char*>(from);
    while (size-- > 0)
        *t++ = *f++;
    return to;
}
void* memset(void* to, int value, unsigned long size)
{
    auto* t = static_cast<unsigned char*>(to);
    while (size-- > 0)
        *t++ = static_cast<unsigned char>(value);
    return to;
}

/// The kernel starts the program here with the stack holding argc, then argv and envp, each ending in null.
[[noreturn]] void quillmarkExecStart(long* stack)
{
    const int argc = static_cast<int>(stack[0]);
    char** argv = reinterpret_cast<char**>(stack + 1);
    run(argc, argv, argv + argc + 1);
}

#if defined(__x86_64__)
asm(".text\n.global _start\n.type _start,@function\n_start:\n"
    "  xor %ebp, %ebp\n  mov %rsp, %rdi\n  and $-16, %rsp\n  call quillmarkExecStart\n  hlt\n");
#else
asm(".text\n.global _start\n.type _start,%function\n_start:\n"
    "  mov x29, #0\n  mov x30, #0\n  mov x0, sp\n  bl quillmarkExecStart\n  brk #0\n");
#endif
}

#else

int main(int argc, char** argv, char** envp)
{
    run(argc, argv, envp);
}

#endif
