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

// A pack is the vectors a block works on, side by side: every operation is
// done on each in turn, so that the processor always has independent
// chains of work while one waits for its results. A vector holds as many
// doubles as a register of the instruction set (the baseline's two),
// its floats take half of one.
#if FASTMATH_ISA == 2
constexpr int kWidth = 8, kParts = 2;  // doubles in a zmm register
#elif FASTMATH_ISA == 1
constexpr int kWidth = 4, kParts = 2;  // doubles in a ymm register
#else
constexpr int kWidth = 4, kParts = 1;  // two xmm registers of doubles
#endif
constexpr int kLanes = kWidth * kParts;  // samples per block
typedef float FV __attribute__((vector_size(4 * kWidth)));
typedef uint32_t UV __attribute__((vector_size(4 * kWidth)));
typedef int32_t IV __attribute__((vector_size(4 * kWidth)));
typedef double DV __attribute__((vector_size(8 * kWidth)));
typedef int64_t LV __attribute__((vector_size(8 * kWidth)));
typedef uint64_t ULV __attribute__((vector_size(8 * kWidth)));
template <typename V>
struct Pack {
    V p[kParts];
};
#define FASTMATH_EACH(stmt) \
    _Pragma("GCC unroll 2") for (int k_ = 0; k_ < kParts; ++k_) { stmt; }
#define FASTMATH_BINARY(op)                                                                           \
    template <typename V>                                                                             \
    OPS_INLINE auto operator op(const Pack<V> &x, const Pack<V> &y)->Pack<decltype(x.p[0] op y.p[0])> { \
        Pack<decltype(x.p[0] op y.p[0])> r;                                                           \
        FASTMATH_EACH(r.p[k_] = x.p[k_] op y.p[k_])                                                   \
        return r;                                                                                     \
    }                                                                                                 \
    template <typename V, typename S, typename = std::enable_if_t<std::is_arithmetic<S>::value>>      \
    OPS_INLINE auto operator op(const Pack<V> &x, S s)->Pack<decltype(x.p[0] op s)> {                 \
        Pack<decltype(x.p[0] op s)> r;                                                                \
        FASTMATH_EACH(r.p[k_] = x.p[k_] op s)                                                         \
        return r;                                                                                     \
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
OPS_INLINE Pack<V> operator-(const Pack<V> &x) {
    Pack<V> r;
    FASTMATH_EACH(r.p[k_] = -x.p[k_])
    return r;
}
template <typename V>
OPS_INLINE Pack<V> operator~(const Pack<V> &x) {
    Pack<V> r;
    FASTMATH_EACH(r.p[k_] = ~x.p[k_])
    return r;
}

// The same bits seen as another vector type.
template <typename T, typename V>
OPS_INLINE Pack<T> as(const Pack<V> &x) {
    Pack<T> r;
    FASTMATH_EACH(r.p[k_] = (T)x.p[k_])
    return r;
}
// m ? x : y lane by lane (m a mask of all ones or zero per lane).
template <typename M, typename V>
OPS_INLINE Pack<V> sel(const Pack<M> &m, const Pack<V> &x, const Pack<V> &y) {
    Pack<V> r;
    FASTMATH_EACH(r.p[k_] = m.p[k_] ? x.p[k_] : y.p[k_])
    return r;
}
template <typename V, typename S>
OPS_INLINE Pack<V> all(S s) {
    Pack<V> r;
    FASTMATH_EACH(r.p[k_] = V{} + s)
    return r;
}

typedef Pack<FV> F;  // floats
typedef Pack<UV> U;  // their bits
typedef Pack<IV> I;  // signed 32-bit integers or single-precision masks
typedef Pack<DV> D;  // doubles
typedef Pack<LV> L;  // signed 64-bit integers or double-precision masks

OPS_INLINE void load(F &v, const float *p) { FASTMATH_EACH(__builtin_memcpy(&v.p[k_], p + kWidth * k_, sizeof(FV))) }
OPS_INLINE void store(float *p, const F &v) { FASTMATH_EACH(__builtin_memcpy(p + kWidth * k_, &v.p[k_], sizeof(FV))) }

OPS_INLINE D splat(double v) { return all<DV>(v); }

// The sign bits of a vector's lanes as the bits of a number, lane l at
// bit l, taken from the whole register at once.
OPS_INLINE unsigned signBits(const LV &m) {
#if FASTMATH_ISA == 2
    return _mm512_cmplt_epi64_mask((__m512i)m, _mm512_setzero_si512());
#elif FASTMATH_ISA == 1
    return unsigned(_mm256_movemask_pd((__m256d)m));
#elif OPS_HAVE_TARGETS
    __m128d h[2];
    __builtin_memcpy(h, &m, sizeof h);
    return unsigned(_mm_movemask_pd(h[0]) | _mm_movemask_pd(h[1]) << 2);
#else
    unsigned bits = 0;
    for (int l = 0; l < kWidth; ++l) bits |= unsigned(m[l] < 0) << l;
    return bits;
#endif
}
OPS_INLINE unsigned signBits(const IV &m) {
#if FASTMATH_ISA == 2
    return unsigned(_mm256_movemask_ps((__m256)m));
#elif OPS_HAVE_TARGETS
    return unsigned(_mm_movemask_ps((__m128)m));
#else
    unsigned bits = 0;
    for (int l = 0; l < kWidth; ++l) bits |= unsigned(m[l] < 0) << l;
    return bits;
#endif
}
// Lane l of part k at bit kWidth k + l.
template <typename V>
OPS_INLINE unsigned signBits(const Pack<V> &m) {
    unsigned bits = 0;
    FASTMATH_EACH(bits |= signBits(m.p[k_]) << (kWidth * k_))
    return bits;
}

// A block flags a lane by setting its bit (as in signBits) when the lane's
// value may round to another float than the true value or is off the
// polynomial's range; such lanes are recomputed by the library call.
// Flags combine with |.

// Flags the lanes whose 29 low significand bits lie within kNear units
// below or kNear - 1 units above the midpoint pattern 2^28.
OPS_INLINE unsigned nearMidpoint(const D &y) {
    return signBits(as<LV>((as<ULV>(y) + uint64_t(kNear - 0x10000000)) & 0x1FFFFFFFu) - 2 * kNear);
}

// x where the mask m is all ones, else y; bit operations, as GCC takes a
// select of wide double vectors lane by lane on the narrower instruction
// sets.
OPS_INLINE D pick(const L &m, const D &x, const D &y) { return as<DV>((as<LV>(x) & m) | (as<LV>(y) & ~m)); }

// Table lookups by lane: t[i[l]] from a table of n = 8 or 16 entries, of
// which only the low 3 or 4 bits of an index count. AVX-512 holds the table
// in one or two registers and permutes them by the indices (the one-table
// permute as the masked instruction with every lane selected, as GCC's
// unmasked one starts from an undefined register); AVX2 permutes the
// halves of a table of 8 held in two registers and blends them, and gathers
// from a table of 16 (which measured faster than four permutes and three
// blends); the baseline, which has no permute by a vector, reads lane by
// lane.
template <int n>
OPS_INLINE DV lookupOne(const double *t, const LV &i) {
#if FASTMATH_ISA == 2
    const __m512d lo = _mm512_load_pd(t);
    if constexpr (n == 8) return (DV)_mm512_maskz_permutexvar_pd(0xFF, (__m512i)i, lo);
    else return (DV)_mm512_permutex2var_pd(lo, (__m512i)i, _mm512_load_pd(t + 8));
#elif FASTMATH_ISA == 1
    if constexpr (n == 16) {
        return (DV)_mm256_i64gather_pd(t, (__m256i)(i & (n - 1)), 8);
    } else {
        // Lane l of the 64-bit index i takes the 32-bit lanes 2 (i & 3) and
        // 2 (i & 3) + 1 of each half of the table, bit 2 of i picks the half.
        const __m256i ii = (__m256i)i;
        const __m256i q = _mm256_slli_epi32(_mm256_and_si256(ii, _mm256_set1_epi64x(3)), 1);
        const __m256i pair = _mm256_add_epi32(_mm256_shuffle_epi32(q, 0xA0), _mm256_set1_epi64x(int64_t(1) << 32));
        const __m256 lo = _mm256_permutevar8x32_ps(_mm256_castpd_ps(_mm256_load_pd(t)), pair);
        const __m256 hi = _mm256_permutevar8x32_ps(_mm256_castpd_ps(_mm256_load_pd(t + 4)), pair);
        const __m256d bit2 = _mm256_castsi256_pd(_mm256_slli_epi64(ii, 61));
        return (DV)_mm256_blendv_pd(_mm256_castps_pd(lo), _mm256_castps_pd(hi), bit2);
    }
#else
    DV r;
    for (int l = 0; l < kWidth; ++l) r[l] = t[i[l] & (n - 1)];
    return r;
#endif
}
template <int n>
OPS_INLINE D lookup(const double *t, const L &i) {
    D r;
    FASTMATH_EACH(r.p[k_] = lookupOne<n>(t, i.p[k_]))
    return r;
}

OPS_INLINE DV mulAdd(const DV &a, const DV &b, const DV &c) {
#if FASTMATH_ISA == 2
    return (DV)_mm512_fmadd_pd((__m512d)a, (__m512d)b, (__m512d)c);
#elif FASTMATH_ISA == 1
    return (DV)_mm256_fmadd_pd((__m256d)a, (__m256d)b, (__m256d)c);
#else
    return a * b + c;
#endif
}
OPS_INLINE D mulAdd(const D &a, const D &b, const D &c) {
    D r;
    FASTMATH_EACH(r.p[k_] = mulAdd(a.p[k_], b.p[k_], c.p[k_]))
    return r;
}

// Widening conversions: floats and 32-bit integers to doubles, 32-bit masks
// to 64-bit ones. For AVX-512 and AVX2 GCC would convert the generic ones
// in halves and join them, so there they are the instructions that convert
// the whole register (for AVX-512 the masked ones with every lane selected).
OPS_INLINE DV toDouble(const FV &v) {
#if FASTMATH_ISA == 2
    return (DV)_mm512_maskz_cvtps_pd(0xFF, (__m256)v);
#elif FASTMATH_ISA == 1
    return (DV)_mm256_cvtps_pd((__m128)v);
#else
    return __builtin_convertvector(v, DV);
#endif
}
OPS_INLINE DV intToDouble(const IV &v) {
#if FASTMATH_ISA == 2
    return (DV)_mm512_maskz_cvtepi32_pd(0xFF, (__m256i)v);
#elif FASTMATH_ISA == 1
    return (DV)_mm256_cvtepi32_pd((__m128i)v);
#else
    return __builtin_convertvector(v, DV);
#endif
}
OPS_INLINE LV widen(const IV &m) {
#if FASTMATH_ISA == 2
    return (LV)_mm512_maskz_cvtepi32_epi64(0xFF, (__m256i)m);
#elif FASTMATH_ISA == 1
    return (LV)_mm256_cvtepi32_epi64((__m128i)m);
#else
    return __builtin_convertvector(m, LV);
#endif
}
OPS_INLINE D toDouble(const F &v) {
    D r;
    FASTMATH_EACH(r.p[k_] = toDouble(v.p[k_]))
    return r;
}
OPS_INLINE D intToDouble(const I &v) {
    D r;
    FASTMATH_EACH(r.p[k_] = intToDouble(v.p[k_]))
    return r;
}
OPS_INLINE L widen(const I &m) {
    L r;
    FASTMATH_EACH(r.p[k_] = widen(m.p[k_]))
    return r;
}
OPS_INLINE F toFloat(const D &v) {
    F r;
    FASTMATH_EACH(r.p[k_] = __builtin_convertvector(v.p[k_], FV))
    return r;
}

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
OPS_INLINE void expBlock(const F &v, float scale, F &out, unsigned &slow) {
    const F q = v / scale;
    const I zero = q < -104.0f;
    const I inRange = q >= -87.0f;  // false for NaN
    const F qc = sel(inRange, sel(q < 6.0f, q, all<FV>(6.0f)), F{});
    const D x = toDouble(qc);
    const D t = mulAdd(x, splat(0x1.71547652b82fep+4), splat(kShifter));  // 16 / ln2
    const D kd = t - splat(kShifter);
    const L ki = as<LV>(t) - as<LV>(splat(kShifter));
    // ln2/16 in two parts
    const D r = mulAdd(kd, splat(0x1.718432a1b0e26p-39), mulAdd(kd, splat(-0x1.62e42ffp-5), x));
    const D r2 = r * r, r4 = r2 * r2;
    const D a0 = splat(1.0) + r, a1 = mulAdd(r, splat(1.0 / 6), splat(1.0 / 2));
    const D a2 = mulAdd(r, splat(1.0 / 120), splat(1.0 / 24));
    const D p = mulAdd(a2, r4, mulAdd(a1, r2, a0));
    const D scaled = as<DV>(as<LV>(lookup<16>(kExp2, ki)) + ((ki >> 4) << 52));
    const D y = p * scaled;
    const F f = toFloat(y);
    out = sel(zero, F{}, sel(f > 255.0f, all<FV>(255.0f), f));
    // Lanes off the polynomial's range compute exp(0) = 1, never near.
    slow = nearMidpoint(y) | signBits(~inRange & ~zero);
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
OPS_INLINE void lnBlock(const F &v, F &out, unsigned &slow) {
    const U bits = as<UV>(v);
    const I pos = v > 0.0f;  // false for NaN
    // Normal and finite: the bits lie in 0x00800000 .. 0x7F7FFFFF.
    const I normal = as<IV>((bits - 0x00800000u) < 0x7F000000u);
    const U ub = sel(normal, bits, all<UV>(0x3F800000u));  // 1.0 elsewhere
    const I tmp = as<IV>(ub - 0x3F340000u);  // 0.703125
    const L j = widen((tmp >> 19) & 15);
    const D kd = intToDouble(tmp >> 23);
    const D z = toDouble(as<FV>(ub - (as<UV>(tmp) & 0xFF800000u)));
    const D r = mulAdd(z, lookup<16>(kLnInverse, j), splat(-1.0));
    const D r2 = r * r, r4 = r2 * r2;
    const D a1 = mulAdd(r, splat(1.0 / 3), splat(-1.0 / 2)), a2 = mulAdd(r, splat(1.0 / 5), splat(-1.0 / 4));
    const D a3 = mulAdd(r, splat(1.0 / 7), splat(-1.0 / 6));
    const D p = mulAdd(mulAdd(splat(-1.0 / 8), r4, mulAdd(a3, r2, a2)), r4, mulAdd(a1, r2, r));
    const D y = mulAdd(kd, splat(kLn2Hi), lookup<16>(kLnLog, j)) + mulAdd(kd, splat(kLn2Lo), p);
    out = sel(pos, toFloat(y), F{});
    // Lanes that are not positive normal compute ln 1 = 0, never near.
    slow = nearMidpoint(y) | signBits(pos & ~normal);
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
OPS_INLINE void atan2Block(const F &yv, const F &xv, F &out, unsigned &slow) {
    const F ay = as<FV>(as<UV>(yv) & 0x7FFFFFFFu), ax = as<FV>(as<UV>(xv) & 0x7FFFFFFFu);
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
    const I idx =
        as<IV>(as<UV>(swap) >> 31) | as<IV>((as<UV>(xv) >> 30) & 2u) | (bigf & 4) | ((~ok | tiny) & INT32_MIN);
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
    const D y = mulAdd(t, as<DV>(as<LV>(p) ^ as<LV>(lookup<8>(kAtanNegate, k))), lookup<8>(kAtanBase, k));
    const F f = toFloat(y);
    out = as<FV>(as<UV>(f) | (as<UV>(yv) & 0x80000000u));
    // Lanes off the fast road are flagged, whatever they computed.
    slow = nearMidpoint(y) | signBits(idx);
}

// Chunks of kChunk samples of nIn inputs: block computes a pack of results
// from a pack of samples of each input and flags the lanes for the library
// call, one(in, i) is the library road for sample i of the arrays in. The
// flagged lanes are taken up at the end of the chunk. With keep, the run is
// in place: the chunk's inputs are copied first and read from the copy, so
// that the library call still has them.
template <bool keep, int nIn, typename Block, typename One>
OPS_INLINE void runChunks(const float *const *src, float *dst, int64_t n, const Block &block, const One &one) {
    constexpr int kChunk = 256, kBlocks = kChunk / kLanes;
    static_assert(kLanes <= 32, "a block's flags fit in 32 bits");
    float copy[nIn][keep ? kChunk : 1];
    const float *copies[nIn];
    for (int k = 0; k < nIn; ++k) copies[k] = copy[k];
    unsigned flags[kBlocks];
    for (int64_t i = 0; i < n; i += kChunk) {
        const int len = n - i < kChunk ? int(n - i) : kChunk;
        if (keep)
            for (int k = 0; k < nIn; ++k) std::memcpy(copy[k], src[k] + i, size_t(len) * sizeof(float));
        const int full = len / kLanes;
        unsigned any = 0;
        for (int b = 0; b < full; ++b) {
            F v[nIn], f;
            for (int k = 0; k < nIn; ++k) load(v[k], (keep ? copy[k] : src[k] + i) + kLanes * b);
            block(v, f, flags[b]);
            store(dst + i + kLanes * b, f);
            any |= flags[b];
        }
        const int rest = len - kLanes * full;
        if (rest > 0) {
            F v[nIn], f;
            float part[kLanes];
            for (int k = 0; k < nIn; ++k) {
                std::memset(part, 0, sizeof part);
                std::memcpy(part, (keep ? copy[k] : src[k] + i) + kLanes * full, size_t(rest) * sizeof(float));
                load(v[k], part);
            }
            block(v, f, flags[full]);
            store(part, f);
            std::memcpy(dst + i + kLanes * full, part, size_t(rest) * sizeof(float));
            flags[full] &= (1u << rest) - 1;  // not the padding
            any |= flags[full];
        }
        if (any != 0)
            for (int b = 0; kLanes * b < len; ++b)
                for (unsigned m = flags[b]; m != 0; m &= m - 1) {
                    const int j = kLanes * b + __builtin_ctz(m);
                    dst[i + j] = keep ? one(copies, j) : one(src, i + j);
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

// The entries of fastmath.cpp for this instruction set.
void expRun(const float *s, float *d, int64_t n, float scale) {
    run<1>(
        &s, d, n, [scale](const F *v, F &f, unsigned &slow) OPS_LAMBDA { expBlock(v[0], scale, f, slow); },
        [scale](const float *const *in, int64_t j) OPS_LAMBDA { return expOne(in[0][j], scale); });
}
void lnRun(const float *s, float *d, int64_t n) {
    run<1>(
        &s, d, n, [](const F *v, F &f, unsigned &slow) OPS_LAMBDA { lnBlock(v[0], f, slow); },
        [](const float *const *in, int64_t j) OPS_LAMBDA { return lnOne(in[0][j]); });
}
void atan2Run(const float *y, const float *x, float *d, int64_t n) {
    const float *src[2] = {y, x};
    run<2>(
        src, d, n, [](const F *v, F &f, unsigned &slow) OPS_LAMBDA { atan2Block(v[0], v[1], f, slow); },
        [](const float *const *in, int64_t j) OPS_LAMBDA { return atan2One(in[0][j], in[1][j]); });
}
