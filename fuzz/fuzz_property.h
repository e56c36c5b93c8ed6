#pragma once

// How a fuzz target reports a broken property: it names the property on the
// standard error stream and aborts, so that libFuzzer stops and keeps the input
// that broke it as a crash file.

#include <cstdio>
#include <cstdlib>

inline void RequireProperty(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}
