// Histogram equalisation of a whole image or of every pixel's neighbourhood.
#include "imageops.h"
#include "extremes.h"
#include "opsframes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#if defined(__x86_64__)
// GCC 12's AVX-512 intrinsics start from a deliberately undefined register
// value, which its middle end reports as "may be used uninitialized".
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#endif

using ops::Shape;
using ops::forEachSample;
using ops::storeEachSample;

[[maybe_unused]] static const char *const histeqVersion = "flHistogramEq V 2.1\t06 Dec 2026";

namespace {

// Result codes beyond the documented -1 and -2.
constexpr int kOutOfRange = -3;  // a window result left 0..255 (the process used to end here)
constexpr int kBadImages = -4;   // the output does not fit the input, or the types do not suit
constexpr int kNoMemory = -5;    // the scratch storage could not be allocated

// A bin index from its real-valued position: clamped to 0..top, and 0 for a
// position that is not a number.
inline int clampBin(double x, int top) {
    if (!(x > 0.0)) return 0;
    if (x >= top) return top;
    return static_cast<int>(x);
}

// The share of one bin, p = count / total, rounded once to single precision.
// Exact for every count (the counts are integers); equal to the
// single-precision quotient of the two counts while both are below 2^24.
inline float binShare(uint64_t count, double total) {
    return static_cast<float>(static_cast<double>(count) / total);
}

// Diagnostic: every sample of the border rows and columns below zero.
void reportNegativeBorder(ZVEKHDR *in, const Shape &s, int nf) {
    const int Nr = s.rows, Nc = s.cols;
    for (int f = 0; f < nf; ++f) {
        const ops::FrameView view = ops::frameView(in, f);
        zvek::dispatchType(in->dtype, [&](auto tag) {
            using T = typename decltype(tag)::type;
            const T *p = reinterpret_cast<const T *>(view.base);
            auto at = [&](int r, int c) {
                return static_cast<float>(p[(static_cast<int64_t>(r) * Nc + c) * view.stride]);
            };
            auto check = [&](int r, int c) {
                if (at(r, c) < 0.0f) std::printf("row %d col %d\n", r, c);
            };
            for (int c = 0; c < Nc; ++c) check(0, c);
            for (int c = 0; c < Nc; ++c) check(Nr - 1, c);
            for (int r = 0; r < Nr; ++r) check(r, 0);
            for (int r = 0; r < Nr; ++r) check(r, Nc - 1);
        });
    }
}

// The bin of a sample in the whole-image mode: trunc(255 (v - min) / (max -
// min)), the difference v - min in single precision, the rest in double (the
// product 255 (v - min) is exact). Positions outside 0..255 are clamped; NaN
// samples give 256, which is no bin. Branch-free, so that the loops over
// contiguous frames vectorise.
inline uint16_t wholeBin(float v, float mn, double range) {
    const float dv = v - mn;
    const double x = 255.0 * static_cast<double>(dv) / range;
    const double clamped = x >= 255.0 ? 255.0 : (x > 0.0 ? x : 0.0);
    const int k = static_cast<int>(clamped);
    return static_cast<uint16_t>(v != v ? 256 : k);
}

// The wide loops bin floats by wholeBin's arithmetic without dividing; x is
// 255 (v - min) / range as wholeBin rounds it, P = 255 (v - min) (exact).
// - First in single precision: q = fl(fl(v - min) fl(255 / range)) lies
//   within 2^-15 = tol / 2 of x below 256. Held between 0.5 and 255.5 (the
//   bins beyond are 0 and 255) and raised by 2 tol (rounded: 2^-17), it lies
//   above x by tol / 2 to 2.5 tol + 2^-17, so it truncates like x unless it
//   lies within 4 tol above a whole number (open). When min and range are
//   whole numbers, the range at most 4096, a whole v gives whole numbers
//   v - min and P: x is whole or lies at least 1 / 4096 > 2.5 tol + 2^-17
//   from a whole number, and its estimate is never open.
// - Steps holding an open estimate go to double precision: q = (v - min)
//   below lies below x and within 2^-43 of it, so floor(x) is k = floor(q) or
//   k + 1, and it is k + 1 exactly when P >= (k + 1) range (an exact
//   product). Where P falls short, P and (k + 1) range differ by at least
//   2^-42 relative (both are multiples of the smaller of the units of v - min
//   and range, and within 2^-9 of each other in size), far more than the
//   rounding of the quotient could bridge.
struct BinScale {
    float mn;
    double range;  // max - min, formed in single precision
    double below;  // 255 / range, lowered by four units in the last place
    bool single;   // the single-precision estimate can be made
    float scale;   // 255 / range
    float whole;   // 1.5 x 2^23 when whole v settle their bins, else NaN
};

constexpr float kBinTol = 0x1p-14;

BinScale binScale(float mn, double range) {
    double below = 255.0 / range;
    for (int i = 0; i < 4; ++i) below = std::nextafter(below, 0.0);
    const float scale = static_cast<float>(255.0 / range);
    const bool whole = mn == std::floor(mn) && range == std::floor(range) && range <= 4096.0;
    return {mn, range, below, std::isnormal(scale), scale,
            whole ? 0x1.8p23f : std::numeric_limits<float>::quiet_NaN()};
}

// Samples are binned in chunks, so that a chunk's bins stay in the
// first-level cache while they are counted.
constexpr int64_t kChunk = 8192;

#if defined(__x86_64__)
// Any x86-64 (SSE2): the single-precision estimate of four samples a step,
// as below; a step with an open bin takes wholeBin.
void binsSse2(const float *p, int64_t n, const BinScale &b, uint16_t *bins) {
    const __m128 mn = _mm_set1_ps(b.mn), scale = _mm_set1_ps(b.scale), whole = _mm_set1_ps(b.whole);
    const __m128 lo = _mm_set1_ps(0.5f), hi = _mm_set1_ps(255.5f);
    const __m128 lift = _mm_set1_ps(2 * kBinTol), open = _mm_set1_ps(4 * kBinTol);
    const __m128i none = _mm_set1_epi32(256);
    int64_t i = 0;
    for (; b.single && i + 4 <= n; i += 4) {
        if (i % 16 == 0) ops::fetchAhead(p + i);
        const __m128 v = _mm_loadu_ps(p + i);
        __m128 q = _mm_min_ps(_mm_max_ps(_mm_mul_ps(_mm_sub_ps(v, mn), scale), lo), hi);  // NaN gives 0.5
        q = _mm_add_ps(q, lift);
        __m128i k = _mm_cvttps_epi32(q);
        const __m128 exact = _mm_cmpeq_ps(_mm_sub_ps(_mm_add_ps(v, whole), whole), v);
        const __m128 reach = _mm_andnot_ps(exact, open);
        if (_mm_movemask_ps(_mm_cmplt_ps(_mm_sub_ps(q, _mm_cvtepi32_ps(k)), reach))) {
            for (int l = 0; l < 4; ++l) bins[i + l] = wholeBin(p[i + l], b.mn, b.range);
            continue;
        }
        const __m128i nan = _mm_castps_si128(_mm_cmpunord_ps(v, v));
        k = _mm_or_si128(_mm_andnot_si128(nan, k), _mm_and_si128(nan, none));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(bins + i), _mm_packs_epi32(k, k));
    }
    for (; i < n; ++i) bins[i] = wholeBin(p[i], b.mn, b.range);
}
#endif

#if OPS_HAVE_TARGETS
// Exact bins of four values of v - min (NaN gives 0).
OPS_TARGET("avx2") OPS_INLINE __m128i exactBins4(__m128 dv, const BinScale &b) {
    const __m256d one = _mm256_set1_pd(1.0), top = _mm256_set1_pd(255.0);
    const __m256d x = _mm256_cvtps_pd(dv);
    __m256d f = _mm256_floor_pd(_mm256_mul_pd(x, _mm256_set1_pd(b.below)));
    const __m256d up = _mm256_cmp_pd(_mm256_mul_pd(x, top), _mm256_mul_pd(_mm256_add_pd(f, one), _mm256_set1_pd(b.range)),
                                     _CMP_GE_OQ);
    f = _mm256_add_pd(f, _mm256_and_pd(up, one));
    return _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(f, _mm256_setzero_pd()), top));
}

OPS_TARGET("avx2") void binsAvx2(const float *p, int64_t n, const BinScale &b, uint16_t *bins) {
    const __m256 mn = _mm256_set1_ps(b.mn), scale = _mm256_set1_ps(b.scale), whole = _mm256_set1_ps(b.whole);
    const __m256 lo = _mm256_set1_ps(0.5f), hi = _mm256_set1_ps(255.5f);
    const __m256 lift = _mm256_set1_ps(2 * kBinTol), open = _mm256_set1_ps(4 * kBinTol);
    int64_t i = 0;
    for (; i + 8 <= n; i += 8) {
        if (i % 16 == 0) ops::fetchAhead(p + i);
        const __m256 v = _mm256_loadu_ps(p + i);
        const __m256 dv = _mm256_sub_ps(v, mn);
        __m256 q = _mm256_min_ps(_mm256_max_ps(_mm256_mul_ps(dv, scale), lo), hi);  // NaN gives 0.5
        q = _mm256_add_ps(q, lift);
        __m256i k = _mm256_cvttps_epi32(q);
        const __m256 exact = _mm256_cmp_ps(_mm256_sub_ps(_mm256_add_ps(v, whole), whole), v, _CMP_EQ_OQ);
        const __m256 reach = _mm256_andnot_ps(exact, open);
        if (!b.single || _mm256_movemask_ps(_mm256_cmp_ps(_mm256_sub_ps(q, _mm256_cvtepi32_ps(k)), reach, _CMP_LT_OQ)))
            k = _mm256_setr_m128i(exactBins4(_mm256_castps256_ps128(dv), b), exactBins4(_mm256_extractf128_ps(dv, 1), b));
        k = _mm256_blendv_epi8(k, _mm256_set1_epi32(256), _mm256_castps_si256(_mm256_cmp_ps(v, v, _CMP_UNORD_Q)));
        const __m128i w = _mm_packus_epi32(_mm256_castsi256_si128(k), _mm256_extracti128_si256(k, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(bins + i), w);
    }
    for (; i < n; ++i) bins[i] = wholeBin(p[i], b.mn, b.range);
}

// Exact bins of eight values of v - min (NaN gives 0).
OPS_TARGET("avx512f") OPS_INLINE __m256i exactBins8(__m256 dv, const BinScale &b) {
    const __m512d one = _mm512_set1_pd(1.0), top = _mm512_set1_pd(255.0);
    const __m512d x = _mm512_cvtps_pd(dv);
    __m512d f = _mm512_roundscale_pd(_mm512_mul_pd(x, _mm512_set1_pd(b.below)), _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    const __mmask8 up = _mm512_cmp_pd_mask(_mm512_mul_pd(x, top), _mm512_mul_pd(_mm512_add_pd(f, one), _mm512_set1_pd(b.range)),
                                           _CMP_GE_OQ);
    f = _mm512_mask_add_pd(f, up, f, one);
    return _mm512_cvttpd_epi32(_mm512_min_pd(_mm512_max_pd(f, _mm512_setzero_pd()), top));
}

OPS_TARGET("avx512f") void binsAvx512(const float *p, int64_t n, const BinScale &b, uint16_t *bins) {
    const __m512 mn = _mm512_set1_ps(b.mn), scale = _mm512_set1_ps(b.scale), whole = _mm512_set1_ps(b.whole);
    const __m512 lo = _mm512_set1_ps(0.5f), hi = _mm512_set1_ps(255.5f);
    const __m512 lift = _mm512_set1_ps(2 * kBinTol), open = _mm512_set1_ps(4 * kBinTol);
    int64_t i = 0;
    for (; i + 16 <= n; i += 16) {
        ops::fetchAhead(p + i);
        const __m512 v = _mm512_loadu_ps(p + i);
        const __m512 dv = _mm512_sub_ps(v, mn);
        __m512 q = _mm512_min_ps(_mm512_max_ps(_mm512_mul_ps(dv, scale), lo), hi);  // NaN gives 0.5
        q = _mm512_add_ps(q, lift);
        __m512i k = _mm512_cvttps_epi32(q);
        const __mmask16 inexact = _mm512_cmp_ps_mask(_mm512_sub_ps(_mm512_add_ps(v, whole), whole), v, _CMP_NEQ_UQ);
        if (!b.single || _mm512_mask_cmp_ps_mask(inexact, _mm512_sub_ps(q, _mm512_cvtepi32_ps(k)), open, _CMP_LT_OQ)) {
            const __m256i lower = exactBins8(_mm512_castps512_ps256(dv), b);
            const __m256i upper = exactBins8(_mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(dv), 1)), b);
            k = _mm512_inserti64x4(_mm512_castsi256_si512(lower), upper, 1);
        }
        k = _mm512_mask_mov_epi32(k, _mm512_cmp_ps_mask(v, v, _CMP_UNORD_Q), _mm512_set1_epi32(256));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(bins + i), _mm512_cvtepi32_epi16(k));
    }
    for (; i < n; ++i) bins[i] = wholeBin(p[i], b.mn, b.range);
}

#endif

// wholeBin of n samples of a contiguous float frame.
void binsOfFloats(const float *p, int64_t n, const BinScale &b, uint16_t *bins) {
    switch (ops::vectorLevel()) {
#if OPS_HAVE_TARGETS
    case 2: binsAvx512(p, n, b, bins); return;
    case 1: binsAvx2(p, n, b, bins); return;
#endif
    default:
#if defined(__x86_64__)
        binsSse2(p, n, b, bins);
#else
        for (int64_t i = 0; i < n; ++i) bins[i] = wholeBin(p[i], b.mn, b.range);
#endif
    }
}

inline bool contiguousFloat(const ZVEKHDR *h) { return h->dtype == DT_32FLT; }

int equaliseWhole(ZVEKHDR *in, const Shape &si, ZVEKHDR *out, int nf) {
    const int64_t n = si.plane();

    // Extremes over the finite samples of every used frame.
    float mx = -1.0e6f, mn = 1.0e6f;
    for (int f = 0; f < nf; ++f) {
        if (contiguousFloat(in)) {
            ops::finiteExtremes(ops::floatData(in) + f * n, n, mn, mx);
            continue;
        }
        forEachSample(in, f, 0, n, [&](int64_t, float v) {
            if (!std::isfinite(v)) return;
            if (v > mx) mx = v;
            if (v < mn) mn = v;
        });
    }
    if (mn >= mx) {
        std::printf("maximum = minimum. Somethings is wrong with this image\n");
        return -2;
    }
    const double range = static_cast<double>(mx - mn);
    // A range beyond the floats is binned one sample at a time.
    const bool exact = std::isfinite(range) && std::isnormal(255.0 / range);
    const BinScale scale = binScale(mn, range);
    uint16_t bins[kChunk];
    auto binsOf = [&](int f, int64_t start, int64_t len) {
        if (exact && contiguousFloat(in)) return binsOfFloats(ops::floatData(in) + f * n + start, len, scale, bins);
        forEachSample(in, f, start, len, [&](int64_t i, float v) { bins[i] = wholeBin(v, mn, range); });
    };

    // A float output keeps the bins of all samples, as 16-bit numbers, in the
    // lower half of its own storage: bin j in bytes 2j, 2j + 1, written after
    // the input sample j (which the output may be) has been read, and read
    // back, from the last one down, before float j (bytes 4j to 4j + 3) is
    // written. Other outputs take the bins again from the input.
    unsigned char *const kept = contiguousFloat(out) ? static_cast<unsigned char *>(out->vekptr) : nullptr;

    // Integer counts, in four interleaved tables so that neighbouring samples
    // of one bin do not wait on each other. NaN samples fall in bin 256,
    // which is no bin.
    uint32_t tables[4][257] = {};
    for (int f = 0; f < nf; ++f) {
        for (int64_t start = 0; start < n; start += kChunk) {
            const int64_t len = std::min(kChunk, n - start);
            binsOf(f, start, len);
            if (kept != nullptr) std::memcpy(kept + 2 * (f * n + start), bins, static_cast<size_t>(len) * 2);
            int64_t i = 0;
            for (; i + 4 <= len; i += 4) {
                ++tables[0][bins[i]];
                ++tables[1][bins[i + 1]];
                ++tables[2][bins[i + 2]];
                ++tables[3][bins[i + 3]];
            }
            for (; i < len; ++i) ++tables[0][bins[i]];
        }
    }
    uint64_t count[256];
    for (int k = 0; k < 256; ++k)
        count[k] = static_cast<uint64_t>(tables[0][k]) + tables[1][k] + tables[2][k] + tables[3][k];

    const double total = nf == 3 ? 3.0 * si.rows * si.cols : static_cast<double>(n);
    float cdf[256];
    float run = 0.0f;
    for (int k = 0; k < 256; ++k) {
        run = k == 0 ? binShare(count[0], total) : run + binShare(count[k], total);
        cdf[k] = run;
    }
    if (nf == 3) {
        for (int k = 0; k < 256; ++k) std::printf("h[%d]= %f\n", k, static_cast<double>(count[k]));
        for (int k = 0; k < 256; ++k) std::printf("p[%d]= %f\n", k, static_cast<double>(cdf[k]));
    }

    // NaN samples (bin 256) give NaN. Without kept bins, each chunk is binned
    // again before any of it is written, so the output may be the input.
    double lut[257];
    float lutf[257];
    for (int k = 0; k < 256; ++k) lut[k] = static_cast<double>(cdf[k]) * 255.0;
    lut[256] = std::nan("");
    for (int k = 0; k < 257; ++k) lutf[k] = static_cast<float>(lut[k]);
    if (kept != nullptr) {
        // Four samples a step, from the last ones down: a step reads its four
        // bins (one 64-bit word) before it writes their floats, and writes
        // nothing below byte 4 j, where the bins not yet read end at byte 2 j.
        // One sample a step is a loop of five instructions whose speed depends
        // on where the code happens to lie: across a 64-byte boundary it made
        // the whole equalisation 10 to 15% slower, as in GCC's -O3 build.
        constexpr bool little = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
        int64_t j = nf * n;
        for (; j >= 4; j -= 4) {
            uint64_t k;
            std::memcpy(&k, kept + 2 * (j - 4), 8);
            auto bin = [k](int l) { return (k >> (little ? 16 * l : 48 - 16 * l)) & 0xFFFF; };
            const float v[4] = {lutf[bin(0)], lutf[bin(1)], lutf[bin(2)], lutf[bin(3)]};
            std::memcpy(kept + 4 * (j - 4), v, sizeof v);
        }
        while (j-- > 0) {
            uint16_t k;
            std::memcpy(&k, kept + 2 * j, 2);
            std::memcpy(kept + 4 * j, &lutf[k], 4);
        }
        return 0;
    }
    for (int f = 0; f < nf; ++f) {
        for (int64_t start = 0; start < n; start += kChunk) {
            const int64_t len = std::min(kChunk, n - start);
            binsOf(f, start, len);
            storeEachSample(out, f, start, len, [&](int64_t j) { return lut[bins[j]]; });
        }
    }
    return 0;
}

int equaliseWindows(ZVEKHDR *in, const Shape &si, ZVEKHDR *out, int nf, int N) {
    const int Nr = si.rows, Nc = si.cols;
    const int64_t plane = si.plane();
    const float *src = ops::floatData(in);
    // Results go to a scratch image first: a refused pixel leaves out as it
    // was, and out may be the input itself.
    std::vector<float> result(static_cast<size_t>(plane * nf));
    uint32_t bins[258];
    float cdf[256];

    auto windowOf = [N](int x, int len, int &lo, int &hi) {
        lo = x - N;
        hi = x + N;
        if (lo < 0) {
            lo = 0;
            hi = 2 * N;
        }
        if (hi >= len) {
            hi = len - 1;
            lo = len - 1 - 2 * N;
        }
    };

    for (int f = 0; f < nf; ++f) {
        const float *frame = src + f * plane;
        float *dst = result.data() + f * plane;
        for (int r = 0; r < Nr; ++r) {
            int r0, r1;
            windowOf(r, Nr, r0, r1);
            for (int c = 0; c < Nc; ++c) {
                int c0, c1;
                windowOf(c, Nc, c0, c1);
                float mx = -1.0e6f, mn = 1.0e6f;
                for (int rr = r0; rr <= r1; ++rr) {
                    const float *row = frame + static_cast<int64_t>(rr) * Nc;
                    for (int cc = c0; cc <= c1; ++cc) {
                        if (row[cc] > mx) mx = row[cc];
                        if (row[cc] < mn) mn = row[cc];
                    }
                }
                std::memset(bins, 0, sizeof bins);
                for (int rr = r0; rr <= r1; ++rr) {
                    const float *row = frame + static_cast<int64_t>(rr) * Nc;
                    for (int cc = c0; cc <= c1; ++cc) {
                        const float v = row[cc];
                        if (std::isnan(v)) continue;
                        int k = 0;
                        if (mx != mn) {
                            const float q = (v - mn) / (mx - mn);
                            k = clampBin(static_cast<double>(q) * 256.0, 257);
                        }
                        if (k > 256) std::printf("iv wrong");
                        ++bins[k];
                    }
                }
                uint64_t total = 0;
                for (int k = 0; k < 256; ++k) total += bins[k];
                float run = 0.0f;
                for (int k = 0; k < 256; ++k) {
                    const float p = binShare(bins[k], static_cast<double>(total));
                    run = k == 0 ? p : run + p;
                    cdf[k] = run;
                }

                const float v = frame[static_cast<int64_t>(r) * Nc + c];
                float &o = dst[static_cast<int64_t>(r) * Nc + c];
                if (std::isnan(v)) {
                    o = v;
                    continue;
                }
                int k = 0;
                if (mx - mn >= 0.5f) {
                    float t = 255.0f * (v - mn);
                    t = t / (mx - mn);
                    k = clampBin(std::floor(t), 255);
                }
                float e = cdf[k];
                if (e > 255.0f || e < 0.0f) {
                    std::printf("! %f  %d  %d \n", static_cast<double>(e), r, c);
                    std::fflush(stdout);
                    return kOutOfRange;
                }
                if (mx != mn) {
                    const float prod = e * (mx - mn);
                    e = static_cast<float>(static_cast<double>(prod) / 256.0 + static_cast<double>(mn));
                } else {
                    e = 0.0f;
                }
                if (e > 255.0f || e < 0.0f) {
                    std::printf("!! %f  %d  %d \n", static_cast<double>(e), r, c);
                    std::fflush(stdout);
                    return kOutOfRange;
                }
                o = e;
            }
        }
    }
    float *dst = ops::floatData(out);
    for (int f = 0; f < nf; ++f) {
        std::memcpy(dst + f * plane, result.data() + f * plane, static_cast<size_t>(plane) * sizeof(float));
    }
    return 0;
}

}  // namespace

static int equalise(ZVEKHDR *in, ZVEKHDR *out, int N) {
    if (!ops::usableImage(in) || ops::ndimOf(in) < 2) {
        std::printf("flHistogramEq: input is not a usable image\n");
        return kBadImages;
    }
    const Shape si = ops::shapeOf(in);
    const int Nr = si.rows, Nc = si.cols;
    // A window must lie inside the image: it needs 2N + 1 rows and columns.
    const bool tooSmall = Nc <= N || Nr <= N ||
                          (N > 0 && (Nc < 2 * static_cast<int64_t>(N) + 1 || Nr < 2 * static_cast<int64_t>(N) + 1));
    if (tooSmall) {
        std::printf("Hist0.0:Cannot equalize histogram of an image (%d x %d )smaller than the neighborhood(%d)\n", Nr,
                    Nc, N);
        return -1;
    }
    const int nf = (ops::ndimOf(in) == 3 && si.frames == 3) ? 3 : 1;
    const Shape so = ops::shapeOf(out);
    if (!ops::usableImage(out) || so.cols != Nc || so.rows != Nr || so.frames < nf) {
        std::printf("flHistogramEq: output image does not match the input image\n");
        return kBadImages;
    }
    if (N > 0 && (in->dtype != DT_32FLT || out->dtype != DT_32FLT)) {
        std::printf("flHistogramEq: neighborhood equalization needs float images\n");
        return kBadImages;
    }
    reportNegativeBorder(in, si, nf);
    return N <= 0 ? equaliseWhole(in, si, out, nf) : equaliseWindows(in, si, out, nf, N);
}

int flHistogramEq(ZVEKHDR *in, ZVEKHDR *out, int N) {
    try {
        return equalise(in, out, N);
    } catch (const std::bad_alloc &) {
        std::printf("flHistogramEq: can't allocate storage\n");
        return kNoMemory;
    }
}
