// The display arithmetic of the view window and its row loops: the adjusted
// bytes on every instruction set against the display value written out step
// by step, over levels, windows, offsets and working-copy values chosen to
// land on and next to whole numbers.
#include <QImage>

#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <vector>

#include "ZvektoolChildWindow.h"
#include "view_reference.h"

namespace {

// Working-copy values: whole numbers, halves, the ends of the range, values
// one float step beside whole numbers, and random values.
std::vector<float> sampleValues() {
    std::vector<float> v;
    for (int i = 0; i <= 255; i += 5) {
        v.push_back(static_cast<float>(i));
        v.push_back(i + 0.5f);
        v.push_back(std::nextafter(static_cast<float>(i), 0.0f));
        v.push_back(std::nextafter(static_cast<float>(i), 300.0f));
    }
    std::mt19937 gen(11);
    std::uniform_real_distribution<float> dist(0.0f, 255.0f);
    for (int i = 0; i < 200; ++i) v.push_back(dist(gen));
    v.push_back(0.0f);
    v.push_back(255.0f);
    v.push_back(127.5f);
    v.push_back(100.0001f);
    return v;
}

struct Row {
    int level, window, d;
};

}  // namespace

TEST(ViewPipeline, ContrastBoundsAndDisplayValue) {
    using zvekview::contrastBounds;
    using zvekview::displayValue;
    const zvekview::Contrast a = contrastBounds(0, 128);
    EXPECT_EQ(a.lo, 0.0f);
    EXPECT_EQ(a.hi, 128.0f);
    const zvekview::Contrast z = contrastBounds(100, 0);
    EXPECT_EQ(z.lo, 100.0f);
    EXPECT_EQ(z.hi, static_cast<float>(100.0001));
    EXPECT_GT(z.hi, 100.0f);
    // Level 0, window 128: 64 shows as 127.5.
    EXPECT_EQ(displayValue(64.0, 0, a), 127.5);
    // Offset, then bound: 250 + 10 -> 255 -> 255 * 255 / 128 -> 255.
    EXPECT_EQ(displayValue(250.0, 10, a), 255.0);
    EXPECT_EQ(displayValue(20.0, -30, a), 0.0);
    // Level 0, window 255: the value itself.
    EXPECT_EQ(displayValue(17.25, 0, contrastBounds(0, 255)), 17.25);
    // Window 0: at the level 0, above it 255.
    EXPECT_EQ(displayValue(100.0, 0, z), 0.0);
    EXPECT_EQ(displayValue(100.5, 0, z), 255.0);
    // Level 50, window 100: (140 - 50) * 255 / 100 = 229.5.
    EXPECT_EQ(displayValue(100.0, 40, contrastBounds(50, 100)), 229.5);
}

TEST(ViewPipeline, AdjustedRowsMatchTheDisplayValueOnEveryInstructionSet) {
    const std::vector<float> values = sampleValues();
    const int n = static_cast<int>(values.size());
    // Three planes: the values, reversed, and shifted by one.
    std::vector<float> green(values.rbegin(), values.rend());
    std::vector<float> blue(n);
    for (int i = 0; i < n; ++i) blue[i] = values[(i + 1) % n];
    const int levels[] = {0, 1, 37, 100, 200, 254, 255};
    const int windows[] = {0, 1, 2, 3, 7, 51, 85, 100, 128, 200, 254, 255};
    const int offsets[] = {-510, -255, -37, 0, 1, 10, 255, 300};
    const int best = zvekview::limitInstructionSet(2);
    for (int set = 0; set <= best; ++set) {
        ASSERT_EQ(zvekview::limitInstructionSet(set), set);
        std::vector<QRgb> out(n + 3, 0x12345678u);
        int mismatches = 0;
        for (int level : levels)
            for (int window : windows)
                for (int d : offsets) {
                    const zvekview::Contrast c = zvekview::contrastBounds(level, window);
                    // Odd lengths exercise the tails of the wide loops.
                    zvekview::adjustedRowRGB(values.data(), green.data(), blue.data(), n, d, -d / 2, d + 3, c,
                                             out.data());
                    for (int i = 0; i < n; ++i) {
                        const QRgb want = qRgb(refDisplay(values[i], d, level, window),
                                               refDisplay(green[i], -d / 2, level, window),
                                               refDisplay(blue[i], d + 3, level, window));
                        if (out[i] != want && ++mismatches < 10)
                            ADD_FAILURE() << "set " << set << " level " << level << " window " << window
                                          << " offset " << d << " value " << values[i] << ": " << std::hex
                                          << out[i] << " != " << want;
                    }
                    EXPECT_EQ(out[n], 0x12345678u) << "wrote past the row";
                    zvekview::adjustedRowGrey(values.data(), n - 1, d, c, out.data());
                    for (int i = 0; i < n - 1; ++i) {
                        const int g = refDisplay(values[i], d, level, window);
                        if (out[i] != qRgb(g, g, g) && ++mismatches < 10)
                            ADD_FAILURE() << "grey set " << set << " level " << level << " window " << window
                                          << " offset " << d << " value " << values[i];
                    }
                }
        EXPECT_EQ(mismatches, 0) << "instruction set " << set;
    }
    zvekview::limitInstructionSet(2);
}

TEST(ViewPipeline, PlainRows) {
    const float red[] = {0.0f, 12.9f, 255.0f, 128.5f, 7.0f};
    const float green[] = {1.0f, 2.0f, 3.0f, 4.0f, 5.0f};
    const float blue[] = {254.99f, 0.5f, 100.0f, 200.0f, 6.0f};
    const float over[] = {1.0f, 3.7f, 64.0f, 255.0f, 0.0f};
    QRgb out[5];
    zvekview::plainRowRGB(red, green, blue, nullptr, 5, out);
    EXPECT_EQ(out[0], qRgb(0, 1, 254));
    EXPECT_EQ(out[1], qRgb(12, 2, 0));
    EXPECT_EQ(out[3], qRgb(128, 4, 200));
    zvekview::plainRowRGB(red, green, blue, over, 5, out);
    EXPECT_EQ(out[0], qRgb(1, 1, 254));
    EXPECT_EQ(out[1], qRgb(12 ^ 3, 2, 0));
    EXPECT_EQ(out[2], qRgb(255 ^ 64, 3, 100));
    EXPECT_EQ(out[3], qRgb(128 ^ 255, 4, 200));
    zvekview::plainRowGrey(blue, 5, out);
    EXPECT_EQ(out[0], qRgb(254, 254, 254));
    EXPECT_EQ(out[4], qRgb(6, 6, 6));
}
