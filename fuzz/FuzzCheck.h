#ifndef QUILLMARK_FUZZ_FUZZCHECK_H
#define QUILLMARK_FUZZ_FUZZCHECK_H

#include <cstdio>
#include <cstdlib>

/// A harness's property: when it does not hold, the input at hand is a finding. Aborting is what both
/// libFuzzer and the corpus driver take for one (libFuzzer then saves the input as a crash file).
#define FUZZ_CHECK(condition)                                                                                    \
    do {                                                                                                         \
        if (!(condition)) {                                                                                      \
            std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__, #condition);      \
            std::abort();                                                                                        \
        }                                                                                                        \
    } while (false)

#endif // QUILLMARK_FUZZ_FUZZCHECK_H
