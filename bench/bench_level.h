// bench_level.h - the widest instruction-set path a benchmark program may
// take: ZVEK_VECTOR_LEVEL (0 the baseline, 1 AVX2, 2 AVX-512) when set,
// else the widest the processor has. Set once at start; the benchmarks
// that run each path themselves stay below it.
#ifndef BENCH_LEVEL_H
#define BENCH_LEVEL_H

#include "zvekint.h"

#include <algorithm>
#include <cstdlib>

inline int benchCap() {
    static const int cap = [] {
        const char *e = std::getenv("ZVEK_VECTOR_LEVEL");
        return e != nullptr && *e != '\0' ? std::atoi(e) : 2;
    }();
    return cap;
}

// Caps the path at level and at the program's cap; returns the path taken.
inline int benchLevel(int level) { return zvek::limitVectorLevel(std::min(level, benchCap())); }

inline const int kBenchLevelAtStart = zvek::limitVectorLevel(benchCap());

#endif
