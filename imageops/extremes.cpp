// The extremes scan over the finite values of a float array. The wide builds
// keep several running extremes per lane, each the plain scan of every
// lane-th value; merged they give the plain scan's extremes, up to the sign
// of a zero extreme, which is then taken from the first zero.
#include "extremes.h"

#include "opsint.h"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace ops {

namespace {

// The plain scan; answers whether every value was finite.
bool plainExtremes(const float *p, int64_t n, float &mn, float &mx) {
    bool finite = true;
    for (int64_t i = 0; i < n; ++i) {
        const float v = p[i];
        if (!std::isfinite(v)) {
            finite = false;
            continue;
        }
        if (v > mx) mx = v;
        if (v < mn) mn = v;
    }
    return finite;
}

// Merges running extremes of lanes into mn and mx.
void mergeLanes(const float *lanesMn, const float *lanesMx, int count, float &mn, float &mx) {
    for (int l = 0; l < count; ++l) {
        if (lanesMx[l] > mx) mx = lanesMx[l];
        if (lanesMn[l] < mn) mn = lanesMn[l];
    }
}

#if defined(__x86_64__)
// The same scan in four lanes, for any x86-64 (SSE2).
bool extremes128(const float *p, int64_t n, float &mn, float &mx) {
    constexpr int U = 4;
    const __m128i expo = _mm_set1_epi32(0x7f800000);
    __m128 vmx[U], vmn[U];
    for (int u = 0; u < U; ++u) vmx[u] = _mm_set1_ps(mx), vmn[u] = _mm_set1_ps(mn);
    __m128i bad = _mm_setzero_si128();
    int64_t i = 0;
    for (; i + 4 * U <= n; i += 4 * U) {
        fetchAhead(p + i);
        for (int u = 0; u < U; ++u) {
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i + 4 * u));
            const __m128i nonFinite = _mm_cmpeq_epi32(_mm_and_si128(b, expo), expo);
            bad = _mm_or_si128(bad, nonFinite);
            const __m128 v = _mm_castsi128_ps(_mm_or_si128(b, nonFinite));
            vmx[u] = _mm_max_ps(v, vmx[u]);
            vmn[u] = _mm_min_ps(v, vmn[u]);
        }
    }
    alignas(16) float lanesMx[4 * U], lanesMn[4 * U];
    for (int u = 0; u < U; ++u) _mm_store_ps(lanesMx + 4 * u, vmx[u]), _mm_store_ps(lanesMn + 4 * u, vmn[u]);
    mergeLanes(lanesMn, lanesMx, 4 * U, mn, mx);
    return plainExtremes(p + i, n - i, mn, mx) && _mm_movemask_epi8(bad) == 0;
}
#endif

#if OPS_HAVE_TARGETS
// Non-finite values (all exponent bits set) are turned into NaN, which the
// max and min instructions pass over: each keeps its second operand, the
// running extreme, for NaN and for an equal value, as the plain scan does.
OPS_TARGET("avx2") bool extremes256(const float *p, int64_t n, float &mn, float &mx) {
    constexpr int U = 4;
    const __m256i expo = _mm256_set1_epi32(0x7f800000);
    __m256 vmx[U], vmn[U];
    for (int u = 0; u < U; ++u) vmx[u] = _mm256_set1_ps(mx), vmn[u] = _mm256_set1_ps(mn);
    __m256i bad = _mm256_setzero_si256();
    int64_t i = 0;
    for (; i + 8 * U <= n; i += 8 * U) {
        fetchAhead(p + i);
        fetchAhead(p + i + 16);
        for (int u = 0; u < U; ++u) {
            const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + i + 8 * u));
            const __m256i nonFinite = _mm256_cmpeq_epi32(_mm256_and_si256(b, expo), expo);
            bad = _mm256_or_si256(bad, nonFinite);
            const __m256 v = _mm256_castsi256_ps(_mm256_or_si256(b, nonFinite));
            vmx[u] = _mm256_max_ps(v, vmx[u]);
            vmn[u] = _mm256_min_ps(v, vmn[u]);
        }
    }
    alignas(32) float lanesMx[8 * U], lanesMn[8 * U];
    for (int u = 0; u < U; ++u) _mm256_store_ps(lanesMx + 8 * u, vmx[u]), _mm256_store_ps(lanesMn + 8 * u, vmn[u]);
    mergeLanes(lanesMn, lanesMx, 8 * U, mn, mx);
    return plainExtremes(p + i, n - i, mn, mx) && _mm256_testz_si256(bad, bad);
}

OPS_TARGET("avx512f") bool extremes512(const float *p, int64_t n, float &mn, float &mx) {
    constexpr int U = 4;
    const __m512i expo = _mm512_set1_epi32(0x7f800000);
    __m512 vmx[U], vmn[U];
    for (int u = 0; u < U; ++u) vmx[u] = _mm512_set1_ps(mx), vmn[u] = _mm512_set1_ps(mn);
    __mmask16 bad = 0;
    int64_t i = 0;
    for (; i + 16 * U <= n; i += 16 * U) {
        for (int u = 0; u < U; ++u) {
            fetchAhead(p + i + 16 * u);
            const __m512i b = _mm512_loadu_si512(p + i + 16 * u);
            const __mmask16 finite = _mm512_cmpneq_epi32_mask(_mm512_and_si512(b, expo), expo);
            bad |= static_cast<__mmask16>(~finite);
            const __m512 v = _mm512_castsi512_ps(b);
            vmx[u] = _mm512_mask_max_ps(vmx[u], finite, v, vmx[u]);
            vmn[u] = _mm512_mask_min_ps(vmn[u], finite, v, vmn[u]);
        }
    }
    alignas(64) float lanesMx[16 * U], lanesMn[16 * U];
    for (int u = 0; u < U; ++u) _mm512_store_ps(lanesMx + 16 * u, vmx[u]), _mm512_store_ps(lanesMn + 16 * u, vmn[u]);
    mergeLanes(lanesMn, lanesMx, 16 * U, mn, mx);
    return plainExtremes(p + i, n - i, mn, mx) && bad == 0;
}
#endif

// The sign of the first zero among the values, for an extreme that became
// zero in the scan.
float firstZero(const float *p, int64_t n, float zero) {
    for (int64_t i = 0; i < n; ++i)
        if (p[i] == 0.0f) return p[i];
    return zero;
}

}  // namespace

bool finiteExtremes(const float *p, int64_t n, float &mn, float &mx) {
    const float startMn = mn, startMx = mx;
    bool finite;
    switch (vectorLevel()) {
#if OPS_HAVE_TARGETS
    case 2: finite = extremes512(p, n, mn, mx); break;
    case 1: finite = extremes256(p, n, mn, mx); break;
#endif
#if defined(__x86_64__)
    default: finite = extremes128(p, n, mn, mx); break;
#else
    default: return plainExtremes(p, n, mn, mx);
#endif
    }
    if (mx == 0.0f && startMx < 0.0f) mx = firstZero(p, n, mx);
    if (mn == 0.0f && startMn > 0.0f) mn = firstZero(p, n, mn);
    return finite;
}

}  // namespace ops
