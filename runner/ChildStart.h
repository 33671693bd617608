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
    /// Signals that the child sets back to their default handling; it starts with none blocked.
    const int* defaultSignals = nullptr;
    int defaultSignalCount = 0;
};

/// Moves a descriptor above the standard ones, keeping it close-on-exec, so that placing a child's standard
/// descriptors can never overwrite it (it can be 0, 1 or 2 when the program runs without them).
bool raiseAboveStandard(int& fd);

/// Starts a child that the kernel kills when the calling thread ends. Must be called with every signal
/// blocked. Returns 0 with *pid set once the program runs, or the error number of the failed start, the
/// child then reaped.
int startChild(const ChildStart& start, pid_t* pid);

#endif // QUILLMARK_RUNNER_CHILDSTART_H
