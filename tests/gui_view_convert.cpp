// Conversion of library images into toolkit pictures: byte scaling with one
// range, padding of the width, frame choice, complex parts, other types,
// refusals, and that the conversion's own images are released.
#include "imageconvert.h"
#include "zvek.h"

#include <QImage>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <set>
#include <vector>

namespace {

ZvekImagePtr makeImage(const char *type, std::vector<int32_t> dims) {
    ZvekImagePtr h(Zvekcreate(type, dims.data(), 11, 0));
    EXPECT_NE(h, nullptr);
    return h;
}

ZvekImagePtr floatImage(std::vector<int32_t> dims, const std::vector<float> &values) {
    ZvekImagePtr h = makeImage("float", dims);
    float *p = static_cast<float *>(h->vekptr);
    for (size_t i = 0; i < values.size(); ++i) p[i] = values[i];
    return h;
}

// Byte of a value under the range lo..hi, as the byte scaling defines it:
// trunc((v - lo) * (255 / (hi - lo))), the product kept as a float.
int byteOf(float v, float lo, float hi) {
    const double s = 255.0 / (static_cast<double>(hi) - lo);
    return static_cast<int>(static_cast<float>((v - lo) * s)) & 0xff;
}

void expectGreyRow(const QImage &img, int row, const std::vector<int> &bytes) {
    ASSERT_EQ(img.width(), static_cast<int>(bytes.size()));
    for (int c = 0; c < img.width(); ++c) {
        const QRgb p = img.pixel(c, row);
        EXPECT_EQ(qRed(p), bytes[c]) << "row " << row << " col " << c;
        EXPECT_EQ(qGreen(p), bytes[c]) << "row " << row << " col " << c;
        EXPECT_EQ(qBlue(p), bytes[c]) << "row " << row << " col " << c;
    }
}

// Live image headers: the library allocates every header as one block of
// 512 bytes through its allocation hook.
std::set<void *> liveHeaders;
void *(*realAlloc)(size_t, size_t) = nullptr;
void (*realFree)(void *) = nullptr;
void *countingAlloc(size_t n, size_t size) {
    void *p = realAlloc(n, size);
    if (p != nullptr && n * size == 512) liveHeaders.insert(p);
    return p;
}
void countingFree(void *p) {
    liveHeaders.erase(p);
    realFree(p);
}
struct HeaderCounter {
    HeaderCounter() {
        realAlloc = Zvek_alcptr;
        realFree = Zvek_freeptr;
        liveHeaders.clear();
        Zvek_alcptr = countingAlloc;
        Zvek_freeptr = countingFree;
    }
    ~HeaderCounter() {
        Zvek_alcptr = realAlloc;
        Zvek_freeptr = realFree;
    }
    size_t live() const { return liveHeaders.size(); }
};

}  // namespace

TEST(ViewConvert, GreyImagePaddedToMultipleOfFour) {
    // 5 x 2 float image, values 0..9: min 0, max 9.
    std::vector<float> v = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    ZvekImagePtr img = floatImage({2, 5, 2}, v);
    ZVek2Qt conv;
    std::unique_ptr<QImage> pic(conv.Zvek2Qt(img.get(), 0, 0));
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(pic->format(), QImage::Format_RGB32);
    EXPECT_EQ(pic->width(), 8);
    EXPECT_EQ(pic->height(), 2);
    // 255 / 9 = 28.333...: 0, 28, 56, 85, 113 | 141, 170, 198, 226, 255.
    expectGreyRow(*pic, 0, {0, 28, 56, 85, 113, 113, 113, 113});
    expectGreyRow(*pic, 1, {141, 170, 198, 226, 255, 255, 255, 255});
    for (int c = 0; c < 5; ++c) EXPECT_EQ(qRed(pic->pixel(c, 0)), byteOf(v[c], 0, 9));
    // The image is not changed.
    EXPECT_EQ(static_cast<float *>(img->vekptr)[9], 9.0f);
    // A width that is already a multiple of 4 stays.
    ZvekImagePtr four = floatImage({2, 4, 1}, {0, 10, 5, 10});
    std::unique_ptr<QImage> p4(conv.Zvek2Qt(four.get(), 0, 0));
    ASSERT_NE(p4, nullptr);
    expectGreyRow(*p4, 0, {0, 255, 127, 255});
}

TEST(ViewConvert, ColourUsesOneRangeOverAllThreeFrames) {
    // 2 x 1 pixels, three frames. Red spans 10..20, green is all 0 (the
    // global minimum), blue is 40 (the global maximum) and 25.
    ZvekImagePtr img = floatImage({3, 2, 1, 3}, {10, 20, 0, 0, 40, 25});
    ZVek2Qt conv;
    std::unique_ptr<QImage> pic(conv.Zvek2Qt(img.get(), 0, 7));
    ASSERT_NE(pic, nullptr);
    ASSERT_EQ(pic->width(), 4);
    ASSERT_EQ(pic->height(), 1);
    // 255 / 40 = 6.375: 10 -> 63, 20 -> 127, 0 -> 0, 40 -> 255, 25 -> 159.
    EXPECT_EQ(pic->pixel(0, 0), qRgb(63, 0, 255));
    EXPECT_EQ(pic->pixel(1, 0), qRgb(127, 0, 159));
    EXPECT_EQ(pic->pixel(2, 0), qRgb(127, 0, 159));
    EXPECT_EQ(pic->pixel(3, 0), qRgb(127, 0, 159));
}

TEST(ViewConvert, FrameChoiceOfOtherThreeDimensionalImages) {
    // 4 x 1 pixels, 9 frames; frame f holds f*10 + column.
    std::vector<float> v;
    for (int f = 0; f < 9; ++f)
        for (int c = 0; c < 4; ++c) v.push_back(f * 10.0f + c * (f == 4 ? 3.0f : 1.0f));
    ZvekImagePtr img = floatImage({3, 4, 1, 9}, v);
    ZVek2Qt conv;
    std::unique_ptr<QImage> f0(conv.Zvek2Qt(img.get(), 0, 0));
    ASSERT_NE(f0, nullptr);
    expectGreyRow(*f0, 0, {0, 85, 170, 255});
    std::unique_ptr<QImage> f4(conv.Zvek2Qt(img.get(), 3, 4));
    ASSERT_NE(f4, nullptr);
    // Frame 4: 40, 43, 46, 49.
    expectGreyRow(*f4, 0, {0, 85, 170, 255});
    // Frame 8: 80..83 scales the same way; the part is ignored.
    std::unique_ptr<QImage> f8(conv.Zvek2Qt(img.get(), 1, 8));
    ASSERT_NE(f8, nullptr);
    expectGreyRow(*f8, 0, {0, 85, 170, 255});
    // Frames outside the image are refused.
    EXPECT_EQ(conv.Zvek2Qt(img.get(), 0, 9), nullptr);
    EXPECT_EQ(conv.Zvek2Qt(img.get(), 0, -1), nullptr);
    // A 3-D image of two frames shows either frame in grey.
    ZvekImagePtr two = floatImage({3, 4, 1, 2}, {0, 1, 2, 3, 3, 2, 1, 0});
    std::unique_ptr<QImage> t1(conv.Zvek2Qt(two.get(), 0, 1));
    ASSERT_NE(t1, nullptr);
    expectGreyRow(*t1, 0, {255, 170, 85, 0});
}

TEST(ViewConvert, ComplexImagesByPartAndRefusals) {
    // 2-D "32cmp", 4 x 1: (re, im) = (3,4) (0,2) (-1,0) (1,1).
    ZvekImagePtr c = makeImage("32cmp", {2, 4, 1});
    const float ri[] = {3, 4, 0, 2, -1, 0, 1, 1};
    std::memcpy(c->vekptr, ri, sizeof ri);
    ZVek2Qt conv;
    // Real part 3, 0, -1, 1: range -1..3, 255 / 4 = 63.75.
    std::unique_ptr<QImage> re(conv.Zvek2Qt(c.get(), 2, 0));
    ASSERT_NE(re, nullptr);
    expectGreyRow(*re, 0, {255, 63, 0, 127});
    // Imaginary part 4, 2, 0, 1: 255 / 4.
    std::unique_ptr<QImage> im(conv.Zvek2Qt(c.get(), 3, 0));
    ASSERT_NE(im, nullptr);
    expectGreyRow(*im, 0, {255, 127, 0, 63});
    // Magnitude 5, 2, 1, sqrt 2: range 1..5.
    std::unique_ptr<QImage> mag(conv.Zvek2Qt(c.get(), 0, 0));
    ASSERT_NE(mag, nullptr);
    const float m3 = static_cast<float>(std::sqrt(2.0f));
    expectGreyRow(*mag, 0, {255, byteOf(2, 1, 5), 0, byteOf(m3, 1, 5)});

    // Double complex and three-dimensional complex images are refused.
    ZvekImagePtr c8 = makeImage("64cmp", {2, 4, 1});
    EXPECT_EQ(conv.Zvek2Qt(c8.get(), 0, 0), nullptr);
    ZvekImagePtr c3 = makeImage("32cmp", {3, 4, 1, 3});
    EXPECT_EQ(conv.Zvek2Qt(c3.get(), 0, 0), nullptr);
    EXPECT_EQ(conv.Zvek3d2qt3d(c3.get()), nullptr);
    ZvekImagePtr c5 = makeImage("32cmp", {3, 4, 1, 5});
    EXPECT_EQ(conv.Zvek2Qt(c5.get(), 0, 2), nullptr);
    // So are "struct" images and null.
    ZvekImagePtr st(Zvekcreate("struct", std::vector<int32_t>{2, 4, 1}.data(), 11, 4));
    ASSERT_NE(st, nullptr);
    EXPECT_EQ(conv.Zvek2Qt(st.get(), 0, 0), nullptr);
    EXPECT_EQ(conv.Zvek2Qt(nullptr, 0, 0), nullptr);
}

TEST(ViewConvert, OtherTypesAreConvertedNotReadAsRawFloats) {
    ZVek2Qt conv;
    // 2-D "u8bit": 0, 100, 200, 50: range 0..200.
    ZvekImagePtr u8 = makeImage("u8bit", {2, 4, 1});
    const uint8_t b[] = {0, 100, 200, 50};
    std::memcpy(u8->vekptr, b, 4);
    std::unique_ptr<QImage> p(conv.Zvek2Qt(u8.get(), 0, 0));
    ASSERT_NE(p, nullptr);
    expectGreyRow(*p, 0, {0, 127, 255, 63});

    // A "16bit" image of 3 frames, negative values included, in colour.
    ZvekImagePtr s16 = makeImage("16bit", {3, 1, 1, 3});
    const int16_t s[] = {-100, 0, 100};
    std::memcpy(s16->vekptr, s, sizeof s);
    std::unique_ptr<QImage> ps(conv.Zvek2Qt(s16.get(), 0, 0));
    ASSERT_NE(ps, nullptr);
    ASSERT_EQ(ps->width(), 4);
    EXPECT_EQ(ps->pixel(0, 0), qRgb(0, 127, 255));
    EXPECT_EQ(ps->pixel(3, 0), qRgb(0, 127, 255));

    // Frame 1 of a "32bit" image of 2 frames.
    ZvekImagePtr i32 = makeImage("32bit", {3, 2, 1, 2});
    const int32_t iv[] = {7, 7, 1000, -1000};
    std::memcpy(i32->vekptr, iv, sizeof iv);
    std::unique_ptr<QImage> pi(conv.Zvek2Qt(i32.get(), 0, 1));
    ASSERT_NE(pi, nullptr);
    expectGreyRow(*pi, 0, {255, 0, 0, 0});

    // A one-dimensional image is one row.
    ZvekImagePtr line = floatImage({1, 6}, {0, 1, 2, 3, 4, 5});
    std::unique_ptr<QImage> pl(conv.Zvek2Qt(line.get(), 0, 0));
    ASSERT_NE(pl, nullptr);
    EXPECT_EQ(pl->height(), 1);
    expectGreyRow(*pl, 0, {0, 51, 102, 153, 204, 255, 255, 255});
}

TEST(ViewConvert, ConstantAndNonFiniteImages) {
    ZVek2Qt conv;
    // A constant image cannot be scaled: the picture is black.
    ZvekImagePtr flat = floatImage({2, 4, 2}, {3, 3, 3, 3, 3, 3, 3, 3});
    std::unique_ptr<QImage> pf(conv.Zvek2Qt(flat.get(), 0, 0));
    ASSERT_NE(pf, nullptr);
    expectGreyRow(*pf, 0, {0, 0, 0, 0});
    expectGreyRow(*pf, 1, {0, 0, 0, 0});
    // NaN and infinities do not disturb the range of the finite values and
    // give defined bytes.
    const float inf = std::numeric_limits<float>::infinity();
    ZvekImagePtr odd = floatImage({2, 4, 1}, {0, std::nanf(""), 10, -inf});
    std::unique_ptr<QImage> po(conv.Zvek2Qt(odd.get(), 0, 0));
    ASSERT_NE(po, nullptr);
    // Range 0..10 of the finite values; NaN and -inf show as its bottom.
    expectGreyRow(*po, 0, {0, 0, 255, 0});
    ZvekImagePtr up = floatImage({2, 4, 1}, {inf, 5, 10, 0});
    std::unique_ptr<QImage> pu(conv.Zvek2Qt(up.get(), 0, 0));
    ASSERT_NE(pu, nullptr);
    expectGreyRow(*pu, 0, {255, 127, 255, 0});
}

TEST(ViewConvert, CopyFrameIntoChecksShapesAndConverts) {
    ZVek2Qt conv;
    ZvekImagePtr target = makeImage("float", {3, 2, 2, 3});
    ZvekImagePtr src = floatImage({2, 2, 2}, {1, 2, 3, 4});
    conv.copyFrameInto(src.get(), target.get(), 2);
    const float *t = static_cast<const float *>(target->vekptr);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(t[i], 0.0f);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(t[8 + i], i + 1.0f);
    // A "16bit" source is converted, not copied as raw bits.
    ZvekImagePtr s16 = makeImage("16bit", {2, 2, 2});
    const int16_t s[] = {-5, 6, 7, 8};
    std::memcpy(s16->vekptr, s, sizeof s);
    conv.copyFrameInto(s16.get(), target.get(), 0);
    EXPECT_EQ(t[0], -5.0f);
    EXPECT_EQ(t[3], 8.0f);
    // Wrong shape, frame out of range or a non-float target: nothing changes.
    ZvekImagePtr big = floatImage({2, 3, 3}, {9, 9, 9, 9, 9, 9, 9, 9, 9});
    conv.copyFrameInto(big.get(), target.get(), 1);
    conv.copyFrameInto(src.get(), target.get(), 3);
    conv.copyFrameInto(src.get(), target.get(), -1);
    for (int i = 4; i < 8; ++i) EXPECT_EQ(t[i], 0.0f);
    ZvekImagePtr u8 = makeImage("u8bit", {3, 2, 2, 3});
    conv.copyFrameInto(src.get(), u8.get(), 0);
    EXPECT_EQ(static_cast<uint8_t *>(u8->vekptr)[0], 0);
}

TEST(ViewConvert, ReleasesItsOwnImages) {
    ZvekImagePtr grey = floatImage({2, 5, 3}, std::vector<float>(15, 1.0f));
    static_cast<float *>(grey->vekptr)[4] = 7;
    ZvekImagePtr frames = floatImage({3, 6, 2, 5}, std::vector<float>(60, 2.0f));
    static_cast<float *>(frames->vekptr)[13] = -1;
    ZvekImagePtr colour = floatImage({3, 7, 2, 3}, std::vector<float>(42, 0.5f));
    ZvekImagePtr cpx = makeImage("32cmp", {2, 5, 2});
    ZvekImagePtr u8 = makeImage("u8bit", {3, 5, 2, 3});
    ZVek2Qt conv;
    HeaderCounter counter;
    for (ZVEKHDR *h : {grey.get(), frames.get(), colour.get(), cpx.get(), u8.get()}) {
        std::unique_ptr<QImage> pic(conv.Zvek2Qt(h, 0, 2));
        EXPECT_NE(pic, nullptr);
        EXPECT_EQ(counter.live(), 0u) << "image of type " << h->dtype << " left headers behind";
    }
    EXPECT_EQ(conv.Zvek2Qt(frames.get(), 0, 5), nullptr);
    EXPECT_EQ(counter.live(), 0u);
}
