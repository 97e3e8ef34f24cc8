// The point-list rasteriser: x y points of a traced contour drawn into a
// new three-frame byte image.
#include "zvek.h"
#include "zvekint.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace {

[[maybe_unused]] const char *const contourVersion = "Zvekplotcontour V1.6\t\t06 Dec 2026";

struct Point {
    float x, y;
};

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};

// Reads the points of the list: two characters skipped, the count N, then
// up to N lines beginning with x and y. Reading stops at the first pair
// that cannot be read and at a pair whose line has no newline. N only
// bounds the loop; the points are stored as they arrive.
std::vector<Point> readPoints(FILE *f) {
    std::vector<Point> pts;
    std::getc(f);
    std::getc(f);
    long n = 0;
    if (std::fscanf(f, "%ld", &n) != 1) return pts;
    for (long i = 0; i < n; ++i) {
        Point p;
        if (std::fscanf(f, "%f %f", &p.x, &p.y) != 2) break;
        int ch;
        while ((ch = std::getc(f)) != '\n' && ch != EOF) {
        }
        if (ch == EOF) break;
        pts.push_back(p);
    }
    return pts;
}

// Pixel index along one axis, kept inside 0..len - 1.
int place(double v, int len) {
    const int i = zvek::truncToInt(v);
    return i < 0 ? 0 : (i >= len ? len - 1 : i);
}

}  // namespace

ZVEKHDR *Zvekplotcontour(const char *fileName, int rows, int cols, int precise, float scale) {
    const char *name = fileName ? fileName : "";
    std::unique_ptr<FILE, FileCloser> file(zvek::fopenRegular(fileName));
    if (!file) {
        std::fprintf(stderr, "plotcontour:Could not open %s. Exiting\n", name);
        return nullptr;
    }
    std::printf("plotcontour:read inputimage\n");
    std::fflush(stdout);
    const std::vector<Point> pts = readPoints(file.get());
    if (pts.empty()) {
        std::fprintf(stderr, "plotcontour:no points in %s\n", name);
        return nullptr;
    }

    float xmin = 100000.0f, ymin = 100000.0f, xmax = -1e6f, ymax = -1e6f;
    for (const Point &p : pts) {
        if (p.x < xmin) xmin = p.x;
        if (p.x > xmax) xmax = p.x;
        if (p.y < ymin) ymin = p.y;
        if (p.y > ymax) ymax = p.y;
    }
    if (rows == 0) rows = zvek::truncToInt((ymax - ymin + 1) * scale);
    if (cols == 0) cols = zvek::truncToInt((xmax - xmin + 1) * scale);
    // The image must have pixels and stay inside the 32-bit size model:
    // rows x cols x 3 below 2^31, tested without forming a product of three
    // ints (two of them fit 64 bits).
    if (rows <= 0 || cols <= 0 || int64_t(rows) * cols > INT32_MAX / 3) {
        std::fprintf(stderr, "plotcontour:cannot make an image of %d rows and %d columns\n", rows, cols);
        return nullptr;
    }
    const int32_t dims[] = {3, cols, rows, 3};
    ZVEKHDR *h = Zvekcreate("ubyte", dims, 11, 0);
    if (h == nullptr) return nullptr;

    const size_t last = pts.size() - 1;
    for (size_t i = 0; i < pts.size(); ++i) {
        const Point &p = pts[i];
        int r, c;
        if (precise == 1) {
            r = place(p.y, rows);
            c = place(p.x, cols);
        } else {
            r = place((static_cast<double>(p.y - ymin) + 0.5) * scale, rows);
            c = place((static_cast<double>(p.x - xmin) + 0.5) * scale, cols);
        }
        // The last point green, the first red, all others white.
        static const int kGreen[3] = {0, 255, 0}, kRed[3] = {255, 0, 0}, kWhite[3] = {255, 255, 255};
        const int *rgb = i == last ? kGreen : (i == 0 ? kRed : kWhite);
        for (int f = 0; f < 3; ++f) Zvekipp3d(h, f, r, c, rgb[f]);
    }
    return h;
}
