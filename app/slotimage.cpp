// slotimage.cpp - conversion of loaded pictures and files into slot images,
// exact copies, and load statistics.
#include "slotimage.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

// Largest data block of one image: the sizes of the 32-bit model.
constexpr int64_t kMaxImageBytes = std::numeric_limits<int32_t>::max();

// Frames, rows and columns of an image; a 1-D image counts as one row, a
// 2-D image as one frame.
struct Shape {
    int64_t cols = 0, rows = 0, frames = 0;
};

Shape shapeOf(const ZVEKHDR *image) {
    Shape s;
    int32_t *size = Zveksiz(image);
    if (!size) return s;
    int ndim = size[0];
    s.cols = ndim >= 1 ? size[1] : 0;
    s.rows = ndim >= 2 ? size[2] : 1;
    s.frames = ndim >= 3 ? size[3] : 1;
    std::free(size);
    return s;
}

// v truncated toward zero and kept within the int range; 0 for NaN and
// infinities.
int32_t truncToInt(float v) {
    if (!std::isfinite(v)) return 0;
    if (v >= 2147483647.0f) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

QString num(float v) { return QString::number(v, 'g', 6); }

// Maps a big, still untouched data block in one call instead of one page
// fault per page as the conversion first writes it.
void prefault(void *data, int64_t bytes) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    constexpr uintptr_t kPage = 4096;
    uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kPage - 1) & ~(kPage - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(data) + uintptr_t(bytes)) & ~(kPage - 1);
    if (end > begin) madvise(reinterpret_cast<void *>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)bytes;
#endif
}

}  // namespace

PlaneStats measurePlane(const float *p, int64_t n) {
    PlaneStats st{0.0f, 0.0f, 0.0f, 0.0f};
    if (n <= 0) return st;
    // Independent lanes keep the passes free of one long dependency chain.
    constexpr int L = 8;
    float mx[L], mn[L];
    double sum[L];
    for (int k = 0; k < L; ++k) {
        mx[k] = -std::numeric_limits<float>::infinity();
        mn[k] = std::numeric_limits<float>::infinity();
        sum[k] = 0.0;
    }
    int64_t i = 0;
    for (; i + L <= n; i += L) {
        for (int k = 0; k < L; ++k) {
            float v = p[i + k];
            mx[k] = v > mx[k] ? v : mx[k];
            mn[k] = v < mn[k] ? v : mn[k];
            sum[k] += v;
        }
    }
    for (; i < n; ++i) {
        float v = p[i];
        mx[0] = v > mx[0] ? v : mx[0];
        mn[0] = v < mn[0] ? v : mn[0];
        sum[0] += v;
    }
    double total = 0.0;
    st.max = mx[0];
    st.min = mn[0];
    for (int k = 0; k < L; ++k) {
        st.max = mx[k] > st.max ? mx[k] : st.max;
        st.min = mn[k] < st.min ? mn[k] : st.min;
        total += sum[k];
    }
    if (st.max < st.min) {
        // Nothing but NaN.
        st.max = st.min = std::numeric_limits<float>::quiet_NaN();
    }
    const double mean = static_cast<float>(total / static_cast<double>(n));
    double sq[L];
    for (double &s : sq) s = 0.0;
    i = 0;
    for (; i + L <= n; i += L) {
        for (int k = 0; k < L; ++k) {
            double d = p[i + k] - mean;
            sq[k] += d * d;
        }
    }
    for (; i < n; ++i) {
        double d = p[i] - mean;
        sq[0] += d * d;
    }
    double squares = 0.0;
    for (double s : sq) squares += s;
    st.mean = static_cast<float>(mean);
    st.stdDev = static_cast<float>(std::sqrt(squares / static_cast<double>(n)));
    return st;
}

PlaneStats planeFromSums(int64_t n, double min, double max, uint64_t sum, uint64_t squares) {
    PlaneStats st{static_cast<float>(max), static_cast<float>(min), 0.0f, 0.0f};
    if (n <= 0) return st;
    const double count = static_cast<double>(n);
    // The mean as the float the display shows, the deviation about it:
    // sum((v - m)^2) = Q - 2 m S + n m^2, exact for integer sums below 2^53.
    const double mean = static_cast<float>(static_cast<double>(sum) / count);
    double squaresAbout =
        static_cast<double>(squares) - 2.0 * mean * static_cast<double>(sum) + count * mean * mean;
    if (squaresAbout < 0.0) squaresAbout = 0.0;
    st.mean = static_cast<float>(mean);
    st.stdDev = static_cast<float>(std::sqrt(squaresAbout / count));
    return st;
}

namespace {

// Running extremes and sums of the 0..255 values of one channel.
struct ChannelSums {
    unsigned min = 255, max = 0;
    uint64_t sum = 0, squares = 0;

    PlaneStats stats(int64_t n) const { return planeFromSums(n, min, max, sum, squares); }
};

}  // namespace

ZVEKHDR *pictureToFloat(const QImage &picture, PlaneStats *stats) {
    if (picture.isNull()) return nullptr;
    const int64_t w = picture.width(), h = picture.height();
    const int64_t n = w * h;
    if (n <= 0 || n * 3 * 4 > kMaxImageBytes) return nullptr;
    int32_t size[4] = {3, static_cast<int32_t>(w), static_cast<int32_t>(h), 3};
    ZVEKHDR *image = Zvekcreate("float", size, 11, 0);
    if (!image || !image->vekptr) {
        if (image) Zvekfree(image, 7);
        return nullptr;
    }
    prefault(image->vekptr, n * 3 * 4);
    float *red = static_cast<float *>(image->vekptr);
    float *green = red + n;
    float *blue = green + n;
    ChannelSums sums[3];
    // Each row keeps its own accumulators: the loops stay free of
    // dependencies on memory and vectorise; a row's sums fit 32 bits.
    if (picture.format() == QImage::Format_Grayscale8) {
        for (int64_t r = 0; r < h; ++r) {
            const uchar *line = picture.constScanLine(static_cast<int>(r));
            const int64_t o = r * w;
            uint32_t s = 0;
            uint64_t q = 0;
            unsigned lo = 255, hi = 0;
            for (int64_t c = 0; c < w; ++c) {
                const unsigned v = line[c];
                red[o + c] = static_cast<float>(v);
                s += v;
                q += v * v;
                lo = v < lo ? v : lo;
                hi = v > hi ? v : hi;
            }
            std::memcpy(green + o, red + o, static_cast<size_t>(w) * sizeof(float));
            std::memcpy(blue + o, red + o, static_cast<size_t>(w) * sizeof(float));
            sums[0].sum += s;
            sums[0].squares += q;
            sums[0].min = std::min(sums[0].min, lo);
            sums[0].max = std::max(sums[0].max, hi);
        }
        sums[1] = sums[2] = sums[0];
    } else {
        const QImage::Format f = picture.format();
        const bool direct = f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
                            f == QImage::Format_ARGB32_Premultiplied;
        // The values pixel() reports: premultiplied formats keep their
        // premultiplied colours, as ARGB32_Premultiplied does.
        const bool premultiplied =
            picture.pixelFormat().premultiplied() == QPixelFormat::Premultiplied;
        const QImage rgb =
            direct ? picture
                   : picture.convertToFormat(premultiplied ? QImage::Format_ARGB32_Premultiplied
                                                           : QImage::Format_ARGB32);
        for (int64_t r = 0; r < h; ++r) {
            const QRgb *line =
                reinterpret_cast<const QRgb *>(rgb.constScanLine(static_cast<int>(r)));
            const int64_t o = r * w;
            uint32_t s0 = 0, s1 = 0, s2 = 0;
            uint64_t q0 = 0, q1 = 0, q2 = 0;
            unsigned lo0 = 255, lo1 = 255, lo2 = 255, hi0 = 0, hi1 = 0, hi2 = 0;
            for (int64_t c = 0; c < w; ++c) {
                const QRgb px = line[c];
                const unsigned vr = qRed(px), vg = qGreen(px), vb = qBlue(px);
                red[o + c] = static_cast<float>(vr);
                green[o + c] = static_cast<float>(vg);
                blue[o + c] = static_cast<float>(vb);
                s0 += vr;
                s1 += vg;
                s2 += vb;
                q0 += vr * vr;
                q1 += vg * vg;
                q2 += vb * vb;
                lo0 = vr < lo0 ? vr : lo0;
                lo1 = vg < lo1 ? vg : lo1;
                lo2 = vb < lo2 ? vb : lo2;
                hi0 = vr > hi0 ? vr : hi0;
                hi1 = vg > hi1 ? vg : hi1;
                hi2 = vb > hi2 ? vb : hi2;
            }
            const uint32_t rowSums[3] = {s0, s1, s2};
            const uint64_t rowSquares[3] = {q0, q1, q2};
            const unsigned rowMin[3] = {lo0, lo1, lo2}, rowMax[3] = {hi0, hi1, hi2};
            for (int k = 0; k < 3; ++k) {
                sums[k].sum += rowSums[k];
                sums[k].squares += rowSquares[k];
                sums[k].min = std::min(sums[k].min, rowMin[k]);
                sums[k].max = std::max(sums[k].max, rowMax[k]);
            }
        }
    }
    if (stats)
        for (int k = 0; k < 3; ++k) stats[k] = sums[k].stats(n);
    return image;
}

ZVEKHDR *convertToFloat(ZVEKHDR *image) {
    if (!image || !image->vekptr) return nullptr;
    if (image->dtype == DT_32CMP || image->dtype == DT_64CMP) return nullptr;
    int32_t *size = Zveksiz(image);
    if (!size) return nullptr;
    ZVEKHDR *out = Zvekcreate("float", size, 11, 0);
    std::free(size);
    if (!out) return nullptr;
    if (Zvekany2any(image, out) != 0) {
        Zvekfree(out, 7);
        return nullptr;
    }
    return out;
}

ZVEKHDR *duplicateImage(const ZVEKHDR *image) {
    if (!image || !image->vekptr) return nullptr;
    int32_t *size = Zveksiz(image);
    if (!size) return nullptr;
    ZVEKHDR *copy =
        Zvekcreate(image->vekdt, size, 11, image->dtype == DT_STRUCT ? image->vekbpd : 0);
    std::free(size);
    if (!copy) return nullptr;
    const int32_t bytes = Zvekdimen(image, ZVEK_NBYTES);
    if (bytes <= 0 || bytes != Zvekdimen(copy, ZVEK_NBYTES) || !copy->vekptr) {
        Zvekfree(copy, 7);
        return nullptr;
    }
    std::memcpy(copy->vekptr, image->vekptr, static_cast<size_t>(bytes));
    copy->vekscale = image->vekscale;
    copy->vekoffset = image->vekoffset;
    return copy;
}

QString imageStatistics(const ZVEKHDR *image, const QString &typeName, int32_t *maxLabel) {
    if (!image || image->dtype != DT_32FLT || !image->vekptr) return QString();
    const Shape s = shapeOf(image);
    const int64_t n = s.cols * s.rows;
    const float *data = static_cast<const float *>(image->vekptr);
    // A 3-D image: its first three frames as red, green and blue, as far as
    // it has them.
    const int planes = image->vekndim != 3 ? 1 : static_cast<int>(std::min<int64_t>(s.frames, 3));
    PlaneStats st[3] = {};
    for (int k = 0; k < planes; ++k) st[k] = measurePlane(data + k * n, n);
    return statisticsText(image, st, typeName, maxLabel);
}

QString statisticsText(const ZVEKHDR *image, const PlaneStats *st, const QString &typeName,
                       int32_t *maxLabel) {
    if (!image) return QString();
    const Shape s = shapeOf(image);
    QString text;
    if (image->vekndim != 3) {
        if (maxLabel) *maxLabel = truncToInt(st[0].max);
        text += "\n\nImage has " + QString::number(1) + " frame and " + QString::number(s.rows) +
                " rows and " + QString::number(s.cols) + " Columns\n";
        text += "max = " + num(st[0].max) + " min = " + num(st[0].min);
        text += " Mean = " + num(st[0].mean) + " StdDev = " + num(st[0].stdDev);
        return text;
    }
    const int planes = static_cast<int>(std::min<int64_t>(s.frames, 3));
    if (maxLabel) *maxLabel = planes > 0 ? truncToInt(st[0].max) : 0;
    auto bracket = [&](float PlaneStats::*field) {
        QString b = "[";
        for (int k = 0; k < planes; ++k) {
            if (k) b += " ";
            b += num(st[k].*field);
        }
        return b + "]";
    };
    if (!typeName.isEmpty()) text += " --- " + typeName + "\n";
    text += "\nImage has " + QString::number(s.frames) +
            (s.frames != 1 ? " frames and " : " frame and ") + QString::number(s.rows) +
            " rows and " + QString::number(s.cols) + " Columns\n";
    text += "max = " + bracket(&PlaneStats::max) + ", ";
    text += "min = " + bracket(&PlaneStats::min) + ", ";
    text += "Mean = " + bracket(&PlaneStats::mean) + ", ";
    text += "StdDev = " + bracket(&PlaneStats::stdDev);
    return text;
}
