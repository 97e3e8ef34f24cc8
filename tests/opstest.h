// opstest.h - small helpers for the operation tests: owned images made from
// value lists, reading them back, and capturing standard output.
#ifndef OPSTEST_H
#define OPSTEST_H

#include "zvek.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace opstest {

struct Free {
    void operator()(ZVEKHDR *h) const {
        if (h) Zvekfree(h, 7);
    }
};
using Img = std::unique_ptr<ZVEKHDR, Free>;

// An image of the type name with cols x rows (x frames when frames > 0).
inline Img make(const char *type, int cols, int rows, int frames = 0) {
    const int32_t d2[] = {2, cols, rows};
    const int32_t d3[] = {3, cols, rows, frames};
    Img h(Zvekcreate(type, frames > 0 ? d3 : d2, 11, 0));
    EXPECT_NE(h, nullptr);
    return h;
}

// A float image holding the values in storage order.
inline Img floats(int cols, int rows, const std::vector<float> &v, int frames = 0) {
    Img h = make("float", cols, rows, frames);
    const size_t n = static_cast<size_t>(cols) * rows * (frames > 0 ? frames : 1);
    EXPECT_EQ(v.size(), n);
    std::memcpy(h->vekptr, v.data(), std::min(n, v.size()) * sizeof(float));
    return h;
}

inline float *data(const Img &h) { return static_cast<float *>(h->vekptr); }

inline std::vector<float> values(const Img &h, size_t n) { return std::vector<float>(data(h), data(h) + n); }

// Runs fn with standard output captured; returns what it printed.
template <typename Fn>
std::string captureStdout(Fn &&fn) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    fn();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// Bytes of a float, for exact comparisons that tell -0 and NaN apart.
inline bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace opstest

#endif  // OPSTEST_H
