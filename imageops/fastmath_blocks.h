// fastmath_blocks.h - the vector bodies of fastmath.cpp. Included there
// once per instruction set, each time inside a namespace of its own and
// with FASTMATH_ISA set: 2 AVX-512, 1 AVX2 with FMA, 0 the baseline. Not a
// header for anything else, so it has no include guard.
//
// Where the instruction set has it, a * b + c is one fused operation: it
// rounds once instead of twice, which only tightens the bounds given
// below, so every path keeps its results equal to the library call's.

// Everything here is defined once per instruction set, templates too: a
// template shared with another instruction set's code would be built for
// only one of them.

OPS_INLINE void load(f8 &v, const float *p) { __builtin_memcpy(&v, p, sizeof v); }
OPS_INLINE void store(float *p, const f8 &v) { __builtin_memcpy(p, &v, sizeof v); }

// Two vectors worked on side by side: every operation is done on the first
// and then on the second, so that the processor always has a second,
// independent chain of work while one waits for its results.
template <typename V>
struct Two {
    V a, b;
};
#define FASTMATH_BINARY(op)                                                                \
    template <typename V>                                                                  \
    OPS_INLINE auto operator op(const Two<V> &x, const Two<V> &y)->Two<decltype(x.a op y.a)> { \
        Two<decltype(x.a op y.a)> r;                                                       \
        r.a = x.a op y.a;                                                                  \
        r.b = x.b op y.b;                                                                  \
        return r;                                                                          \
    }                                                                                      \
    template <typename V, typename S, typename = std::enable_if_t<std::is_arithmetic<S>::value>> \
    OPS_INLINE auto operator op(const Two<V> &x, S s)->Two<decltype(x.a op s)> {           \
        Two<decltype(x.a op s)> r;                                                         \
        r.a = x.a op s;                                                                    \
        r.b = x.b op s;                                                                    \
        return r;                                                                          \
    }
FASTMATH_BINARY(+)
FASTMATH_BINARY(-)
FASTMATH_BINARY(*)
FASTMATH_BINARY(/)
FASTMATH_BINARY(&)
FASTMATH_BINARY(|)
FASTMATH_BINARY(^)
FASTMATH_BINARY(<<)
FASTMATH_BINARY(>>)
FASTMATH_BINARY(<)
FASTMATH_BINARY(>)
FASTMATH_BINARY(>=)
#undef FASTMATH_BINARY
template <typename V>
OPS_INLINE Two<V> operator-(const Two<V> &x) { return {-x.a, -x.b}; }
template <typename V>
OPS_INLINE Two<V> operator~(const Two<V> &x) { return {~x.a, ~x.b}; }

// The same bits seen as another vector type.
template <typename T, typename V>
OPS_INLINE Two<T> as(const Two<V> &x) { return {(T)x.a, (T)x.b}; }
// m ? x : y lane by lane (m a mask of all ones or zero per lane).
template <typename M, typename V>
OPS_INLINE Two<V> sel(const Two<M> &m, const Two<V> &x, const Two<V> &y) { return {m.a ? x.a : y.a, m.b ? x.b : y.b}; }
template <typename V, typename S>
OPS_INLINE Two<V> all(S s) { return {V{} + s, V{} + s}; }

typedef Two<f8> F;  // 16 floats
typedef Two<v8> U;  // their bits
typedef Two<i8> I;  // 16 signed 32-bit integers or single-precision masks
typedef Two<d8> D;  // 16 doubles
typedef Two<l8> L;  // 16 signed 64-bit integers or double-precision masks
typedef Two<u8> UL;

OPS_INLINE D splat(double v) { return all<d8>(v); }

// Lanes are flagged by the sign bit of a 64-bit mask: negative means the
// lane's value may round to another float than the true value and is
// recomputed by the library call. Flags combine with |.

// Flags the lanes whose 29 low significand bits lie within kNear units
// below or kNear - 1 units above the midpoint pattern 2^28.
OPS_INLINE L nearMidpoint(const D &y) {
    return as<l8>((as<u8>(y) + uint64_t(kNear - 0x10000000)) & 0x1FFFFFFFu) - 2 * kNear;
}

// x where the mask m is all ones, else y; bit operations, as GCC takes a
// select of wide double vectors lane by lane on the narrower instruction
// sets.
OPS_INLINE D pick(const L &m, const D &x, const D &y) { return as<d8>((as<l8>(x) & m) | (as<l8>(y) & ~m)); }

// Table lookups by lane: t[i[l]] for an 8-entry table, t[i[l]] with the
// first 8 entries in lo and the next 8 in hi for a 16-entry one.
// Only the low 3 or 4 bits of an index count.
#if defined(__GNUC__) && !defined(__clang__)
template <typename V>
OPS_INLINE V lookup8(const V &t, const l8 &i) { return __builtin_shuffle(t, i); }
OPS_INLINE d8 lookup16(const d8 &lo, const d8 &hi, const l8 &i) { return __builtin_shuffle(lo, hi, i); }
#else
template <typename V>
OPS_INLINE V lookup8(const V &t, const l8 &i) {
    V r;
    for (int l = 0; l < 8; ++l) r[l] = t[i[l] & 7];
    return r;
}
OPS_INLINE d8 lookup16(const d8 &lo, const d8 &hi, const l8 &i) {
    d8 r;
    for (int l = 0; l < 8; ++l) r[l] = (i[l] & 8) ? hi[i[l] & 7] : lo[i[l] & 7];
    return r;
}
#endif
OPS_INLINE D lookup8(const d8 &t, const L &i) { return {lookup8(t, i.a), lookup8(t, i.b)}; }
OPS_INLINE L lookup8(const l8 &t, const L &i) { return {lookup8(t, i.a), lookup8(t, i.b)}; }
OPS_INLINE D lookup16(const d8 &lo, const d8 &hi, const L &i) { return {lookup16(lo, hi, i.a), lookup16(lo, hi, i.b)}; }

OPS_INLINE bool anyFlagged(const L &m) {
    typedef int64_t l4 __attribute__((vector_size(32)));
    typedef int64_t l2 __attribute__((vector_size(16)));
    const l8 o = m.a | m.b;
    const l4 x = __builtin_shufflevector(o, o, 0, 1, 2, 3) | __builtin_shufflevector(o, o, 4, 5, 6, 7);
    const l2 y = __builtin_shufflevector(x, x, 0, 1) | __builtin_shufflevector(x, x, 2, 3);
    return (y[0] | y[1]) < 0;
}

OPS_INLINE d8 mulAdd(const d8 &a, const d8 &b, const d8 &c) {
#if FASTMATH_ISA == 2
    return (d8)_mm512_fmadd_pd((__m512d)a, (__m512d)b, (__m512d)c);
#elif FASTMATH_ISA == 1
    typedef double d4 __attribute__((vector_size(32)));
    const d4 lo = (d4)_mm256_fmadd_pd((__m256d)__builtin_shufflevector(a, a, 0, 1, 2, 3),
                                      (__m256d)__builtin_shufflevector(b, b, 0, 1, 2, 3),
                                      (__m256d)__builtin_shufflevector(c, c, 0, 1, 2, 3));
    const d4 hi = (d4)_mm256_fmadd_pd((__m256d)__builtin_shufflevector(a, a, 4, 5, 6, 7),
                                      (__m256d)__builtin_shufflevector(b, b, 4, 5, 6, 7),
                                      (__m256d)__builtin_shufflevector(c, c, 4, 5, 6, 7));
    return __builtin_shufflevector(lo, hi, 0, 1, 2, 3, 4, 5, 6, 7);
#else
    return a * b + c;
#endif
}
OPS_INLINE D mulAdd(const D &a, const D &b, const D &c) { return {mulAdd(a.a, b.a, c.a), mulAdd(a.b, b.b, c.b)}; }

// Widening conversions: floats and 32-bit integers to doubles, 32-bit masks
// to 64-bit ones (GCC splits the generic ones into halves). The AVX-512
// ones are the masked instructions with every lane selected.
OPS_INLINE d8 toDouble(const f8 &v) {
#if FASTMATH_ISA == 2
    return (d8)_mm512_maskz_cvtps_pd(0xFF, (__m256)v);
#else
    return __builtin_convertvector(v, d8);
#endif
}
OPS_INLINE d8 intToDouble(const i8 &v) {
#if FASTMATH_ISA == 2
    return (d8)_mm512_maskz_cvtepi32_pd(0xFF, (__m256i)v);
#else
    return __builtin_convertvector(v, d8);
#endif
}
OPS_INLINE l8 widen(const i8 &m) {
#if FASTMATH_ISA == 2
    return (l8)_mm512_maskz_cvtepi32_epi64(0xFF, (__m256i)m);
#else
    return __builtin_convertvector(m, l8);
#endif
}
OPS_INLINE D toDouble(const F &v) { return {toDouble(v.a), toDouble(v.b)}; }
OPS_INLINE D intToDouble(const I &v) { return {intToDouble(v.a), intToDouble(v.b)}; }
OPS_INLINE L widen(const I &m) { return {widen(m.a), widen(m.b)}; }
OPS_INLINE F toFloat(const D &v) { return {__builtin_convertvector(v.a, f8), __builtin_convertvector(v.b, f8)}; }

// exp: x = (16 k + j) ln2/16 + r with k, j integer, 0 <= j < 16 and |r| <=
// ln2/32 + 2^-40; (16 k + j) ln2/16 is taken off in two steps (the first
// product is exact and so is its subtraction from the float x), so r
// carries an error below 2^-58. exp(x) = 2^k 2^(j/16) exp(r): 2^(j/16)
// from a table (rounded, 2^-53 relative), exp(r) its Taylor polynomial of
// degree 5 (remainder below 0.0217^6 / 6! < 2^-42.6 relative), summed by
// Estrin's scheme (rounding below 2^-51 relative); the power 2^k is
// exact. In all below 2^-42.5 relative.
//
// x below -104: exp(x) < 2^-150, which rounds to +0. x from -104 to -87:
// the result is at most a subnormal float; library call. x above 6: exp(x)
// > 255, so 255. NaN: library call.
OPS_INLINE void expBlock(const F &v, float scale, F &out, L &slow) {
    const d8 tabLo = {0x1.0000000000000p+0, 0x1.0b5586cf9890fp+0, 0x1.172b83c7d517bp+0, 0x1.2387a6e756238p+0,
                      0x1.306fe0a31b715p+0, 0x1.3dea64c123422p+0, 0x1.4bfdad5362a27p+0, 0x1.5ab07dd485429p+0};
    const d8 tabHi = {0x1.6a09e667f3bcdp+0, 0x1.7a11473eb0187p+0, 0x1.8ace5422aa0dbp+0, 0x1.9c49182a3f090p+0,
                      0x1.ae89f995ad3adp+0, 0x1.c199bdd85529cp+0, 0x1.d5818dcfba487p+0, 0x1.ea4afa2a490dap+0};
    const F q = v / scale;
    const I zero = q < -104.0f;
    const I inRange = q >= -87.0f;  // false for NaN
    const F qc = sel(inRange, sel(q < 6.0f, q, all<f8>(6.0f)), F{});
    const D x = toDouble(qc);
    const D t = mulAdd(x, splat(0x1.71547652b82fep+4), splat(kShifter));  // 16 / ln2
    const D kd = t - splat(kShifter);
    const L ki = as<l8>(t) - as<l8>(splat(kShifter));
    // ln2/16 in two parts
    const D r = mulAdd(kd, splat(0x1.718432a1b0e26p-39), mulAdd(kd, splat(-0x1.62e42ffp-5), x));
    const D r2 = r * r, r4 = r2 * r2;
    const D a0 = splat(1.0) + r, a1 = mulAdd(r, splat(1.0 / 6), splat(1.0 / 2));
    const D a2 = mulAdd(r, splat(1.0 / 120), splat(1.0 / 24));
    const D p = mulAdd(a2, r4, mulAdd(a1, r2, a0));
    const D scaled = as<d8>(as<l8>(lookup16(tabLo, tabHi, ki & 15)) + ((ki >> 4) << 52));
    const D y = p * scaled;
    const F f = toFloat(y);
    out = sel(zero, F{}, sel(f > 255.0f, all<f8>(255.0f), f));
    // Lanes off the polynomial's range compute exp(0) = 1, never near.
    slow = nearMidpoint(y) | widen(~inRange & ~zero);
}

// ln: a positive normal float x is 2^k z with z in [0.703125, 1.40625)
// (bit operations on the float), and z lies in one of 16 intervals j,
// below 1 of width 1/32, above 1 of width 1/16, the one holding 1 reaching
// from 1 - 1/64 to 1 + 1/32. With c_j near the inverse of its interval's
// middle (21 bits, exactly 1 for the interval holding 1), r = z c_j - 1 is
// exact and |r| <= 2^-5, and ln x = k ln2 - ln c_j + ln(1 + r): -ln c_j
// from a table (rounded), ln(1 + r) its Taylor polynomial of degree 8
// (remainder below |r|^9 / 9). With k = 0 and the interval holding 1 the
// result is ln(1 + r) alone, within |r|^8 / 9 < 2^-43 relative; in the
// other intervals |ln z| >= 0.0157 and the remainder stays below 2^-48.5;
// with k != 0, |ln x| > 0.34. Rounding adds less than 2^-47, so every
// result is within 2^-42.5 relative.
//
// x <= 0 or NaN: 0. Subnormal x and +inf: library call.
OPS_INLINE void lnBlock(const F &v, F &out, L &slow) {
    const d8 invLo = {0x1.642c8p+0, 0x1.55555p+0, 0x1.47ae1p+0, 0x1.3b13bp+0,
                      0x1.2f685p+0, 0x1.24925p+0, 0x1.1a7b9p+0, 0x1.11111p+0};
    const d8 invHi = {0x1.08421p+0, 1.0, 0x1.e1e1ep-1, 0x1.c71c7p-1, 0x1.af287p-1, 0x1.9999ap-1, 0x1.86186p-1, 0x1.745d1p-1};
    const d8 lnLo = {-0x1.522ad0738a1d8p-2, -0x1.269611134d992p-2, -0x1.f991aacb3b069p-3, -0x1.a93ecbc8ad9a3p-3,
                     -0x1.5bf422b543aa2p-3, -0x1.117918227db7cp-3, -0x1.93358dd593a69p-4, -0x1.08597b59e3987p-4};
    const d8 lnHi = {-0x1.0415c89e74404p-5, 0.0, 0x1.f0a32c01163a6p-5, 0x1.e27086e2af366p-4,
                     0x1.5ff2f30a79564p-3, 0x1.c8ff5c79a9e22p-3, 0x1.1675cebaba62ep-2, 0x1.4618d021c61e2p-2};
    const U bits = as<v8>(v);
    const I pos = v > 0.0f;  // false for NaN
    // Normal and finite: the bits lie in 0x00800000 .. 0x7F7FFFFF.
    const I normal = as<i8>((bits - 0x00800000u) < 0x7F000000u);
    const U ub = sel(normal, bits, all<v8>(0x3F800000u));  // 1.0 elsewhere
    const I tmp = as<i8>(ub - 0x3F340000u);  // 0.703125
    const L j = widen((tmp >> 19) & 15);
    const D kd = intToDouble(tmp >> 23);
    const D z = toDouble(as<f8>(ub - (as<v8>(tmp) & 0xFF800000u)));
    const D r = mulAdd(z, lookup16(invLo, invHi, j), splat(-1.0));
    const D r2 = r * r, r4 = r2 * r2;
    const D a1 = mulAdd(r, splat(1.0 / 3), splat(-1.0 / 2)), a2 = mulAdd(r, splat(1.0 / 5), splat(-1.0 / 4));
    const D a3 = mulAdd(r, splat(1.0 / 7), splat(-1.0 / 6));
    const D p = mulAdd(mulAdd(splat(-1.0 / 8), r4, mulAdd(a3, r2, a2)), r4, mulAdd(a1, r2, r));
    const D y = mulAdd(kd, splat(kLn2Hi), lookup16(lnLo, lnHi, j)) + mulAdd(kd, splat(kLn2Lo), p);
    out = sel(pos, toFloat(y), F{});
    // Lanes that are not positive normal compute ln 1 = 0, never near.
    slow = nearMidpoint(y) | widen(pos & ~normal);
}

// atan2: both samples finite and nonzero (anything else takes the library
// call). With lo = min(|x|, |y|) and hi = max(|x|, |y|), atan(lo / hi) is
// taken as off + atan(t): t = lo / hi, off = 0 where lo <= tan(pi/12) hi
// (decided in single precision, which moves the bound by a relative 2^-22
// at most), else t = (lo sqrt3 - hi) / (lo + hi sqrt3), off = pi/6 (one
// division either way), so |t| <= tan(pi/12) + 2^-20 < 0.268. In the first
// case t carries a relative error below 2^-52; in the second an absolute
// error below 2^-50 and off + atan(t) >= pi/12. atan(t) is t P(t^2) with P
// of degree 6, fitted for the least largest relative error on that range
// (below 2^-43.8), summed by Estrin's scheme (rounding below 2^-49
// relative). The angle is then K + S (off + atan(t)) with S = +-1 and K
// one of 0, pi/2 (|y| > |x|) and pi (x < 0): the table holds K + S off
// rounded and S, so one addition of an error near 2^-52 remains, to a
// result of at least pi/12; every result is within 2^-43.5 relative of the
// true angle. The sign is y's. Results that may fall below the smallest
// normal float (tiny |y / x|) take the library call, as the float rounding
// there has fewer bits.
OPS_INLINE void atan2Block(const F &yv, const F &xv, F &out, L &slow) {
    const d8 base = {0.0, 0x1.921fb54442d18p+0, 0x1.921fb54442d18p+1, 0x1.921fb54442d18p+0,
                     0x1.0c152382d7366p-1, 0x1.0c152382d7366p+0, 0x1.4f1a6c638d03fp+1, 0x1.0c152382d7366p+1};
    const l8 negate = {0, INT64_MIN, INT64_MIN, 0, 0, INT64_MIN, INT64_MIN, 0};
    const F ay = as<f8>(as<v8>(yv) & 0x7FFFFFFFu), ax = as<f8>(as<v8>(xv) & 0x7FFFFFFFu);
    const I swap = ay > ax;  // false with a NaN
    const F lof = sel(swap, ax, ay), hif = sel(swap, ay, ax);
    // Both finite and nonzero: lo above 0 and hi below infinity. A NaN
    // fails too: it is lo when it is |y| and hi when it is |x|.
    const I ok = (lof > 0.0f) & (hif < HUGE_VALF);
    // A result below the smallest normal float needs lo / hi < 2^-126 (and
    // so hi >= 2^-23, which keeps hi 2^-124 exact to within an eighth).
    // Below hi = 2^-100 the products with hi are no longer sure to be
    // normal floats, so such pairs go to the library call as well.
    const I tiny = (lof < hif * 0x1p-124f) | (hif < 0x1p-100f);
    const I bigf = lof > hif * 0x1.126146p-2f;  // tan(pi/12)
    // Table index in the low 3 bits (the lookups read no others), the flag
    // for the library call in the sign.
    const I idx = as<i8>(as<v8>(swap) >> 31) | as<i8>((as<v8>(xv) >> 30) & 2u) | (bigf & 4) | ((~ok | tiny) & INT32_MIN);
    const L k = widen(idx), big = widen(bigf);
    const D lo = toDouble(lof), hi = toDouble(hif);
    const D num = pick(big, mulAdd(lo, splat(0x1.bb67ae8584caap0), -hi), lo);
    const D den = pick(big, mulAdd(hi, splat(0x1.bb67ae8584caap0), lo), hi);
    const D t = num / den;
    const D s = t * t, s2 = s * s, s4 = s2 * s2;
    const D b0 = mulAdd(s, splat(-0x1.55555553d7212p-2), splat(0x1.ffffffffffdc6p-1));
    const D b1 = mulAdd(s, splat(-0x1.24916c536f482p-3), splat(0x1.999996fb80213p-3));
    const D b2 = mulAdd(s, splat(-0x1.6eae604b3b843p-4), splat(0x1.c6d6d67046786p-4));
    const D b3 = mulAdd(s2, splat(0x1.fdb59573747e3p-5), b2);
    const D p = mulAdd(b3, s4, mulAdd(b1, s2, b0));
    const D y = mulAdd(t, as<d8>(as<l8>(p) ^ lookup8(negate, k)), lookup8(base, k));
    const F f = toFloat(y);
    out = as<f8>(as<v8>(f) | (as<v8>(yv) & 0x80000000u));
    // Lanes off the fast road are flagged, whatever they computed.
    slow = nearMidpoint(y) | k;
}

// Chunks of kChunk samples of nIn inputs: block computes 16 results from
// 16 samples of each input and flags the lanes for the library call,
// one(in, i) is the library road for sample i of the chunk, reading the
// chunk's inputs from in. The flagged lanes are taken up at the end of the
// chunk. With keep, the run is in place: the inputs are copied as they are
// read, so that the library call still has them.
template <bool keep, int nIn, typename Block, typename One>
OPS_INLINE void runChunks(const float *const *src, float *dst, int64_t n, const Block &block, const One &one) {
    constexpr int kChunk = 256, kBlocks = kChunk / 16;
    float copy[nIn][keep ? kChunk : 1];
    const float *in[nIn];
    L slow[kBlocks];
    for (int64_t i = 0; i < n; i += kChunk) {
        for (int k = 0; k < nIn; ++k) in[k] = keep ? copy[k] : src[k] + i;
        const int len = n - i < kChunk ? int(n - i) : kChunk;
        const int full = len / 16;
        L any{};
        for (int b = 0; b < full; ++b) {
            F v[nIn], f;
            for (int k = 0; k < nIn; ++k) {
                load(v[k].a, src[k] + i + 16 * b);
                load(v[k].b, src[k] + i + 16 * b + 8);
                if (keep) {
                    store(copy[k] + 16 * b, v[k].a);
                    store(copy[k] + 16 * b + 8, v[k].b);
                }
            }
            block(v, f, slow[b]);
            store(dst + i + 16 * b, f.a);
            store(dst + i + 16 * b + 8, f.b);
            any = any | slow[b];
        }
        const int rest = len - 16 * full;
        if (rest > 0) {
            F v[nIn], f;
            float part[16];
            for (int k = 0; k < nIn; ++k) {
                std::memset(part, 0, sizeof part);
                std::memcpy(part, src[k] + i + 16 * full, size_t(rest) * sizeof(float));
                load(v[k].a, part);
                load(v[k].b, part + 8);
                if (keep) std::memcpy(copy[k] + 16 * full, part, size_t(rest) * sizeof(float));
            }
            block(v, f, slow[full]);
            store(part, f.a);
            store(part + 8, f.b);
            std::memcpy(dst + i + 16 * full, part, size_t(rest) * sizeof(float));
            any = any | slow[full];
        }
        if (anyFlagged(any))
            for (int j = 0; j < len; ++j) {
                const L &m = slow[j / 16];
                if ((j % 16 < 8 ? m.a[j % 8] : m.b[j % 8]) < 0) dst[i + j] = one(in, j);
            }
    }
}

template <int nIn, typename Block, typename One>
OPS_INLINE void run(const float *const *src, float *dst, int64_t n, const Block &block, const One &one) {
    bool inPlace = false;
    for (int k = 0; k < nIn; ++k) inPlace = inPlace || src[k] == dst;
    if (inPlace)
        runChunks<true, nIn>(src, dst, n, block, one);
    else
        runChunks<false, nIn>(src, dst, n, block, one);
}

OPS_INLINE void runExp(const float *s, float *d, int64_t n, float scale) {
    run<1>(
        &s, d, n, [scale](const F *v, F &f, L &slow) OPS_LAMBDA { expBlock(v[0], scale, f, slow); },
        [scale](const float *const *in, int j) OPS_LAMBDA { return expOne(in[0][j], scale); });
}
OPS_INLINE void runLn(const float *s, float *d, int64_t n) {
    run<1>(
        &s, d, n, [](const F *v, F &f, L &slow) OPS_LAMBDA { lnBlock(v[0], f, slow); },
        [](const float *const *in, int j) OPS_LAMBDA { return lnOne(in[0][j]); });
}
OPS_INLINE void runAtan2(const float *y, const float *x, float *d, int64_t n) {
    const float *src[2] = {y, x};
    run<2>(
        src, d, n, [](const F *v, F &f, L &slow) OPS_LAMBDA { atan2Block(v[0], v[1], f, slow); },
        [](const float *const *in, int j) OPS_LAMBDA { return atan2One(in[0][j], in[1][j]); });
}

void expRun(const float *s, float *d, int64_t n, float scale) { runExp(s, d, n, scale); }
void lnRun(const float *s, float *d, int64_t n) { runLn(s, d, n); }
void atan2Run(const float *y, const float *x, float *d, int64_t n) { runAtan2(y, x, d, n); }
