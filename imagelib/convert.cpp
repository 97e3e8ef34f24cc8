// Whole-image type conversion and the parts of complex images.
#include "zvek.h"
#include "zvekint.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

static const char ZvekConvertVersion[] = "Zvekany2any V2.1\t\t18 Jan 2018";
const char *ZvekConvertVer = ZvekConvertVersion;

namespace {

using zvek::TypeTag;

// Extents of an image as the conversions see them. A 1-D image has one row.
struct Extent {
    int32_t frames = 1, rows = 1, cols = 0;
};

bool usable(const ZVEKHDR *h) { return h && zvek::goodMagic(h); }

int32_t rowsOf(const ZVEKHDR *h) { return h->vekndim >= 2 ? Zvekdimen(h, 1) : 1; }

// Where channel f, pixel p (p = row x columns + column) of an image lies:
// element f x plane + p x step. Planar images have step 1 and one plane per
// frame; interleaved ones hold the channels of a pixel side by side.
struct Walk {
    int64_t plane;
    int64_t step;
};

Walk walkOf(const ZVEKHDR *h, int64_t pixels) {
    const int channels = zvek::typeLayout(h->dtype).channels;
    if (channels > 1) return {1, channels};
    return {pixels, 1};
}

// True when frames 0..frames-1 of pixels 0..pixels-1 lie inside the data
// block of h (an interleaved image needs at least as many frames as it has
// channels).
bool walkFits(const ZVEKHDR *h, const Walk &w, int64_t pixels, int32_t frames) {
    const int64_t last = (frames - 1) * w.plane + (pixels - 1) * w.step;
    int64_t elements = 1;
    for (int i = 0; i < h->vekndim && i < ZVEK_MAXDIM; ++i) {
        const int64_t len = h->vekdims[i].dimlen;
        if (len <= 0 || __builtin_mul_overflow(elements, len, &elements)) return false;
    }
    return last < elements;
}

// The value a pixel carries on its way from source to target: the source
// read as double and passed through a 32-bit float, then stored as a pixel
// put stores it (floats narrowed, integers truncated toward zero keeping the
// low bits). The forms below give exactly that result for every input.
template <typename TD, typename TS>
inline TD convertValue(TS v) {
    if constexpr (std::is_same_v<TS, TD> && (std::is_same_v<TS, float> || sizeof(TS) <= 2)) {
        return v;  // a float or a narrow integer survives the float unchanged
    } else if constexpr (std::is_integral_v<TS> && sizeof(TS) <= 2) {
        // Narrow integers are exact in float; narrower targets keep the low
        // bits, wider ones the value.
        return static_cast<TD>(v);
    } else {
        // One rounding to float (an int32 or a double is exact in double).
        const float f = static_cast<float>(v);
        if constexpr (std::is_floating_point_v<TD>) {
            return static_cast<TD>(f);
        } else {
            // Within the int32 range the int32 truncation has the low bits of
            // the 64-bit one; NaN and the rest take the general road.
            if (f > -2147483648.0f && f < 2147483648.0f)
                return static_cast<TD>(static_cast<uint32_t>(static_cast<int32_t>(f)));
            return zvek::storeFromDouble<TD>(static_cast<double>(f));
        }
    }
}

// True when a source element goes through the float into an integer
// target and may fall outside the int32 range, where the plain truncation
// is not defined.
template <typename TD, typename TS>
constexpr bool needsRangeCheck() {
    return std::is_integral_v<TD> && !(std::is_integral_v<TS> && sizeof(TS) <= 2);
}

template <typename TD, typename TS>
void convertRun(const TS *s, int64_t sstep, TD *d, int64_t dstep, int64_t n) {
    if (sstep != 1 || dstep != 1) {
        for (int64_t i = 0; i < n; ++i) d[i * dstep] = convertValue<TD>(s[i * sstep]);
        return;
    }
    if constexpr (!needsRangeCheck<TD, TS>()) {
        for (int64_t i = 0; i < n; ++i) d[i] = convertValue<TD>(s[i]);
    } else {
        // Blocks whose values all lie inside the int32 range take the plain
        // truncation, which vectorises; any other block takes the general
        // road. Both give the same result.
        constexpr int64_t kBlock = 512;
        for (int64_t i0 = 0; i0 < n; i0 += kBlock) {
            const int64_t m = n - i0 < kBlock ? n - i0 : kBlock;
            const TS *sb = s + i0;
            TD *db = d + i0;
            int inside = 1;
            for (int64_t i = 0; i < m; ++i) {
                const float f = static_cast<float>(sb[i]);
                inside &= (f > -2147483648.0f) & (f < 2147483648.0f);
            }
            if (inside) {
                for (int64_t i = 0; i < m; ++i)
                    db[i] = static_cast<TD>(static_cast<uint32_t>(static_cast<int32_t>(static_cast<float>(sb[i]))));
            } else {
                for (int64_t i = 0; i < m; ++i) db[i] = convertValue<TD>(sb[i]);
            }
        }
    }
}

// Reports "name: what" with the given code and answers -3.
int refuse(const char *name, int code, const char *what) {
    Zvekerr = code;
    char msg[96];
    std::snprintf(msg, sizeof msg, "%s: %s", name, what);
    Zvekext(ZVEKSLV, msg);
    return -3;
}

int refuseType(const char *name) { return refuse(name, ZVEK_EDTYPE, "unrecognized or illegal data type."); }

int refuseNoData(const char *name) { return refuse(name, ZVEK_EBADHDR, "image has no pixel data."); }

bool isComplex(int code) { return code == DT_32CMP || code == DT_64CMP; }

}  // namespace

// Results: 0 converted, -1 sizes differ (or a header is null or damaged),
// -2 either image is complex, -3 an image whose data cannot be walked: a
// type without a component type ("struct"), an interleaved image with fewer
// frames than channels, or a header without pixel data.
int Zvekany2any(ZVEKHDR *in, ZVEKHDR *out) {
    if (!usable(in) || !usable(out)) {
        Zvekdimen(usable(in) ? out : in, 0);  // reports the bad header
        return -1;
    }
    int32_t fin = 1, fout = 1;
    if (in->vekndim == 3) {
        fin = Zvekdimen(in, 2);
        fout = Zvekdimen(out, 2);
    }
    const int32_t rin = rowsOf(in), rout = rowsOf(out);
    const int32_t cin = Zvekdimen(in, 0), cout = Zvekdimen(out, 0);
    if (fin != fout || rin != rout || cin != cout) return -1;
    if (isComplex(in->dtype) || isComplex(out->dtype)) return -2;

    const int64_t pixels = static_cast<int64_t>(rin) * cin;
    if (pixels == 0 || fin == 0) return 0;
    if (!in->vekptr || !out->vekptr) return refuseNoData("Zvekany2any");
    const Walk ws = walkOf(in, pixels), wd = walkOf(out, pixels);
    if (!walkFits(in, ws, pixels, fin) || !walkFits(out, wd, pixels, fin)) return refuseType("Zvekany2any");

    bool handled = false;
    zvek::dispatchType(in->dtype, [&](auto ts) {
        using TS = typename decltype(ts)::type;
        handled = zvek::dispatchType(out->dtype, [&](auto td) {
            using TD = typename decltype(td)::type;
            const TS *s = static_cast<const TS *>(in->vekptr);
            TD *d = static_cast<TD *>(out->vekptr);
            for (int32_t f = 0; f < fin; ++f)
                convertRun(s + f * ws.plane, ws.step, d + f * wd.plane, wd.step, pixels);
        });
    });
    return handled ? 0 : refuseType("Zvekany2any");
}

namespace {

enum class Part { Real, Imag, Mag, Phase };

inline double partOf(Part part, float re, float im) {
    switch (part) {
    case Part::Real: return re;
    case Part::Imag: return im;
    case Part::Mag: {
        const float sum = re * re + im * im;
        return std::sqrt(static_cast<double>(sum));
    }
    case Part::Phase: return std::atan2(static_cast<double>(im), static_cast<double>(re));
    }
    return 0.0;
}

// The "u8bit" store of the complex parts: clamped to 0..255, then truncated
// toward zero (NaN gives 0).
inline uint8_t clampToByte(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= 255.0) return 255;
    return static_cast<uint8_t>(v);
}

template <typename Store>
void forEachPart(Part part, const float *s, int64_t n, Store store) {
    for (int64_t i = 0; i < n; ++i) store(i, partOf(part, s[2 * i], s[2 * i + 1]));
}

// Results: 0 done, -1 rows or columns differ (or a header is null or
// damaged), -2 a complex-double image or an input that is not complex
// float, -3 a target whose type has no plain element ("struct" or an
// interleaved type) or a header without pixel data.
int complexPart(const char *name, Part part, ZVEKHDR *in, ZVEKHDR *out) {
    if (!usable(in) || !usable(out)) {
        Zvekdimen(usable(in) ? out : in, 0);
        return -1;
    }
    const int32_t rin = rowsOf(in), rout = rowsOf(out);
    const int32_t cin = Zvekdimen(in, 0), cout = Zvekdimen(out, 0);
    if (rin != rout || cin != cout) return -1;
    if (in->dtype == DT_64CMP || out->dtype == DT_64CMP) return -2;
    if (in->dtype != DT_32CMP) {
        // The four share this line as it stands, name included.
        std::fprintf(stderr, "Zvekc2mag: Input data type not complex\n");
        return -2;
    }
    if (part == Part::Mag && out->dtype == DT_32FLT) {
        std::printf("c2mag:incomplex outreal\n");
    }
    const int64_t n = static_cast<int64_t>(rin) * cin;
    if (n == 0) return 0;
    if (!in->vekptr || !out->vekptr) return refuseNoData(name);
    const float *s = static_cast<const float *>(in->vekptr);

    switch (out->dtype) {
    case DT_U8BIT: {
        uint8_t *d = static_cast<uint8_t *>(out->vekptr);
        forEachPart(part, s, n, [d](int64_t i, double v) { d[i] = clampToByte(v); });
        return 0;
    }
    case DT_32CMP: {
        float *d = static_cast<float *>(out->vekptr);
        forEachPart(part, s, n, [d](int64_t i, double v) { d[2 * i] = static_cast<float>(v); });
        return 0;
    }
    default: {
        // "float" and the other plain types take the value as a pixel put
        // would: floats narrowed, integers truncated keeping the low bits.
        const bool handled = zvek::dispatchPlain(out->dtype, [&](auto td) {
            using TD = typename decltype(td)::type;
            TD *d = static_cast<TD *>(out->vekptr);
            forEachPart(part, s, n, [d](int64_t i, double v) { d[i] = zvek::storeFromDouble<TD>(v); });
        });
        return handled ? 0 : refuseType(name);
    }
    }
}

}  // namespace

int Zvekc2real(ZVEKHDR *in, ZVEKHDR *out) { return complexPart("Zvekc2real", Part::Real, in, out); }
int Zvekc2imag(ZVEKHDR *in, ZVEKHDR *out) { return complexPart("Zvekc2imag", Part::Imag, in, out); }
int Zvekc2mag(ZVEKHDR *in, ZVEKHDR *out) { return complexPart("Zvekc2mag", Part::Mag, in, out); }
int Zvekc2phase(ZVEKHDR *in, ZVEKHDR *out) { return complexPart("Zvekc2phase", Part::Phase, in, out); }
