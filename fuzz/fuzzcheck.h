#pragma once

#include <cstdio>
#include <cstdlib>

// A property a fuzz target holds for every input. A broken one aborts, which both libFuzzer
// and the replay of the kept inputs report as a failure with the input that broke it.
#define FUZZ_CHECK(condition)                                                                   \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                       \
        }                                                                                       \
    } while (false)
