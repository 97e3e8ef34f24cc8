// Connected-component labelling: hand-worked images, a reference run of the
// flat equivalence table, areas file, erasing, limits and refusals.
#include "imageops.h"
#include "opstest.h"

#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

using namespace opstest;

namespace {

// Defaults of the application's dialog.
constexpr float kThresh = 2.0f, kMin = 10.0f, kMax = 255.0f;

std::string readFile(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// The labelling written the plain way: a flat table rewritten from 0 to the
// label count on every merge, as the labelling is defined. Returns labels,
// count and areas (at the final roots).
struct Reference {
    std::vector<int> labels;
    int count = 0;
    std::vector<int> area;
};

Reference referenceLabels(const std::vector<float> &w, int nc, int nr, float thresh, float minv, float maxv) {
    Reference ref;
    std::vector<int> &L = ref.labels;
    L.assign(w.size(), -1);
    L[0] = 0;
    std::vector<int> cam(500000);
    for (int i = 0; i < 500000; ++i) cam[i] = i;
    int n = 0;
    auto W = [&](int r, int c) { return w[r * nc + c]; };
    auto sim = [&](int r, int c, int r2, int c2) {
        if (r2 == 0 || c2 == 0) return 0;
        if (W(r, c) < minv || W(r2, c2) < minv) return 0;
        if (std::fabs(W(r, c) - W(r2, c2)) > thresh) return 0;
        return L[r2 * nc + c2] != -1 ? 1 : 0;
    };
    auto merge = [&](std::vector<int> roots) {
        int m = roots[0];
        for (int x : roots) m = std::min(m, x);
        for (int i = 0; i <= n; ++i)
            for (int x : roots)
                if (x != m && cam[i] == x) cam[i] = m;
    };
    for (int r = 1; r < nr; ++r)
        for (int c = 1; c < nc; ++c) {
            int &l = L[r * nc + c];
            if (W(r, c) < minv || W(r, c) > maxv) {
                l = 0;
                continue;
            }
            const int up = L[(r - 1) * nc + c], left = L[r * nc + c - 1], diag = L[(r - 1) * nc + c - 1];
            const int code = sim(r, c, r - 1, c) + 2 * sim(r, c, r, c - 1) + 4 * sim(r, c, r - 1, c - 1);
            switch (code) {
            case 0: l = ++n; break;
            case 1: l = cam[up]; break;
            case 2: l = cam[left]; break;
            case 3: merge({cam[left], cam[up]}); l = cam[left]; break;
            case 4: l = cam[diag]; break;
            case 5: merge({cam[diag], cam[up]}); l = cam[diag]; break;
            case 6: merge({cam[diag], cam[left]}); l = cam[diag]; break;
            default: merge({cam[up], cam[left], cam[diag]}); l = cam[up]; break;
            }
        }
    ref.count = n;
    ref.area.assign(n + 1, 0);
    for (int r = 1; r < nr; ++r)
        for (int c = 1; c < nc; ++c)
            if (L[r * nc + c] > 0) ++ref.area[cam[L[r * nc + c]]];
    return ref;
}

std::vector<float> labelsOf(const Img &out, int n) { return values(out, n); }

}  // namespace

TEST(Labelling, EqualSquareGetsOneLabel) {
    Img in = floats(3, 3, std::vector<float>(9, 100.0f));
    Img out = make("float", 3, 3);
    int count = -5;
    int rc = -9;
    const std::string said = stdoutOf(
        [&] { rc = cclC4_2(in.get(), 1, 0, &count, "", out.get(), kThresh, kMin, kMax); });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(said, "calling erasesmalregions 1\nreturn from  erasesmalregions\n");
    EXPECT_EQ(labelsOf(out, 9), (std::vector<float>{0, -1, -1, -1, 1, 1, -1, 1, 1}));
}

TEST(Labelling, UpRightNeighbourIsNotJoined) {
    // (1, 2) and (2, 1) touch only through (2, 1)'s up-right neighbour.
    Img in = floats(4, 3, {0, 0, 0, 0, 0, 0, 100, 0, 0, 100, 0, 0});
    Img out = make("float", 4, 3);
    int count = 0;
    ASSERT_EQ(cclC4_2(in.get(), 0, 0, &count, "", out.get(), kThresh, kMin, kMax), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(labelsOf(out, 12), (std::vector<float>{0, -1, -1, -1, -1, 0, 1, 0, -1, 2, 0, 0}));
}

TEST(Labelling, ValuesAboveTheBandJoinTheBackground) {
    // (1, 1) = 256 is background; (1, 2) = 255 lies within 2 of it and joins
    // the background; (1, 3) = 250 is too far from (1, 2) and starts label 1.
    Img in = floats(4, 2, {0, 0, 0, 0, 0, 256, 255, 250});
    Img out = make("float", 4, 2);
    int count = 0;
    ASSERT_EQ(cclC4_2(in.get(), 0, 0, &count, "", out.get(), kThresh, kMin, kMax), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(labelsOf(out, 8), (std::vector<float>{0, -1, -1, -1, -1, 0, 0, 1}));
}

TEST(Labelling, UShapeMergesAndWritesEveryAreaLine) {
    // Arms in columns 1 and 3 (rows 1..3), joined by row 3.
    std::vector<float> v(25, 0.0f);
    for (int r = 1; r <= 3; ++r) v[r * 5 + 1] = v[r * 5 + 3] = 100;
    v[3 * 5 + 2] = 100;
    Img in = floats(5, 5, v);
    Img out = make("float", 5, 5);
    const std::string path = testing::TempDir() + "ccl_ushape_areas.txt";
    std::remove(path.c_str());
    int count = 0;
    stdoutOf([&] { EXPECT_EQ(cclC4_2(in.get(), 1, 0, &count, path.c_str(), out.get(), kThresh, kMin, kMax), 0); });
    EXPECT_EQ(count, 2);
    const std::vector<float> want = {0,  -1, -1, -1, -1,  //
                                     -1, 1,  0,  2,  0,   //
                                     -1, 1,  0,  2,  0,   //
                                     -1, 1,  1,  1,  0,   //
                                     -1, 0,  0,  0,  0};
    EXPECT_EQ(labelsOf(out, 25), want);  // the right arm keeps label 2
    // Indices 0 to the count, the last class included.
    EXPECT_EQ(readFile(path), "0 0\n1 7\n2 0\n");
    std::remove(path.c_str());
}

TEST(Labelling, EraseSmallAndLargeRegions) {
    // 20 x 16: a 2 x 2 block (4 px), a 2 x 3 block (6 px) and a 12 x 10 block (120 px).
    const int nc = 20, nr = 16;
    std::vector<float> v(nc * nr, 0.0f);
    auto block = [&](int r0, int c0, int h, int w, float val) {
        for (int r = r0; r < r0 + h; ++r)
            for (int c = c0; c < c0 + w; ++c) v[r * nc + c] = val;
    };
    block(1, 1, 2, 2, 50);
    block(1, 5, 2, 3, 80);
    block(4, 1, 10, 12, 120);
    Img in = floats(nc, nr, v);
    Img out = make("float", nc, nr);
    int count = 0;
    stdoutOf([&] { EXPECT_EQ(cclC4_2(in.get(), 5, 0, &count, "", out.get(), kThresh, kMin, kMax), 0); });
    EXPECT_EQ(count, 3);
    EXPECT_EQ(px(out)[1 * nc + 1], 0.0f);  // 4 px: erased
    EXPECT_EQ(px(out)[1 * nc + 5], 2.0f);  // 6 px: kept
    EXPECT_EQ(px(out)[4 * nc + 1], 3.0f);  // 120 px: kept

    int count2 = 0;
    ASSERT_EQ(cclC4_2(in.get(), 0, 100, &count2, "", out.get(), kThresh, kMin, kMax), 0);
    EXPECT_EQ(px(out)[1 * nc + 1], 1.0f);
    EXPECT_EQ(px(out)[1 * nc + 5], 2.0f);
    for (int r = 4; r < 14; ++r)
        for (int c = 1; c < 13; ++c) ASSERT_EQ(px(out)[r * nc + c], 0.0f) << r << "," << c;
}

TEST(Labelling, AgreesWithTheFlatTableOnNoisyImages) {
    std::mt19937 gen(7);
    for (int trial = 0; trial < 6; ++trial) {
        const int nc = 97 + trial * 13, nr = 61 + trial * 7;
        std::uniform_real_distribution<float> dist(0.0f, 40.0f);
        std::vector<float> v(nc * nr);
        for (auto &x : v) x = std::floor(dist(gen));
        const float thresh = trial % 2 ? 6.0f : 12.0f;
        Img in = floats(nc, nr, v);
        Img out = make("float", nc, nr);
        const std::string path = testing::TempDir() + "ccl_noisy_areas.txt";
        int count = 0;
        stdoutOf(
            [&] { ASSERT_EQ(cclC4_2(in.get(), 1, 0, &count, path.c_str(), out.get(), thresh, 5.0f, 35.0f), 0); });
        const Reference ref = referenceLabels(v, nc, nr, thresh, 5.0f, 35.0f);
        ASSERT_EQ(count, ref.count);
        ASSERT_GT(count, 20);
        for (size_t i = 0; i < v.size(); ++i) ASSERT_EQ(px(out)[i], static_cast<float>(ref.labels[i])) << i;
        std::string want;
        for (int i = 0; i <= ref.count; ++i) want += std::to_string(i) + " " + std::to_string(ref.area[i]) + "\n";
        EXPECT_EQ(readFile(path), want);
        std::remove(path.c_str());
    }
}

TEST(Labelling, ColourMagnitudeAndByteInput) {
    // Frames R, G, B; (30, 40, 0) has magnitude 50 / 3 >= 10, (12, 16, 0) 20 / 3 < 10.
    Img in = floats(3, 2, {0, 0, 0, 0, 30, 12,  //
                           0, 0, 0, 0, 40, 16,  //
                           0, 0, 0, 0, 0, 0},
                    3);
    Img out = make("float", 3, 2, 3);
    int count = 0;
    ASSERT_EQ(cclC4_2(in.get(), 0, 0, &count, "", out.get(), 100.0f, kMin, kMax), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(values(out, 6), (std::vector<float>{0, -1, -1, -1, 1, 0}));

    Img bytes = make("u8bit", 3, 3);
    for (int i = 0; i < 9; ++i) static_cast<unsigned char *>(bytes->vekptr)[i] = 200;
    Img out2 = make("u8bit", 3, 3);
    ASSERT_EQ(cclC4_2(bytes.get(), 0, 0, &count, "", out2.get(), kThresh, kMin, kMax), 0);
    const auto *b = static_cast<unsigned char *>(out2->vekptr);
    EXPECT_EQ(b[0], 0);
    EXPECT_EQ(b[1], 255);  // -1 stored by the pixel rule: low 8 bits
    EXPECT_EQ(b[4], 1);
}

TEST(Labelling, LabelLimitStopsWithoutTouchingTheResults) {
    // Isolated pixels at odd rows and columns: one label each.
    auto grid = [](int nc, int nr) {
        std::vector<float> v(static_cast<size_t>(nc) * nr, 0.0f);
        for (int r = 1; r < nr; r += 2)
            for (int c = 1; c < nc; c += 2) v[static_cast<size_t>(r) * nc + c] = 100;
        return v;
    };
    // 31 x 16129 = 499,999 labels: just within the limit.
    {
        Img in = floats(32258, 62, grid(32258, 62));
        Img out = make("float", 32258, 62);
        int count = 0;
        ASSERT_EQ(cclC4_2(in.get(), 0, 0, &count, "", out.get(), kThresh, kMin, kMax), 0);
        EXPECT_EQ(count, 499999);
        EXPECT_EQ(px(out)[61 * 32258 + 32257], 499999.0f);
    }
    // 708 x 708 isolated pixels: one too many.
    Img in = floats(1416, 1416, grid(1416, 1416));
    Img out = make("float", 1416, 1416);
    px(out)[0] = 33;
    int count = -77;
    int rc = 0;
    const std::string said = stdoutOf(
        [&] { rc = cclC4_2(in.get(), 1, 0, &count, "", out.get(), kThresh, kMin, kMax); });
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(said, "need more labels than we have\n");
    EXPECT_EQ(count, -77);
    EXPECT_EQ(px(out)[0], 33.0f);
}

TEST(Labelling, AreasFileThatCannotBeOpened) {
    Img in = floats(3, 3, std::vector<float>(9, 100.0f));
    Img out = make("float", 3, 3);
    px(out)[4] = 5;
    int count = 0, rc = 0;
    const char *path = "/nonexistent-dir-for-ccl/areas.txt";
    const std::string said = stdoutOf(
        [&] { rc = cclC4_2(in.get(), 1, 0, &count, path, out.get(), kThresh, kMin, kMax); });
    EXPECT_EQ(rc, -3);
    EXPECT_EQ(count, 1);  // already stored
    EXPECT_EQ(said, "file name /nonexistent-dir-for-ccl/areas.txt is invalid for areas file\n");
    EXPECT_EQ(px(out)[4], 5.0f);
}

TEST(Labelling, RefusesShortColourInputsAndMismatchedOutputs) {
    Img two = floats(3, 3, std::vector<float>(18, 100.0f), 2);
    Img out = make("float", 3, 3);
    px(out)[4] = 5;
    int count = -1, rc = 0;
    std::string said = stdoutOf(
        [&] { rc = cclC4_2(two.get(), 0, 0, &count, "", out.get(), kThresh, kMin, kMax); });
    EXPECT_EQ(rc, -4);
    EXPECT_EQ(said, "cclC4_2: a color image must have three frames\n");
    EXPECT_EQ(count, -1);
    EXPECT_EQ(px(out)[4], 5.0f);

    Img in = floats(3, 3, std::vector<float>(9, 100.0f));
    Img wrong = make("float", 3, 4);
    said = stdoutOf([&] { rc = cclC4_2(in.get(), 0, 0, &count, "", wrong.get(), kThresh, kMin, kMax); });
    EXPECT_EQ(rc, -2);
    EXPECT_EQ(said, "cclC4_2: output image does not match the input image\n");
    Img cmp = make("32cmp", 3, 3);
    stdoutOf([&] { EXPECT_EQ(cclC4_2(in.get(), 0, 0, &count, "", cmp.get(), kThresh, kMin, kMax), -2); });
    stdoutOf([&] { EXPECT_EQ(cclC4_2(nullptr, 0, 0, &count, "", out.get(), kThresh, kMin, kMax), -2); });
    EXPECT_EQ(count, -1);
}

TEST(Labelling, ClassMergedIntoTheBackgroundCountsAtIndexZero) {
    // (1, 1) = 254 starts label 1, (1, 2) = 256 lies above the band (0) and
    // (2, 1) = 254 continues label 1. (2, 2) = 255 joins all three
    // neighbours: the three-way merge takes the smallest root, 0, so class 1
    // becomes background; its two pixels keep label 1 and count at index 0.
    Img in = floats(3, 3, {0, 0, 0, 0, 254, 256, 0, 254, 255});
    Img out = make("float", 3, 3);
    const std::string path = testing::TempDir() + "ccl_background_areas.txt";
    std::remove(path.c_str());
    int count = 0, rc = -9;
    std::string said =
        stdoutOf([&] { rc = cclC4_2(in.get(), 1, 0, &count, path.c_str(), out.get(), kThresh, kMin, kMax); });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(said, "calling erasesmalregions 1\nreturn from  erasesmalregions\n");
    EXPECT_EQ(labelsOf(out, 9), (std::vector<float>{0, -1, -1, -1, 1, 0, -1, 1, 0}));
    EXPECT_EQ(readFile(path), "0 2\n1 0\n");
    // Erasing by the area of the root class: 2 pixels, below 3.
    said = stdoutOf([&] { rc = cclC4_2(in.get(), 3, 0, &count, path.c_str(), out.get(), kThresh, kMin, kMax); });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(said, "calling erasesmalregions 3\nreturn from  erasesmalregions\n");
    EXPECT_EQ(labelsOf(out, 9), (std::vector<float>{0, -1, -1, -1, 0, 0, -1, 0, 0}));
    std::remove(path.c_str());
}

TEST(Labelling, NoAreasFileWithoutErasing) {
    // The areas are counted (and the file written) only when a region size
    // limit is set.
    Img in = floats(3, 3, std::vector<float>(9, 100.0f));
    Img out = make("float", 3, 3);
    const std::string path = testing::TempDir() + "ccl_no_areas.txt";
    std::remove(path.c_str());
    int count = 0;
    std::string said;
    said = stdoutOf(
        [&] { EXPECT_EQ(cclC4_2(in.get(), 0, 0, &count, path.c_str(), out.get(), kThresh, kMin, kMax), 0); });
    EXPECT_EQ(said, "");
    EXPECT_EQ(count, 1);
    EXPECT_FALSE(std::ifstream(path).good());
    // eraseLarge alone writes the file, without the erasing lines.
    said = stdoutOf(
        [&] { EXPECT_EQ(cclC4_2(in.get(), 0, 10, &count, path.c_str(), out.get(), kThresh, kMin, kMax), 0); });
    EXPECT_EQ(said, "");
    EXPECT_EQ(readFile(path), "0 0\n1 4\n");
    std::remove(path.c_str());
}
