// The pixel accessors: addressing of every type, the read and store rules,
// and the reports.
#include "zvek.h"
#include "zvektest.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using testing::ExitedWithCode;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;
using zvektest::codeLine;

namespace {

class Access : public zvektest::ZvekTest {};

struct TypeInfo {
    const char *name;
    int channels;     // 1 planar, 3 or 4 interleaved
    bool isFloat;
    bool isSigned;
    int bytes;        // of one component
};

// All 23 non-struct types, described by hand.
const TypeInfo kTypes[] = {
    {"8bit", 1, false, true, 1},     {"u8bit", 1, false, false, 1},   {"16bit", 1, false, true, 2},
    {"u16bit", 1, false, false, 2},  {"32bit", 1, false, true, 4},    {"32flt", 1, true, true, 4},
    {"64flt", 1, true, true, 8},     {"32cmp", 1, true, true, 4},     {"64cmp", 1, true, true, 8},
    {"Su8bit3", 3, false, false, 1}, {"S8bit3", 3, false, true, 1},   {"Su8bit4", 4, false, false, 1},
    {"S8bit4", 4, false, true, 1},   {"Su16bit3", 3, false, false, 2}, {"S16bit3", 3, false, true, 2},
    {"Su16bit4", 4, false, false, 2}, {"S16bit4", 4, false, true, 2},  {"S32bit3", 3, false, true, 4},
    {"S32bit4", 4, false, true, 4},  {"S32flt3", 3, true, true, 4},   {"S32flt4", 4, true, true, 4},
    {"S64flt3", 3, true, true, 8},   {"S64flt4", 4, true, true, 8},
};

bool isComplex(const TypeInfo &t) { return std::strstr(t.name, "cmp") != nullptr; }

// Reads the component at a byte address as double, by the hand-made table.
double component(const TypeInfo &t, const unsigned char *p) {
    if (t.isFloat) {
        if (t.bytes == 4) { float v; std::memcpy(&v, p, 4); return v; }
        double v; std::memcpy(&v, p, 8); return v;
    }
    switch (t.bytes * (t.isSigned ? 1 : -1)) {
    case 1: { int8_t v; std::memcpy(&v, p, 1); return v; }
    case -1: { uint8_t v; std::memcpy(&v, p, 1); return v; }
    case 2: { int16_t v; std::memcpy(&v, p, 2); return v; }
    case -2: { uint16_t v; std::memcpy(&v, p, 2); return v; }
    case 4: { int32_t v; std::memcpy(&v, p, 4); return v; }
    }
    ADD_FAILURE() << "no reader for " << t.name;
    return 0;
}

ZVEKHDR *create(const char *type, std::vector<int32_t> dims) {
    ZVEKHDR *h = Zvekcreate(type, dims.data(), 11, 4);
    EXPECT_NE(h, nullptr) << type;
    return h;
}

unsigned char *bytesOf(ZVEKHDR *h) { return static_cast<unsigned char *>(h->vekptr); }

}  // namespace

TEST_F(Access, EveryTypeIsAddressedAsDocumented) {
    const int C = 5, R = 3;
    for (const TypeInfo &t : kTypes) {
        SCOPED_TRACE(t.name);
        const int F = t.channels > 1 ? t.channels : 3;
        ZVEKHDR *h = create(t.name, {3, C, R, F});
        const int datum = isComplex(t) ? 2 * t.bytes : t.bytes;
        ASSERT_EQ(h->vekbpd, datum);
        for (int f = 0; f < F; ++f)
            for (int r = 0; r < R; ++r)
                for (int c = 0; c < C; ++c) {
                    const int v = 1 + f * 20 + r * 6 + c;  // below 128: fits every type
                    ASSERT_EQ(Zvekfpp3d(h, f, r, c, v), -1);
                }
        std::vector<bool> touched(static_cast<size_t>(C) * R * F * datum, false);
        for (int f = 0; f < F; ++f)
            for (int r = 0; r < R; ++r)
                for (int c = 0; c < C; ++c) {
                    const int v = 1 + f * 20 + r * 6 + c;
                    const long index = t.channels > 1 ? (static_cast<long>(r) * C + c) * t.channels + f
                                                      : static_cast<long>(f) * R * C + r * C + c;
                    const unsigned char *p = bytesOf(h) + index * datum;
                    EXPECT_EQ(component(t, p), v) << f << "," << r << "," << c;
                    if (isComplex(t)) {
                        EXPECT_EQ(component(t, p + t.bytes), 0.0) << "imaginary part untouched";
                    }
                    EXPECT_EQ(Zvekfgp3d(h, f, r, c), v);
                    EXPECT_EQ(Zvekigp3d(h, f, r, c), v);
                    touched[index * datum] = true;
                    if (t.channels == 1 && f == 0) {
                        EXPECT_EQ(Zvekfgp(h, r, c), v);
                        EXPECT_EQ(Zvekigp(h, r, c), v);
                    }
                }
        for (size_t i = 0; i < touched.size(); i += datum) EXPECT_TRUE(touched[i]) << "element " << i / datum;
        // The int members store at the same places.
        ASSERT_EQ(Zvekipp3d(h, F - 1, R - 1, C - 1, 99), -1);
        EXPECT_EQ(Zvekfgp3d(h, F - 1, R - 1, C - 1), 99);
        Zvekfree(h, 7);
    }
    EXPECT_EQ(Zvekerr, 0);
}

TEST_F(Access, InterleavedAndPlanarReadTheDocumentedByte) {
    ZVEKHDR *rgb = create("Su8bit3", {3, 4, 2, 3});
    ZVEKHDR *planes = create("u8bit", {3, 4, 2, 3});
    for (int i = 0; i < 24; ++i) bytesOf(rgb)[i] = bytesOf(planes)[i] = static_cast<unsigned char>(10 + i);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(Zvekfgp3d(rgb, 2, r, c), 10 + (r * 4 + c) * 3 + 2);
            EXPECT_EQ(Zvekfgp3d(planes, 2, r, c), 10 + 2 * 2 * 4 + r * 4 + c);
        }
    Zvekfree(rgb, 7);
    Zvekfree(planes, 7);
    // S64flt3 (code 25) is three interleaved doubles.
    ZVEKHDR *d = create("S64flt3", {3, 2, 2, 3});
    static_cast<double *>(d->vekptr)[(1 * 2 + 0) * 3 + 1] = 2.25;
    EXPECT_EQ(Zvekfgp3d(d, 1, 1, 0), 2.25);
    Zvekfree(d, 7);
}

TEST_F(Access, TwoDimensionalMembersReadFrameZero) {
    ZVEKHDR *h = create("16bit", {3, 3, 2, 2});
    for (int i = 0; i < 12; ++i) static_cast<int16_t *>(h->vekptr)[i] = static_cast<int16_t>(i * 100 - 500);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(Zvekigp(h, r, c), (r * 3 + c) * 100 - 500);
    Zvekfree(h, 7);
}

TEST_F(Access, ReadsWidenWithOrWithoutSign) {
    ZVEKHDR *s = create("8bit", {2, 2, 2});
    ZVEKHDR *u = create("u8bit", {2, 2, 2});
    bytesOf(s)[3] = 0xFF;
    bytesOf(u)[3] = 0xFF;
    EXPECT_EQ(Zvekfgp(s, 1, 1), -1.0);
    EXPECT_EQ(Zvekfgp(u, 1, 1), 255.0);
    EXPECT_EQ(Zvekigp(s, 1, 1), -1);
    EXPECT_EQ(Zvekigp(u, 1, 1), 255);
    Zvekfree(s, 7);
    Zvekfree(u, 7);

    ZVEKHDR *w = create("u16bit", {1, 2});
    static_cast<uint16_t *>(w->vekptr)[1] = 0xFFFF;
    EXPECT_EQ(Zvekigp(w, 0, 1), 65535);
    Zvekfree(w, 7);

    // Floats read exactly; the int members truncate toward zero.
    ZVEKHDR *f = create("float", {2, 4, 1});
    float *fp = static_cast<float *>(f->vekptr);
    fp[0] = -2.7f;
    fp[1] = 2.7f;
    fp[2] = 0.1f;
    fp[3] = -0.9f;
    EXPECT_EQ(Zvekigp(f, 0, 0), -2);
    EXPECT_EQ(Zvekigp(f, 0, 1), 2);
    EXPECT_EQ(Zvekfgp(f, 0, 2), static_cast<double>(0.1f));
    EXPECT_EQ(Zvekigp(f, 0, 3), 0);
    // Defined results where the int range ends: NaN 0, saturation beyond.
    fp[0] = std::numeric_limits<float>::quiet_NaN();
    fp[1] = 1e10f;
    fp[2] = -1e10f;
    fp[3] = -std::numeric_limits<float>::infinity();
    EXPECT_EQ(Zvekigp(f, 0, 0), 0);
    EXPECT_EQ(Zvekigp(f, 0, 1), std::numeric_limits<int>::max());
    EXPECT_EQ(Zvekigp(f, 0, 2), std::numeric_limits<int>::min());
    EXPECT_EQ(Zvekigp(f, 0, 3), std::numeric_limits<int>::min());
    Zvekfree(f, 7);

    // Complex values read their real part.
    ZVEKHDR *c = create("64cmp", {1, 2});
    double *cp = static_cast<double *>(c->vekptr);
    cp[2] = -7.5;
    cp[3] = 100.0;
    EXPECT_EQ(Zvekfgp(c, 0, 1), -7.5);
    EXPECT_EQ(Zvekigp(c, 0, 1), -7);
    Zvekfree(c, 7);
}

TEST_F(Access, StoresTruncateAndKeepTheLowBits) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char *type;
        double v;
        double stored;
    };
    const Case cases[] = {
        {"u8bit", 300.7, 44},   {"u8bit", -1.0, 255},   {"u8bit", 65537, 1},  {"u8bit", -129.5, 127},
        {"u8bit", 1e10 + 5, 5}, {"u8bit", 0.99, 0},     {"u8bit", -0.99, 0},  {"u8bit", nan, 0},
        {"u8bit", inf, 255},    {"u8bit", -inf, 0},     {"u8bit", 1e30, 255}, {"u8bit", -1e30, 0},
        {"8bit", 300.7, 44},    {"8bit", 200, -56},     {"8bit", -129.5, 127}, {"8bit", -1.0, -1},
        {"u16bit", 65537, 1},   {"u16bit", -1, 65535},  {"u16bit", 1e10 + 5, 58373}, {"u16bit", inf, 65535},
        {"16bit", 65537.9, 1},  {"16bit", 40000, -25536}, {"16bit", 1e10 + 5, -7163}, {"16bit", nan, 0},
        {"32bit", 1e10 + 5, 1410065413}, {"32bit", -1e10, -1410065408}, {"32bit", 3e9, -1294967296},
        {"32bit", -2.5, -2},    {"32bit", inf, -1},     {"32bit", -inf, 0},   {"32bit", nan, 0},
        {"32flt", 0.1, static_cast<float>(0.1)},       {"32flt", -3.5, -3.5},
        {"64flt", 0.1, 0.1},    {"64flt", -1e300, -1e300},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.type) + " <- " + std::to_string(c.v));
        ZVEKHDR *h = create(c.type, {2, 2, 2});
        EXPECT_EQ(Zvekfpp(h, 1, 0, c.v), -1);
        EXPECT_EQ(Zvekfgp(h, 1, 0), c.stored);
        // Neighbours untouched.
        EXPECT_EQ(Zvekfgp(h, 0, 1), 0.0);
        EXPECT_EQ(Zvekfgp(h, 1, 1), 0.0);
        Zvekfree(h, 7);
    }
}

TEST_F(Access, IntStoresKeepTheLowBits) {
    struct Case {
        const char *type;
        int v;
        double stored;
    };
    const Case cases[] = {
        {"u8bit", 300, 44},     {"u8bit", -1, 255},     {"8bit", 255, -1},     {"16bit", 70000, 4464},
        {"u16bit", -2, 65534},  {"32bit", -123456789, -123456789},             {"32flt", 16777217, 16777216},
        {"64flt", 2147483647, 2147483647.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        ZVEKHDR *h = create(c.type, {3, 2, 2, 2});
        EXPECT_EQ(Zvekipp3d(h, 1, 1, 1, c.v), -1);
        EXPECT_EQ(Zvekfgp3d(h, 1, 1, 1), c.stored);
        EXPECT_EQ(Zvekipp(h, 0, 1, c.v), -1);
        EXPECT_EQ(Zvekfgp3d(h, 0, 0, 1), c.stored);
        Zvekfree(h, 7);
    }
}

TEST_F(Access, ComplexStoresTouchOnlyTheRealPart) {
    ZVEKHDR *c = create("32cmp", {2, 2, 1});
    float *p = static_cast<float *>(c->vekptr);
    p[0] = 1.0f; p[1] = 2.0f; p[2] = 3.0f; p[3] = 4.0f;
    EXPECT_EQ(Zvekfpp(c, 0, 1, -8.25), -1);
    EXPECT_EQ(p[0], 1.0f);
    EXPECT_EQ(p[1], 2.0f);
    EXPECT_EQ(p[2], -8.25f);
    EXPECT_EQ(p[3], 4.0f);
    EXPECT_EQ(Zvekipp(c, 0, 0, 6), -1);
    EXPECT_EQ(p[0], 6.0f);
    EXPECT_EQ(p[1], 2.0f);
    Zvekfree(c, 7);

    ZVEKHDR *z = create("64cmp", {3, 1, 1, 2});
    double *q = static_cast<double *>(z->vekptr);
    q[3] = 9.0;
    EXPECT_EQ(Zvekfpp3d(z, 1, 0, 0, 0.125), -1);
    EXPECT_EQ(Zvekipp3d(z, 0, 0, 0, -3), -1);
    EXPECT_EQ(q[0], -3.0);
    EXPECT_EQ(q[1], 0.0);
    EXPECT_EQ(q[2], 0.125);
    EXPECT_EQ(q[3], 9.0);
    Zvekfree(z, 7);
}

TEST_F(Access, StructAndUnhandledTypesAreReportedWith1024) {
    ZVEKHDR *s = create("struct", {2, 2, 2});
    bytesOf(s)[0] = 7;
    CaptureStderr();
    EXPECT_EQ(Zvekfgp(s, 0, 0), 0.0);
    EXPECT_EQ(Zvekfgp3d(s, 0, 0, 0), 0.0);
    EXPECT_EQ(Zvekigp(s, 0, 0), 0);
    EXPECT_EQ(Zvekigp3d(s, 0, 0, 0), 0);
    EXPECT_EQ(Zvekfpp(s, 0, 0, 1.0), 0);
    EXPECT_EQ(Zvekfpp3d(s, 0, 0, 0, 1.0), 0);
    EXPECT_EQ(Zvekipp(s, 0, 0, 1), 0);
    EXPECT_EQ(Zvekipp3d(s, 0, 0, 0, 1), 0);
    EXPECT_EQ(GetCapturedStderr(),
              "Zvekfgp: unrecognized or illegal data type.\n"
              "Zvekfgp3d: unrecognized or illegal data type.\n"
              "Zvekigp: unrecognized or illegal data type.\n"
              "Zvekigp3d: unrecognized or illegal data type.\n"
              "Zvekfpp: unrecognized or illegal data type.\n"
              "Zvekfpp3d: unrecognized or illegal data type.\n"
              "Zvekipp: unrecognized or illegal data type.\n"
              "Zvekipp3d: unrecognized or illegal data type.\n");
    EXPECT_EQ(Zvekerr, ZVEK_EDTYPE);
    EXPECT_EQ(bytesOf(s)[0], 7) << "a refused put stores nothing";
    Zvekfree(s, 7);

    // The 2-D members handle the plain types only; even with the check off.
    ZVEKHDR *rgb = create("Su8bit3", {3, 2, 2, 3});
    ZVEKCHK = 0;
    zvektest::resetErrorState();
    ZVEKCHK = 0;
    CaptureStderr();
    EXPECT_EQ(Zvekfpp(rgb, 0, 0, 5.0), 0);
    EXPECT_EQ(Zvekigp(rgb, 0, 0), 0);
    EXPECT_EQ(GetCapturedStderr(),
              "Zvekfpp: unrecognized or illegal data type.\n"
              "Zvekigp: unrecognized or illegal data type.\n");
    EXPECT_EQ(Zvekerr, ZVEK_EDTYPE);
    ZVEKCHK = 1;
    Zvekfree(rgb, 7);

    // An unknown code.
    ZVEKHDR *h = create("float", {1, 2});
    h->dtype = 517;
    CaptureStderr();
    EXPECT_EQ(Zvekfgp3d(h, 0, 0, 0), 0.0);
    EXPECT_NE(GetCapturedStderr().find("Zvekfgp3d: unrecognized or illegal data type."), std::string::npos);
    h->dtype = DT_32FLT;
    Zvekfree(h, 7);
}

TEST_F(Access, NullAndForeignHeadersAreReported) {
    CaptureStderr();
    EXPECT_EQ(Zvekfgp(nullptr, 0, 0), 0.0);
    EXPECT_EQ(Zvekipp3d(nullptr, 0, 0, 0, 1), 0);
    EXPECT_EQ(GetCapturedStderr(), "Zvekfgp: Image header is NULL\nZvekipp3d: Image header is NULL\n");
    EXPECT_EQ(Zvekerr, ZVEK_ENULL);

    ZVEKHDR *h = create("float", {2, 2, 2});
    static_cast<float *>(h->vekptr)[1] = 4.5f;
    std::memcpy(h->vekmagic, "XYZ", 4);
    CaptureStderr();
    EXPECT_EQ(Zvekfgp(h, 0, 1), 0.0);
    EXPECT_EQ(Zvekfpp3d(h, 0, 0, 1, 1.0), 0);
    EXPECT_EQ(GetCapturedStderr(),
              "Zvekfgp: Invalid image header (bad magic no.)\n"
              "Zvekfpp3d: Invalid image header (bad magic no.)\n");
    EXPECT_EQ(Zvekerr, ZVEK_EBADHDR);
    EXPECT_EQ(static_cast<float *>(h->vekptr)[1], 4.5f);

    // "VEK" is a valid magic too.
    std::memcpy(h->vekmagic, "VEK", 4);
    zvektest::resetErrorState();
    EXPECT_EQ(Zvekfgp(h, 0, 1), 4.5);
    EXPECT_EQ(Zvekerr, 0);
    Zvekfree(h, 7);
}

TEST_F(Access, ReportsEndTheProcessAtLevel64) {
    EXPECT_EXIT(
        {
            ZVEKSLV = ZVEK_FATAL;
            Zvekfgp3d(nullptr, 0, 0, 0);
            std::exit(99);
        },
        ExitedWithCode(8), "^Zvekfgp3d: Image header is NULL\n$");
    // At level 1 nothing is printed.
    ZVEKSLV = ZVEK_SILENT;
    CaptureStderr();
    EXPECT_EQ(Zvekigp(nullptr, 0, 0), 0);
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(Zvekerr, ZVEK_ENULL);
}

TEST_F(Access, ThreeDimensionalMembersOnAOneDimensionalImage) {
    // The frame/row/column members ask for the rows, which a 1-D image
    // lacks: a dimension report, but the pixel is read and written right and
    // nothing is read past the stride array.
    ZVEKHDR *h = create("16bit", {1, 6});
    CaptureStderr();
    EXPECT_EQ(Zvekfpp3d(h, 0, 0, 4, -9.0), -1);
    EXPECT_EQ(Zvekfgp3d(h, 0, 0, 4), -9.0);
    EXPECT_EQ(GetCapturedStderr(), "\nZvekdimen: Invalid dimension to get length of.\n" + codeLine(8192) +
                                       "\nZvekdimen: Invalid dimension to get length of.\n");
    EXPECT_EQ(static_cast<int16_t *>(h->vekptr)[4], -9);
    EXPECT_EQ(ZVEKDEPTH, 0);
    Zvekfree(h, 7);
}

TEST_F(Access, UncheckedNullHeaderIsReportedBySizeQueryOnly) {
    // With the header check off a null header draws the size query's own
    // report and yields 0; it is never dereferenced.
    ZVEKCHK = 0;
    CaptureStderr();
    EXPECT_EQ(Zvekfgp(nullptr, 1, 1), 0.0);
    EXPECT_EQ(Zvekipp3d(nullptr, 0, 1, 1, 7), 0);
    EXPECT_EQ(GetCapturedStderr(), "\nZvekdimen: NULL passed as image header.\n" + codeLine(8) +
                                       "\nZvekdimen: NULL passed as image header.\n"
                                       "\nZvekdimen: NULL passed as image header.\n");
    EXPECT_EQ(Zvekerr, ZVEK_ENULL);
    EXPECT_EQ(ZVEKDEPTH, 0);
}
