#pragma once

// What every fuzz target shares. A target defines FuzzOne, which libFuzzer's
// entry point below calls with each input; this header is included by one
// file of each target. A broken property is named on the standard error
// stream and the process aborts, so that libFuzzer stops and keeps the input
// that broke it as a crash file.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

inline void RequireProperty(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

// Tests the target's properties on one input.
void FuzzOne(const std::string& input);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzOne(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
