// Zoom: resampling an image into the size of an existing output image by
// bilinear interpolation, pixel replication or 2 x 2 averaging.
#include "zvek.h"
#include "zvekint.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <type_traits>
#include <vector>

namespace {

[[maybe_unused]] const char *const zoomVersion = "Zvekzoomupdown V2.4\t\t06 Dec 2026";

// The bilinear blend of four neighbours: rows weighted by fr, columns by
// fc, each weight and its complement in float, the sums in double.
inline float blend(double p00, double p01, double p10, double p11, float fc, float fr) {
    const double top = zvek::nanAdd(p00 * (1.0f - fc), p01 * fc);
    const double bottom = zvek::nanAdd(p10 * (1.0f - fc), p11 * fc);
    return static_cast<float>(zvek::nanAdd(top * (1.0f - fr), bottom * fr));
}

// The line of a bilinear read at row 0, column 0: frame 0 by its number,
// any other frame by the word.
inline void printOrigin(int frame) {
    std::fputs(frame == 0 ? "f=0,r=0,c=0\n" : "f=frame,r=0,c=0\n", stdout);
}

// The refusal of an interleaved image whose channels would lie past its
// data (see zvek::layoutFits).
void reportLayout(const char *name) {
    std::printf("%s: an interleaved image needs three dimensions and a frame per channel\n", name);
    std::fflush(stdout);
}

// A source position kept inside 0..last.
inline float clampPosition(float pos, int last) {
    if (pos >= last) pos = static_cast<float>(last);
    if (pos < 0) pos = 0;
    return pos;
}

// Where the output rows or columns read from: the clamped source position,
// the two neighbours (i0 alone for replication) and the weights of the
// bilinear blend, frac = pos - i0 and comp = 1 - frac, in float.
struct Taps {
    std::vector<float> pos, frac, comp;
    std::vector<int32_t> i0, i1;
    // The first `affine` entries have i0 = i0[0] + k x index and i1 = i0 + 1
    // (k 1 or 2: the same size, or half of it); 0 when there is no such run.
    int affine = 0, k = 0;
};

// Taps of n output positions with ratio ratio over an input of length len;
// shift 0.5 for 3-D images. Averaging keeps i0 at most len - 2 and at
// least 0, so that a single row or column is never read at -1.
Taps taps(int n, float ratio, float shift, int len, bool averaging) {
    Taps t;
    t.pos.resize(n);
    t.frac.resize(n);
    t.comp.resize(n);
    t.i0.resize(n);
    t.i1.resize(n);
    for (int i = 0; i < n; ++i) {
        const float pos = clampPosition(shift == 0.0f ? i * ratio : i * ratio + shift, len - 1);
        int i0 = static_cast<int>(pos);
        if (averaging) {
            if (i0 > len - 2) i0 = len - 2;
            if (i0 < 0) i0 = 0;
        }
        t.pos[i] = pos;
        t.i0[i] = i0;
        t.i1[i] = i0 + 1 < len ? i0 + 1 : len - 1;
        t.frac[i] = pos - static_cast<float>(i0);
        t.comp[i] = 1.0f - t.frac[i];
    }
    if (n >= 2 && (t.i0[1] - t.i0[0] == 1 || t.i0[1] - t.i0[0] == 2)) {
        t.k = t.i0[1] - t.i0[0];
        int run = 0;
        while (run < n && t.i0[run] == t.i0[0] + t.k * run && t.i1[run] == t.i0[run] + 1) ++run;
        t.affine = run;
    }
    return t;
}

// Column indices of the kernels: K = 0 reads them from the taps, K = 1 or
// 2 computes them for a run of evenly spaced columns, which lets the
// compiler use plain or strided vector loads instead of gathers.
template <int K>
struct Cols {
    const int32_t *i0, *i1;
    int32_t base;
    int at0(int c) const {
        if constexpr (K == 0) return i0[c];
        else return base + K * c;
    }
    int at1(int c) const {
        if constexpr (K == 0) return i1[c];
        else return base + K * c + 1;
    }
};

// Runs kernel<K>(cols, from, to) over the affine run with its K and over
// the remaining columns with K = 0.
template <typename F>
void acrossColumns(const Taps &t, int n, F &&kernel) {
    int from = 0;
    if (t.k == 1) kernel(Cols<1>{nullptr, nullptr, t.i0[0]}, 0, t.affine), from = t.affine;
    if (t.k == 2) kernel(Cols<2>{nullptr, nullptr, t.i0[0]}, 0, t.affine), from = t.affine;
    if (from < n) kernel(Cols<0>{t.i0.data(), t.i1.data(), 0}, from, n);
}

// The row kernels read the components of one input row (every S-th, S = 2
// for the real parts of complex data) as doubles, as the double accessors
// read them, and do per output column what bilininterp1 and the averaging
// do per pixel. Their sums meet two NaNs where two samples are NaN; they
// take the NaN rule of zvek::nanAdd, so that the compiler's order of the
// operands never shows.

// The top (or bottom) of the bilinear blend for output columns from..to.
template <int S, typename T, int K>
ZVEK_INLINE void blendAcross(const T *row, Cols<K> cols, const float *fc, const float *wc, int from, int to,
                                    double *h) {
    for (int c = from; c < to; ++c)
        h[c] = zvek::nanAdd(static_cast<double>(row[cols.at0(c) * S]) * wc[c],
                            static_cast<double>(row[cols.at1(c) * S]) * fc[c]);
}

// top x (1 - fr) + bottom x fr, returned through a float and stored as the
// double put accessors store it.
template <int S, typename T>
ZVEK_INLINE void blendDown(const double *top, const double *bottom, float fr, int n, T *o) {
    const float wr = 1.0f - fr;
    for (int c = 0; c < n; ++c)
        o[c * S] = zvek::storeFromDouble<T>(static_cast<float>(zvek::nanAdd(top[c] * wr, bottom[c] * fr)));
}

template <int S, typename T, int K>
ZVEK_INLINE void pickAcross(const T *row, Cols<K> cols, int from, int to, double *o) {
    for (int c = from; c < to; ++c) o[c] = static_cast<double>(row[cols.at0(c) * S]);
}

// Mean of the 2 x 2 neighbours: the sum in double, rounded to float, / 4.
template <int S, typename T, int K>
ZVEK_INLINE void averageAcross(const T *r0, const T *r1, Cols<K> cols, int from, int to, double *o) {
    for (int c = from; c < to; ++c) {
        const int a = cols.at0(c) * S, b = cols.at1(c) * S;
        using zvek::nanAdd;
        const double sum = nanAdd(nanAdd(nanAdd(static_cast<double>(r0[a]), static_cast<double>(r0[b])),
                                         static_cast<double>(r1[a])),
                                  static_cast<double>(r1[b]));
        o[c] = static_cast<float>(sum) / 4.0f;
    }
}

// Stores doubles as the double put accessors do (into the real part of a
// complex datum, the imaginary part left alone).
template <int S, typename T>
ZVEK_INLINE void storeAcross(const double *v, int n, T *o) {
    for (int c = 0; c < n; ++c) o[c * S] = zvek::storeFromDouble<T>(v[c]);
}

template <int S>
struct Stride {
    static constexpr int value = S;
};

// Hands input rows to the kernels: the plain types in place, the others
// read through the accessors into a buffer of doubles.
class Input {
public:
    Input(ZVEKHDR *in, const zvek::Shape &s) : in_(in), s_(s), typed_(zvek::isPlainType(in->dtype)) {
        if (!typed_) {
            buf_[0].resize(s.cols);
            buf_[1].resize(s.cols);
        }
    }

    // fn(row pointer, Stride tag) for row r of frame; slot picks one of the
    // two buffers, so that two rows can be held at once.
    template <typename F>
    void withRow(int frame, int r, int slot, F &&fn) {
        const int64_t offset = (static_cast<int64_t>(frame) * s_.rows + r) * s_.cols;
        if (typed_) {
            const bool complex = zvek::typeLayout(in_->dtype).complex;
            zvek::dispatchPlain(in_->dtype, [&](auto tag) {
                using T = typename decltype(tag)::type;
                const T *p = static_cast<const T *>(in_->vekptr);
                if constexpr (std::is_floating_point_v<T>) {
                    if (complex) return fn(p + 2 * offset, Stride<2>{});
                }
                fn(p + offset, Stride<1>{});
            });
            return;
        }
        double *b = buf_[slot].data();
        for (int c = 0; c < s_.cols; ++c) b[c] = s_.ndim == 3 ? Zvekfgp3d(in_, frame, r, c) : Zvekfgp(in_, r, c);
        fn(static_cast<const double *>(b), Stride<1>{});
    }

    // fn(row0, row1, Stride tag) for two rows of frame.
    template <typename F>
    void withRows(int frame, int r0, int r1, F &&fn) {
        withRow(frame, r0, 0, [&](auto p0, auto st) {
            using P0 = decltype(p0);
            using S0 = decltype(st);
            withRow(frame, r1, 1, [&](auto p1, auto st1) {
                if constexpr (std::is_same_v<P0, decltype(p1)> && std::is_same_v<S0, decltype(st1)>) fn(p0, p1, st);
            });
        });
    }

private:
    ZVEKHDR *in_;
    zvek::Shape s_;
    bool typed_;
    std::vector<double> buf_[2];
};

// Output rows of the plain types, handed to fn(row pointer, Stride tag) for
// row r of frame (frame -1, for a 2-D input, is frame 0 as the 2-D put
// accessors address it). False for the other types.
template <typename F>
bool withOutputRow(ZVEKHDR *out, const zvek::Shape &s, int frame, int r, F &&fn) {
    const int64_t offset = (static_cast<int64_t>(frame < 0 ? 0 : frame) * s.rows + r) * s.cols;
    const bool complex = zvek::typeLayout(out->dtype).complex;
    return zvek::dispatchPlain(out->dtype, [&](auto tag) {
        using T = typename decltype(tag)::type;
        T *p = static_cast<T *>(out->vekptr);
        if constexpr (std::is_floating_point_v<T>) {
            if (complex) return fn(p + 2 * offset, Stride<2>{});
        }
        fn(p + offset, Stride<1>{});
    });
}

// Stores one row of doubles into row r of the output, through the put
// accessors for the types without a typed road.
void storeRow(ZVEKHDR *out, const zvek::Shape &s, int frame, int r, const double *v) {
    if (withOutputRow(out, s, frame, r, [&](auto p, auto st) {
            zvek::onWidestPath([&]() ZVEK_INLINE_LAMBDA { storeAcross<decltype(st)::value>(v, s.cols, p); });
        }))
        return;
    for (int c = 0; c < s.cols; ++c) frame < 0 ? Zvekfpp(out, r, c, v[c]) : Zvekfpp3d(out, frame, r, c, v[c]);
}

// The tops and bottoms of the bilinear blend for the last two input rows
// used; neighbouring output rows mostly share them.
class BlendedRows {
public:
    BlendedRows(Input &in, const Taps &cols, int n) : in_(in), cols_(cols), n_(n) {
        rows_[0].resize(n);
        rows_[1].resize(n);
    }

    const double *row(int frame, int r) {
        const int64_t key = static_cast<int64_t>(frame) * (int64_t(1) << 32) + r;
        for (int i = 0; i < 2; ++i)
            if (key_[i] == key) {
                last_ = i;
                return rows_[i].data();
            }
        const int i = 1 - last_;
        last_ = i;
        key_[i] = key;
        double *h = rows_[i].data();
        in_.withRow(frame, r, 0, [&](auto p, auto st) {
            acrossColumns(cols_, n_, [&](auto cols, int from, int to) {
                zvek::onWidestPath([&]() ZVEK_INLINE_LAMBDA { blendAcross<decltype(st)::value>(p, cols, cols_.frac.data(), cols_.comp.data(), from, to, h); });
            });
        });
        return h;
    }

private:
    Input &in_;
    const Taps &cols_;
    int n_;
    std::vector<double> rows_[2];
    int64_t key_[2] = {-1, -1};
    int last_ = 1;
};

}  // namespace

float bilininterp1(ZVEKHDR *in, int frame, float row, float col) {
    zvek::Shape s;
    if (!zvek::shapeOf(in, s) || in->vekptr == nullptr || s.pixels() == 0) return 0.0f;
    if (s.ndim == 1) frame = 0;
    if (frame < 0 || frame >= s.frames) return 0.0f;
    if (!zvek::layoutFits(in)) {
        reportLayout("bilininterp1");
        return 0.0f;
    }
    // Integer parts (and the neighbours after them) must be ints.
    if (!(std::fabs(row) < 2147483648.0f && std::fabs(col) < 2147483648.0f)) {
        std::printf("bilininterp1: position row=%g col=%g is out of range\n", static_cast<double>(row),
                    static_cast<double>(col));
        std::fflush(stdout);
        return 0.0f;
    }
    const int c0 = zvek::truncToInt(col), r0 = zvek::truncToInt(row);
    const float fc = col - static_cast<float>(c0), fr = row - static_cast<float>(r0);
    if (row == 0.0f && col == 0.0f) printOrigin(frame);
    if (fr > 1.0f || fc > 1.0f) std::printf("Bug at row=%f col=%f\n", row, col);
    // Neighbours stay inside the image, whatever position a caller gives.
    auto inside = [](int v, int len) { return v < 0 ? 0 : (v >= len ? len - 1 : v); };
    const int ra = inside(r0, s.rows), rb = inside(r0 + 1, s.rows);
    const int ca = inside(c0, s.cols), cb = inside(c0 + 1, s.cols);
    auto p = [&](int r, int c) { return frame == 0 ? Zvekfgp(in, r, c) : Zvekfgp3d(in, frame, r, c); };
    return blend(p(ra, ca), p(ra, cb), p(rb, ca), p(rb, cb), fc, fr);
}

int Zvekzoomupdown(ZVEKHDR *in, ZVEKHDR *out, int mode) {
    switch (mode) {
    case 0: std::printf("Image will be zoomed by bilinear interpolation\n"); break;
    case 1: std::printf("Image will be zoomed by pixel replication\n"); break;
    case 2: std::printf("Image will be zoomed by averaging\n"); break;
    default: break;
    }
    zvek::Shape si, so;
    if (!zvek::shapeOf(in, si) || !zvek::shapeOf(out, so)) return -1;
    if (in->vekptr == nullptr || out->vekptr == nullptr || si.pixels() == 0 || so.pixels() == 0) {
        std::printf("Zvekzoomupdown: image has no pixels\n");
        std::fflush(stdout);
        return -1;
    }
    if (!zvek::layoutFits(in) || !zvek::layoutFits(out)) {
        reportLayout("Zvekzoomupdown");
        return -1;
    }
    if (si.ndim == 3 && so.frames != si.frames) {
        std::printf("Zvekzoomupdown: both input and output images must have same number of frames\n");
        std::printf("input image is %d %d %d, output is %d %d %d\n", si.cols, si.rows, si.frames, so.cols, so.rows,
                    so.frames);
        std::fflush(stdout);
        return -1;
    }
    const float cr = static_cast<float>(si.cols) / static_cast<float>(so.cols);
    const float rr = static_cast<float>(si.rows) / static_cast<float>(so.rows);

    int frames, kernel;
    float shift;
    if (si.ndim == 2) {
        std::printf("zoomupdown: processing a 2D image\n");
        frames = 1;
        shift = 0.0f;
        kernel = (mode >= 0 && mode <= 2) ? mode : -1;
    } else if (si.ndim == 3) {
        std::printf("zoomupdown: processing a 3D, %d %d %dimage\n", si.frames, so.rows, so.cols);
        frames = si.frames;
        shift = 0.5f;
        kernel = mode == 1 ? 1 : 0;
    } else {
        std::printf("zoomupdown: bug in case statement!\n");
        std::fflush(stdout);
        return -1;
    }
    std::fflush(stdout);

    const Taps rowTaps = taps(so.rows, rr, shift, si.rows, kernel == 2);
    const Taps colTaps = taps(so.cols, cr, shift, si.cols, kernel == 2);
    // Output columns that read from column 0 at position 0: the bilinear
    // read of (row 0, column 0) prints its position line.
    int originCols = 0;
    if (kernel == 0)
        for (int c = 0; c < so.cols; ++c) originCols += colTaps.pos[c] == 0.0f;

    auto outFrame = [&](int f) { return si.ndim == 3 ? f : -1; };
    Input src(in, si);
    BlendedRows blended(src, colTaps, so.cols);
    const int n = so.cols;
    std::vector<double> row(n);
    for (int f = 0; f < frames; ++f)
        for (int r = 0; r < so.rows; ++r) {
            const int r0 = rowTaps.i0[r], r1 = rowTaps.i1[r];
            switch (kernel) {
            case 0: {
                if (rowTaps.pos[r] == 0.0f)
                    for (int k = 0; k < originCols; ++k) printOrigin(f);
                const double *top = blended.row(f, r0);
                const double *bottom = blended.row(f, r1);
                const float fr = rowTaps.frac[r];
                // Straight into a typed output row; else through the buffer.
                if (withOutputRow(out, so, outFrame(f), r, [&](auto p, auto st) {
                        zvek::onWidestPath([&]() ZVEK_INLINE_LAMBDA { blendDown<decltype(st)::value>(top, bottom, fr, n, p); });
                    }))
                    continue;
                zvek::onWidestPath([&]() ZVEK_INLINE_LAMBDA { blendDown<1>(top, bottom, fr, n, row.data()); });
                break;
            }
            case 1:
                src.withRow(f, r0, 0, [&](auto p, auto st) {
                    acrossColumns(colTaps, n, [&](auto cols, int from, int to) {
                        zvek::onWidestPath([&]() ZVEK_INLINE_LAMBDA { pickAcross<decltype(st)::value>(p, cols, from, to, row.data()); });
                    });
                });
                break;
            case 2:
                src.withRows(f, r0, r1, [&](auto p0, auto p1, auto st) {
                    acrossColumns(colTaps, n, [&](auto cols, int from, int to) {
                        zvek::onWidestPath([&]() ZVEK_INLINE_LAMBDA { averageAcross<decltype(st)::value>(p0, p1, cols, from, to, row.data()); });
                    });
                });
                break;
            default:
                std::fill(row.begin(), row.end(), 0.0);
                break;
            }
            storeRow(out, so, outFrame(f), r, row.data());
        }
    std::fflush(stdout);
    return 0;
}
