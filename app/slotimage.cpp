// slotimage.cpp - conversion of loaded pictures and files into slot images,
// exact copies, and load statistics.
#include "slotimage.h"

#include <QImage>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

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

ZVEKHDR *pictureToFloat(const QImage &picture) {
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
    float *red = static_cast<float *>(image->vekptr);
    float *green = red + n;
    float *blue = green + n;
    if (picture.format() == QImage::Format_Grayscale8) {
        for (int64_t r = 0; r < h; ++r) {
            const uchar *line = picture.constScanLine(static_cast<int>(r));
            const int64_t o = r * w;
            for (int64_t c = 0; c < w; ++c) {
                float v = line[c];
                red[o + c] = v;
                green[o + c] = v;
                blue[o + c] = v;
            }
        }
        return image;
    }
    const QImage::Format f = picture.format();
    const bool direct = f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
                        f == QImage::Format_ARGB32_Premultiplied;
    const QImage rgb = direct ? picture : picture.convertToFormat(QImage::Format_ARGB32);
    for (int64_t r = 0; r < h; ++r) {
        const QRgb *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(static_cast<int>(r)));
        const int64_t o = r * w;
        for (int64_t c = 0; c < w; ++c) {
            QRgb px = line[c];
            red[o + c] = static_cast<float>(qRed(px));
            green[o + c] = static_cast<float>(qGreen(px));
            blue[o + c] = static_cast<float>(qBlue(px));
        }
    }
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
    QString text;
    if (image->vekndim != 3) {
        PlaneStats st = measurePlane(data, n);
        if (maxLabel) *maxLabel = truncToInt(st.max);
        text += "\n\nImage has " + QString::number(1) + " frame and " + QString::number(s.rows) +
                " rows and " + QString::number(s.cols) + " Columns\n";
        text += "max = " + num(st.max) + " min = " + num(st.min);
        text += " Mean = " + num(st.mean) + " StdDev = " + num(st.stdDev);
        return text;
    }
    // The first three frames are measured as red, green and blue; an image
    // with fewer frames is measured as far as it has them.
    const int planes = static_cast<int>(s.frames < 3 ? s.frames : 3);
    PlaneStats st[3];
    for (int k = 0; k < planes; ++k) st[k] = measurePlane(data + k * n, n);
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
