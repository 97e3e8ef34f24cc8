// Windows, boxes and slices.
#include "zvek.h"
#include "test_image_util.h"
#include "zvektest.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using imgtest::Img;

// Owns a result unless it is the input itself.
struct Cut {
    ZVEKHDR *h;
    ZVEKHDR *in;
    ~Cut() {
        if (h && h != in) Zvekfree(h, 7);
    }
};

// Pixel (f, r, c) numbered so that every value is distinct.
float code(int f, int r, int c) { return float(f * 10000 + r * 100 + c); }

void fill(ZVEKHDR *h, int frames, int rows, int cols) {
    for (int f = 0; f < frames; ++f)
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) Zvekfpp3d(h, f, r, c, code(f, r, c));
}

std::vector<int32_t> shape(ZVEKHDR *h) {
    int32_t *s = Zveksiz(h);
    std::vector<int32_t> v(s, s + s[0] + 1);
    std::free(s);
    return v;
}

std::vector<float> floats(ZVEKHDR *h) {
    const int n = Zvekdimen(h, ZVEK_NPIXELS);
    const float *p = static_cast<const float *>(h->vekptr);
    return std::vector<float>(p, p + n);
}

std::string quietErr(std::function<void()> fn) {
    testing::internal::CaptureStderr();
    fn();
    return testing::internal::GetCapturedStderr();
}

class Window : public zvektest::ZvekTest {};
class Slice : public zvektest::ZvekTest {};

}  // namespace

TEST_F(Window, RowsBeforeColumnsInEitherOrder) {
    Img in("float", {2, 10, 8});
    fill(in.h, 1, 8, 10);
    Cut a{Zvekexwin(in.h, 5, 7, 2, 3), in.h}, b{Zvekexwin(in.h, 2, 3, 5, 7), in.h};
    ASSERT_NE(a.h, nullptr);
    ASSERT_NE(b.h, nullptr);
    EXPECT_EQ(shape(a.h), (std::vector<int32_t>{2, 5, 4}));
    EXPECT_STREQ(a.h->vekdt, "32flt");
    std::vector<float> want;
    for (int r = 2; r <= 5; ++r)
        for (int c = 3; c <= 7; ++c) want.push_back(code(0, r, c));
    EXPECT_EQ(floats(a.h), want);
    EXPECT_EQ(floats(b.h), want);
}

TEST_F(Window, ThinWindowsAreOneDimensional) {
    Img in("float", {2, 6, 5});
    fill(in.h, 1, 5, 6);
    Cut row{Zvekexwin(in.h, 3, 1, 3, 4), in.h};
    EXPECT_EQ(shape(row.h), (std::vector<int32_t>{1, 4}));
    EXPECT_EQ(floats(row.h), (std::vector<float>{code(0, 3, 1), code(0, 3, 2), code(0, 3, 3), code(0, 3, 4)}));
    Cut col{Zvekexwin(in.h, 1, 2, 3, 2), in.h};
    EXPECT_EQ(shape(col.h), (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(floats(col.h), (std::vector<float>{code(0, 1, 2), code(0, 2, 2), code(0, 3, 2)}));
    Cut px{Zvekexwin(in.h, 4, 5, 4, 5), in.h};
    EXPECT_EQ(shape(px.h), (std::vector<int32_t>{1, 1}));
    EXPECT_EQ(floats(px.h), (std::vector<float>{code(0, 4, 5)}));
}

TEST_F(Window, WideDataTypesCopyWholeData) {
    Img in("64cmp", {2, 4, 3});
    auto *d = static_cast<double *>(in.h->vekptr);
    for (int i = 0; i < 24; ++i) d[i] = i + 0.5;
    Cut w{Zvekexwin(in.h, 1, 1, 2, 2), in.h};
    ASSERT_NE(w.h, nullptr);
    EXPECT_EQ(w.h->dtype, DT_64CMP);
    const double *o = static_cast<const double *>(w.h->vekptr);
    const int src[4] = {5, 6, 9, 10};  // pixels (1,1) (1,2) (2,1) (2,2)
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(o[2 * i], d[2 * src[i]]);
        EXPECT_EQ(o[2 * i + 1], d[2 * src[i] + 1]);
    }
    Img st("struct", {2, 3, 2}, 12);
    auto *b = static_cast<unsigned char *>(st.h->vekptr);
    for (int i = 0; i < 72; ++i) b[i] = static_cast<unsigned char>(i);
    Cut s{Zvekexwin(st.h, 1, 1, 1, 2), st.h};
    ASSERT_NE(s.h, nullptr);
    EXPECT_EQ(s.h->vekbpd, 12);
    EXPECT_EQ(std::memcmp(s.h->vekptr, b + 48, 24), 0);
}

TEST_F(Window, OutsideOrWrongDimensionsFail) {
    Img in("float", {2, 6, 5});
    for (auto box : std::vector<std::vector<int>>{{-1, 0, 2, 2}, {0, -1, 2, 2}, {0, 0, 5, 2}, {0, 0, 2, 6}}) {
        Zvekerr = 0;
        ZVEKHDR *w = nullptr;
        EXPECT_EQ(quietErr([&] { w = Zvekexwin(in.h, box[0], box[1], box[2], box[3]); }), "");
        EXPECT_EQ(w, nullptr);
        EXPECT_EQ(Zvekerr, ZVEK_ERANGE);
    }
    Img in3("float", {3, 2, 2, 2});
    ZVEKHDR *w = nullptr;
    EXPECT_EQ(quietErr([&] { w = Zvekexwin(in3.h, 0, 0, 1, 1); }), "Zvekexwin: Image must be 2-dimensional.\n");
    EXPECT_EQ(w, nullptr);
    EXPECT_EQ(Zvekerr, ZVEK_EDIM);
    const std::string err = quietErr([&] { w = Zvekexwin3d(in.h, 0, 0, 0, 1, 1, 1); });
    EXPECT_EQ(err, "\nZvekexwin: Image must be 3-dimensional.\n" + zvektest::codeLine(ZVEK_EDIM));
    EXPECT_EQ(w, nullptr);
    EXPECT_EQ(Zvekerr, ZVEK_EDIM);
}

TEST_F(Window, BoxesDropExtentsOfOne) {
    const int F = 4, R = 5, C = 6;
    Img in("float", {3, C, R, F});
    fill(in.h, F, R, C);
    auto box = [&](int f1, int r1, int c1, int f2, int r2, int c2) {
        ZVEKHDR *b = Zvekexwin3d(in.h, f2, r2, c2, f1, r1, c1);  // pairs reversed on purpose
        std::vector<float> want;
        for (int f = f1; f <= f2; ++f)
            for (int r = r1; r <= r2; ++r)
                for (int c = c1; c <= c2; ++c) want.push_back(code(f, r, c));
        EXPECT_EQ(floats(b), want);
        std::vector<int32_t> s = shape(b);
        Zvekfree(b, 7);
        return s;
    };
    EXPECT_EQ(box(1, 1, 1, 2, 3, 4), (std::vector<int32_t>{3, 4, 3, 2}));
    EXPECT_EQ(box(2, 1, 1, 2, 3, 4), (std::vector<int32_t>{2, 4, 3}));  // one frame
    EXPECT_EQ(box(0, 1, 2, 3, 3, 2), (std::vector<int32_t>{2, 3, 4}));  // one column: rows x frames
    EXPECT_EQ(box(0, 2, 1, 3, 2, 5), (std::vector<int32_t>{2, 5, 4}));  // one row: columns x frames
    EXPECT_EQ(box(1, 2, 0, 1, 2, 5), (std::vector<int32_t>{1, 6}));
    EXPECT_EQ(box(1, 0, 3, 1, 4, 3), (std::vector<int32_t>{1, 5}));
    EXPECT_EQ(box(0, 4, 5, 3, 4, 5), (std::vector<int32_t>{1, 4}));
    EXPECT_EQ(box(3, 4, 5, 3, 4, 5), (std::vector<int32_t>{1, 1}));
    Zvekerr = 0;
    EXPECT_EQ(Zvekexwin3d(in.h, 0, 0, 0, F, 1, 1), nullptr);
    EXPECT_EQ(Zvekerr, ZVEK_ERANGE);
}

TEST_F(Slice, FramesRowsAndColumns) {
    Img in("float", {3, 2, 2, 3});
    fill(in.h, 3, 2, 2);
    Cut f1{Zvekslice(in.h, "f", 1), in.h};
    ASSERT_NE(f1.h, nullptr);
    EXPECT_STREQ(f1.h->vekdt, "32flt");
    EXPECT_EQ(shape(f1.h), (std::vector<int32_t>{2, 2, 2}));
    EXPECT_EQ(floats(f1.h), (std::vector<float>{code(1, 0, 0), code(1, 0, 1), code(1, 1, 0), code(1, 1, 1)}));
    Cut c{Zvekslice(in.h, "column", 1), in.h};
    EXPECT_EQ(shape(c.h), (std::vector<int32_t>{2, 2, 3}));
    EXPECT_EQ(floats(c.h), (std::vector<float>{code(0, 0, 1), code(0, 1, 1), code(1, 0, 1), code(1, 1, 1),
                                               code(2, 0, 1), code(2, 1, 1)}));
    Cut r{Zvekslice(in.h, "r", 0), in.h};
    EXPECT_EQ(shape(r.h), (std::vector<int32_t>{2, 2, 3}));
    EXPECT_EQ(floats(r.h)[5], code(2, 0, 1));
    for (const char *name : {"c", "col", "column", "r", "row", "f", "frame"}) {
        Cut s{Zvekslice(in.h, name, 1), in.h};
        EXPECT_NE(s.h, nullptr) << name;
    }

    Img flat("float", {2, 4, 3});
    fill(flat.h, 1, 3, 4);
    Cut col{Zvekslice(flat.h, "c", 2), flat.h};
    EXPECT_EQ(shape(col.h), (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(floats(col.h), (std::vector<float>{code(0, 0, 2), code(0, 1, 2), code(0, 2, 2)}));
    Cut row{Zvekslice(flat.h, "row", 1), flat.h};
    EXPECT_EQ(floats(row.h), (std::vector<float>{code(0, 1, 0), code(0, 1, 1), code(0, 1, 2), code(0, 1, 3)}));
}

TEST_F(Slice, ReturnsItsInputWhereThereIsNothingToCut) {
    Img flat("float", {2, 4, 3});
    ZVEKHDR *s = nullptr;
    std::string err = quietErr([&] { s = Zvekslice(flat.h, "frame", 0); });
    EXPECT_EQ(s, flat.h);
    EXPECT_EQ(err, "\nVekslice: 2-D image. Only one frame. Cannot frame-slice\n");
    Img line("float", {1, 5});
    err = quietErr([&] { s = Zvekslice(line.h, "c", 0); });
    EXPECT_EQ(s, line.h);
    EXPECT_EQ(err, "\nVekslice: Cannot slice one-dimensional image.\n");
}

TEST_F(Slice, BadNamesAndIndices) {
    Img in("float", {3, 2, 2, 3});
    ZVEKHDR *s = nullptr;
    std::string err = quietErr([&] { s = Zvekslice(in.h, "z", 0); });
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(err, "\nVekslice: Unknown name of dimension.\n");
    err = quietErr([&] { s = Zvekslice(in.h, nullptr, 0); });
    EXPECT_EQ(s, nullptr);
    Zvekerr = 0;
    err = quietErr([&] { s = Zvekslice(in.h, "f", 3); });
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(err, "");
    EXPECT_EQ(Zvekerr, ZVEK_ERANGE);
    err = quietErr([&] { s = Zvekslice(nullptr, "f", 0); });
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(err, "\nZvekchkhd:  Null ZVEK image header encountered.\nZveksiz:  bad image header\n");
}

TEST_F(Window, FailedCreationIsReported) {
    Img in("float", {2, 6, 5});
    Img in3("float", {3, 6, 5, 2});
    auto *saved = Zvek_alcptr;
    // Small blocks (size vectors) still come; the new header does not.
    Zvek_alcptr = [](size_t count, size_t size) -> void * {
        return count * size >= 512 ? nullptr : std::calloc(count, size);
    };
    ZVEKHDR *w = nullptr, *b = nullptr;
    const std::string err = quietErr([&] { w = Zvekexwin(in.h, 0, 0, 2, 2); });
    const std::string err3 = quietErr([&] { b = Zvekexwin3d(in3.h, 0, 0, 0, 1, 2, 2); });
    Zvek_alcptr = saved;
    EXPECT_EQ(w, nullptr);
    EXPECT_EQ(b, nullptr);
    const std::string tail = "Zvekexwin: can't make new image!\n\n";
    ASSERT_GE(err.size(), tail.size());
    EXPECT_EQ(err.substr(err.size() - tail.size()), tail) << err;
    EXPECT_NE(err3.find("\nZvekexwin: can't make new image!\n\n"), std::string::npos) << err3;
}
