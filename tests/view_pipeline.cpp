// The pixel arithmetic of viewing: the redraw rows on every instruction set
// against the display written out step by step, and the conversion of
// library images of every kind into toolkit pictures.
#include <random>
#include <set>

#include "imageconvert.h"
#include "view_fixture.h"
#include "zvekint.h"

TEST(ViewPipeline, AdjustedRowsOnEveryInstructionSet) {
    // Whole numbers, halves, their float neighbours, random values and NaN (shown as 0).
    std::vector<float> values;
    for (int i = 0; i <= 255; i += 5)
        for (float v : {float(i), i + 0.5f, std::nextafter(float(i), 0.0f), std::nextafter(float(i), 300.0f)}) values.push_back(v);
    std::mt19937 gen(11);
    for (int i = 0; i < 200; ++i) values.push_back(std::uniform_real_distribution<float>(0.0f, 255.0f)(gen));
    for (float v : {0.0f, 255.0f, 127.5f, 100.0001f, NAN}) values.push_back(v);
    const int n = static_cast<int>(values.size());
    std::vector<float> green(values.rbegin(), values.rend()), blue(n);
    for (int i = 0; i < n; ++i) blue[i] = values[(i + 1) % n];
    auto ref = [](float w, int d, int level, int window) { return std::isnan(w) ? 0 : refDisplay(w, d, level, window); };
    const int best = zvek::limitVectorLevel(2);
    for (int set = 0; set <= best; ++set) {
        ASSERT_EQ(zvek::limitVectorLevel(set), set);
        std::vector<QRgb> out(n + 3, 0x12345678u);
        int wrong = 0;
        std::string first;  // the first row with a wrong byte
        for (int level : {0, 1, 37, 100, 200, 254, 255})
            for (int window : {0, 1, 2, 3, 7, 51, 85, 100, 128, 200, 254, 255})
                for (int d : {-510, -255, -37, 0, 1, 10, 255, 300}) {
                    const zvekview::Contrast c = zvekview::contrastBounds(level, window);
                    const int before = wrong;
                    // Odd lengths exercise the tails of the wide loops; nothing is written past them.
                    zvekview::adjustedRowRGB(values.data(), green.data(), blue.data(), n, d, -d / 2, d + 3, c, out.data());
                    for (int i = 0; i < n; ++i)
                        wrong += out[i] != qRgb(ref(values[i], d, level, window), ref(green[i], -d / 2, level, window),
                                                ref(blue[i], d + 3, level, window));
                    const QRgb last = out[n - 1];
                    zvekview::adjustedRowGrey(values.data(), n - 1, d, c, out.data());
                    for (int i = 0; i < n - 1; ++i) wrong += out[i] != grey(ref(values[i], d, level, window));
                    wrong += out[n - 1] != last || out[n] != 0x12345678u;
                    if (wrong > before && first.empty())
                        first = "level " + std::to_string(level) + " window " + std::to_string(window) + " offset " + std::to_string(d);
                }
        EXPECT_EQ(wrong, 0) << "instruction set " << set << ", first at " << first;
    }
    zvek::limitVectorLevel(2);
}

namespace {

// Live image headers: the library allocates each header as one block of 512 bytes through its allocation hook.
std::set<void *> liveHeaders;
void *(*realAlloc)(size_t, size_t) = nullptr;
void (*realFree)(void *) = nullptr;
void *countingAlloc(size_t n, size_t size) {
    void *p = realAlloc(n, size);
    if (p != nullptr && n * size == 512) liveHeaders.insert(p);
    return p;
}
void countingFree(void *p) { liveHeaders.erase(p), realFree(p); }

// An image of the type holding the values (complex: real and imaginary parts in turn).
ZvekImagePtr image(const char *type, std::vector<int32_t> dims, const std::vector<float> &v) {
    ZvekImagePtr h(Zvekcreate(type, dims.data(), 11, 0)), f(Zvekcreate("float", dims.data(), 11, 0));
    std::copy(v.begin(), v.end(), static_cast<float *>(h->dtype == DT_32CMP ? h->vekptr : f->vekptr));
    if (h->dtype != DT_32CMP && h->dtype != DT_64CMP) Zvekany2any(f.get(), h.get());
    return h;
}


}  // namespace

TEST(ViewConvert, CopyFrameIntoChecksShapesAndConverts) {
    // Source and frame; the target's 12 values after (2 x 2 x 3 zeros before). The target's header names 2 of
    // the 3 frames its block holds: nothing may reach the third.
    struct Row { const char *name; ZvekImagePtr source; int frame; std::vector<float> after; };
    const std::vector<float> none(12, 0.0f);
    const Row rows[] = {
        {"frame 1", image("float", {2, 2, 2}, {1, 2, 3, 4}), 1, {0, 0, 0, 0, 1, 2, 3, 4, 0, 0, 0, 0}},
        {"16bit, converted", image("16bit", {2, 2, 2}, {-5, 6, 7, 8}), 0, {-5, 6, 7, 8, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"other shape", image("float", {2, 3, 3}, std::vector<float>(9, 9)), 1, none},
        {"past the frames", image("float", {2, 2, 2}, {1, 2, 3, 4}), 2, none},
        {"before the frames", image("float", {2, 2, 2}, {1, 2, 3, 4}), -1, none}};
    ZVek2Qt conv;
    for (const Row &r : rows) {
        ZvekImagePtr target = image("float", {3, 2, 2, 3}, none);
        target->vekdims[2].dimlen = 2;
        conv.copyFrameInto(r.source.get(), target.get(), r.frame);
        const float *t = static_cast<const float *>(target->vekptr);
        EXPECT_EQ(std::vector<float>(t, t + 12), r.after) << r.name;
    }
    ZvekImagePtr bytes = image("u8bit", {3, 2, 2, 3}, none);  // not a float target: nothing changes
    conv.copyFrameInto(rows[0].source.get(), bytes.get(), 0);
    EXPECT_EQ(static_cast<uint8_t *>(bytes->vekptr)[0], 0);
}

TEST(ViewConvert, PicturesOfEveryKindOfImage) {
    std::vector<float> nine;  // 4 x 1, frame f holding 10 f + c (frame 4: 40 + 3 c)
    for (int f = 0; f < 9; ++f)
        for (int c = 0; c < 4; ++c) nine.push_back(f * 10.0f + c * (f == 4 ? 3 : 1));
    struct Row { const char *name; ZvekImagePtr image; int part, frame, width; std::vector<QRgb> pixels; };  // width 0: refused
    const std::vector<float> cpx = {3, 4, 0, 2, -1, 0, 1, 1};
    Row rows[] = {
        // 0..9 over 255 / 9; the width padded to 8 with the last column.
        {"grey padded", image("float", {2, 5, 2}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}), 0, 0, 8,
         greys({0, 28, 56, 85, 113, 113, 113, 113, 141, 170, 198, 226, 255, 255, 255, 255})},
        // One range over all three frames: 0..40.
        {"colour", image("float", {3, 2, 1, 3}, {10, 20, 0, 0, 40, 25}), 0, 7, 4,
         {qRgb(63, 0, 255), qRgb(127, 0, 159), qRgb(127, 0, 159), qRgb(127, 0, 159)}},
        {"frame 0 of 9", image("float", {3, 4, 1, 9}, nine), 0, 0, 4, greys({0, 85, 170, 255})},
        {"frame 4 of 9", image("float", {3, 4, 1, 9}, nine), 3, 4, 4, greys({0, 85, 170, 255})},
        {"frame 8 of 9", image("float", {3, 4, 1, 9}, nine), 1, 8, 4, greys({0, 85, 170, 255})},
        {"frame 9 of 9", image("float", {3, 4, 1, 9}, nine), 0, 9, 0, {}}, {"frame -1", image("float", {3, 4, 1, 9}, nine), 0, -1, 0, {}},
        {"frame 1 of 2", image("float", {3, 4, 1, 2}, {0, 1, 2, 3, 3, 2, 1, 0}), 0, 1, 4, greys({255, 170, 85, 0})},
        // (3,4) (0,2) (-1,0) (1,1): real -1..3, imaginary 0..4, magnitude 5, 2, 1, 1.41 over 1..5; phase 0, pi/2, pi, -pi/2.
        {"real part", image("32cmp", {2, 4, 1}, cpx), 2, 0, 4, greys({255, 63, 0, 127})},
        {"imaginary part", image("32cmp", {2, 4, 1}, cpx), 3, 0, 4, greys({255, 127, 0, 63})},
        {"magnitude", image("32cmp", {2, 4, 1}, cpx), 0, 0, 4, greys({255, 63, 0, 26})},
        {"phase", image("32cmp", {2, 4, 1}, {1, 0, 0, 1, -1, 0, 0, -1}), 1, 0, 4, greys({85, 170, 255, 0})},
        {"64cmp", image("64cmp", {2, 4, 1}, {}), 0, 0, 0, {}}, {"3-D complex", image("32cmp", {3, 4, 1, 3}, {}), 0, 0, 0, {}},
        {"struct", ZvekImagePtr(Zvekcreate("struct", std::vector<int32_t>{2, 4, 1}.data(), 11, 4)), 0, 0, 0, {}}, {"null", nullptr, 0, 0, 0, {}},
        // Other types are converted, not read as raw floats.
        {"u8bit", image("u8bit", {2, 4, 1}, {0, 100, 200, 50}), 0, 0, 4, greys({0, 127, 255, 63})},
        {"16bit colour", image("16bit", {3, 1, 1, 3}, {-100, 0, 100}), 0, 0, 4, std::vector<QRgb>(4, qRgb(0, 127, 255))},
        {"32bit frame 1", image("32bit", {3, 2, 1, 2}, {7, 7, 1000, -1000}), 0, 1, 4, greys({255, 0, 0, 0})},
        {"1-D", image("float", {1, 6}, {0, 1, 2, 3, 4, 5}), 0, 0, 8, greys({0, 51, 102, 153, 204, 255, 255, 255})},
        // A constant image cannot be scaled; non-finite values stand at the ends of the finite range.
        {"constant", image("float", {2, 4, 2}, {3, 3, 3, 3, 3, 3, 3, 3}), 0, 0, 4, greys({0, 0, 0, 0, 0, 0, 0, 0})},
        {"non-finite", image("float", {2, 5, 1}, {INFINITY, NAN, 10, -INFINITY, 0}), 0, 0, 8, greys({255, 0, 255, 0, 0, 0, 0, 0})},
    };
    ZVek2Qt conv;
    realAlloc = Zvek_alcptr, realFree = Zvek_freeptr;
    Zvek_alcptr = countingAlloc, Zvek_freeptr = countingFree;
    for (Row &r : rows) {
        liveHeaders.clear();
        std::unique_ptr<QImage> pic(conv.Zvek2Qt(r.image.get(), r.part, r.frame));
        EXPECT_TRUE(liveHeaders.empty()) << r.name << ": headers left behind";
        EXPECT_EQ(pic == nullptr, r.width == 0) << r.name;
        if (pic == nullptr || r.width == 0) continue;
        EXPECT_EQ(pic->format(), QImage::Format_RGB32) << r.name;
        ASSERT_TRUE(pic->width() == r.width && pic->width() * pic->height() == int(r.pixels.size())) << r.name;
        for (size_t i = 0; i < r.pixels.size(); ++i) EXPECT_EQ(pic->pixel(i % r.width, i / r.width), r.pixels[i]) << r.name << " " << i;
    }
    Zvek_alcptr = realAlloc, Zvek_freeptr = realFree;
    EXPECT_EQ(static_cast<float *>(rows[0].image->vekptr)[9], 9.0f) << "the image is not changed";
}
