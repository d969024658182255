#pragma once

#include <cstdlib>

// What a fuzz target holds the code to: a fault stops the fuzzer, which keeps the input.
inline void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}
