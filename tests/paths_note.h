// paths_note.h - what a bit-identity test compared: the instruction-set
// paths of this processor and the build, as a line of the test's output and
// a property of its report.
#ifndef PATHS_NOTE_H
#define PATHS_NOTE_H

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include "zvekint.h"

inline void notePaths() {
    static const char *const names[] = {"baseline", "AVX2", "AVX-512"};
    std::string paths;
    for (int l = 0; l <= zvek::detectedVectorLevel(); ++l) paths += std::string(l ? ", " : "") + names[l];
    ::testing::Test::RecordProperty("paths", paths + "; " ZVEK_TEST_BUILD);
    std::printf("[ paths    ] bit for bit on %s; built by %s\n", paths.c_str(), ZVEK_TEST_BUILD);
}

#endif
