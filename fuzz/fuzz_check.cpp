#include <cstdio>
#include <cstdlib>

#include "fuzz_input.h"

void fuzzCheck(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
}
