// imageconvert.h - turns library images into toolkit pictures.
#ifndef IMAGECONVERT_H
#define IMAGECONVERT_H

#include "zvek.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

class QImage;

// Owner of a library image: releases it with Zvekfree(h, 7).
struct ZvekImageDeleter {
    void operator()(ZVEKHDR *h) const {
        if (h != nullptr) Zvekfree(h, 7);
    }
};
using ZvekImagePtr = std::unique_ptr<ZVEKHDR, ZvekImageDeleter>;

// Owner of a size vector from Zveksiz.
struct ZvekSizeDeleter {
    void operator()(int32_t *p) const { std::free(p); }
};
using ZvekSizePtr = std::unique_ptr<int32_t, ZvekSizeDeleter>;

// Asks for huge pages behind a large fresh data block that is about to be
// filled (the image library's own hint for its large blocks).
void adviseLargeBlock(void *p, size_t n);

// Columns, rows and frames of an image; a 1-D image counts as one row, a
// 2-D one as one frame. valid is false when the header cannot be measured.
struct ZvekShape {
    int ndim = 0;
    int cols = 0;
    int rows = 0;
    int frames = 0;
    bool valid = false;
    int64_t pixels() const { return static_cast<int64_t>(cols) * rows; }
    bool operator==(const ZvekShape &o) const {
        return valid && o.valid && ndim == o.ndim && cols == o.cols && rows == o.rows &&
               frames == o.frames;
    }
    bool operator!=(const ZvekShape &o) const { return !(*this == o); }
};
ZvekShape zvekShape(const ZVEKHDR *image);

// The conversion of library images into 32-bit RGB toolkit pictures scaled
// to bytes. It keeps no state; the pictures it makes belong to the caller.
class ZVek2Qt {
public:
    ZVek2Qt() {}

    // Picture of any image: a three-frame image in colour, anything else in
    // grey (a 2-D complex image by its part: 0 magnitude, 1 phase, 2 real,
    // 3 imaginary; other 3-D images by the given frame). Null for what
    // cannot be shown: complex images other than 2-D "32cmp", "struct"
    // images, a frame outside the image, or a failed allocation.
    QImage *Zvek2Qt(ZVEKHDR *image, int part, int frame);

    // Picture of a 3-D image of three frames (red, green, blue), its width
    // made up to a multiple of 4 by repeating the last column.
    QImage *Zvek3d2qt3d(ZVEKHDR *image);

    // Scales a three-frame image to bytes with one range over all frames and
    // fills picture with it; columns of the picture beyond the image's
    // repeat its last column.
    void normimage(ZVEKHDR *image, QImage *picture);

    // Copies the rows x columns values of source, as floats, into frame k of
    // the three-frame float image target. Nothing happens when the shapes or
    // the target's type do not fit.
    void copyFrameInto(ZVEKHDR *source, ZVEKHDR *target, int k);
};

#endif  // IMAGECONVERT_H
