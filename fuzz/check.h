#pragma once

// A property every input must keep: its failure stops the fuzzer with the
// input that broke it.
inline void check(bool condition) {
    if (!condition)
        __builtin_trap();
}
