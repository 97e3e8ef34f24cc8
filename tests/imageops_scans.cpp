// The extremes scan, whole-image equalisation and the square roots on every instruction set against the plain
// loop, over values that are not finite, zeros of both signs and subnormal numbers.
#include <alloca.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <vector>
#include "extremes.h"
#include "imageops.h"
#include "zvekint.h"

namespace {

// Scans 0..31 from a stack shifted by shift bytes and left holding -1 below.
__attribute__((noinline)) void fillStack() { volatile float junk[1024]; for (volatile float &x : junk) x = -1.0f; }
__attribute__((noinline)) bool scan(int shift, const float *p, float &mn, float &mx) {
    static_cast<volatile char *>(alloca(shift + 1))[0] = 0, fillStack(), mn = 1e8f, mx = -1e8f;
    return ops::finiteExtremes(p, 32, mn, mx);
}

}  // namespace

TEST(ImageopsScans, ExtremesReadOnlyTheValues) {
    float v[32], mn, mx;  // sixteen lanes of two values each, the first lane from +0
    for (int i = 0; i < 32; ++i) v[i] = float(i);
    for (int set = 0, best = zvek::limitVectorLevel(2); set <= best; ++set) {
        zvek::limitVectorLevel(set);
        for (int shift = 0; shift < 64; shift += 4)
            EXPECT_TRUE(scan(shift, v, mn, mx) && mx == 31 && mn == 0) << set << ", " << shift << ": " << mn << " " << mx;
    }
    zvek::limitVectorLevel(2);
}

TEST(ImageopsScans, ExtremesAreThoseOfThePlainScanOnEveryInstructionSet) {
    struct Row { const char *name; std::vector<float> pool; } rows[] = {
        {"negative, zeros", {-3, -1, -0.0f, 0}}, {"positive, zeros", {3, 1, 0, -0.0f}}, {"no finite", {NAN, INFINITY}},
        {"not finite", {NAN, INFINITY, -INFINITY, 2, -7.5f}}, {"subnormal", {1e-40f, -1e-40f, 1e-45f}}};
    std::mt19937 gen(9);
    for (const Row &r : rows)
        for (int n : {0, 5, 64, 1001, 4099}) {
            std::vector<float> v(n);
            for (float &x : v) x = r.pool[gen() % r.pool.size()];
            float mn = 1e6f, mx = -1e6f, lo, hi;
            bool finite = true;  // the plain scan: each finite value in turn
            for (float x : v)
                if (!std::isfinite(x)) finite = false;
                else mx = x > mx ? x : mx, mn = x < mn ? x : mn;
            for (int set = 0, best = zvek::limitVectorLevel(2); set <= best; ++set) {
                zvek::limitVectorLevel(set);
                const bool all = ops::finiteExtremes(v.data(), n, lo = 1e6f, hi = -1e6f);
                EXPECT_TRUE(all == finite && !std::memcmp(&lo, &mn, 4) && !std::memcmp(&hi, &mx, 4))
                    << r.name << ", " << n << " values, set " << set << ": " << lo << " " << hi;
            }
        }
}

TEST(ImageopsScans, EqualisationIsTheSameOnEveryInstructionSetAndOutput) {
    const char *kinds[] = {"reals", "whole numbers", "whole numbers to 60500", "NaN and infinity", "subnormal range"};
    const int32_t dims[] = {2, 301, 201}, n = 301 * 201;
    for (int kind = 0; kind < 5; ++kind) {
        std::vector<float> first, got(n);
        for (int set = 0, best = zvek::limitVectorLevel(2); set <= best; ++set)
            for (const char *as : {"float", "double", "in place"}) {
                zvek::limitVectorLevel(set);
                ZVEKHDR *in = Zvekcreate("float", dims, 11, 0), *out = *as == 'i' ? in : Zvekcreate(as, dims, 11, 0);
                std::mt19937 gen(4);
                for (int i = 0; i < n; ++i) {
                    const float x = std::uniform_real_distribution<float>(0.0f, 1000.0f)(gen);
                    const float v[] = {x, std::floor(x / 4), float(i), i % 13 ? x : i % 2 ? NAN : INFINITY, x * 1e-42f};
                    static_cast<float *>(in->vekptr)[i] = v[kind];
                }
                ASSERT_EQ(flHistogramEq(in, out, 0), 0) << kinds[kind];
                for (int i = 0; i < n; ++i)  // a double output holds the float results exactly
                    got[i] = *as == 'd' ? static_cast<double *>(out->vekptr)[i] : static_cast<float *>(out->vekptr)[i];
                if (first.empty()) first = got;
                EXPECT_FALSE(std::memcmp(&got[0], &first[0], n * 4)) << kinds[kind] << ", set " << set << ", " << as;
                if (out != in) Zvekfree(out, 7);
                Zvekfree(in, 7);
            }
    }
}

TEST(ImageopsScans, SquareRootsOnEveryInstructionSet) {
    // Correctly rounded roots on every path and length around the vector widths; the headers name n samples of
    // blocks that hold 16 more, which nothing may touch.
    std::mt19937 gen(5);
    for (int n : {1, 7, 9, 15, 17, 33, 4099, 8200}) {
        const int32_t dims[] = {1, n + 16};
        ZVEKHDR *in = Zvekcreate("float", dims, 11, 0), *out = Zvekcreate("float", dims, 11, 0);
        float *src = static_cast<float *>(in->vekptr), *dst = static_cast<float *>(out->vekptr);
        for (int i = 0; i < n + 16; ++i) src[i] = std::uniform_real_distribution<float>(0.0f, 1e6f)(gen);
        in->vekdims[0].dimlen = out->vekdims[0].dimlen = n;
        for (int set = 0, best = zvek::limitVectorLevel(2); set <= best; ++set) {
            zvek::limitVectorLevel(set);
            std::fill(dst, dst + n + 16, -1.0f);
            ASSERT_EQ(flsqrt(in, out), 0) << n << ", set " << set;
            int wrong = 0;
            for (int i = 0; i < n + 16; ++i) wrong += dst[i] != (i < n ? std::sqrt(src[i]) : -1.0f);
            EXPECT_EQ(wrong, 0) << n << " samples, set " << set;
        }
        Zvekfree(in, 7), Zvekfree(out, 7);
    }
}
