#ifndef QUILLMARK_RUNNER_PROCESSORS_H
#define QUILLMARK_RUNNER_PROCESSORS_H

/// The processors this process may run on, as the affinity mask it was started with allows (a container or
/// taskset narrows it below the machine's count); the machine's count when the mask cannot be read. At least 1.
int availableProcessors();

/// The most checks at once a setting or an option may ask for. Each holds a child process and its pipes open;
/// far beyond any machine's processors they would only use up the descriptors and gain nothing.
constexpr int MaxJobs = 256;

#endif // QUILLMARK_RUNNER_PROCESSORS_H
