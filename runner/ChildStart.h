#ifndef QUILLMARK_RUNNER_CHILDSTART_H
#define QUILLMARK_RUNNER_CHILDSTART_H

#include <sys/types.h>

/// What a child gets between its fork and its exec.
struct ChildStart
{
    /// The program as given, found on the PATH of envp as execvp finds it, then its arguments; ends in
    /// null. argv[-1] must be a free slot: a script without "#!" runs through the shell in its place.
    char** argv = nullptr;
    char* const* envp = nullptr;
    int inputFd = -1; ///< becomes standard input
    int outputFd = -1; ///< becomes standard output and error
};

/// A close-on-exec pipe whose ends are not standard descriptors, so that placing a child's standard
/// descriptors can never overwrite one (they can be 0, 1 or 2 when the program runs without them). Returns 0
/// or the error number.
int makeChildPipe(int ends[2]);

/// Starts a child that the kernel kills when the calling thread ends, leading a process group of its own whose id
/// is its pid (made before this returns; ended whole by kill(-pid, …)). It starts with default handling of the
/// signals the program handles (SIGPIPE, SIGINT, SIGQUIT, SIGCHLD, SIGTERM, SIGHUP) and nothing blocked,
/// whatever the program set up. Must be called with every signal blocked. Returns 0 with *pid set once the program
/// runs, or the error number of the failed start, the child then reaped.
int startChild(const ChildStart& start, pid_t* pid);

#endif // QUILLMARK_RUNNER_CHILDSTART_H
