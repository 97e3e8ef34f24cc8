// opsframes.h - typed views of one frame's samples, for the operations that
// read or write images of any numeric type in bulk.
#ifndef OPSFRAMES_H
#define OPSFRAMES_H

#include "opsint.h"
#include "zvekint.h"

#include <cstddef>
#include <cstdint>

namespace ops {

// A header that can be read: known magic, pixel data, 1 to 3 dimensions with
// positive lengths, a type whose samples are numbers (not "struct"), and a
// frame per channel of an interleaved type.
inline bool usableImage(const ZVEKHDR *h) {
    if (ndimOf(h) == 0 || !zvek::goodMagic(h) || h->vekptr == nullptr || !zvek::layoutFits(h)) return false;
    const Shape s = shapeOf(h);
    if (s.cols <= 0 || s.rows <= 0 || s.frames <= 0) return false;
    return zvek::dispatchType(h->dtype, [](auto) {});
}

// Where the samples of one frame lie: pixel i of the frame's plane (row times
// columns plus column) is the component base[i * stride] of the image's
// component type. Planar types have stride 1 (2 for complex, whose real part
// is used), interleaved types their channel count.
struct FrameView {
    unsigned char *base = nullptr;
    ptrdiff_t stride = 1;
};

// The view of frame f of a usable image h.
inline FrameView frameView(const ZVEKHDR *h, int f) {
    const zvek::TypeLayout lay = zvek::typeLayout(h->dtype);
    const int comps = lay.complex ? 2 : 1;
    auto *data = static_cast<unsigned char *>(h->vekptr);
    FrameView v;
    if (lay.channels > 1) {
        v.stride = lay.channels;
        v.base = data + static_cast<ptrdiff_t>(f) * (h->vekbpd / comps);
    } else {
        v.stride = comps;
        v.base = data + static_cast<ptrdiff_t>(f) * shapeOf(h).plane() * h->vekbpd;
    }
    return v;
}

// Calls fn(i, v) for the n pixels start + i of a frame, v the sample as a
// single-precision value. A contiguous frame gets a loop of its own, so that
// the compiler sees unit stride.
template <typename Fn>
void forEachSample(const ZVEKHDR *h, int f, int64_t start, int64_t n, Fn &&fn) {
    const FrameView view = frameView(h, f);
    zvek::dispatchType(h->dtype, [&](auto tag) {
        using T = typename decltype(tag)::type;
        const T *p = reinterpret_cast<const T *>(view.base) + start * view.stride;
        if (view.stride == 1) {
            for (int64_t i = 0; i < n; ++i) fn(i, static_cast<float>(p[i]));
        } else {
            for (int64_t i = 0; i < n; ++i) fn(i, static_cast<float>(p[i * view.stride]));
        }
    });
}

// Stores value(i) into the n pixels start + i of a frame by the rule of the
// double-valued pixel writer: integers keep the low bits of the truncated
// value, floats are narrowed, a complex datum receives its real part.
template <typename Fn>
void storeEachSample(ZVEKHDR *h, int f, int64_t start, int64_t n, Fn &&value) {
    const FrameView view = frameView(h, f);
    zvek::dispatchType(h->dtype, [&](auto tag) {
        using T = typename decltype(tag)::type;
        T *p = reinterpret_cast<T *>(view.base) + start * view.stride;
        if (view.stride == 1) {
            for (int64_t i = 0; i < n; ++i) p[i] = zvek::storeFromDouble<T>(value(i));
        } else {
            for (int64_t i = 0; i < n; ++i) p[i * view.stride] = zvek::storeFromDouble<T>(value(i));
        }
    });
}

}  // namespace ops

#endif  // OPSFRAMES_H
