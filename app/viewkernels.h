// viewkernels.h - the pixel loops of viewing: the display arithmetic of the
// view window and its redraw rows, the working-copy scaling, and the packing
// of bytes into toolkit pixels.
#ifndef VIEWKERNELS_H
#define VIEWKERNELS_H

#include <QRgb>

#include <cstdint>

// The display arithmetic of the view window, shared by the redraws, the
// read-out, the capture and the write-back.
namespace zvekview {

// Contrast bounds of one redraw: lo = level, hi = level + window, both in
// single precision; hi is raised by 0.0001 when the two are equal.
struct Contrast {
    float lo;
    float hi;
};
Contrast contrastBounds(int level, int window);

// The 0..255 display value of a working-copy value w under a channel offset:
// w + offset bounded to 0..255, stretched by the contrast bounds, bounded
// again. Not truncated.
double displayValue(double w, int offset, Contrast c);

// Row kernels of the redraws: n pixels of one row of the working copy into
// 32-bit RGB pixels. The adjusted ones truncate the display values; the plain
// ones truncate the working-copy values (overlay: red XOR the truncated value
// of the fourth frame, null for none).
void adjustedRowRGB(const float *red, const float *green, const float *blue, int n, int dR, int dG,
                    int dB, Contrast c, QRgb *out);
void adjustedRowGrey(const float *grey, int n, int d, Contrast c, QRgb *out);
void plainRowRGB(const float *red, const float *green, const float *blue, const float *overlay, int n,
                 QRgb *out);
void plainRowGrey(const float *grey, int n, QRgb *out);

// dst[i] = lo + ((hi - lo) * (src[i] - mn)) / range in single precision.
void mapLinear(const float *src, float *dst, int64_t n, float lo, float hi, float mn, float range);

// n pixels from three byte planes: qRgb(red[i], green[i], blue[i]).
void packBytes(const uint8_t *red, const uint8_t *green, const uint8_t *blue, int n, QRgb *out);

}  // namespace zvekview

#endif  // VIEWKERNELS_H
