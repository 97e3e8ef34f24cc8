// Windows, boxes and slices: rectangular pieces of an image as new images
// of the same data type.
#include "zvek.h"
#include "zvekint.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

[[maybe_unused]] const char *const windowVersion = "Zvekexwin V3.2\t\t06 Dec 2026";

// Size vector of h as an owned array (released with free).
struct SizeVector {
    int32_t *v;
    explicit SizeVector(const ZVEKHDR *h) : v(Zveksiz(h)) {}
    ~SizeVector() { std::free(v); }
    SizeVector(const SizeVector &) = delete;
    SizeVector &operator=(const SizeVector &) = delete;
};

template <typename T>
void ascending(T &a, T &b) {
    if (a > b) std::swap(a, b);
}

// Makes the result of a window and copies the rows into it: for each frame
// f1..f2 and row r1..r2 of h, w x vekbpd bytes from column c1 on.
ZVEKHDR *cutBox(ZVEKHDR *h, const int32_t *dims, int f1, int f2, int r1, int r2, int c1, int w,
                void (*report)(const char *)) {
    ZVEKHDR *res = Zvekcreate(h->vekdt, dims, 11, h->vekbpd);
    if (res == nullptr) {
        report("Zvekexwin: can't make new image!\n");
        return nullptr;
    }
    const int64_t bpd = h->vekbpd;
    const int64_t rowBytes = w * bpd;
    const auto *src = static_cast<const unsigned char *>(h->vekptr);
    auto *dst = static_cast<unsigned char *>(res->vekptr);
    for (int64_t f = f1; f <= f2; ++f)
        for (int64_t r = r1; r <= r2; ++r) {
            std::memcpy(dst, src + (f * h->vekdln[2] + r * h->vekdln[1] + c1) * bpd, rowBytes);
            dst += rowBytes;
        }
    return res;
}

void reportExt(const char *msg) { Zvekext(ZVEKSLV, msg); }
void reportDie(const char *msg) { Zvekdie(msg); }

// A header without pixel data has nothing to cut.
bool hasData(const ZVEKHDR *h, void (*report)(const char *)) {
    if (h->vekptr != nullptr) return true;
    Zvekerr = ZVEK_EBADHDR;
    report("Zvekexwin: image has no data.");
    return false;
}

}  // namespace

namespace zvek {

bool shapeOf(const ZVEKHDR *h, Shape &s) {
    SizeVector siz(h);
    if (siz.v == nullptr) return false;
    s = Shape{};
    s.ndim = siz.v[0];
    if (s.ndim >= 1) s.cols = siz.v[1];
    if (s.ndim >= 2) s.rows = siz.v[2];
    if (s.ndim >= 3) s.frames = siz.v[3];
    return true;
}

}  // namespace zvek

ZVEKHDR *Zvekexwin(ZVEKHDR *h, int r1, int c1, int r2, int c2) {
    SizeVector siz(h);
    if (siz.v == nullptr) return nullptr;
    if (siz.v[0] != 2) {
        Zvekerr = ZVEK_EDIM;
        Zvekext(ZVEKSLV, "Zvekexwin: Image must be 2-dimensional.");
        return nullptr;
    }
    ascending(c1, c2);
    ascending(r1, r2);
    if (c1 < 0 || r1 < 0 || c2 >= siz.v[1] || r2 >= siz.v[2]) {
        Zvekerr = ZVEK_ERANGE;
        return nullptr;
    }
    if (!hasData(h, reportExt)) return nullptr;
    const int w = c2 - c1 + 1, ht = r2 - r1 + 1;
    int32_t dims[3] = {2, w, ht};
    if (w == 1 || ht == 1) {
        dims[0] = 1;
        dims[1] = w == 1 ? ht : w;
    }
    return cutBox(h, dims, 0, 0, r1, r2, c1, w, reportExt);
}

ZVEKHDR *Zvekexwin3d(ZVEKHDR *h, int f1, int r1, int c1, int f2, int r2, int c2) {
    SizeVector siz(h);
    if (siz.v == nullptr) return nullptr;
    if (siz.v[0] != 3) {
        Zvekerr = ZVEK_EDIM;
        Zvekdie("Zvekexwin: Image must be 3-dimensional.");
        return nullptr;
    }
    ascending(c1, c2);
    ascending(r1, r2);
    ascending(f1, f2);
    if (c1 < 0 || r1 < 0 || f1 < 0 || c2 >= siz.v[1] || r2 >= siz.v[2] || f2 >= siz.v[3]) {
        Zvekerr = ZVEK_ERANGE;
        return nullptr;
    }
    if (!hasData(h, reportDie)) return nullptr;
    const int w = c2 - c1 + 1, ht = r2 - r1 + 1, nf = f2 - f1 + 1;
    const int ones = (w == 1) + (ht == 1) + (nf == 1);
    int32_t dims[4] = {3, w, ht, nf};
    if (ones == 1) {
        // The one dimension of extent 1 is dropped.
        dims[0] = 2;
        if (nf == 1) {
            dims[1] = w;
            dims[2] = ht;
        } else if (w == 1) {
            dims[1] = ht;
            dims[2] = nf;
        } else {
            dims[1] = w;
            dims[2] = nf;
        }
    } else if (ones >= 2) {
        dims[0] = 1;
        dims[1] = w != 1 ? w : (ht != 1 ? ht : nf);
    }
    return cutBox(h, dims, f1, f2, r1, r2, c1, w, reportDie);
}

ZVEKHDR *Zvekslice(ZVEKHDR *h, const char *dimName, int index) {
    SizeVector siz(h);
    if (siz.v == nullptr) return nullptr;
    enum { Column, Row, Frame } which;
    auto is = [dimName](const char *name) { return dimName != nullptr && std::strcmp(dimName, name) == 0; };
    if (is("c") || is("col") || is("column")) {
        which = Column;
    } else if (is("r") || is("row")) {
        which = Row;
    } else if (is("f") || is("frame")) {
        which = Frame;
    } else {
        Zvekdie("Vekslice: Unknown name of dimension.");
        return nullptr;
    }
    const int ndim = siz.v[0];
    if (ndim == 1) {
        Zvekwarn("Vekslice: Cannot slice one-dimensional image.");
        return h;
    }
    if (ndim == 2) {
        const int cols = siz.v[1], rows = siz.v[2];
        switch (which) {
        case Column:
            return Zvekexwin(h, 0, index, rows - 1, index);
        case Row:
            return Zvekexwin(h, index, 0, index, cols - 1);
        case Frame:
            Zvekwarn("Vekslice: 2-D image. Only one frame. Cannot frame-slice");
            return h;
        }
    }
    if (ndim == 3) {
        const int cols = siz.v[1], rows = siz.v[2], frames = siz.v[3];
        switch (which) {
        case Column:
            return Zvekexwin3d(h, 0, 0, index, frames - 1, rows - 1, index);
        case Row:
            return Zvekexwin3d(h, 0, index, 0, frames - 1, index, cols - 1);
        case Frame:
            return Zvekexwin3d(h, index, 0, 0, index, rows - 1, cols - 1);
        }
    }
    Zvekdie("Vekslice: Cannot handle images of dimension > 3.");
    return nullptr;
}
