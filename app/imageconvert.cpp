// Conversion of library images into toolkit pictures.
#include "imageconvert.h"

#include "diskhdr.h"
#include "extremes.h"
#include "viewkernels.h"

#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

void adviseLargeBlock(void *p, size_t n) {
    if (p != nullptr) zvek::adviseLarge(p, n);
}

ZvekShape zvekShape(const ZVEKHDR *image) {
    ZvekShape s;
    if (image == nullptr || image->vekptr == nullptr) return s;
    ZvekSizePtr siz(Zveksiz(image));
    if (!siz) return s;
    const int32_t *v = siz.get();
    s.ndim = v[0];
    if (s.ndim < 1 || s.ndim > ZVEK_MAXDIM) return s;
    s.cols = v[1];
    s.rows = s.ndim >= 2 ? v[2] : 1;
    s.frames = s.ndim >= 3 ? v[3] : 1;
    s.valid = s.cols > 0 && s.rows > 0 && s.frames > 0;
    return s;
}

namespace {

// A "float" image of the shape of in holding its values. Complex and
// "struct" images, and failed allocations, give null.
ZvekImagePtr floatCopy(ZVEKHDR *in, const ZvekShape &s) {
    const int32_t dims[] = {s.ndim, s.cols, s.rows, s.frames};
    ZvekImagePtr out(Zvekcreate("float", dims, 11, 0));
    if (!out) return nullptr;
    if (s.ndim >= 2) {
        if (Zvekany2any(in, out.get()) != 0) return nullptr;
    } else {
        // The whole-image conversion measures rows, which a 1-D image lacks.
        if (in->dtype == DT_STRUCT) return nullptr;
        float *p = static_cast<float *>(out->vekptr);
        for (int c = 0; c < s.cols; ++c) p[c] = static_cast<float>(Zvekfgp(in, 0, c));
    }
    return out;
}

bool isComplex(int code) { return code == DT_32CMP || code == DT_64CMP; }

// A copy of a "float" image in which non-finite values stand at the extremes
// of the finite ones (+inf at the largest, -inf and NaN at the smallest), so
// that they neither widen the byte range nor reach a conversion to bytes as
// they are. Null when every value is finite (or the copy cannot be made).
ZvekImagePtr finiteCopy(ZVEKHDR *in, const ZvekShape &s) {
    const int64_t n = s.pixels() * s.frames;
    const float *p = static_cast<const float *>(in->vekptr);
    float lo = std::numeric_limits<float>::max(), hi = std::numeric_limits<float>::lowest();
    const bool finite = ops::finiteExtremes(p, n, lo, hi);
    if (finite) return nullptr;
    if (lo > hi) lo = hi = 0.0f;
    const int32_t dims[] = {s.ndim, s.cols, s.rows, s.frames};
    ZvekImagePtr out(Zvekcreate("float", dims, 11, 0));
    if (!out) return nullptr;
    float *q = static_cast<float *>(out->vekptr);
    for (int64_t i = 0; i < n; ++i) {
        const float v = p[i];
        q[i] = std::fabs(v) <= std::numeric_limits<float>::max() ? v : (v > 0.0f ? hi : lo);
    }
    return out;
}

}  // namespace

QImage *ZVek2Qt::Zvek2Qt(ZVEKHDR *image, int part, int frame) {
    const ZvekShape s = zvekShape(image);
    if (!s.valid) return nullptr;
    const int code = image->dtype;
    if (code == DT_64CMP || code == DT_STRUCT) return nullptr;
    if (code == DT_32CMP && s.ndim != 2) return nullptr;
    if (s.ndim == 3 && s.frames == 3) return Zvek3d2qt3d(image);

    const int32_t dims[] = {3, s.cols, s.rows, 3};
    ZvekImagePtr target(Zvekcreate("float", dims, 11, 0));
    if (!target) return nullptr;

    // The one plane to show, as a "float" image of the image's columns and rows.
    ZvekImagePtr owned;
    ZVEKHDR *plane = image;
    if (code == DT_32CMP) {
        const int32_t pdims[] = {2, s.cols, s.rows};
        owned.reset(Zvekcreate("float", pdims, 11, 0));
        if (!owned) return nullptr;
        switch (part) {
        case 0: Zvekc2mag(image, owned.get()); break;
        case 1: Zvekc2phase(image, owned.get()); break;
        case 2: Zvekc2real(image, owned.get()); break;
        case 3: Zvekc2imag(image, owned.get()); break;
        default: break;
        }
        plane = owned.get();
    } else if (s.ndim == 3) {
        if (frame < 0 || frame >= s.frames) return nullptr;
        ZVEKHDR *slice = Zvekslice(image, "f", frame);
        if (slice == nullptr) return nullptr;
        if (slice != image) owned.reset(slice);
        plane = slice;
    }
    if (plane->dtype != DT_32FLT) {
        ZvekImagePtr converted = floatCopy(plane, zvekShape(plane));
        if (!converted) return nullptr;
        owned = std::move(converted);
        plane = owned.get();
    }
    for (int k = 0; k < 3; ++k) copyFrameInto(plane, target.get(), k);
    return Zvek3d2qt3d(target.get());
}

QImage *ZVek2Qt::Zvek3d2qt3d(ZVEKHDR *image) {
    const ZvekShape s = zvekShape(image);
    if (!s.valid || s.ndim != 3 || s.frames != 3) return nullptr;
    if (isComplex(image->dtype) || image->dtype == DT_STRUCT) return nullptr;
    const int pad = (4 - s.cols % 4) % 4;
    auto *picture = new QImage(s.cols + pad, s.rows, QImage::Format_RGB32);
    if (picture->isNull()) {
        delete picture;
        return nullptr;
    }
    normimage(image, picture);
    return picture;
}

void ZVek2Qt::normimage(ZVEKHDR *image, QImage *picture) {
    if (picture == nullptr || picture->isNull()) return;
    const ZvekShape s = zvekShape(image);
    // An image that cannot be scaled leaves the picture black.
    if (!s.valid || s.ndim != 3 || s.frames != 3 || picture->format() != QImage::Format_RGB32) {
        picture->fill(Qt::black);
        return;
    }
    ZvekImagePtr converted;
    if (image->dtype != DT_32FLT) {
        converted = floatCopy(image, s);
        if (!converted) return picture->fill(Qt::black);
        image = converted.get();
    }
    const int32_t dims[] = {3, s.cols, s.rows, 3};
    ZvekImagePtr bytes(Zvekcreate("u8bit", dims, 11, 0));
    if (!bytes) return picture->fill(Qt::black);
    adviseLargeBlock(bytes->vekptr, static_cast<size_t>(s.pixels()) * 3);
    float lo = 0.0f, hi = 0.0f;
    Zvekvidscale(image, bytes.get(), &lo, &hi, 0);
    // NaN moves neither end of the range and scales to 0; an infinity would
    // become an end of the range. Then the scaling is made again from a copy
    // in which non-finite values stand at the finite extremes.
    if (!std::isfinite(lo) || !std::isfinite(hi)) {
        if (ZvekImagePtr finite = finiteCopy(image, s)) {
            converted = std::move(finite);
            image = converted.get();
            std::memset(bytes->vekptr, 0, static_cast<size_t>(s.pixels()) * 3);
            Zvekvidscale(image, bytes.get(), &lo, &hi, 0);
        }
    }

    const int64_t n = s.pixels();
    const uint8_t *red = static_cast<const uint8_t *>(bytes->vekptr);
    const uint8_t *green = red + n;
    const uint8_t *blue = green + n;
    adviseLargeBlock(picture->bits(), static_cast<size_t>(picture->sizeInBytes()));
    const int width = std::min(picture->width(), s.cols);
    const int height = std::min(picture->height(), s.rows);
    for (int r = 0; r < height; ++r) {
        const int64_t o = static_cast<int64_t>(r) * s.cols;
        QRgb *line = reinterpret_cast<QRgb *>(picture->scanLine(r));
        zvekview::packBytes(red + o, green + o, blue + o, width, line);
        for (int c = width; c < picture->width(); ++c) line[c] = line[width - 1];
    }
    for (int r = height; r < picture->height(); ++r) std::memset(picture->scanLine(r), 0, picture->bytesPerLine());
}

void ZVek2Qt::copyFrameInto(ZVEKHDR *source, ZVEKHDR *target, int k) {
    const ZvekShape s = zvekShape(source);
    const ZvekShape t = zvekShape(target);
    if (!s.valid || !t.valid || target->dtype != DT_32FLT || t.ndim != 3) return;
    if (k < 0 || k >= t.frames || s.pixels() != t.pixels()) return;
    ZvekImagePtr converted;
    if (source->dtype != DT_32FLT) {
        converted = floatCopy(source, s);
        if (!converted) return;
        source = converted.get();
    }
    const int64_t n = t.pixels();
    std::memcpy(static_cast<float *>(target->vekptr) + k * n, source->vekptr, n * sizeof(float));
}
