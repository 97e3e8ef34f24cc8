// opsint.h - helpers shared by the operations library's own source files:
// checked reads of an image's shape, the type and size tests every
// operation starts with, and an owning handle for temporary images.
#ifndef OPSINT_H
#define OPSINT_H

#include "zvek.h"
#include "zvekint.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

// Multi-versioned hot loops: GCC on x86-64 builds them for AVX-512, AVX2
// and the baseline and picks one at run time. The arithmetic per sample is
// the same on every path, so the results are identical.
#define OPS_HAVE_TARGETS ZVEK_HAVE_TARGETS
#define OPS_TARGET(isa) ZVEK_TARGET(isa)
#define OPS_INLINE ZVEK_INLINE

namespace ops {

// Asks for the cache line 4 KiB ahead of p, for passes over arrays larger
// than the caches (past the end of an array it is harmless).
OPS_INLINE void fetchAhead(const float *p) {
    __builtin_prefetch(reinterpret_cast<const void *>(reinterpret_cast<uintptr_t>(p) + 4096));
}

}  // namespace ops

namespace ops {

using zvek::f16;
using zvek::f4;
using zvek::f8;
using zvek::lanes;
using zvek::loadV;
using zvek::storeV;

// ---- Column-parallel row loops ----
//
// A row kernel K computes values for positions 0..count-1 of one row; each
// position is independent of the others. K provides
//   template <typename V, int NV> void block(int c) const
// for the NV * lanes<V>() positions from c (one lane per position, every
// lane doing exactly the arithmetic of one position), and
//   void one(int c) const
// for a single position. runColumns works through a row with the widest
// vectors the processor has; the results are identical on every path.

template <typename V, int NV, typename K>
OPS_INLINE void columnBlocks(const K &k, int count) {
    constexpr int L = lanes<V>();
    int c = 0;
    for (; c + L * NV <= count; c += L * NV) k.template block<V, NV>(c);
    for (; c + L <= count; c += L) k.template block<V, 1>(c);
    for (; c < count; ++c) k.one(c);
}

#if OPS_HAVE_TARGETS
template <typename K>
OPS_TARGET("avx512f") void columnsAvx512(const K &k, int count) { columnBlocks<f16, 4>(k, count); }
template <typename K>
OPS_TARGET("avx2") void columnsAvx2(const K &k, int count) { columnBlocks<f8, 8>(k, count); }
#endif
template <typename K>
void columnsBase(const K &k, int count) { columnBlocks<f4, 8>(k, count); }

// 2 with AVX-512, 1 with AVX2, else 0: the processor's widest path, at
// most the cap that tests and benchmarks may set (zvek::limitVectorLevel).
inline int vectorLevel() { return zvek::vectorLevel(); }

template <typename K>
void runColumns(const K &k, int count) {
#if OPS_HAVE_TARGETS
    switch (vectorLevel()) {
    case 2: columnsAvx512(k, count); return;
    case 1: columnsAvx2(k, count); return;
    }
#endif
    columnsBase(k, count);
}

// Number of dimensions of a usable header (1..3), 0 for a missing or
// damaged one. Never reports.
inline int ndimOf(const ZVEKHDR *h) {
    if (h == nullptr || h->vekndim < 1 || h->vekndim > ZVEK_MAXDIM) return 0;
    return h->vekndim;
}

// Length of the dimension numbered num (1 columns, 2 rows, 3 frames), found
// by its number; 0 when the image has no such dimension. Never reports.
inline int dimLen(const ZVEKHDR *h, int num) {
    const int nd = ndimOf(h);
    for (int i = 0; i < nd; ++i)
        if (h->vekdims[i].dimnum == num) return h->vekdims[i].dimlen;
    return 0;
}

// Columns, rows and frames of an image; a missing dimension counts as 1.
struct Shape {
    int cols = 0, rows = 0, frames = 0;
    int64_t plane() const { return int64_t(cols) * rows; }
    int64_t count() const { return plane() * frames; }
};

inline Shape shapeOf(const ZVEKHDR *h) {
    Shape s;
    const int nd = ndimOf(h);
    if (nd == 0) return s;
    s.cols = dimLen(h, 1);
    s.rows = nd >= 2 ? dimLen(h, 2) : 1;
    s.frames = nd >= 3 ? dimLen(h, 3) : 1;
    return s;
}

// Element count: the product of the image's dimension lengths (0 for a
// missing or damaged header).
inline int64_t elementCount(const ZVEKHDR *h) {
    const int nd = ndimOf(h);
    if (nd == 0) return 0;
    int64_t n = 1;
    for (int i = 0; i < nd; ++i) n *= h->vekdims[i].dimlen > 0 ? h->vekdims[i].dimlen : 0;
    return n;
}

// True when every dimension of the image has a positive length.
inline bool hasPixels(const ZVEKHDR *h) {
    const int nd = ndimOf(h);
    for (int i = 0; i < nd; ++i)
        if (h->vekdims[i].dimlen <= 0) return false;
    return nd > 0;
}

// Result of the filters, the features and the correlation for an image
// without pixels (a dimension of length 0), after "<name>: image has no
// pixels" on standard output.
constexpr int kNoPixels = -10;

inline int refuseNoPixels(const char *name) {
    std::printf("%s: image has no pixels\n", name);
    std::fflush(stdout);
    return kNoPixels;
}

inline bool isFloat(const ZVEKHDR *h) { return h != nullptr && h->dtype == DT_32FLT && h->vekptr != nullptr; }
inline bool isComplex(const ZVEKHDR *h) { return h != nullptr && h->dtype == DT_32CMP && h->vekptr != nullptr; }

// Every dimension length of a equals the length of the same dimension of b;
// b having fewer dimensions (or lacking one of a's) disagrees, and so does
// either image when it has no pixels (b's further dimensions included), so
// that b holds every element of a.
inline bool sizesAgree(const ZVEKHDR *a, const ZVEKHDR *b) {
    const int na = ndimOf(a);
    if (na == 0 || ndimOf(b) < na || !hasPixels(a) || !hasPixels(b)) return false;
    for (int i = 0; i < na; ++i) {
        const int num = a->vekdims[i].dimnum;
        bool found = false;
        for (int k = 0; k < b->vekndim; ++k)
            if (b->vekdims[k].dimnum == num) {
                if (b->vekdims[k].dimlen != a->vekdims[i].dimlen) return false;
                found = true;
                break;
            }
        if (!found) return false;
    }
    return true;
}

inline float *floatData(ZVEKHDR *h) { return static_cast<float *>(h->vekptr); }

// Owning handle of a temporary image, released with Zvekfree(h, 7).
struct ImageDeleter {
    void operator()(ZVEKHDR *h) const {
        if (h != nullptr) Zvekfree(h, 7);
    }
};
using ImagePtr = std::unique_ptr<ZVEKHDR, ImageDeleter>;

// New zero-filled image of the given type with the shape of like.
inline ImagePtr makeLike(const char *type, const ZVEKHDR *like) {
    int32_t *siz = Zveksiz(like);
    if (siz == nullptr) return nullptr;
    ImagePtr img(Zvekcreate(type, siz, 11, 0));
    std::free(siz);
    return img;
}

// New zero-filled image of the given type and shape (frames <= 0: 2-D).
inline ImagePtr makeImage(const char *type, int cols, int rows, int frames = 0) {
    const int32_t dims[4] = {frames > 0 ? 3 : 2, cols, rows, frames};
    return ImagePtr(Zvekcreate(type, dims, 11, 0));
}

}  // namespace ops

#endif  // OPSINT_H
