// A child program for the runner's tests. Its arguments are a list of actions, run in order:
//   out TEXT      TEXT and a line end on standard output
//   err TEXT      TEXT and a line end on standard error
//   raw TEXT      TEXT without a line end on standard output
//   show ARG      "[ARG]", to see one argument arrive intact
//   burst N LEN   N numbered lines of LEN bytes each (see burstLine), written in one go
//   alternate K   K pairs of lines: "out i" on standard output, then "err i" on standard error
//   forever       numbered lines "tick i" as fast as the reader takes them, until killed
//   silent        nothing more, until killed
//   sleep MS      a pause of MS milliseconds
//   stdin         "waiting", then reads standard input to its end: "stdin: EOF after N bytes"
//   pid           "pid N"
//   env NAME      every "NAME=value" entry of its environment, or "NAME unset"
//   cwd           "cwd PATH"
//   fds           "fds" followed by the numbers of its open descriptors
//   exit CODE     ends at once with CODE
// After the last action it exits with 0. Everything is written with write(2), so that no output waits
// in a buffer when the process ends.

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace {

void writeAll(int fd, const std::string& text)
{
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t written = write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            _exit(3);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

void line(const std::string& text, int fd = STDOUT_FILENO)
{
    writeAll(fd, text + '\n');
}

[[noreturn]] void usage(const std::string& problem)
{
    line("testchild: " + problem, STDERR_FILENO);
    _exit(2);
}

long number(const char* text)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0')
        usage(std::string("not a number: ") + text);
    return value;
}

void pauseMs(long ms)
{
    timespec wait{ms / 1000, (ms % 1000) * 1000000};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) { }
}

// The tests rebuild the same lines to compare every byte.
std::string burstLine(long index, long length)
{
    std::string text = "b" + std::to_string(index) + ":";
    text.resize(static_cast<std::size_t>(std::max<long>(length, static_cast<long>(text.size()))),
                static_cast<char>('a' + index % 26));
    return text;
}

void readStdin()
{
    line("waiting");
    long total = 0;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            line(std::string("stdin: error ") + std::strerror(errno));
            return;
        }
        total += got;
    }
    line("stdin: EOF after " + std::to_string(total) + " bytes");
}

void showEnvironment(const std::string& name)
{
    const std::string prefix = name + "=";
    bool found = false;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, prefix.c_str(), prefix.size()) == 0) {
            line(*entry);
            found = true;
        }
    }
    if (!found)
        line(name + " unset");
}

void showDescriptors()
{
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr)
        usage("cannot list /proc/self/fd");
    std::vector<long> fds;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.' && number(entry->d_name) != dirfd(dir))
            fds.push_back(number(entry->d_name));
    }
    closedir(dir);
    std::sort(fds.begin(), fds.end());
    std::string text = "fds";
    for (const long fd : fds)
        text += " " + std::to_string(fd);
    line(text);
}

} // namespace

int main(int argc, char** argv)
{
    int at = 1;
    const auto next = [&]() -> const char* {
        if (at >= argc)
            usage(std::string("missing argument after ") + argv[at - 1]);
        return argv[at++];
    };

    while (at < argc) {
        const std::string action = argv[at++];
        if (action == "out") {
            line(next());
        } else if (action == "err") {
            line(next(), STDERR_FILENO);
        } else if (action == "raw") {
            writeAll(STDOUT_FILENO, next());
        } else if (action == "show") {
            line(std::string("[") + next() + "]");
        } else if (action == "burst") {
            const long count = number(next());
            const long length = number(next());
            std::string text;
            for (long i = 0; i < count; ++i)
                text += burstLine(i, length) + '\n';
            writeAll(STDOUT_FILENO, text);
        } else if (action == "alternate") {
            const long count = number(next());
            for (long i = 0; i < count; ++i) {
                line("out " + std::to_string(i));
                line("err " + std::to_string(i), STDERR_FILENO);
            }
        } else if (action == "forever") {
            for (long i = 0;; ++i)
                line("tick " + std::to_string(i));
        } else if (action == "silent") {
            for (;;)
                pause();
        } else if (action == "sleep") {
            pauseMs(number(next()));
        } else if (action == "stdin") {
            readStdin();
        } else if (action == "pid") {
            line("pid " + std::to_string(getpid()));
        } else if (action == "env") {
            showEnvironment(next());
        } else if (action == "cwd") {
            char path[4096];
            line(std::string("cwd ") + (getcwd(path, sizeof path) != nullptr ? path : "?"));
        } else if (action == "fds") {
            showDescriptors();
        } else if (action == "exit") {
            _exit(static_cast<int>(number(next())));
        } else {
            usage("unknown action " + action);
        }
    }
    return 0;
}
