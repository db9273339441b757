#pragma once
// A failed property aborts with the message, which libFuzzer reports as a
// crash and saves the input for.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                           \
    do {                                                                     \
        if (!(condition)) {                                                  \
            std::fprintf(stderr, "property failed: %s\n", #condition);       \
            std::fprintf(stderr, __VA_ARGS__);                               \
            std::fprintf(stderr, "\n");                                      \
            std::abort();                                                    \
        }                                                                    \
    } while (0)
