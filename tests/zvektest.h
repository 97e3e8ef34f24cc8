// Helpers shared by the image library's tests: a clean error state and
// capture of the standard streams.
#ifndef ZVEKTEST_H
#define ZVEKTEST_H

#include "zvek.h"

#include <cerrno>
#include <string>

#include <gtest/gtest.h>

namespace zvektest {

// Puts the library's error state back to its start: no code, depth 0,
// default level and trace, and nothing remembered by the reporter.
inline void resetErrorState() {
    ZVEKSLV = ZVEK_SILENT;
    Zvekerr = 0;
    errno = 0;
    Zvekwarn("");  // remembers code 0 and errno 0 without printing
    ZVEKSLV = ZVEK_WARN;
    ZVEKTRACE = 1;
    ZVEKCHK = 1;
    ZVEKDEPTH = 0;
}

// The trace line for an error code, as the reporter prints it.
inline std::string codeLine(int code) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "\tVEK error code:    $%08x = %d\n", static_cast<unsigned>(code), code);
    return buf;
}

inline std::string errnoLine(int e) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "\tSystem error code: $%08x = %d\n", static_cast<unsigned>(e), e);
    return buf;
}

// A fixture that starts every test from a clean error state.
class ZvekTest : public ::testing::Test {
protected:
    void SetUp() override { resetErrorState(); }
    void TearDown() override { EXPECT_EQ(ZVEKDEPTH, 0) << "call depth not restored"; resetErrorState(); }
};

}  // namespace zvektest

#endif  // ZVEKTEST_H
