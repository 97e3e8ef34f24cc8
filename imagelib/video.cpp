// Video scaling of any numeric image onto bytes, and the colour maps that
// turn a byte image into red, green and blue frames.
#include "zvek.h"
#include "zvekint.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

[[maybe_unused]] const char *const videoVersion = "Zvekvidscale V2.1\t\t06 Dec 2026";

// The range scan starts from these values (single precision), so a value
// moves the maximum only by exceeding -1e6 and the minimum only by lying
// below 1e6.
constexpr float kStartMax = -1e6f;
constexpr float kStartMin = 1e6f;

// Low 8 bits of a float truncated toward zero; defined for every value.
inline uint8_t lowByte(float q) {
    if (q >= 0.0f && q < 256.0f) return static_cast<uint8_t>(static_cast<int>(q));
    return static_cast<uint8_t>(static_cast<uint64_t>(zvek::truncToInt64(q)));
}

// Range of n values, two independent comparisons per value as a running
// scan makes them; NaN moves neither end. Sixteen lanes each keep the first
// value that reached their extreme, and merging them gives the extreme of
// one running scan, except that such a scan keeps the sign of the first
// zero it met, which is restored at the end.
template <int S, typename T>
ZVEK_INLINE void scanRange(const T *p, int64_t n, float &mx, float &mn) {
    zvek::v16sf vmx = zvek::splat16(mx), vmn = zvek::splat16(mn);
    int64_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const zvek::v16sf v = zvek::load16<S>(p + i * S);
        vmx = v > vmx ? v : vmx;
        vmn = v < vmn ? v : vmn;
    }
    for (; i < n; ++i) {
        const float v = static_cast<float>(p[i * S]);
        if (v > vmx[0]) vmx[0] = v;
        if (v < vmn[0]) vmn[0] = v;
    }
    const float startMx = mx, startMn = mn;
    for (int l = 0; l < 16; ++l) {
        if (vmx[l] > mx) mx = vmx[l];
        if (vmn[l] < mn) mn = vmn[l];
    }
    auto firstZero = [&](float start, float &ext) {
        if (ext != 0.0f || start == 0.0f) return;
        for (int64_t k = 0; k < n; ++k) {
            const float v = static_cast<float>(p[k * S]);
            if (v == 0.0f) {
                ext = v;
                return;
            }
        }
    };
    firstZero(startMx, mx);
    firstZero(startMn, mn);
}

// Writes the low 8 bits of trunc((v - min) x s) for each value, the
// difference in float, the product in double kept as a float. With min and
// max taken from the same values and s = 255 / (max - min), every product
// lies in [0, 256) or is NaN (a NaN value, or an infinite range, which
// makes s zero); NaN gives 0, so the vector body needs no other case.
template <int S, typename T>
ZVEK_INLINE void scaleValues(const T *p, uint8_t *o, int64_t n, float mn, double s) {
    int64_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const zvek::v16sf d = zvek::load16<S>(p + i * S) - mn;
        zvek::v16sf q = __builtin_convertvector(__builtin_convertvector(d, zvek::v16df) * s, zvek::v16sf);
        q = q >= 0.0f ? q : 0.0f;
        const zvek::v16qu b = __builtin_convertvector(__builtin_convertvector(q, zvek::v16si), zvek::v16qu);
        std::memcpy(o + i, &b, 16);
    }
    for (; i < n; ++i) {
        const float v = static_cast<float>(p[i * S]);
        o[i] = lowByte(static_cast<float>(static_cast<double>(v - mn) * s));
    }
}

// Scans and scales one block of n values; false when they are all alike.
template <int S, typename T>
bool scaleBlock(const T *p, uint8_t *o, int64_t n, float &mx, float &mn) {
    mx = kStartMax;
    mn = kStartMin;
    zvek::onWidestPath([&]() ZVEK_INLINE_LAMBDA { scanRange<S>(p, n, mx, mn); });
    if (mx == mn) return false;
    const double s = 255.0 / (mx - mn);
    zvek::onWidestPath([&]() ZVEK_INLINE_LAMBDA { scaleValues<S>(p, o, n, mn, s); });
    return true;
}

int argumentError(const char *line) {
    std::printf("%s", line);
    std::fflush(stdout);
    return -1;
}

}  // namespace

int Zvekvidscale(ZVEKHDR *in, ZVEKHDR *out, float *min, float *max, int perFrame) {
    if (out == nullptr || out->vekptr == nullptr)
        return argumentError("Zvekvidscale: output image must already exist\n");
    if (out->dtype != DT_U8BIT) return argumentError("Zvekvidscale: output image must be unsigned byte\n");
    if (in == nullptr || in->vekptr == nullptr) return argumentError("Zvekvidscale: input image is null\n");
    if (perFrame && in->vekndim != 3)
        return argumentError("Zvekvidscale: 3d switch is set, but image is not 3d. Must exit\n");
    if (in->vekndim != out->vekndim)
        return argumentError("Zvekvidscale: input and output images have different dimensions.\n");
    zvek::Shape si, so;
    if (!zvek::shapeOf(in, si) || !zvek::shapeOf(out, so)) return -1;  // the size query has reported
    if (!si.sameLengths(so)) return argumentError("Zvekvidscale: input and output images have different sizes.\n");

    const int code = in->dtype;
    const bool complex = zvek::typeLayout(code).complex;
    auto *o = static_cast<uint8_t *>(out->vekptr);
    float mx = kStartMax, mn = kStartMin;
    const bool known = zvek::dispatchPlain(code, [&](auto tag) {
        using T = typename decltype(tag)::type;
        const T *p = static_cast<const T *>(in->vekptr);
        auto block = [&](const T *src, uint8_t *dst, int64_t n) {
            if constexpr (std::is_floating_point_v<T>)
                if (complex) return scaleBlock<2>(src, dst, n, mx, mn);
            return scaleBlock<1>(src, dst, n, mx, mn);
        };
        const int step = complex ? 2 : 1;
        if (!perFrame) {
            if (!block(p, o, si.pixels())) {
                std::printf("Cannot vidscale, all pixels are the same brightness\n");
                std::fflush(stdout);
                return;
            }
            if (max) *max = mx;
            if (min) *min = mn;
            return;
        }
        const int64_t n = static_cast<int64_t>(si.cols) * si.rows;
        const bool isFloat = code == DT_32FLT;
        if (isFloat) {
            std::printf("Zvekvidscale: image is 3D float, frame-independent scaling\n");
            std::fflush(stdout);
        }
        for (int f = 0; f < si.frames; ++f) {
            if (isFloat) std::printf("Zvekvidscale frame %d\n", f);
            if (!block(p + f * n * step, o + f * n, n))
                std::printf("Cannot vidscale frame %d, all pixels are the same brightness\n", f);
        }
        std::fflush(stdout);
        if (max) *max = mx;
        if (min) *min = mn;
    });
    if (!known) {
        std::printf("Data type not recognized.\n");
        std::fflush(stdout);
        return -2;
    }
    return 0;
}

namespace {

// Builds 128 triples with fn(k, rgb) and widens them: entries 2k and 2k + 1
// of each plane take triple k.
template <typename F>
void widenTriples(unsigned char *map, F &&fn) {
    for (int k = 0; k < 128; ++k) {
        unsigned char rgb[3];
        fn(k, rgb);
        for (int c = 0; c < 3; ++c) map[256 * c + 2 * k] = map[256 * c + 2 * k + 1] = rgb[c];
    }
}

void setGrey(unsigned char *map, int j, int v) {
    map[j] = map[256 + j] = map[512 + j] = static_cast<unsigned char>(v);
}

// Ten bands of 25 values each (the last reaching 255).
const unsigned char kBands[10][3] = {
    {0, 0, 0},     {160, 160, 160}, {150, 135, 0},   {0, 0, 215},     {0, 195, 0},
    {0, 240, 240}, {240, 0, 240},   {255, 175, 0},   {255, 252, 0},   {255, 255, 255},
};

// Entry j of map 6 takes triple j mod 128.
const unsigned char kFixed[128][3] = {
    {27, 131, 124}, {153, 94, 65}, {235, 178, 52}, {156, 227, 98}, {41, 32, 69}, {201, 182, 152},
    {226, 220, 127}, {113, 229, 37}, {101, 157, 237}, {82, 218, 137}, {169, 170, 206}, {56, 81, 176},
    {173, 211, 238}, {218, 99, 201}, {237, 188, 207}, {54, 140, 117}, {55, 124, 236}, {136, 238, 96},
    {145, 211, 56}, {225, 82, 211}, {194, 235, 106}, {56, 43, 182}, {83, 199, 124}, {156, 81, 163},
    {179, 197, 210}, {238, 160, 39}, {194, 124, 94}, {186, 142, 109}, {123, 182, 62}, {54, 160, 205},
    {166, 82, 61}, {187, 201, 100}, {111, 216, 82}, {129, 155, 89}, {67, 184, 85}, {210, 165, 35},
    {80, 231, 75}, {36, 197, 117}, {174, 203, 190}, {190, 110, 127}, {128, 167, 131}, {106, 64, 205},
    {157, 45, 79}, {140, 184, 223}, {133, 56, 144}, {94, 238, 54}, {186, 203, 146}, {146, 232, 129},
    {235, 51, 164}, {141, 152, 109}, {212, 136, 53}, {81, 223, 206}, {100, 147, 156}, {216, 232, 76},
    {36, 37, 169}, {63, 96, 182}, {237, 124, 80}, {97, 160, 147}, {116, 164, 97}, {137, 139, 188},
    {156, 100, 186}, {153, 200, 154}, {157, 68, 216}, {128, 159, 110}, {194, 238, 151}, {114, 125, 200},
    {73, 190, 128}, {209, 186, 100}, {113, 197, 133}, {156, 218, 235}, {72, 106, 175}, {33, 191, 147},
    {46, 78, 39}, {188, 230, 177}, {60, 206, 215}, {126, 124, 159}, {182, 47, 81}, {71, 100, 189},
    {35, 140, 238}, {232, 236, 166}, {157, 51, 152}, {91, 57, 126}, {124, 69, 206}, {192, 94, 187},
    {113, 68, 41}, {192, 203, 56}, {214, 58, 43}, {197, 154, 150}, {217, 49, 193}, {39, 211, 173},
    {64, 189, 53}, {73, 190, 193}, {99, 199, 147}, {159, 209, 37}, {234, 195, 67}, {80, 144, 154},
    {231, 144, 146}, {174, 102, 154}, {214, 180, 48}, {236, 106, 125}, {105, 124, 40}, {53, 160, 102},
    {103, 102, 153}, {142, 145, 127}, {40, 214, 53}, {95, 186, 195}, {93, 169, 222}, {40, 221, 76},
    {118, 126, 40}, {45, 221, 227}, {224, 85, 211}, {142, 119, 51}, {72, 219, 205}, {61, 134, 172},
    {66, 150, 222}, {158, 195, 51}, {64, 50, 121}, {165, 39, 79}, {166, 213, 70}, {79, 104, 221},
    {70, 161, 177}, {131, 235, 89}, {88, 210, 176}, {215, 64, 139}, {208, 73, 225}, {113, 93, 175},
    {178, 33, 233}, {192, 146, 106},
};

void hotMetal(unsigned char *map) {
    // The three ramps grow per value of i = 0..255; triple k keeps the
    // colour of the odd value i = 2k + 1.
    unsigned char t[128][3];
    float f = 0.0f, g = 0.0f, b = 0.0f;
    for (int i = 0; i < 256; ++i) {
        unsigned char rgb[3];
        if (i < 182) {
            rgb[0] = static_cast<unsigned char>(static_cast<int>(255.0f * f));
            f += 0.0054945056f;
        } else {
            rgb[0] = 255;
        }
        if (i < 128) {
            rgb[1] = 0;
        } else if (i <= 218) {
            rgb[1] = static_cast<unsigned char>(static_cast<int>(255.0f * g));
            g += 0.010989011f;
        } else {
            rgb[1] = 255;
        }
        if (i < 192) {
            rgb[2] = 0;
        } else {
            rgb[2] = static_cast<unsigned char>(static_cast<int>(255.0f * b));
            b += 0.015625f;
        }
        std::memcpy(t[i / 2], rgb, 3);
    }
    widenTriples(map, [&](int k, unsigned char *rgb) { std::memcpy(rgb, t[k], 3); });
}

void rainbow(int k, unsigned char *rgb) {
    auto set = [rgb](int r, int g, int b) {
        rgb[0] = static_cast<unsigned char>(r);
        rgb[1] = static_cast<unsigned char>(g);
        rgb[2] = static_cast<unsigned char>(b);
    };
    if (k < 18) set(0, 0, 15 * k);
    else if (k < 36) set(0, 15 * (k - 18), 255);
    else if (k < 54) set(0, 255, 255 - 15 * (k - 36));
    else if (k < 72) set(15 * (k - 54), 255, 0);
    else if (k < 90) set(255, 255 - 15 * (k - 72), 0);
    else if (k < 108) set(255, 0, 15 * (k - 90));
    else set(255, static_cast<int>(13.421052631578947 * (k - 108)), 255);
}

}  // namespace

void CreateColorMap(unsigned char *map, ZVEKHDR *, int mapNo) {
    std::fflush(stdout);
    if (map == nullptr) return;
    switch (mapNo) {
    case 0:
        for (int j = 0; j < 256; ++j) setGrey(map, j, j);
        break;
    case 1:
        for (int j = 0; j < 256; ++j) setGrey(map, j, (256 - j) % 256);
        break;
    case 2:
        widenTriples(map, [](int k, unsigned char *rgb) {
            const int i = 2 * k + 1;
            std::memcpy(rgb, kBands[i / 25 < 9 ? i / 25 : 9], 3);
        });
        break;
    case 3:
        hotMetal(map);
        break;
    case 4:
        widenTriples(map, rainbow);
        break;
    case 5:
        for (int j = 0; j < 256; ++j)
            setGrey(map, j, static_cast<int>(255.0 * std::log10(j + 1.0) / std::log10(256.0)));
        break;
    case 6:
        for (int j = 0; j < 256; ++j)
            for (int c = 0; c < 3; ++c) map[256 * c + j] = kFixed[j % 128][c];
        break;
    default:
        break;
    }
}

int Zvekcolormap(ZVEKHDR *in, ZVEKHDR *out, int mapNo) {
    auto refuse = [](const char *line, int code) {
        std::printf("%s", line);
        std::fflush(stdout);
        return code;
    };
    if (out == nullptr || out->dtype != DT_U8BIT || out->vekptr == nullptr)
        return refuse("Zvekcolormap: output image must be U8IT\n", -1);
    if (in == nullptr || in->vekndim != 2 || in->vekptr == nullptr) return refuse("input image needs to be 2D\n", -2);
    zvek::Shape si, so;
    // An output of fewer than three frames has no room for the colours.
    if (out->vekndim != 3 || !zvek::shapeOf(out, so) || so.frames < 3)
        return refuse("Zvekcolormap:output image must be 3D\n", -3);
    if (!zvek::shapeOf(in, si) || si.rows != so.rows || si.cols != so.cols)
        return refuse("Zvekcolormap: input and output images must be the same rows and cols\n", -4);

    // An unknown map number leaves the map black.
    unsigned char map[768] = {0};
    CreateColorMap(map, in, mapNo);
    const int64_t n = static_cast<int64_t>(si.rows) * si.cols;
    auto *o = static_cast<uint8_t *>(out->vekptr);
    auto paint = [&](int64_t i, int v) {
        // Values outside 0..255 are clamped before the lookup.
        v = v < 0 ? 0 : (v > 255 ? 255 : v);
        o[i] = map[v];
        o[n + i] = map[256 + v];
        o[2 * n + i] = map[512 + v];
    };
    const int step = zvek::typeLayout(in->dtype).complex ? 2 : 1;
    const bool typed = zvek::dispatchPlain(in->dtype, [&](auto tag) {
        using T = typename decltype(tag)::type;
        const T *p = static_cast<const T *>(in->vekptr);
        for (int64_t i = 0; i < n; ++i) paint(i, zvek::intFromComponent(p[i * step]));
    });
    if (!typed) {
        // Types the accessors refuse: their report and a value of 0.
        for (int r = 0; r < si.rows; ++r)
            for (int c = 0; c < si.cols; ++c) paint(static_cast<int64_t>(r) * si.cols + c, Zvekigp(in, r, c));
    }
    return 0;
}
