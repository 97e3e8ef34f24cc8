// Gradient-orientation histograms over 8 x 8 cells and their line pictures.
#include "imageops.h"
#include "opsframes.h"

#include <cmath>
#include <cstdio>
#include <initializer_list>

[[maybe_unused]] static const char *const hogVersion = "HoGdescriptor V 1.3\t06 Dec 2026";

namespace {

constexpr int kCell = 8;          // pixels per cell side
constexpr int kSectors = 9;       // 40-degree sectors
constexpr double kDegPerRad = 57.2958;

// Copies frame f of the top-left W x H pixels of img into plane f of I.
void copyTopLeft(ZVEKHDR *img, int f, ZVEKHDR *I, int W, int H) {
    const int cols = ops::shapeOf(img).cols;
    float *dst = ops::floatData(I) + static_cast<int64_t>(f) * W * H;
    for (int r = 0; r < H; ++r)
        ops::forEachSample(img, f, static_cast<int64_t>(r) * cols, W,
                           [&](int64_t c, float v) { dst[static_cast<int64_t>(r) * W + c] = v; });
}

// The sector of a direction in radians: the degrees (57.2958 per radian,
// kept as float), moved into 0..360 by adding 360 when negative, divided by
// 40. A direction that lands on exactly 360 belongs to sector 0; NaN has no
// sector (-1).
inline int sectorOf(float a) {
    float d = static_cast<float>(static_cast<double>(a) * kDegPerRad);
    if (std::isnan(d)) return -1;
    if (d < 0) d = static_cast<float>(360.0 + d);
    const int k = zvek::truncToInt(d / 40.0);
    return k >= 0 && k < kSectors ? k : 0;
}

// The descriptor of img (gray, or colour with the gradients averaged over
// frames 0..2) into hog, after checking both.
int describe(ZVEKHDR *img, ZVEKHDR *hog, bool colour) {
    if (!ops::usableImage(img) || ops::ndimOf(img) < 2) return -1;
    const ops::Shape s = ops::shapeOf(img);
    if (colour && (ops::ndimOf(img) != 3 || s.frames < 3)) return -2;
    const int cellCols = s.cols / kCell, cellRows = s.rows / kCell;
    if (cellCols == 0 || cellRows == 0) return 0;  // no whole cell: nothing to count
    if (!ops::isFloat(hog)) return -1;
    const ops::Shape sh = ops::shapeOf(hog);
    if (ops::ndimOf(hog) != 3 || sh.cols != cellCols || sh.rows != cellRows || sh.frames != kSectors) return -2;

    const int W = cellCols * kCell, H = cellRows * kCell;
    const int frames = colour ? 3 : 0;
    ops::ImagePtr I = ops::makeImage("float", W, H, frames);
    ops::ImagePtr Dx = ops::makeImage("float", W, H, frames);
    ops::ImagePtr Dy = ops::makeImage("float", W, H, frames);
    ops::ImagePtr A = ops::makeImage("float", W, H);
    if (!I || !Dx || !Dy || !A) return -3;
    for (int f = 0; f < (colour ? 3 : 1); ++f) copyTopLeft(img, f, I.get(), W, H);

    // Too few rows for the 9 x 9 kernel leave the derivatives zero, which
    // puts every pixel into sector 0.
    flDoG(I.get(), Dx.get(), 1, 0, 1.0f);
    flDoG(I.get(), Dy.get(), 1, 1, 1.0f);
    if (colour) {
        ops::ImagePtr gx = ops::makeImage("float", W, H), gy = ops::makeImage("float", W, H);
        if (!gx || !gy) return -3;
        maxgrad(Dx.get(), Dy.get(), gx.get(), gy.get());
        flatan2(gy.get(), gx.get(), A.get());
    } else {
        flatan2(Dy.get(), Dx.get(), A.get());
    }

    const float *angle = ops::floatData(A.get());
    float *counts = ops::floatData(hog);
    const int64_t cellPlane = static_cast<int64_t>(cellCols) * cellRows;
    for (int cr = 0; cr < cellRows; ++cr)
        for (int cc = 0; cc < cellCols; ++cc)
            for (int r = cr * kCell; r < (cr + 1) * kCell; ++r)
                for (int c = cc * kCell; c < (cc + 1) * kCell; ++c) {
                    const int k = sectorOf(angle[static_cast<int64_t>(r) * W + c]);
                    if (k < 0) continue;
                    float &count = counts[k * cellPlane + static_cast<int64_t>(cr) * cellCols + cc];
                    count = static_cast<float>(std::trunc(static_cast<double>(count)) + 1.0);
                }
    return 0;
}

}  // namespace

int HoGdescriptor2D(ZVEKHDR *img, ZVEKHDR *hog) { return describe(img, hog, false); }

int HoGdescriptorCLR(ZVEKHDR *img, ZVEKHDR *hog) { return describe(img, hog, true); }

int HoGdescriptor(ZVEKHDR *img, ZVEKHDR *hog) {
    if (!ops::usableImage(img)) return -1;
    if (ops::ndimOf(img) == 2) return HoGdescriptor2D(img, hog);
    if (ops::ndimOf(img) == 3 && ops::shapeOf(img).frames == 3) return HoGdescriptorCLR(img, hog);
    return 0;  // any other image leaves the descriptor untouched
}

int maxgrad(ZVEKHDR *dx, ZVEKHDR *dy, ZVEKHDR *gx, ZVEKHDR *gy) {
    if (!ops::isFloat(dx) || !ops::isFloat(dy) || !ops::isFloat(gx) || !ops::isFloat(gy)) return -1;
    for (const ZVEKHDR *h : {dx, dy, gx, gy})
        if (!ops::hasPixels(h)) return -2;
    const ops::Shape sx = ops::shapeOf(dx), sy = ops::shapeOf(dy), so = ops::shapeOf(gx), so2 = ops::shapeOf(gy);
    if (sx.frames < 3 || sy.cols != sx.cols || sy.rows != sx.rows || sy.frames < 3 || so.cols != sx.cols ||
        so.rows != sx.rows || so2.cols != sx.cols || so2.rows != sx.rows)
        return -2;
    const int64_t n = sx.plane();
    auto average = [n](const float *d, float *g) {
        for (int64_t i = 0; i < n; ++i) {
            const float sum = d[i] + d[n + i] + d[2 * n + i];
            g[i] = static_cast<float>(static_cast<double>(sum) / 3.0);
        }
    };
    average(ops::floatData(dx), ops::floatData(gx));
    average(ops::floatData(dy), ops::floatData(gy));
    return 0;
}

void qsort2(float (*pairs)[2], int lo, int hi) {
    int i = lo, j = hi;
    const float pivot = std::trunc(pairs[(lo + hi) / 2][1]);
    do {
        // The bounds only matter for values that are not whole numbers.
        while (i < hi && pairs[i][1] < pivot) ++i;
        while (j > lo && pairs[j][1] > pivot) --j;
        if (i <= j) {
            const float bin = std::trunc(pairs[i][0]), value = std::trunc(pairs[i][1]);
            pairs[i][0] = pairs[j][0];
            pairs[i][1] = pairs[j][1];
            pairs[j][0] = bin;
            pairs[j][1] = value;
            ++i;
            --j;
        }
    } while (i <= j);
    if (lo < j) qsort2(pairs, lo, j);
    if (i < hi) qsort2(pairs, i, hi);
}

void drawline(ZVEKHDR *picture, float cy, float cx, float angle, float value, float halfLength) {
    const ops::Shape s = ops::shapeOf(picture);
    const double ca = std::cos(static_cast<double>(angle)), sa = std::sin(static_cast<double>(angle));
    auto put = [&](double y, double x) {
        if (!(std::isfinite(y) && std::isfinite(x))) return;
        const int r = zvek::truncToInt(y), c = zvek::truncToInt(x);
        if (r >= 0 && r < s.rows && c >= 0 && c < s.cols) Zvekfpp(picture, r, c, value);
    };
    // Steps of 1.0 in single precision exist only below 2^24: there t runs
    // exactly through -halfLength + k, floor(2 halfLength) + 1 of them
    // (none for a negative or NaN half-length).
    if (halfLength >= 16777216.0f) {
        std::printf("drawline: half-length %g is too long\n", static_cast<double>(halfLength));
        std::fflush(stdout);
        return;
    }
    const int64_t steps = halfLength >= 0.0f ? static_cast<int64_t>(std::floor(2.0 * halfLength)) + 1 : 0;
    float t = -halfLength;
    for (int64_t k = 0; k < steps; ++k, t += 1.0f) {
        const float x = static_cast<float>(static_cast<double>(cx) + static_cast<double>(t) * ca);
        const float y = static_cast<float>(static_cast<double>(cy) + static_cast<double>(t) * sa);
        put(y, x);
        put(static_cast<double>(y) + 1.0, x);
        put(y, static_cast<double>(x) + 1.0);
    }
}

int ShowHoG(ZVEKHDR *hog, ZVEKHDR *picture) {
    if (!ops::usableImage(hog) || !ops::usableImage(picture)) return -1;
    const ops::Shape s = ops::shapeOf(hog);
    if (ops::ndimOf(hog) != 3 || s.frames != kSectors) {
        std::printf("ShowHoG: a HoG must have 9 frames\n");
        return -2;
    }
    for (int cr = 0; cr < s.rows; ++cr)
        for (int cc = 0; cc < s.cols; ++cc) {
            float pairs[kSectors][2];
            for (int k = 0; k < kSectors; ++k) {
                pairs[k][0] = static_cast<float>(k);
                ops::forEachSample(hog, k, static_cast<int64_t>(cr) * s.cols + cc, 1,
                                   [&](int64_t, float v) { pairs[k][1] = v; });
            }
            qsort2(pairs, 0, kSectors - 1);
            for (const auto &p : pairs) {
                if (p[1] == 0.0f) continue;
                const float angle = static_cast<float>(static_cast<double>(p[0]) * 40.0 / kDegPerRad);
                drawline(picture, static_cast<float>(9 * cr + 4), static_cast<float>(9 * cc + 4), angle, p[1], 4.0f);
            }
        }
    return 0;
}
