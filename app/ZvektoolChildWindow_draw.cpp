// The display arithmetic of the view window and the row loops of its
// redraws. The loops are built for several instruction sets and chosen at run
// time; every path does the same double-precision operations per sample in
// the same order, so the bytes are the same on every machine.
#include "ZvektoolChildWindow.h"

#include <cstdint>

namespace zvekview {

namespace {

// The display value of one sample. The first bound sends NaN to 0, so the
// truncation below is defined for every input; for every other value it is
// the bound 0..255 of the design.
inline double stretch(double v, double lo, double span) {
    v = v > 0.0 ? v : 0.0;
    v = v > 255.0 ? 255.0 : v;
    v = (v - lo) * 255.0 / span;
    v = v > 0.0 ? v : 0.0;
    return v > 255.0 ? 255.0 : v;
}

inline uint32_t displayByte(float w, double d, double lo, double span) {
    return static_cast<uint32_t>(static_cast<int>(stretch(static_cast<double>(w) + d, lo, span)));
}

// Truncated working-copy value, low 8 bits, as qRgb keeps them. The working
// copy holds finite values in 0..255.
inline uint32_t plainByte(float w) { return static_cast<uint32_t>(static_cast<int>(w)) & 0xffu; }

}  // namespace

Contrast contrastBounds(int level, int window) {
    Contrast c;
    c.lo = static_cast<float>(level);
    c.hi = static_cast<float>(level + window);
    if (c.hi - c.lo == 0.0f) c.hi = static_cast<float>(static_cast<double>(c.hi) + 0.0001);
    return c;
}

double displayValue(double w, int offset, Contrast c) {
    return stretch(w + offset, c.lo, static_cast<double>(c.hi - c.lo));
}

__attribute__((target_clones("avx512f", "avx2", "default")))
void adjustedRowRGB(const float *red, const float *green, const float *blue, int n, int dR, int dG,
                    int dB, Contrast c, QRgb *out) {
    const double lo = c.lo;
    const double span = static_cast<double>(c.hi - c.lo);
    const double r = dR, g = dG, b = dB;
    for (int i = 0; i < n; ++i) {
        out[i] = 0xff000000u | displayByte(red[i], r, lo, span) << 16 |
                 displayByte(green[i], g, lo, span) << 8 | displayByte(blue[i], b, lo, span);
    }
}

__attribute__((target_clones("avx512f", "avx2", "default")))
void adjustedRowGrey(const float *grey, int n, int d, Contrast c, QRgb *out) {
    const double lo = c.lo;
    const double span = static_cast<double>(c.hi - c.lo);
    const double dd = d;
    for (int i = 0; i < n; ++i) out[i] = 0xff000000u | displayByte(grey[i], dd, lo, span) * 0x010101u;
}

void plainRowRGB(const float *red, const float *green, const float *blue, const float *overlay, int n,
                 QRgb *out) {
    for (int i = 0; i < n; ++i) {
        uint32_t r = plainByte(red[i]);
        if (overlay != nullptr) r = (r ^ static_cast<uint32_t>(static_cast<int>(overlay[i]))) & 0xffu;
        out[i] = 0xff000000u | r << 16 | plainByte(green[i]) << 8 | plainByte(blue[i]);
    }
}

void plainRowGrey(const float *grey, int n, QRgb *out) {
    for (int i = 0; i < n; ++i) out[i] = 0xff000000u | plainByte(grey[i]) * 0x010101u;
}

}  // namespace zvekview
