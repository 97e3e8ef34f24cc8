// The point-list rasteriser.
#include "zvek.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::string writeList(const std::string &name, const std::string &text) {
    const std::string path = testing::TempDir() + "zvek_contour_" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

struct Result {
    ZVEKHDR *h = nullptr;
    std::string out, err;
    ~Result() {
        if (h) Zvekfree(h, 7);
    }
    std::vector<int> rgb(int r, int c) const {
        return {Zvekigp3d(h, 0, r, c), Zvekigp3d(h, 1, r, c), Zvekigp3d(h, 2, r, c)};
    }
    int rows() const { return Zvekdimen(h, 1); }
    int cols() const { return Zvekdimen(h, 0); }
};

void plot(Result &res, const std::string &path, int rows = 0, int cols = 0, int precise = 0, float scale = 1.0f) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    res.h = Zvekplotcontour(path.c_str(), rows, cols, precise, scale);
    res.out = testing::internal::GetCapturedStdout();
    res.err = testing::internal::GetCapturedStderr();
}

using RGB = std::vector<int>;
const RGB kRed{255, 0, 0}, kGreen{0, 255, 0}, kWhite{255, 255, 255}, kBlack{0, 0, 0};

}  // namespace

TEST(PlotContour, ThreePointsFirstRedLastGreen) {
    Result res;
    plot(res, writeList("three", "# 3\n0 0\n2 0\n2 1\n"));
    ASSERT_NE(res.h, nullptr);
    EXPECT_EQ(res.out, "plotcontour:read inputimage\n");
    EXPECT_EQ(res.err, "");
    EXPECT_STREQ(res.h->vekdt, "u8bit");
    EXPECT_EQ(res.h->vekndim, 3);
    EXPECT_EQ(Zvekdimen(res.h, 2), 3);
    ASSERT_EQ(res.rows(), 2);
    ASSERT_EQ(res.cols(), 3);
    EXPECT_EQ(res.rgb(0, 0), kRed);
    EXPECT_EQ(res.rgb(0, 1), kBlack);
    EXPECT_EQ(res.rgb(0, 2), kWhite);
    EXPECT_EQ(res.rgb(1, 0), kBlack);
    EXPECT_EQ(res.rgb(1, 1), kBlack);
    EXPECT_EQ(res.rgb(1, 2), kGreen);
}

TEST(PlotContour, SinglePointAndTheRestOfEachLine) {
    Result one;
    plot(one, writeList("one", "# 1\n4.5 7.25 trailing words\n"));
    ASSERT_NE(one.h, nullptr);
    EXPECT_EQ(one.rows(), 1);
    EXPECT_EQ(one.cols(), 1);
    EXPECT_EQ(one.rgb(0, 0), kGreen);

    // Scaled by 2: sizes and positions double (plus the half-pixel shift).
    Result sc;
    plot(sc, writeList("scaled", "# 3\n10 20 a\n11 20 b\n11 21 c\n"), 0, 0, 0, 2.0f);
    ASSERT_NE(sc.h, nullptr);
    EXPECT_EQ(sc.rows(), 4);
    EXPECT_EQ(sc.cols(), 4);
    EXPECT_EQ(sc.rgb(1, 1), kRed);    // (0 + 0.5) x 2 = 1
    EXPECT_EQ(sc.rgb(1, 3), kWhite);  // (1 + 0.5) x 2 = 3
    EXPECT_EQ(sc.rgb(3, 3), kGreen);
}

TEST(PlotContour, ForcedSizesAndPrecisePositions) {
    Result res;
    plot(res, writeList("forced", "# 3\n0 0\n50 0\n50 50\n"), 4, 5);
    ASSERT_NE(res.h, nullptr);
    EXPECT_EQ(res.rows(), 4);
    EXPECT_EQ(res.cols(), 5);
    EXPECT_EQ(res.rgb(0, 0), kRed);
    EXPECT_EQ(res.rgb(0, 4), kWhite);
    EXPECT_EQ(res.rgb(3, 4), kGreen);

    Result pr;
    plot(pr, writeList("precise", "# 2\n-5 3\n7.9 12\n"), 10, 10, 1);
    ASSERT_NE(pr.h, nullptr);
    EXPECT_EQ(pr.rgb(3, 0), kRed);
    EXPECT_EQ(pr.rgb(9, 7), kGreen);
}

TEST(PlotContour, ShortFilesDrawWhatTheyHold) {
    // The last line has no newline: that pair is not kept.
    Result res;
    plot(res, writeList("nonl", "# 2\n0 0\n3 3"));
    ASSERT_NE(res.h, nullptr);
    EXPECT_EQ(res.rows(), 1);
    EXPECT_EQ(res.cols(), 1);
    EXPECT_EQ(res.rgb(0, 0), kGreen);

    // Fewer lines than announced: the last point read is the green one.
    Result few;
    plot(few, writeList("few", "# 5\n0 0\n1 0\n2 0\n"));
    ASSERT_NE(few.h, nullptr);
    EXPECT_EQ(few.cols(), 3);
    EXPECT_EQ(few.rgb(0, 0), kRed);
    EXPECT_EQ(few.rgb(0, 1), kWhite);
    EXPECT_EQ(few.rgb(0, 2), kGreen);

    // Reading stops at the first pair that cannot be read.
    Result bad;
    plot(bad, writeList("bad", "# 4\n0 0\n1 0\nxx yy\n3 0\n"));
    ASSERT_NE(bad.h, nullptr);
    EXPECT_EQ(bad.cols(), 2);
    EXPECT_EQ(bad.rgb(0, 1), kGreen);

    // A huge count sizes nothing.
    Result huge;
    plot(huge, writeList("huge", "# 2000000000\n1 1\n2 1\n"));
    ASSERT_NE(huge.h, nullptr);
    EXPECT_EQ(huge.cols(), 2);
}

TEST(PlotContour, RefusalsGiveNullWithTheirLine) {
    Result missing;
    plot(missing, "/nonexistent/dir/points.ZVekb");
    EXPECT_EQ(missing.h, nullptr);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "plotcontour:Could not open /nonexistent/dir/points.ZVekb. Exiting\n");

    for (const char *text : {"# 0\n", "# 3\n", "", "hello\n", "# -4\n1 1\n"}) {
        Result none;
        const std::string path = writeList("none", text);
        plot(none, path);
        EXPECT_EQ(none.h, nullptr) << text;
        EXPECT_EQ(none.err, "plotcontour:no points in " + path + "\n") << text;
    }

    Result big;
    plot(big, writeList("big", "# 2\n0 0\n100000 100000\n"));
    EXPECT_EQ(big.h, nullptr);
    EXPECT_EQ(big.err, "plotcontour:cannot make an image of 100001 rows and 100001 columns\n");

    Result zero;
    plot(zero, writeList("zero", "# 2\n0 0\n5 5\n"), 0, 0, 0, 0.0f);
    EXPECT_EQ(zero.h, nullptr);
    EXPECT_EQ(zero.err, "plotcontour:cannot make an image of 0 rows and 0 columns\n");

    Result neg;
    plot(neg, writeList("neg", "# 1\n1 1\n"), -3, 4);
    EXPECT_EQ(neg.h, nullptr);
    EXPECT_EQ(neg.err, "plotcontour:cannot make an image of -3 rows and 4 columns\n");
}
