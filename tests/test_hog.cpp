// Gradient-orientation histograms: sectors of ramps, cell cuts, the small-image
// and 360-degree cases, checks, the sort and the line pictures.
#include "imageops.h"
#include "opstest.h"

#include <cmath>

using namespace opstest;

namespace {

// Count of sector k in cell (cr, cc) of a descriptor.
float cell(const Img &hog, int k, int cr, int cc) {
    const int cols = hog->vekdims[0].dimlen, rows = hog->vekdims[1].dimlen;
    return px(hog)[(k * rows + cr) * cols + cc];
}

float cellSum(const Img &hog, int cr, int cc) {
    float s = 0;
    for (int k = 0; k < 9; ++k) s += cell(hog, k, cr, cc);
    return s;
}

Img ramp(int cols, int rows, bool alongColumns, int frames = 0) {
    Img img = make("float", cols, rows, frames);
    for (int f = 0; f < std::max(frames, 1); ++f)
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) px(img)[(f * rows + r) * cols + c] = alongColumns ? c : r;
    return img;
}

}  // namespace

TEST(HoG, RampAlongColumnsFallsInSectorFour) {
    // The filter's first derivative has the opposite sign of the analytical
    // one: the ramp's direction is about 180 degrees, sector 4.
    Img img = ramp(64, 64, true);
    Img hog = make("float", 8, 8, 9);
    ASSERT_EQ(HoGdescriptor(img.get(), hog.get()), 0);
    for (int cr = 0; cr < 8; ++cr)
        for (int cc = 0; cc < 8; ++cc) {
            EXPECT_EQ(cellSum(hog, cr, cc), 64.0f) << cr << "," << cc;
            if (cr > 0 && cr < 7 && cc > 0 && cc < 7) {
                EXPECT_EQ(cell(hog, 4, cr, cc), 64.0f) << cr << "," << cc;
            }
        }
}

TEST(HoG, ColourRampAlongRowsFallsInSectorSix) {
    // Increasing down the rows: DY about -1, direction about -90 degrees,
    // that is 270 after the correction: sector 6.
    Img img = ramp(32, 40, false, 3);
    Img hog = make("float", 4, 5, 9);
    ASSERT_EQ(HoGdescriptor(img.get(), hog.get()), 0);
    for (int cr = 1; cr < 4; ++cr)
        for (int cc = 1; cc < 3; ++cc) EXPECT_EQ(cell(hog, 6, cr, cc), 64.0f) << cr << "," << cc;
}

TEST(HoG, TooFewRowsForTheKernelCountEverythingInSectorZero) {
    Img img = ramp(24, 20, true);  // cut to 16 rows, fewer than the kernel needs
    Img hog = make("float", 3, 2, 9);
    const std::string said = stdoutOf([&] { EXPECT_EQ(HoGdescriptor(img.get(), hog.get()), 0); });
    EXPECT_NE(said.find("flDoG:kernel is 9 x 9, but image is only 16 x 24."), std::string::npos) << said;
    for (int cr = 0; cr < 2; ++cr)
        for (int cc = 0; cc < 3; ++cc) EXPECT_EQ(cell(hog, 0, cr, cc), 64.0f);
}

TEST(HoG, PartialCellsAreCut) {
    Img img = ramp(70, 50, true);
    Img hog = make("float", 8, 6, 9);
    ASSERT_EQ(HoGdescriptor(img.get(), hog.get()), 0);
    for (int cr = 0; cr < 6; ++cr)
        for (int cc = 0; cc < 8; ++cc) EXPECT_EQ(cellSum(hog, cr, cc), 64.0f);
    // A descriptor sized for the uncut image is refused.
    Img wrong = make("float", 9, 7, 9);
    EXPECT_EQ(HoGdescriptor(img.get(), wrong.get()), -2);
}

TEST(HoG, DirectionOfExactly360DegreesCountsInSectorZero) {
    // Two impulses of nearly equal height, one row above and one below row
    // 12: along row 12 right of them the direction is a hair below 0
    // degrees, which becomes exactly 360 after the correction.
    Img img = make("float", 24, 24);
    px(img)[11 * 24 + 10] = 1.0f;
    px(img)[13 * 24 + 10] = std::nextafter(1.0f, 2.0f);
    Img hog = make("float", 3, 3, 9);
    ASSERT_EQ(HoGdescriptor(img.get(), hog.get()), 0);
    for (int cr = 0; cr < 3; ++cr)
        for (int cc = 0; cc < 3; ++cc) EXPECT_EQ(cellSum(hog, cr, cc), 64.0f) << cr << "," << cc;
    EXPECT_GE(cell(hog, 0, 1, 1), 4.0f);
}

TEST(HoG, NotANumberPixelsAreSkipped) {
    Img img = ramp(32, 32, true);
    px(img)[12 * 32 + 12] = std::nanf("");
    Img hog = make("float", 4, 4, 9);
    ASSERT_EQ(HoGdescriptor(img.get(), hog.get()), 0);
    EXPECT_LT(cellSum(hog, 1, 1), 64.0f);  // the 9 x 9 kernel spreads the NaN
    EXPECT_EQ(cellSum(hog, 3, 3), 64.0f);
}

TEST(HoG, ImagesItDoesNotDescribe) {
    Img two = make("float", 16, 16, 2);
    Img hog = make("float", 2, 2, 9);
    px(hog)[0] = 5;
    EXPECT_EQ(HoGdescriptor(two.get(), hog.get()), 0);
    EXPECT_EQ(px(hog)[0], 5.0f);
    // No whole cell: nothing to count, the descriptor is not looked at.
    Img thin = make("float", 7, 100);
    EXPECT_EQ(HoGdescriptor(thin.get(), nullptr), 0);
    // The descriptor must be a float image of the cell counts with 9 frames.
    Img img = ramp(16, 16, true);
    Img bytes = make("u8bit", 2, 2, 9), eight = make("float", 2, 2, 8), flat = make("float", 2, 2);
    EXPECT_EQ(HoGdescriptor(img.get(), bytes.get()), -1);
    EXPECT_EQ(HoGdescriptor(img.get(), eight.get()), -2);
    EXPECT_EQ(HoGdescriptor(img.get(), flat.get()), -2);
    EXPECT_EQ(HoGdescriptorCLR(img.get(), hog.get()), -2);
    EXPECT_EQ(HoGdescriptor(nullptr, hog.get()), -1);
}

TEST(HoG, QuicksortOrderIncludingTies) {
    // Orders worked through the partitioning by hand.
    struct Case {
        float values[9];
        int bins[9];
    } cases[] = {
        {{5, 3, 5, 1, 5, 0, 3, 5, 2}, {5, 3, 8, 6, 1, 7, 0, 2, 4}},
        {{2, 2, 2, 2, 2, 2, 2, 2, 2}, {6, 5, 8, 7, 4, 1, 0, 3, 2}},
        {{0, 0, 7, 0, 0, 0, 7, 0, 0}, {5, 4, 8, 7, 1, 0, 3, 2, 6}},
        {{9, 8, 7, 6, 5, 4, 3, 2, 1}, {8, 7, 6, 5, 4, 3, 2, 1, 0}},
    };
    for (const Case &c : cases) {
        float pairs[9][2];
        for (int k = 0; k < 9; ++k) {
            pairs[k][0] = static_cast<float>(k);
            pairs[k][1] = c.values[k];
        }
        qsort2(pairs, 0, 8);
        for (int k = 0; k < 9; ++k) {
            EXPECT_EQ(pairs[k][0], c.bins[k]) << k;
            EXPECT_EQ(pairs[k][1], c.values[c.bins[k]]) << k;
        }
    }
}

TEST(HoG, PictureOfOneSectorIsOneThickLine) {
    Img hog = make("float", 1, 1, 9);
    px(hog)[0] = 5;  // sector 0: a horizontal line
    Img pic = make("float", 9, 9);
    ASSERT_EQ(ShowHoG(hog.get(), pic.get()), 0);
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 9; ++c) EXPECT_EQ(px(pic)[r * 9 + c], (r == 4 || r == 5) ? 5.0f : 0.0f) << r << "," << c;
}

TEST(HoG, LargerCountsAreDrawnOnTop) {
    // Cell (0, 1) of a 2 x 1 descriptor: sector 0 counts 3, sector 4 (160
    // degrees) counts 7.
    Img hog = make("float", 2, 1, 9);
    px(hog)[0 * 2 + 1] = 3;
    px(hog)[4 * 2 + 1] = 7;
    Img pic = make("float", 18, 9);
    ASSERT_EQ(ShowHoG(hog.get(), pic.get()), 0);
    auto at = [&](int r, int c) { return px(pic)[r * 18 + 9 + c]; };
    EXPECT_EQ(at(4, 4), 7.0f);  // the centre shows the largest count
    EXPECT_EQ(at(4, 0), 3.0f);  // the horizontal line's left end
    EXPECT_EQ(at(5, 0), 7.0f);  // t = 4 of the 160-degree line: (5.37, 0.24)
    EXPECT_EQ(at(2, 7), 7.0f);  // t = -4: (2.63, 7.76)
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 9; ++c) EXPECT_EQ(px(pic)[r * 18 + c], 0.0f) << "empty cell drew something";
}

TEST(HoG, PictureNeedsNineFrames) {
    Img hog = make("float", 1, 1, 8);
    px(hog)[0] = 5;
    Img pic = make("float", 9, 9);
    int rc = 0;
    const std::string said = stdoutOf([&] { rc = ShowHoG(hog.get(), pic.get()); });
    EXPECT_EQ(rc, -2);
    EXPECT_EQ(said, "ShowHoG: a HoG must have 9 frames\n");
    for (int i = 0; i < 81; ++i) EXPECT_EQ(px(pic)[i], 0.0f);
    Img flat = make("float", 1, 1);
    stdoutOf([&] { EXPECT_EQ(ShowHoG(flat.get(), pic.get()), -2); });
}

TEST(HoG, DescriptorThenPicture) {
    Img img = ramp(16, 24, true);
    Img hog = make("float", 2, 3, 9);
    ASSERT_EQ(HoGdescriptor(img.get(), hog.get()), 0);
    Img pic = make("float", 18, 27);
    ASSERT_EQ(ShowHoG(hog.get(), pic.get()), 0);
    // Every cell counts its 64 pixels in sector 4 (160 degrees): each block's
    // centre shows 64.
    for (int cr = 0; cr < 3; ++cr)
        for (int cc = 0; cc < 2; ++cc) EXPECT_EQ(px(pic)[(9 * cr + 4) * 18 + 9 * cc + 4], 64.0f);
}
