// viewkernels_rows.h - the redraw's row loop over the single-precision
// estimate. Included by viewkernels.cpp once per instruction set, each time
// inside a namespace of its own, in a region built for that instruction
// set, with VIEW_ISA set: 2 AVX-512, 1 AVX2, 0 the baseline (SSE2). Not a
// header for anything else, so it has no include guard.
//
// The steps are written with the processor's own operations, so that every
// optimiser keeps them whole; each does exactly what its scalar counterpart
// in settledByte does.

#if VIEW_ISA == 2
// Sixteen samples a step.
struct Isa {
    static constexpr int kLanes = 16;
    typedef __m512 F;
    typedef __m512i I;
    ZVEK_INLINE static F splat(float v) { return _mm512_set1_ps(v); }
    // The bytes of a step of samples, w + d - lo being dl, with k the
    // estimate's scale, lift, open, whole, qLo and qHi; lanes whose byte is
    // left open are added to open (bit l for lane l). q is held between qLo
    // and qHi as q > qLo ? q : qLo and q < qHi ? q : qHi do, which sends NaN
    // to the byte of 0. w is a whole number where (w + 1.5 x 2^23) -
    // 1.5 x 2^23 gives w back; such bytes are never open.
    ZVEK_INLINE static I bytes(const float *w, F dl, const F *k, unsigned &open) {
        const F v = _mm512_loadu_ps(w);
        F q = _mm512_mul_ps(_mm512_add_ps(v, dl), k[0]);
        q = _mm512_min_ps(_mm512_max_ps(q, k[4]), k[5]);
        q = _mm512_add_ps(q, k[1]);
        const I b = _mm512_cvttps_epi32(q);
        const __mmask16 exact = _mm512_cmp_ps_mask(_mm512_sub_ps(_mm512_add_ps(v, k[3]), k[3]), v, _CMP_EQ_OQ);
        const F reach = _mm512_mask_blend_ps(exact, k[2], _mm512_setzero_ps());
        open |= unsigned(_mm512_cmp_ps_mask(_mm512_sub_ps(q, _mm512_cvtepi32_ps(b)), reach, _CMP_LT_OQ));
        return b;
    }
    ZVEK_INLINE static void store(QRgb *out, const I *b, int channels) {
        const I alpha = _mm512_set1_epi32(static_cast<int32_t>(0xff000000u));
        const I px = channels == 3 ? _mm512_or_si512(_mm512_or_si512(alpha, _mm512_slli_epi32(b[0], 16)),
                                                     _mm512_or_si512(_mm512_slli_epi32(b[1], 8), b[2]))
                                   : _mm512_or_si512(_mm512_or_si512(alpha, b[0]),
                                                     _mm512_or_si512(_mm512_slli_epi32(b[0], 8), _mm512_slli_epi32(b[0], 16)));
        _mm512_storeu_si512(out, px);
    }
};
#elif VIEW_ISA == 1
// Eight samples a step, the same steps.
struct Isa {
    static constexpr int kLanes = 8;
    typedef __m256 F;
    typedef __m256i I;
    ZVEK_INLINE static F splat(float v) { return _mm256_set1_ps(v); }
    ZVEK_INLINE static I bytes(const float *w, F dl, const F *k, unsigned &open) {
        const F v = _mm256_loadu_ps(w);
        F q = _mm256_mul_ps(_mm256_add_ps(v, dl), k[0]);
        q = _mm256_min_ps(_mm256_max_ps(q, k[4]), k[5]);
        q = _mm256_add_ps(q, k[1]);
        const I b = _mm256_cvttps_epi32(q);
        const F exact = _mm256_cmp_ps(_mm256_sub_ps(_mm256_add_ps(v, k[3]), k[3]), v, _CMP_EQ_OQ);
        const F reach = _mm256_andnot_ps(exact, k[2]);
        open |= unsigned(_mm256_movemask_ps(_mm256_cmp_ps(_mm256_sub_ps(q, _mm256_cvtepi32_ps(b)), reach, _CMP_LT_OQ)));
        return b;
    }
    ZVEK_INLINE static void store(QRgb *out, const I *b, int channels) {
        const I alpha = _mm256_set1_epi32(static_cast<int32_t>(0xff000000u));
        const I px = channels == 3 ? _mm256_or_si256(_mm256_or_si256(alpha, _mm256_slli_epi32(b[0], 16)),
                                                     _mm256_or_si256(_mm256_slli_epi32(b[1], 8), b[2]))
                                   : _mm256_or_si256(_mm256_or_si256(alpha, b[0]),
                                                     _mm256_or_si256(_mm256_slli_epi32(b[0], 8), _mm256_slli_epi32(b[0], 16)));
        _mm256_storeu_si256(reinterpret_cast<I *>(out), px);
    }
};
#else
// Four samples a step, the same steps.
struct Isa {
    static constexpr int kLanes = 4;
    typedef __m128 F;
    typedef __m128i I;
    ZVEK_INLINE static F splat(float v) { return _mm_set1_ps(v); }
    ZVEK_INLINE static I bytes(const float *w, F dl, const F *k, unsigned &open) {
        const F v = _mm_loadu_ps(w);
        F q = _mm_mul_ps(_mm_add_ps(v, dl), k[0]);
        q = _mm_min_ps(_mm_max_ps(q, k[4]), k[5]);
        q = _mm_add_ps(q, k[1]);
        const I b = _mm_cvttps_epi32(q);
        const F exact = _mm_cmpeq_ps(_mm_sub_ps(_mm_add_ps(v, k[3]), k[3]), v);
        const F reach = _mm_andnot_ps(exact, k[2]);
        open |= unsigned(_mm_movemask_ps(_mm_cmplt_ps(_mm_sub_ps(q, _mm_cvtepi32_ps(b)), reach)));
        return b;
    }
    ZVEK_INLINE static void store(QRgb *out, const I *b, int channels) {
        const I alpha = _mm_set1_epi32(static_cast<int32_t>(0xff000000u));
        const I px = channels == 3 ? _mm_or_si128(_mm_or_si128(alpha, _mm_slli_epi32(b[0], 16)),
                                                  _mm_or_si128(_mm_slli_epi32(b[1], 8), b[2]))
                                   : _mm_or_si128(_mm_or_si128(alpha, b[0]),
                                                  _mm_or_si128(_mm_slli_epi32(b[0], 8), _mm_slli_epi32(b[0], 16)));
        _mm_storeu_si128(reinterpret_cast<I *>(out), px);
    }
};
#endif

// C planes (1 grey, 3 red, green, blue) of n pixels into out. Steps are
// estimated in blocks; the open bytes of a block are then made again one by
// one.
template <int C>
void estimatedRow(const float *const *planes, int n, const double *d, const Stretch &s, const Estimate &e,
                  QRgb *out) {
    typedef typename Isa::F F;
    typedef typename Isa::I I;
    constexpr int L = Isa::kLanes;
    constexpr int kSteps = 8;
    const F k[6] = {Isa::splat(e.scale), Isa::splat(e.lift), Isa::splat(e.open),
                    Isa::splat(e.whole), Isa::splat(e.qLo),  Isa::splat(e.qHi)};
    F dl[C];
    for (int c = 0; c < C; ++c) dl[c] = Isa::splat(static_cast<float>(d[c]) + e.yLo);
    int i = 0;
    while (i + L <= n) {
        const int start = i;
        unsigned open = 0;
        for (int step = 0; step < kSteps && i + L <= n; ++step, i += L) {
            I b[C];
            for (int c = 0; c < C; ++c) b[c] = Isa::bytes(planes[c] + i, dl[c], k, open);
            Isa::store(out + i, b, C);
        }
        if (open == 0) continue;
        for (int j = start; j < i; j += L) {
            for (int c = 0; c < C; ++c) {
                unsigned lanes = 0;
                Isa::bytes(planes[c] + j, dl[c], k, lanes);
                for (; lanes != 0; lanes &= lanes - 1) {
                    const int l = __builtin_ctz(lanes);
                    const int shift = C == 3 ? 16 - 8 * c : 0;
                    const uint32_t b = settledByte(planes[c][j + l], d[c], s);
                    out[j + l] = (out[j + l] & ~((C == 3 ? 0xffu : 0xffffffu) << shift)) |
                                 (C == 3 ? b : b * 0x010101u) << shift;
                }
            }
        }
    }
    for (; i < n; ++i) {
        uint32_t b[C];
        for (int c = 0; c < C; ++c) b[c] = settledByte(planes[c][i], d[c], s);
        out[i] = packPixel<C>(b);
    }
}
