#ifndef FUZZ_REQUIRE_H
#define FUZZ_REQUIRE_H

#include <cstdio>
#include <cstdlib>

// A broken property ends the run the way a crash does, so that libFuzzer keeps the input.
inline void require(bool condition, const char *what) {
    if (condition)
        return;
    std::fprintf(stderr, "fuzzer: %s\n", what);
    std::abort();
}

#endif // FUZZ_REQUIRE_H
