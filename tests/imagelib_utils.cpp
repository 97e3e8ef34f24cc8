// The utilities: windows and slices, the 2-D FFT, zoom, the point-list rasteriser and the rand48 family.
#include "imagelib_fixture.h"
#include "nan_rule.h"
#include "zvekint.h"

#include <cmath>
#include <complex>
#include <fstream>
#include <tuple>

using namespace zt;
using Utils = LibTest;

namespace {
float code(int f, int r, int c) { return static_cast<float>(f * 10000 + r * 100 + c); }

// A float image whose pixel (f, r, c) holds code(f, r, c).
Img numbered(std::vector<int32_t> lens) {
    Img h("float", lens);
    lens.resize(3, 1);
    for (int i = 0; i < lens[0] * lens[1] * lens[2]; ++i)
        h.data<float>()[i] = code(i / lens[0] / lens[1], i / lens[0] % lens[1], i % lens[0]);
    return h;
}

std::vector<int32_t> shape(const ZVEKHDR *h) {
    int32_t *s = Zveksiz(h);
    std::vector<int32_t> v(s, s + s[0] + 1);
    return std::free(s), v;
}
}  // namespace

// Windows, boxes and slices: pairs in either order, extents of 1 dropped, the pixels copied in order; outside the image
// null with 4096 and no message; the slices that cut nothing answer the image itself.
TEST_F(Utils, WindowsBoxesAndSlices) {
    Img flat = numbered({10, 8}), cube = numbered({6, 5, 4}), line = numbered({5});
    // call: "win" window, "box" box, else the slice's name; a: the call's numbers; shape: empty for null, {0} for the
    // image itself; bounds: f1 f2 r1 r2 c1 c2.
    struct Row { ZVEKHDR *in; const char *call; std::vector<int> a, shape, bounds; int code = 0; std::string err{}; };
    const std::string unknown = "\nVekslice: Unknown name of dimension.\n";
    const Row rows[] = {
        {flat, "win", {5, 7, 2, 3}, {2, 5, 4}, {0, 0, 2, 5, 3, 7}},
        {flat, "win", {2, 3, 5, 7}, {2, 5, 4}, {0, 0, 2, 5, 3, 7}},
        {flat, "win", {3, 1, 3, 4}, {1, 4}, {0, 0, 3, 3, 1, 4}},
        {flat, "win", {1, 2, 3, 2}, {1, 3}, {0, 0, 1, 3, 2, 2}},
        {flat, "win", {7, 9, 7, 9}, {1, 1}, {0, 0, 7, 7, 9, 9}}, {flat, "win", {-1, 0, 2, 2}, {}, {}, ZVEK_ERANGE},
        {flat, "win", {0, -1, 2, 2}, {}, {}, ZVEK_ERANGE}, {flat, "win", {0, 0, 8, 2}, {}, {}, ZVEK_ERANGE},
        {flat, "win", {0, 0, 2, 10}, {}, {}, ZVEK_ERANGE},
        {cube, "win", {0, 0, 1, 1}, {}, {}, ZVEK_EDIM, "Zvekexwin: Image must be 2-dimensional.\n"},
        {flat, "box", {0, 0, 0, 1, 1, 1}, {}, {}, ZVEK_EDIM, report("Zvekexwin: Image must be 3-dimensional.", 8192)},
        {cube, "box", {2, 3, 4, 1, 1, 1}, {3, 4, 3, 2}, {1, 2, 1, 3, 1, 4}},
        {cube, "box", {2, 1, 1, 2, 3, 4}, {2, 4, 3}, {2, 2, 1, 3, 1, 4}},
        {cube, "box", {0, 1, 2, 3, 3, 2}, {2, 3, 4}, {0, 3, 1, 3, 2, 2}},
        {cube, "box", {0, 2, 1, 3, 2, 5}, {2, 5, 4}, {0, 3, 2, 2, 1, 5}},
        {cube, "box", {1, 2, 0, 1, 2, 5}, {1, 6}, {1, 1, 2, 2, 0, 5}},
        {cube, "box", {1, 0, 3, 1, 4, 3}, {1, 5}, {1, 1, 0, 4, 3, 3}},
        {cube, "box", {3, 4, 5, 0, 4, 5}, {1, 4}, {0, 3, 4, 4, 5, 5}},
        {cube, "box", {3, 4, 5, 3, 4, 5}, {1, 1}, {3, 3, 4, 4, 5, 5}},
        {cube, "box", {0, 0, 0, 4, 1, 1}, {}, {}, ZVEK_ERANGE}, {cube, "f", {1}, {2, 6, 5}, {1, 1, 0, 4, 0, 5}},
        {cube, "frame", {3}, {2, 6, 5}, {3, 3, 0, 4, 0, 5}}, {cube, "column", {1}, {2, 5, 4}, {0, 3, 0, 4, 1, 1}},
        {cube, "c", {5}, {2, 5, 4}, {0, 3, 0, 4, 5, 5}}, {cube, "col", {0}, {2, 5, 4}, {0, 3, 0, 4, 0, 0}},
        {cube, "r", {0}, {2, 6, 4}, {0, 3, 0, 0, 0, 5}}, {cube, "row", {4}, {2, 6, 4}, {0, 3, 4, 4, 0, 5}},
        {flat, "c", {2}, {1, 8}, {0, 0, 0, 7, 2, 2}}, {flat, "row", {1}, {1, 10}, {0, 0, 1, 1, 0, 9}},
        {flat, "frame", {0}, {0}, {}, 0, "\nVekslice: 2-D image. Only one frame. Cannot frame-slice\n"},
        {line, "c", {0}, {0}, {}, 0, "\nVekslice: Cannot slice one-dimensional image.\n"},
        {cube, "z", {0}, {}, {}, 0, unknown}, {cube, nullptr, {0}, {}, {}, 0, unknown},
        {cube, "f", {4}, {}, {}, ZVEK_ERANGE},
        {nullptr, "f", {0}, {}, {}, 24, kNullHeader + "Zveksiz:  bad image header\n"},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row &r = rows[i];
        const std::vector<int> &a = r.a;
        const std::string call = r.call ? r.call : "";
        ZVEKHDR *got = nullptr;
        EXPECT_EQ(run([&] {
                      got = call == "win"   ? Zvekexwin(r.in, a[0], a[1], a[2], a[3])
                            : call == "box" ? Zvekexwin3d(r.in, a[0], a[1], a[2], a[3], a[4], a[5])
                                            : Zvekslice(r.in, r.call, a[0]);
                      return 0;
                  }),
                  (Outcome{0, "", r.err, r.code})) << "row " << i;
        Img result(got == r.in ? nullptr : got);
        if (r.shape.empty() || r.shape[0] == 0 || !got) {
            EXPECT_EQ(got, r.shape.empty() ? nullptr : r.in) << "row " << i;
            continue;
        }
        std::vector<float> want;
        for (int f = r.bounds[0]; f <= r.bounds[1]; ++f)
            for (int y = r.bounds[2]; y <= r.bounds[3]; ++y)
                for (int x = r.bounds[4]; x <= r.bounds[5]; ++x) want.push_back(code(f, y, x));
        const std::vector<float> pixels(result.data<float>(), result.data<float>() + want.size());
        EXPECT_EQ(std::make_pair(shape(got), pixels), std::make_pair(r.shape, want)) << "row " << i;
    }
    // A failed creation is reported.
    auto *saved = Zvek_alcptr;
    Zvek_alcptr = [](size_t n, size_t s) -> void * { return n * s >= 512 ? nullptr : std::calloc(n, s); };
    const std::string made = alcLine(512) + report("Zvekcreate: can't allocate space for image header", 512);
    const std::string cant = "Zvekexwin: can't make new image!\n\n";
    EXPECT_EQ(run([&] { return Zvekexwin(flat, 0, 0, 2, 2) != nullptr; }), (Outcome{0, "", made + cant, 512}));
    EXPECT_EQ(run([&] { return Zvekexwin3d(cube, 0, 0, 0, 1, 2, 2) != nullptr; }),
              (Outcome{0, "", made + "\n" + cant, 512}));
    Zvek_alcptr = saved;
}

namespace {
// An n x n complex float image of deterministic values in [-1, 1) x scale.
Img complexImage(int n, unsigned seed, double scale = 1.0) {
    Img h("complex", {n, n});
    for (int i = 0; i < 2 * n * n; ++i)
        h.data<float>()[i] = float((((seed = seed * 1664525u + 1013904223u) >> 8) / double(1 << 23) - 1) * scale);
    return h;
}

// The radix-2 scheme as specified, along one row or column: bit reversal, the steps cos(pi/m), -sin(pi/m) rounded to
// six decimals up to m = 512 (in single precision beyond), the running factor updated after each j, float arithmetic,
// division by n for the inverse.
void plain1d(float *re, float *im, long stride, int n, int dir) {
    for (int i = 0, j = 0, k; i < n - 1; ++i, j += k) {
        if (i < j) std::swap(re[i * stride], re[j * stride]), std::swap(im[i * stride], im[j * stride]);
        for (k = n / 2; k <= j; k /= 2) j -= k;
    }
    for (int m = 1; m < n; m *= 2) {
        auto six = [m](double v) { return m <= 512 ? float(std::round(v * 1e6) / 1e6) : float(v); };
        const float wr = m == 1 ? -1 : m == 2 ? 0 : six(std::cos(M_PI / m));
        const float wi = m == 1 ? 0 : m == 2 ? float(dir) : six(-std::sin(M_PI / m)) * float(-dir);
        float ur = 1, ui = 0;
        for (int jj = 0; jj < m; ++jj) {
            for (int i = jj; i < n; i += 2 * m) {
                float *ri = re + i * stride, *ii = im + i * stride;
                float *rk = re + (i + m) * stride, *ik = im + (i + m) * stride;
                const float tr = ur * *rk - ui * *ik, ti = ur * *ik + *rk * ui;
                *rk = *ri - tr, *ik = *ii - ti, *ri = *ri + tr, *ii = *ii + ti;
            }
            const float a = ur;
            ur = a * wr - ui * wi, ui = a * wi + wr * ui;
        }
    }
    for (int i = 0; dir == 1 && i < n; ++i) re[i * stride] /= n, im[i * stride] /= n;
}
}  // namespace

// Against the 2-D DFT summed in double, both directions; and bit for bit against the plain scheme (rows then columns
// forward, columns then rows inverse) on sides that take the scalar and the vector roads, and sides whose steps lie
// beyond the table.
TEST_F(Utils, FftValues) {
    for (int n : {2, 4, 8, 16, 32})
        for (int dir : {-1, 1}) {
            Img h = complexImage(n, 7u + n + dir);
            std::vector<std::complex<double>> x(n * n), want(n * n);
            for (int i = 0; i < n * n; ++i) x[i] = {h.data<float>()[2 * i], h.data<float>()[2 * i + 1]};
            for (int k = 0; k < n * n * n * n; ++k) {
                const int u = k / (n * n), i = k % (n * n), phase = (u / n * (i / n) + u % n * (i % n)) % n;
                want[u] += x[i] * std::polar(1.0, dir * 2 * M_PI * phase / n) / (dir == 1 ? double(n) * n : 1.0);
            }
            ASSERT_EQ(Zvekcfft2d(h, dir), 0);
            const double tol = 2e-5 * (dir == -1 ? n : 1.0 / n) * std::log2(2 * n);
            for (int i = 0; i < 2 * n * n; ++i)
                ASSERT_NEAR(h.data<float>()[i], i % 2 ? want[i / 2].imag() : want[i / 2].real(), tol)
                    << n << " " << dir << " " << i;
        }
    for (int n : {4, 8, 16, 64, 256, 1024, 2048})
        for (int dir : {-1, 1}) {
            Img h = complexImage(n, 99u + n, 100.0);
            std::vector<float> ref(h.data<float>(), h.data<float>() + 2 * n * n);
            float *d = ref.data();
            for (int pass = 0; pass < 2; ++pass)
                for (int i = 0; i < n; ++i)
                    pass == (dir == 1) ? plain1d(d + 2L * i * n, d + 2L * i * n + 1, 2, n, dir)
                                       : plain1d(d + 2L * i, d + 2L * i + 1, 2L * n, n, dir);
            ASSERT_EQ(Zvekcfft2d(h, dir), 0);
            ASSERT_EQ(std::memcmp(h.data(), ref.data(), ref.size() * sizeof(float)), 0) << n << " " << dir;
        }
    Img one = complexImage(1, 3), rect("complex", {8, 4}), six("complex", {6, 6}), flt("32flt", {4, 4});
    Img dbl("64cmp", {4, 4}), img = complexImage(8, 3), cube("complex", {4, 4, 2});
    const std::string notComplex = "cfft2d:image is not floating point complex! BYE!\n";
    struct Refusal { ZVEKHDR *h; int dir, result; std::string err; };
    const Refusal refusals[] = {
        {one, -1, 0, ""}, {one, 1, 0, ""}, {rect, -1, -1, "cff2d:image must be square\n"},
        {six, -1, -2, "cff2d:image dimension must be  a power of 2! BYE!\n"}, {flt, -1, -3, notComplex},
        {dbl, -1, -3, notComplex}, {nullptr, -1, -3, notComplex}, {img, 0, 0, ""}, {img, 2, 0, ""}, {img, -2, 0, ""},
    };
    auto raw = [](ZVEKHDR *h) { return h ? bytesAt(h->vekptr, Zvekdimen(h, ZVEK_NBYTES)) : Bytes(); };
    for (const Refusal &r : refusals) {
        const Bytes before = raw(r.h);
        EXPECT_EQ(run([&] { return Zvekcfft2d(r.h, r.dir); }), (Outcome{r.result, "", r.err, 0})) << r.dir << r.err;
        EXPECT_EQ(raw(r.h), before) << r.dir << " " << r.err;
    }
    // Only the first frame of a 3-D image: an impulse turns into ones, frame 1 stays.
    cube.data<float>()[0] = 1, cube.data<float>()[32] = 7;
    ASSERT_EQ(Zvekcfft2d(cube, -1), 0);
    std::vector<float> want(64, 0);
    for (int i = 0; i < 32; i += 2) want[i] = 1;
    EXPECT_EQ(std::vector<float>(cube.data<float>(), cube.data<float>() + 64), (want[32] = 7, want));
}

namespace {
// The bilinear value from the formulas: weights and complements in float, sums in double (a NaN the first met in each),
// the result through a float.
double add(double a, double b) { return firstNaN(a + b, a, b); }
double refBilinear(ZVEKHDR *in, int frame, float row, float col, int rows, int cols) {
    const int c0 = int(col), r0 = int(row), c1 = std::min(c0 + 1, cols - 1), r1 = std::min(r0 + 1, rows - 1);
    const float fc = col - c0, fr = row - r0;
    auto p = [&](int r, int c) { return Zvekfgp3d(in, frame, r, c); };
    const double top = add(p(r0, c0) * double(1.0f - fc), p(r0, c1) * double(fc));
    const double bottom = add(p(r1, c0) * double(1.0f - fc), p(r1, c1) * double(fc));
    return static_cast<float>(add(top * double(1.0f - fr), bottom * double(fr)));
}
}  // namespace

// Every mode on sizes that keep, halve, shrink oddly, enlarge, or have one row, column or pixel, 2-D (positions i x
// ratio) and 3-D (shifted by half a pixel; averaging interpolates), typed and through the accessors, against the
// per-pixel formulas stored as a pixel put stores them; NaNs of both signs (nans) on every instruction set.
TEST_F(Utils, ZoomAgainstThePerPixelRule) {
    struct Row { int ic, ir, nf, oc, orow; const char *in, *out; int nans = 0; };
    const Row rows[] = {
        {37, 29, 1, 37, 29, "32bit", "double"}, {36, 30, 1, 18, 15, "u8bit", "float"},
        {37, 31, 1, 18, 15, "float", "16bit"}, {5, 4, 1, 13, 9, "16bit", "32bit"},
        {40, 3, 1, 17, 2, "complex", "complex"}, {7, 5, 1, 9, 11, "float", "float"}, {4, 1, 1, 2, 1, "float", "float"},
        {1, 4, 1, 1, 2, "float", "float"}, {1, 1, 1, 3, 2, "float", "float"}, {6, 4, 3, 5, 7, "u8bit", "float"},
        {6, 4, 3, 5, 7, "Su8bit3", "16bit"}, {6, 4, 3, 5, 7, "64flt", "S16bit3"},
        {37, 31, 1, 18, 15, "float", "float", 1}, {41, 9, 1, 77, 20, "float", "float", 1}, {6, 4, 3, 5, 7, "64flt", "float", 1},
    };
    for (const Row &z : rows) for (int level = 0; level < 3; ++level) {
        zvek::limitVectorLevel(level);
        const bool three = z.nf > 1;
        auto lens = [&](int c, int r) { return three ? std::vector<int>{c, r, z.nf} : std::vector<int>{c, r}; };
        Img in(z.in, lens(z.ic, z.ir));
        for (int i = 0; i < z.ic * z.ir * z.nf; ++i)
            Zvekfpp3d(in, i / (z.ic * z.ir), i / z.ic % z.ir, i % z.ic,
                      z.nans && (i * 7919) % 1000 < 400 ? ((i * 31) % 7 < 3 ? NAN : -NAN) : (i * 7919) % 1000 - 500);
        const float rr = float(z.ir) / float(z.orow), cr = float(z.ic) / float(z.oc), shift = three ? 0.5f : 0.0f;
        for (int mode = 0; mode < 3; ++mode) {
            Img out(z.out, lens(z.oc, z.orow)), ref(z.out, lens(z.oc, z.orow));
            ASSERT_EQ(capture([&] { ASSERT_EQ(Zvekzoomupdown(in, out, mode), 0); }).err, "");
            for (int i = 0; i < z.nf * z.orow * z.oc; ++i) {
                const int f = i / (z.orow * z.oc), r = i / z.oc % z.orow, c = i % z.oc;
                const float sr = std::min(r * rr + shift, float(z.ir - 1));
                const float sc = std::min(c * cr + shift, float(z.ic - 1));
                const int r0 = std::max(std::min(int(sr), z.ir - 2), 0), c0 = std::max(std::min(int(sc), z.ic - 2), 0);
                const int r1 = std::min(r0 + 1, z.ir - 1), c1 = std::min(c0 + 1, z.ic - 1);
                auto p = [&](int y, int x) { return Zvekfgp(in, y, x); };
                const float mean = float(add(add(add(p(r0, c0), p(r0, c1)), p(r1, c0)), p(r1, c1))) / 4.0f;
                Zvekfpp3d(ref, f, r, c, mode == 0 || (three && mode == 2) ? refBilinear(in, f, sr, sc, z.ir, z.ic)
                                        : mode == 1 ? Zvekfgp3d(in, f, int(sr), int(sc)) : mean);
            }
            EXPECT_EQ(out.bytes(), ref.bytes()) << z.ic << "x" << z.ir << "x" << z.nf << " " << z.in << " -> " << z.out
                                                << " mode " << mode << (z.nans ? ", NaNs" : "") << ", path " << level;
        }
    }
    zvek::limitVectorLevel(2);
}

// Hand-worked values with the printed lines, and the refusals.
TEST_F(Utils, ZoomValuesAndLines) {
    const std::string two = "zoomupdown: processing a 2D image\n", three = "zoomupdown: processing a 3D, 3 1 2image\n";
    const std::string rep = "Image will be zoomed by pixel replication\n", avg = "Image will be zoomed by averaging\n";
    const std::string bil = "Image will be zoomed by bilinear interpolation\n", f0 = "f=0,r=0,c=0\n";
    const std::string ff = "f=frame,r=0,c=0\n";
    const std::string frames = "Zvekzoomupdown: both input and output images must have same number of frames\n";
    using Lens = std::vector<int>;
    using Values = std::vector<double>;
    struct Row { Lens from; Values in; Lens to; int mode, result; Values want; std::string out; };
    const Row rows[] = {
        {{3, 3}, {0, 1, 2, 3, 4, 5, 6, 7, 8}, {2, 2}, 2, 0, {2, 3, 5, 6}, avg + two},  // the border pair stays inside
        {{2, 2}, {1, 2, 3, 4}, {4, 4}, 0, 0, {1, 1.5, 2, 2, 2, 2.5, 3, 3, 3, 3.5, 4, 4, 3, 3.5, 4, 4}, bil + two + f0},
        {{2, 2}, {1, 2, 3, 4}, {2, 2}, 5, 0, {0, 0, 0, 0}, two},  // an unknown mode stores 0
        {{1, 1, 3}, {10, 20, 30}, {2, 1, 3}, 0, 0, {10, 10, 20, 20, 30, 30}, bil + three + f0 + f0 + ff + ff + ff + ff},
        {{4, 4, 3}, {}, {2, 2, 2}, 1, -1, {7, 7, 7, 7}, rep + frames + "input image is 4 4 3, output is 2 2 2\n"},
        {{4, 4, 3}, {}, {2, 2}, 0, -1, {7, 7, 7, 7}, bil + frames + "input image is 4 4 3, output is 2 2 1\n"},
        {{8}, {}, {4}, 2, -1, {7, 7, 7, 7}, avg + "zoomupdown: bug in case statement!\n"},
        {{4, 4}, {}, {0, 2}, 1, -1, {}, rep + "Zvekzoomupdown: image has no pixels\n"},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row &r = rows[i];
        Img in("float", r.from), out("float", r.to);
        for (size_t k = 0; k < r.in.size(); ++k) in.data<float>()[k] = float(r.in[k]);
        for (size_t k = 0; k < r.want.size(); ++k) out.data<float>()[k] = 7;
        EXPECT_EQ(run([&] { return Zvekzoomupdown(in, out, r.mode); }), (Outcome{r.result, r.out, "", 0}))
            << "row " << i;
        EXPECT_EQ(Values(out.data<float>(), out.data<float>() + r.want.size()), r.want) << "row " << i;
    }
    Img bare("float", {4, 4}, 0, 0), in("float", {2, 2});
    EXPECT_EQ(run([&] { return Zvekzoomupdown(in, bare, 1) + Zvekzoomupdown(bare, in, 1); }).result, -2);
    // The single bilinear read: neighbours kept inside, frames outside give 0.
    Img cube = numbered({3, 3, 4});
    std::vector<float> got;
    EXPECT_EQ(capture([&] {
                  got = {bilininterp1(cube, 0, 0, 0), bilininterp1(cube, 2, 0, 0), bilininterp1(cube, 3, 0.5f, 2),
                         bilininterp1(cube, 4, 0.5f, 0.5f), bilininterp1(cube, 1, 2.5f, 2.5f)};
              }).out,
              f0 + ff);
    EXPECT_EQ(got, (std::vector<float>{0, code(2, 0, 0), (code(3, 0, 2) + code(3, 1, 2)) / 2, 0, code(1, 2, 2)}));
}

TEST_F(Utils, PointLists) {
    const int R = 1, G = 2, W = 7;  // red, green, white at (row, column): the planes they light
    // image: rows, columns, then (row, column, colour) triples; empty: refused.
    struct Args { int rows = 0, cols = 0, exact = 0; float scale = 1; };
    struct Row { std::string text; std::vector<int> image; std::string err{}; Args a{}; };
    const std::string path = testing::TempDir() + "zvek_points_" + std::to_string(getpid());
    const std::string none = "plotcontour:no points in " + path + "\n", cannot = "plotcontour:cannot make an image of ";
    const Row rows[] = {
        {"# 3\n0 0\n2 0\n2 1\n", {2, 3, 0, 0, R, 0, 2, W, 1, 2, G}},
        {"#-1\n4.5 7.25 trailing words\n", {1, 1, 0, 0, G}},  // the first two characters, whatever they are
        {"# 3\n10 20 a\n11 20 b\n11 21 c\n", {4, 4, 1, 1, R, 1, 3, W, 3, 3, G}, "", {0, 0, 0, 2}},
        {"# 3\n0 0\n50 0\n50 50\n", {4, 5, 0, 0, R, 0, 4, W, 3, 4, G}, "", {4, 5}},
        {"# 2\n-5 3\n7.9 12\n", {10, 10, 3, 0, R, 9, 7, G}, "", {10, 10, 1}},
        {"# 2\n0 0\n3 3", {1, 1, 0, 0, G}},  // no newline after the last pair
        {"# 5\n0 0\n1 0\n2 0\n", {1, 3, 0, 0, R, 0, 1, W, 0, 2, G}},
        {"# 4\n0 0\n1 0\nxx yy\n3 0\n", {1, 2, 0, 0, R, 0, 1, G}},
        {"# 2000000000\n1 1\n2 1\n", {1, 2, 0, 0, R, 0, 1, G}}, {"# 0\n", {}, none}, {"", {}, none},
        {"hello\n", {}, none}, {"# -4\n1 1\n", {}, none},
        {"# 2\n0 0\n100000 100000\n", {}, cannot + "100001 rows and 100001 columns\n"},
        {"# 2\n0 0\n5 5\n", {}, cannot + "0 rows and 0 columns\n", {0, 0, 0, 0}},
        {"# 1\n1 1\n", {}, cannot + "-3 rows and 4 columns\n", {-3, 4}},
        {"# 2\n0 0\n10 0\n", {}, cannot + "0 rows and 5 columns\n", {0, 0, 0, 0.5f}},
    };
    for (const Row &r : rows) {
        std::ofstream(path, std::ios::binary) << r.text;
        ZVEKHDR *h = nullptr;
        EXPECT_EQ(run([&] { return !!(h = Zvekplotcontour(path.c_str(), r.a.rows, r.a.cols, r.a.exact, r.a.scale)); }),
                  (Outcome{!r.image.empty(), "plotcontour:read inputimage\n", r.err, 0})) << r.text;
        Img img(h);
        if (!h) continue;
        const std::vector<int> &m = r.image;
        const int rs = m[0], cs = m[1];
        Bytes want(3 * rs * cs, 0);
        for (size_t k = 2; k < m.size(); k += 3)
            for (int f = 0; f < 3; ++f) want[(f * rs + m[k]) * cs + m[k + 1]] = (m[k + 2] >> f & 1) * 255;
        EXPECT_EQ(shape(h), (std::vector<int>{3, cs, rs, 3})) << r.text;
        EXPECT_EQ(img.bytes(), want) << r.text;
    }
    std::remove(path.c_str());
    EXPECT_EQ(run([] { return Zvekplotcontour("/nonexistent/dir/points.ZVekb", 0, 0, 0, 1) != nullptr; }),
              (Outcome{0, "", "plotcontour:Could not open /nonexistent/dir/points.ZVekb. Exiting\n", 0}));
}

// The library's own state starts from the published default; every member gives the platform's rand48 values, value for
// value; lcong48 changes the generator, seed48 and srand48 put the standard one back.
TEST(Rand48, MatchesThePublishedGenerator) {
    // (a x 0x1234ABCD330E + c) mod 2^48 = 0x657EB7255101, and on.
    using T = std::tuple<double, long, long>;
    EXPECT_EQ((T{Zvekdrand48(), Zveklrand48(), Zvekmrand48()}),
              (T{0x657EB7255101 / 281474976710656.0, 0xD72A0C966378 >> 17, 1517566982L}));
    unsigned short x[3] = {0x330E, 0xABCD, 0x1234}, y[3] = {0x330E, 0xABCD, 0x1234};
    unsigned short s1[3] = {0x1111, 0x2222, 0x3333}, s2[3] = {5, 6, 7};
    unsigned short p1[7] = {9, 8, 7, 0x1234, 0x5678, 0x9ABC, 0xFFFF}, p2[7] = {9, 8, 7, 0x1234, 0x5678, 0x9ABC, 0xFFFF};
    auto same = [](int n) {
        for (int i = 0; i < n; ++i)
            ASSERT_EQ((T{Zvekdrand48(), Zveklrand48(), Zvekmrand48()}), (T{drand48(), lrand48(), mrand48()})) << i;
    };
    Zvekseed48(x), seed48(y);
    same(3000);
    for (long s : {0L, 1L, -1L, 0x7FFFFFFFL, 123456789L, -987654321L}) Zveksrand48(s), srand48(s), same(100);
    for (int i = 0; i < 500; ++i) {
        ASSERT_EQ((T{Zvekerand48(x), Zveknrand48(x), Zvekjrand48(x)}), (T{erand48(y), nrand48(y), jrand48(y)}));
        ASSERT_EQ(std::vector<unsigned short>(x, x + 3), std::vector<unsigned short>(y, y + 3));
    }
    Zvekseed48(s1);
    const unsigned short *prev = Zvekseed48(s2);
    EXPECT_EQ(std::vector<unsigned short>(prev, prev + 3), (std::vector<unsigned short>{0x1111, 0x2222, 0x3333}));
    Zveklcong48(p1), lcong48(p2), same(200);
    Zveksrand48(42), srand48(42), same(50);
    Zveklcong48(p1), lcong48(p2), Zvekseed48(s1), seed48(s1), same(50);
}
