// Small helpers for the operations tests: images made and filled in one
// line, owned by a handle, and the captured standard output of a call.
#ifndef OPS_TESTUTIL_H
#define OPS_TESTUTIL_H

#include "imageops.h"
#include "zvek.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace opstest {

struct Free {
    void operator()(ZVEKHDR *h) const {
        if (h) Zvekfree(h, 7);
    }
};
using Img = std::unique_ptr<ZVEKHDR, Free>;

// frames 0 makes a 2-D image.
inline Img make(const char *type, int cols, int rows, int frames = 0) {
    const int32_t dims[4] = {frames > 0 ? 3 : 2, cols, rows, frames};
    return Img(Zvekcreate(type, dims, 11, 0));
}
inline Img makeF(int cols, int rows, int frames = 0) { return make("float", cols, rows, frames); }

inline float *px(const Img &h) { return static_cast<float *>(h->vekptr); }
// Number of floats in a float or complex image.
inline int64_t count(const Img &h) {
    int64_t n = h->dtype == DT_32CMP ? 2 : 1;
    for (int i = 0; i < h->vekndim; ++i) n *= h->vekdims[i].dimlen;
    return n;
}
inline float &at(const Img &h, int f, int r, int c) {
    const int cols = h->vekdims[0].dimlen, rows = h->vekndim > 1 ? h->vekdims[1].dimlen : 1;
    return px(h)[(int64_t(f) * rows + r) * cols + c];
}

// Fills a float image with fn(frame, row, column).
inline void fill(const Img &h, const std::function<float(int, int, int)> &fn) {
    const int cols = h->vekdims[0].dimlen;
    const int rows = h->vekndim > 1 ? h->vekdims[1].dimlen : 1;
    const int frames = h->vekndim > 2 ? h->vekdims[2].dimlen : 1;
    for (int f = 0; f < frames; ++f)
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) at(h, f, r, c) = fn(f, r, c);
}
inline void fillValue(const Img &h, float v) {
    for (int64_t i = 0; i < count(h); ++i) px(h)[i] = v;
}
inline std::vector<float> snapshot(const Img &h) { return std::vector<float>(px(h), px(h) + count(h)); }
inline bool sameBits(const Img &h, const std::vector<float> &v) {
    return std::memcmp(px(h), v.data(), v.size() * sizeof(float)) == 0;
}

// Uniform random samples in [lo, hi).
inline Img randomImage(int cols, int rows, int frames, unsigned seed, float lo = 0.0f, float hi = 255.0f) {
    Img img = makeF(cols, rows, frames);
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> d(lo, hi);
    fill(img, [&](int, int, int) { return d(gen); });
    return img;
}

// Runs fn with standard output captured; returns what it printed.
template <typename F>
std::string stdoutOf(F &&fn) {
    testing::internal::CaptureStdout();
    fn();
    return testing::internal::GetCapturedStdout();
}
template <typename F>
std::string stderrOf(F &&fn) {
    testing::internal::CaptureStderr();
    fn();
    return testing::internal::GetCapturedStderr();
}

// Bit pattern of a float, for exact comparisons that also hold for NaN.
inline uint32_t bits(float v) {
    uint32_t b;
    std::memcpy(&b, &v, 4);
    return b;
}

}  // namespace opstest

#endif  // OPS_TESTUTIL_H
