// Zoom by replication, averaging and bilinear interpolation.
#include "zvek.h"
#include "test_image_util.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using imgtest::Img;

int zoom(ZVEKHDR *in, ZVEKHDR *out, int mode, std::string *printed = nullptr) {
    testing::internal::CaptureStdout();
    int r = Zvekzoomupdown(in, out, mode);
    std::string s = testing::internal::GetCapturedStdout();
    if (printed) *printed = s;
    return r;
}

// Reference bilinear value from the formulas, reading with the accessors.
double refBilinear(ZVEKHDR *in, int frame, float row, float col, int rows, int cols) {
    int c0 = int(col), r0 = int(row);
    float fc = col - float(c0), fr = row - float(r0);
    int c1 = std::min(c0 + 1, cols - 1), r1 = std::min(r0 + 1, rows - 1);
    auto p = [&](int r, int c) { return Zvekfgp3d(in, frame, r, c); };
    double top = p(r0, c0) * double(1.0f - fc) + p(r0, c1) * double(fc);
    double bot = p(r1, c0) * double(1.0f - fc) + p(r1, c1) * double(fc);
    return float(top * double(1.0f - fr) + bot * double(fr));
}

}  // namespace

TEST(Zoom, ReplicationEnlarges) {
    Img in("float", {2, 2, 2}), out("float", {2, 4, 4});
    const float v[4] = {1, 2, 3, 4};
    std::memcpy(in.data<float>(), v, sizeof v);
    std::string printed;
    EXPECT_EQ(zoom(in.h, out.h, 1, &printed), 0);
    EXPECT_EQ(printed, "Image will be zoomed by pixel replication\nzoomupdown: processing a 2D image\n");
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(out.data<float>()[r * 4 + c], v[(r / 2) * 2 + c / 2]) << r << " " << c;
}

TEST(Zoom, AveragingShrinks) {
    Img in("16bit", {2, 4, 4}), out("float", {2, 2, 2});
    for (int i = 0; i < 16; ++i) in.data<int16_t>()[i] = int16_t(i * i);
    std::string printed;
    EXPECT_EQ(zoom(in.h, out.h, 2, &printed), 0);
    EXPECT_EQ(printed, "Image will be zoomed by averaging\nzoomupdown: processing a 2D image\n");
    auto px = [](int r, int c) { return double((r * 4 + c) * (r * 4 + c)); };
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) {
            double sum = px(2 * r, 2 * c) + px(2 * r, 2 * c + 1) + px(2 * r + 1, 2 * c) + px(2 * r + 1, 2 * c + 1);
            EXPECT_EQ(out.data<float>()[r * 2 + c], float(sum) / 4.0f) << r << " " << c;
        }
    // The block at the border: a 3 x 3 input into 2 x 2 keeps the pair of
    // rows and columns inside (1 and 2 for the second).
    Img in3("float", {2, 3, 3}), out2("float", {2, 2, 2});
    for (int i = 0; i < 9; ++i) in3.data<float>()[i] = float(i);
    EXPECT_EQ(zoom(in3.h, out2.h, 2), 0);
    // Position 1.5 truncates to 1: rows 1, 2 and columns 1, 2.
    EXPECT_EQ(out2.data<float>()[3], (4 + 5 + 7 + 8) / 4.0f);
    EXPECT_EQ(out2.data<float>()[0], (0 + 1 + 3 + 4) / 4.0f);
}

TEST(Zoom, AveragingASingleRowOrColumnStaysInside) {
    Img row("float", {2, 4, 1}), out("float", {2, 2, 1});
    const float v[4] = {2, 4, 8, 16};
    std::memcpy(row.data<float>(), v, sizeof v);
    EXPECT_EQ(zoom(row.h, out.h, 2), 0);
    EXPECT_EQ(out.data<float>()[0], (2 + 4 + 2 + 4) / 4.0f);
    EXPECT_EQ(out.data<float>()[1], (8 + 16 + 8 + 16) / 4.0f);
    Img col("float", {2, 1, 4}), outc("float", {2, 1, 2});
    std::memcpy(col.data<float>(), v, sizeof v);
    EXPECT_EQ(zoom(col.h, outc.h, 2), 0);
    EXPECT_EQ(outc.data<float>()[0], 3.0f);
    EXPECT_EQ(outc.data<float>()[1], 12.0f);
    Img one("float", {2, 1, 1}), outo("float", {2, 3, 2});
    one.data<float>()[0] = 5;
    EXPECT_EQ(zoom(one.h, outo.h, 2), 0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(outo.data<float>()[i], 5.0f);
}

TEST(Zoom, BilinearMatchesReferenceAndPrintsOrigin) {
    const int ir = 5, ic = 7, orows = 11, ocols = 9;
    Img in("float", {2, ic, ir}), out("float", {2, ocols, orows});
    for (int i = 0; i < ir * ic; ++i) in.data<float>()[i] = std::sin(float(i)) * 10 + float(i % 3);
    std::string printed;
    EXPECT_EQ(zoom(in.h, out.h, 0, &printed), 0);
    EXPECT_EQ(printed,
              "Image will be zoomed by bilinear interpolation\nzoomupdown: processing a 2D image\nf=0,r=0,c=0\n");
    const float rr = float(ir) / float(orows), cr = float(ic) / float(ocols);
    testing::internal::CaptureStdout();
    for (int r = 0; r < orows; ++r)
        for (int c = 0; c < ocols; ++c) {
            float sr = std::min(r * rr, float(ir - 1)), sc = std::min(c * cr, float(ic - 1));
            const double want = refBilinear(in.h, 0, sr, sc, ir, ic);
            ASSERT_EQ(out.data<float>()[r * ocols + c], want) << r << " " << c;
            ASSERT_EQ(bilininterp1(in.h, 0, sr, sc), float(want)) << r << " " << c;
        }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "f=0,r=0,c=0\n");
}

TEST(Zoom, ThreeDimensionalShiftsByHalfAPixel) {
    const int ir = 4, ic = 6, nf = 3, orows = 7, ocols = 5;
    Img in("u8bit", {3, ic, ir, nf}), out("float", {3, ocols, orows, nf}), rep("16bit", {3, ocols, orows, nf});
    for (int i = 0; i < ir * ic * nf; ++i) in.data<uint8_t>()[i] = uint8_t(i * 37);
    std::string printed;
    EXPECT_EQ(zoom(in.h, out.h, 0, &printed), 0);
    EXPECT_EQ(printed, "Image will be zoomed by bilinear interpolation\nzoomupdown: processing a 3D, 3 7 5image\n");
    // Averaging of a 3-D image interpolates as well.
    Img avg("float", {3, ocols, orows, nf});
    EXPECT_EQ(zoom(in.h, avg.h, 2), 0);
    EXPECT_EQ(std::memcmp(avg.data<float>(), out.data<float>(), sizeof(float) * ocols * orows * nf), 0);
    EXPECT_EQ(zoom(in.h, rep.h, 1), 0);
    const float rr = float(ir) / float(orows), cr = float(ic) / float(ocols);
    for (int f = 0; f < nf; ++f)
        for (int r = 0; r < orows; ++r)
            for (int c = 0; c < ocols; ++c) {
                float sr = std::min(r * rr + 0.5f, float(ir - 1)), sc = std::min(c * cr + 0.5f, float(ic - 1));
                const int i = (f * orows + r) * ocols + c;
                ASSERT_EQ(out.data<float>()[i], refBilinear(in.h, f, sr, sc, ir, ic)) << f << r << c;
                ASSERT_EQ(rep.data<int16_t>()[i], in.data<uint8_t>()[(f * ir + int(sr)) * ic + int(sc)]) << f << r << c;
            }
}

TEST(Zoom, StoresFollowTheOutputType) {
    // Float 300.7 into bytes keeps the low 8 bits of 300: 44; -1 gives 255.
    Img in("float", {2, 2, 1}), out("u8bit", {2, 2, 1});
    in.data<float>()[0] = 300.7f;
    in.data<float>()[1] = -1.0f;
    EXPECT_EQ(zoom(in.h, out.h, 1), 0);
    EXPECT_EQ(out.data<uint8_t>()[0], 44);
    EXPECT_EQ(out.data<uint8_t>()[1], 255);
    // Complex: the real parts are read and written, imaginary parts kept.
    Img cin("complex", {2, 2, 1}), cout("complex", {2, 4, 1});
    const float cv[4] = {1, 100, 3, 200};
    std::memcpy(cin.data<float>(), cv, sizeof cv);
    for (int i = 0; i < 4; ++i) cout.data<float>()[2 * i + 1] = -7.0f;
    EXPECT_EQ(zoom(cin.h, cout.h, 1), 0);
    const float want[8] = {1, -7, 1, -7, 3, -7, 3, -7};
    EXPECT_EQ(std::memcmp(cout.data<float>(), want, sizeof want), 0);
    // A double image keeps its values under replication.
    Img din("double", {2, 2, 2}), dout("double", {2, 2, 2});
    din.data<double>()[3] = 1.0 + 1e-12;
    EXPECT_EQ(zoom(din.h, dout.h, 1), 0);
    EXPECT_EQ(dout.data<double>()[3], 1.0 + 1e-12);
    // An unknown mode stores 0 in 2-D and prints no mode line.
    Img z("float", {2, 2, 2});
    z.data<float>()[0] = 9;
    std::string printed;
    EXPECT_EQ(zoom(din.h, z.h, 5, &printed), 0);
    EXPECT_EQ(printed, "zoomupdown: processing a 2D image\n");
    EXPECT_EQ(z.data<float>()[0], 0.0f);
}

TEST(Zoom, InterleavedTypesGoThroughTheAccessors) {
    Img in("Su8bit3", {3, 2, 2, 3}), out("float", {3, 4, 4, 3});
    auto *b = in.data<uint8_t>();
    for (int i = 0; i < 12; ++i) b[i] = uint8_t(10 * i);  // (r, c, channel) interleaved
    EXPECT_EQ(zoom(in.h, out.h, 1), 0);
    for (int f = 0; f < 3; ++f)
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) {
                const int sr = std::min(int(r * 0.5f + 0.5f), 1), sc = std::min(int(c * 0.5f + 0.5f), 1);
                ASSERT_EQ(out.data<float>()[(f * 4 + r) * 4 + c], float(b[(sr * 2 + sc) * 3 + f])) << f << r << c;
            }
    // An interleaved output is written through the put accessors.
    Img inter("Su8bit3", {3, 3, 3, 3});
    EXPECT_EQ(zoom(in.h, inter.h, 0), 0);
    const float ratio = 2.0f / 3.0f;
    for (int f = 0; f < 3; ++f)
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                const float sr = std::min(r * ratio + 0.5f, 1.0f), sc = std::min(c * ratio + 0.5f, 1.0f);
                const int want = int(refBilinear(in.h, f, sr, sc, 2, 2));
                ASSERT_EQ(inter.data<uint8_t>()[(r * 3 + c) * 3 + f], want) << f << r << c;
            }
}

TEST(Zoom, RefusalsReturnFailureWithTheirLines) {
    Img in3("float", {3, 4, 4, 3}), out2f("float", {3, 2, 2, 2}), out2d("float", {2, 2, 2});
    std::string printed;
    EXPECT_EQ(zoom(in3.h, out2f.h, 1, &printed), -1);
    EXPECT_EQ(printed,
              "Image will be zoomed by pixel replication\n"
              "Zvekzoomupdown: both input and output images must have same number of frames\n"
              "input image is 4 4 3, output is 2 2 2\n");
    EXPECT_EQ(zoom(in3.h, out2d.h, 0, &printed), -1);
    EXPECT_EQ(printed,
              "Image will be zoomed by bilinear interpolation\n"
              "Zvekzoomupdown: both input and output images must have same number of frames\n"
              "input image is 4 4 3, output is 2 2 1\n");
    const int32_t dims[] = {2, 4, 4};
    ZVEKHDR *bare = Zvekcreate("float", dims, 0, 0);  // a header without data
    EXPECT_EQ(zoom(in3.h, bare, 1, &printed), -1);
    EXPECT_EQ(printed, "Image will be zoomed by pixel replication\nZvekzoomupdown: image has no pixels\n");
    Zvekfree(bare, 7);
    Img line("float", {1, 8}), out1("float", {1, 4});
    EXPECT_EQ(zoom(line.h, out1.h, 2, &printed), -1);
    EXPECT_EQ(printed, "Image will be zoomed by averaging\nzoomupdown: bug in case statement!\n");
    for (int i = 0; i < 4; ++i) EXPECT_EQ(out1.data<float>()[i], 0.0f);
}

TEST(Zoom, EverySizeAgainstPerPixelReference) {
    // Same size, halving, odd ratios and enlarging: runs of evenly spaced
    // columns and the columns clamped at the border both checked.
    const int sizes[][4] = {{37, 29, 37, 29}, {36, 30, 18, 15}, {37, 31, 18, 15}, {5, 4, 13, 9}, {40, 3, 17, 2}};
    for (auto &sz : sizes) {
        const int ic = sz[0], ir = sz[1], oc = sz[2], orow = sz[3];
        Img in("32bit", {2, ic, ir});
        for (int i = 0; i < ic * ir; ++i) in.data<int32_t>()[i] = (i * 7919) % 1000 - 500;
        const float rr = float(ir) / float(orow), cr = float(ic) / float(oc);
        for (int mode = 0; mode < 3; ++mode) {
            Img out("double", {2, oc, orow});
            ASSERT_EQ(zoom(in.h, out.h, mode), 0);
            for (int r = 0; r < orow; ++r)
                for (int c = 0; c < oc; ++c) {
                    float sr = std::min(r * rr, float(ir - 1)), sc = std::min(c * cr, float(ic - 1));
                    double want;
                    if (mode == 0) {
                        want = refBilinear(in.h, 0, sr, sc, ir, ic);
                    } else if (mode == 1) {
                        want = Zvekfgp(in.h, int(sr), int(sc));
                    } else {
                        int r0 = std::max(std::min(int(sr), ir - 2), 0), c0 = std::max(std::min(int(sc), ic - 2), 0);
                        int r1 = std::min(r0 + 1, ir - 1), c1 = std::min(c0 + 1, ic - 1);
                        double sum = Zvekfgp(in.h, r0, c0) + Zvekfgp(in.h, r0, c1) + Zvekfgp(in.h, r1, c0) +
                                     Zvekfgp(in.h, r1, c1);
                        want = float(sum) / 4.0f;
                    }
                    ASSERT_EQ(out.data<double>()[r * oc + c], want) << ic << "x" << ir << " mode " << mode << " at " << r
                                                                    << "," << c;
                }
        }
    }
}

TEST(Zoom, OriginLinesNameFrameZeroOnly) {
    // A single-pixel 3-D input: every position is kept at row 0, column 0,
    // so each bilinear read prints its line; frames after the first print
    // the word "frame", not their number.
    Img in("float", {3, 1, 1, 3}), out("float", {3, 2, 1, 3});
    for (int f = 0; f < 3; ++f) in.data<float>()[f] = float(10 * (f + 1));
    std::string printed;
    EXPECT_EQ(zoom(in.h, out.h, 0, &printed), 0);
    EXPECT_EQ(printed,
              "Image will be zoomed by bilinear interpolation\n"
              "zoomupdown: processing a 3D, 3 1 2image\n"
              "f=0,r=0,c=0\nf=0,r=0,c=0\n"
              "f=frame,r=0,c=0\nf=frame,r=0,c=0\n"
              "f=frame,r=0,c=0\nf=frame,r=0,c=0\n");
    const float want[6] = {10, 10, 20, 20, 30, 30};
    EXPECT_EQ(std::memcmp(out.data<float>(), want, sizeof want), 0);

    Img in3("float", {3, 3, 3, 4});
    for (int i = 0; i < 36; ++i) in3.data<float>()[i] = float(i);
    testing::internal::CaptureStdout();
    EXPECT_EQ(bilininterp1(in3.h, 0, 0.0f, 0.0f), 0.0f);
    EXPECT_EQ(bilininterp1(in3.h, 2, 0.0f, 0.0f), 18.0f);
    EXPECT_EQ(bilininterp1(in3.h, 3, 0.5f, 0.0f), (27.0f + 30.0f) / 2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "f=0,r=0,c=0\nf=frame,r=0,c=0\n");
}
