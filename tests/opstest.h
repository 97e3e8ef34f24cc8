// opstest.h - additions to the operation test helpers: float images made
// from value lists and read back, and exact float comparison.
#ifndef OPSTEST_H
#define OPSTEST_H

#include "ops_testutil.h"

#include <algorithm>

namespace opstest {

// A float image holding the values in storage order.
inline Img floats(int cols, int rows, const std::vector<float> &v, int frames = 0) {
    Img h = makeF(cols, rows, frames);
    EXPECT_NE(h, nullptr);
    const size_t n = static_cast<size_t>(cols) * rows * (frames > 0 ? frames : 1);
    EXPECT_EQ(v.size(), n);
    std::memcpy(h->vekptr, v.data(), std::min(n, v.size()) * sizeof(float));
    return h;
}

inline std::vector<float> values(const Img &h, size_t n) { return std::vector<float>(px(h), px(h) + n); }

inline bool sameBits(float a, float b) { return bits(a) == bits(b); }

}  // namespace opstest

#endif  // OPSTEST_H
