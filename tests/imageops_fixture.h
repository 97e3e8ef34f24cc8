// Shared helpers of the operations tests: images made, filled and read in one line,
// captured output, exact float comparison, tables of calls.
#ifndef IMAGEOPS_FIXTURE_H
#define IMAGEOPS_FIXTURE_H

#include "imageops.h"
#include "nan_rule.h"
#include "zvek.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace opsfix {

struct Free {
    void operator()(ZVEKHDR *h) const { Zvekfree(h, 7); }
};
using Img = std::unique_ptr<ZVEKHDR, Free>;
using Floats = std::vector<float>;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN(), kInf = std::numeric_limits<float>::infinity();

// frames 0 makes a 2-D image.
inline Img make(const char *type, int cols, int rows, int frames = 0) {
    const int32_t dims[4] = {frames > 0 ? 3 : 2, cols, rows, frames};
    return Img(Zvekcreate(type, dims, 11, 0));
}
inline float *px(const Img &h) { return static_cast<float *>(h->vekptr); }
inline int framesOf(const Img &h) { return h->vekndim > 2 ? h->vekdims[2].dimlen : 1; }
inline float &at(const Img &h, int f, int r, int c) {
    return px(h)[(int64_t(f) * h->vekdims[1].dimlen + r) * h->vekdims[0].dimlen + c];
}
// The floats of a float or complex image.
inline Floats snap(const Img &h) {
    const int64_t n = int64_t(h->vekdims[0].dimlen) * h->vekdims[1].dimlen * framesOf(h);
    return Floats(px(h), px(h) + n * (h->dtype == DT_32CMP ? 2 : 1));
}
// Any numeric type, through the pixel accessors: one pixel, or all of them.
inline double get(const Img &h, int f, int r, int c) {
    return h->vekndim == 3 ? Zvekfgp3d(h.get(), f, r, c) : Zvekfgp(h.get(), r, c);
}
inline Floats values(const Img &h) {
    Floats v;
    for (int f = 0; f < framesOf(h); ++f)
        for (int r = 0; r < h->vekdims[1].dimlen; ++r)
            for (int c = 0; c < h->vekdims[0].dimlen; ++c) v.push_back(float(get(h, f, r, c)));
    return v;
}
// An image of any numeric type with pixels fn(frame, row, column).
inline Img filled(const char *type, int cols, int rows, int frames, const std::function<float(int, int, int)> &fn) {
    Img h = make(type, cols, rows, frames);
    for (int f = 0; f < framesOf(h); ++f)
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c)
                frames ? Zvekfpp3d(h.get(), f, r, c, fn(f, r, c)) : Zvekfpp(h.get(), r, c, fn(f, r, c));
    return h;
}
// A float image holding v in storage order, or v everywhere, or noise.
inline Img floats(int cols, int rows, const Floats &v, int frames = 0) {
    Img h = make("float", cols, rows, frames);
    EXPECT_EQ(size_t(cols) * rows * framesOf(h), v.size());
    std::copy(v.begin(), v.begin() + std::min(v.size(), size_t(cols) * rows * framesOf(h)), px(h));
    return h;
}
inline Img valued(int cols, int rows, float v, int frames = 0) {
    return floats(cols, rows, Floats(size_t(cols) * rows * std::max(frames, 1), v), frames);
}
// With nans, one sample in nans is a NaN of either sign.
inline Floats noise(size_t n, unsigned seed, float lo = 0, float hi = 255, unsigned nans = 0) {
    std::mt19937 gen(seed);
    Floats v(n);
    for (float &x : v) x = std::uniform_real_distribution<float>(lo, hi)(gen);
    for (float &x : v) x = nans && gen() % nans == 0 ? anyNaN(gen) : x;
    return v;
}
inline Img noisy(int cols, int rows, int frames, unsigned seed, unsigned nans = 0) {
    return floats(cols, rows, noise(size_t(cols) * rows * std::max(frames, 1), seed, 0, 255, nans), frames);
}
inline uint32_t bits(float v) {
    uint32_t b;
    return std::memcpy(&b, &v, 4), b;
}
// Index of the first sample whose bits differ (NaN and zero signs count), -1 if none.
inline long firstDiff(const Floats &a, const Floats &b) {
    for (size_t i = 0; i < std::max(a.size(), b.size()); ++i)
        if (i >= a.size() || i >= b.size() || bits(a[i]) != bits(b[i])) return long(i);
    return -1;
}
// What fn printed on standard output, then on standard error.
template <typename F>
std::string said(F &&fn) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    fn();
    const std::string out = testing::internal::GetCapturedStdout();
    return out + testing::internal::GetCapturedStderr();
}
// A call with its expected result and everything it prints.
struct Call { std::string name; std::function<int()> run; int rc; std::string text = ""; };
inline void expectCalls(const std::vector<Call> &rows) {
    for (const Call &row : rows) {
        int rc = 0;
        EXPECT_EQ(said([&] { rc = row.run(); }), row.text) << row.name;
        EXPECT_EQ(rc, row.rc) << row.name;
    }
}

}  // namespace opsfix

#endif  // IMAGEOPS_FIXTURE_H
