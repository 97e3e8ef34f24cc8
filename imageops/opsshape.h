// opsshape.h - small internal helpers of the operations library: the shape
// of an image read without reports, typed views of one frame's samples, and
// owned temporaries.
#ifndef OPSSHAPE_H
#define OPSSHAPE_H

#include "zvek.h"
#include "zvekint.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zvekops {

// Columns, rows and frames of an image (frames 1 below three dimensions).
struct Shape {
    int ndim = 0;
    int cols = 0;
    int rows = 0;
    int frames = 0;
    int64_t plane() const { return static_cast<int64_t>(cols) * rows; }
};

// Reads the lengths by dimension number, as the size queries do, but without
// any report. False for a null or foreign header, a header without data, a
// number of dimensions outside 1..3 or a length that is not positive.
inline bool imageShape(const ZVEKHDR *h, Shape &s) {
    if (h == nullptr || !zvek::goodMagic(h) || h->vekptr == nullptr) return false;
    if (h->vekndim < 1 || h->vekndim > ZVEK_MAXDIM) return false;
    int len[3] = {1, 1, 1};
    bool seen[3] = {false, false, false};
    for (int i = 0; i < h->vekndim; ++i) {
        const int num = h->vekdims[i].dimnum;
        if (num >= 1 && num <= 3 && !seen[num - 1]) {
            seen[num - 1] = true;
            len[num - 1] = h->vekdims[i].dimlen;
        }
    }
    for (int i = 0; i < h->vekndim; ++i)
        if (!seen[i] || len[i] <= 0) return false;
    s.ndim = h->vekndim;
    s.cols = len[0];
    s.rows = len[1];
    s.frames = len[2];
    return true;
}

// Where the samples of one frame lie: element i of the frame's plane (row
// times columns plus column) is component base[i * stride]. Planar types have
// stride 1 (2 for complex, whose real part is read), interleaved types the
// channel count. Frame f of a planar image starts f planes further on, of an
// interleaved one f components further on.
struct FrameView {
    unsigned char *base = nullptr;  // first component of the frame
    ptrdiff_t stride = 1;           // components between neighbouring pixels
};

// The view of frame f of h, whose shape is s. The caller has checked that f
// lies within the frames and that the type can be dispatched.
inline FrameView frameView(const ZVEKHDR *h, const Shape &s, int f) {
    const zvek::TypeLayout lay = zvek::typeLayout(h->dtype);
    const int comps = lay.complex ? 2 : 1;
    const ptrdiff_t compBytes = h->vekbpd / comps;
    FrameView v;
    auto *data = static_cast<unsigned char *>(h->vekptr);
    if (lay.channels > 1) {
        v.stride = lay.channels;
        v.base = data + static_cast<ptrdiff_t>(f) * compBytes;
    } else {
        v.stride = comps;
        v.base = data + static_cast<ptrdiff_t>(f) * s.plane() * h->vekbpd;
    }
    return v;
}

// True when the type code names a type whose samples can be read and written
// as numbers (every type but "struct" and unknown codes).
inline bool numericType(int code) {
    return zvek::dispatchType(code, [](auto) {});
}

// An owned library image, released with Zvekfree(h, 7).
struct ImageFree {
    void operator()(ZVEKHDR *h) const {
        if (h != nullptr) Zvekfree(h, 7);
    }
};
using ImagePtr = std::unique_ptr<ZVEKHDR, ImageFree>;

// A zero-filled float image of cols x rows (x frames when frames > 0).
inline ImagePtr makeFloat(int cols, int rows, int frames = 0) {
    const int32_t dims2[] = {2, cols, rows};
    const int32_t dims3[] = {3, cols, rows, frames};
    return ImagePtr(Zvekcreate("float", frames > 0 ? dims3 : dims2, 11, 0));
}

inline float *floatData(ZVEKHDR *h) { return static_cast<float *>(h->vekptr); }

}  // namespace zvekops

#endif  // OPSSHAPE_H
