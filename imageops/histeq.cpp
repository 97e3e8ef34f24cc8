// Histogram equalisation of a whole image or of every pixel's neighbourhood.
#include "imageops.h"
#include "opsframes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

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

// Extremes of the finite samples of a contiguous float frame, folded into
// mn and mx. Sixteen lanes each keep their own extremes; the result does not
// depend on the order of the comparisons.
ZVEK_VECTOR_CLONES void finiteExtremes(const float *p, int64_t n, float &mn, float &mx) {
    // Built with operators only: in a build without inlining, a vector
    // passed to or returned from a function of another instruction set
    // would not arrive intact.
    zvek::v16sf vmx = zvek::v16sf{} + mx, vmn = zvek::v16sf{} + mn;
    int64_t i = 0;
    for (; i + 16 <= n; i += 16) {
        zvek::v16sf v;
        std::memcpy(&v, p + i, sizeof v);
        zvek::v16si bits;
        std::memcpy(&bits, &v, sizeof bits);
        const zvek::v16si finite = (bits & 0x7f800000) < 0x7f800000;  // false for NaN and infinities
        const zvek::v16sf forMax = finite ? v : vmx, forMin = finite ? v : vmn;
        vmx = forMax > vmx ? forMax : vmx;
        vmn = forMin < vmn ? forMin : vmn;
    }
    for (; i < n; ++i) {
        const float v = p[i];
        if (!std::isfinite(v)) continue;
        if (v > vmx[0]) vmx[0] = v;
        if (v < vmn[0]) vmn[0] = v;
    }
    for (int l = 0; l < 16; ++l) {
        if (vmx[l] > mx) mx = vmx[l];
        if (vmn[l] < mn) mn = vmn[l];
    }
}

// wholeBin of every sample of a contiguous float frame, four at a time with
// the same arithmetic (four doubles are one register on AVX2 and up), stored
// as bytes. A NaN sample stores 0 and is counted; returns the NaN count.
ZVEK_VECTOR_CLONES int64_t binsOfFloats(const float *p, int64_t n, float mn, double range, uint8_t *bins) {
    typedef float v4sf __attribute__((vector_size(16)));
    typedef double v4df __attribute__((vector_size(32)));
    typedef int32_t v4si __attribute__((vector_size(16)));
    typedef uint8_t v4qu __attribute__((vector_size(4)));
    const v4df zero = {0.0, 0.0, 0.0, 0.0};
    const v4df top = zero + 255.0;
    v4si nans = {0, 0, 0, 0};
    int64_t i = 0;
    for (; i + 4 <= n; i += 4) {
        v4sf v;
        std::memcpy(&v, p + i, sizeof v);
        const v4df x = 255.0 * __builtin_convertvector(v - mn, v4df) / range;
        const v4si k = __builtin_convertvector(x >= top ? top : (x > zero ? x : zero), v4si);
        v4si bits;
        std::memcpy(&bits, &v, sizeof bits);
        const v4si nan = (bits & 0x7fffffff) > 0x7f800000;  // -1 where NaN
        nans -= nan;
        const v4qu b = __builtin_convertvector(k & ~nan, v4qu);
        std::memcpy(bins + i, &b, sizeof b);
    }
    int64_t count = nans[0] + nans[1] + nans[2] + nans[3];
    for (; i < n; ++i) {
        const int k = wholeBin(p[i], mn, range);
        count += k == 256;
        bins[i] = static_cast<uint8_t>(k);
    }
    return count;
}

void lookUpFloats(const uint8_t *bins, int64_t n, const float *lut, float *out) {
    for (int64_t i = 0; i < n; ++i) out[i] = lut[bins[i]];
}

inline bool contiguousFloat(const ZVEKHDR *h) { return h->dtype == DT_32FLT; }

int equaliseWhole(ZVEKHDR *in, const Shape &si, ZVEKHDR *out, int nf) {
    const int64_t n = si.plane();

    // Extremes over the finite samples of every used frame.
    float mx = -1.0e6f, mn = 1.0e6f;
    for (int f = 0; f < nf; ++f) {
        if (contiguousFloat(in)) {
            finiteExtremes(ops::floatData(in) + f * n, n, mn, mx);
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

    // The bin of every used sample as a byte, all taken before anything is
    // written, so the output may be the input image itself. NaN samples,
    // which have no bin, are counted apart.
    const int64_t all = n * nf;
    std::unique_ptr<uint8_t[]> bins(new uint8_t[static_cast<size_t>(all)]);
    int64_t nans = 0;
    for (int f = 0; f < nf; ++f) {
        uint8_t *b = bins.get() + f * n;
        if (contiguousFloat(in)) {
            nans += binsOfFloats(ops::floatData(in) + f * n, n, mn, range, b);
            continue;
        }
        forEachSample(in, f, 0, n, [&](int64_t i, float v) {
            const int k = wholeBin(v, mn, range);
            nans += k == 256;
            b[i] = static_cast<uint8_t>(k);
        });
    }

    // Integer counts, in four interleaved tables so that neighbouring samples
    // of one bin do not wait on each other.
    uint32_t tables[4][256] = {};
    int64_t i = 0;
    for (; i + 4 <= all; i += 4) {
        ++tables[0][bins[i]];
        ++tables[1][bins[i + 1]];
        ++tables[2][bins[i + 2]];
        ++tables[3][bins[i + 3]];
    }
    for (; i < all; ++i) ++tables[0][bins[i]];
    uint64_t count[256];
    for (int k = 0; k < 256; ++k)
        count[k] = static_cast<uint64_t>(tables[0][k]) + tables[1][k] + tables[2][k] + tables[3][k];
    count[0] -= static_cast<uint64_t>(nans);

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

    double lut[257];
    float lutf[257];
    for (int k = 0; k < 256; ++k) lut[k] = static_cast<double>(cdf[k]) * 255.0;
    lut[256] = std::nan("");
    for (int k = 0; k < 257; ++k) lutf[k] = static_cast<float>(lut[k]);

    for (int f = 0; f < nf; ++f) {
        const uint8_t *b = bins.get() + f * n;
        if (nans == 0 && contiguousFloat(out)) {
            lookUpFloats(b, n, lutf, ops::floatData(out) + f * n);
        } else if (nans == 0) {
            storeEachSample(out, f, 0, n, [&](int64_t j) { return lut[b[j]]; });
        } else {
            // NaN samples give NaN: their bins are taken again, chunk by chunk,
            // each chunk read before it is written.
            constexpr int64_t kChunk = 4096;
            uint16_t chunk[kChunk];
            for (int64_t start = 0; start < n; start += kChunk) {
                const int64_t len = std::min(kChunk, n - start);
                forEachSample(in, f, start, len, [&](int64_t j, float v) { chunk[j] = wholeBin(v, mn, range); });
                storeEachSample(out, f, start, len, [&](int64_t j) { return lut[chunk[j]]; });
            }
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
