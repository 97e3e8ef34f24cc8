// The 2-D FFT on every instruction-set path against checksums of the bits an
// earlier, plainly written transform gave on the same random data: both ways,
// odd and even stage counts, wide magnitudes, NaNs of both signs (wide 2; 3 and 4: at floats 0 and 4 only, where
// the one at float 0 passes on to output 0), 3 frames, untouched refusals.
#include "nan_rule.h"
#include "paths_note.h"
#include "zvekint.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

TEST(FftPaths, EveryPathGivesTheRecordedBits) {
    struct { int cols, rows, frames, dir, wide, rc; uint64_t sum; } const cases[] = {
        {2, 2, 0, -1, 0, 0, 0x68b7b34e37c2473e}, {8, 8, 0, 1, 1, 0, 0x393d8e8178f91b6a},
        {16, 16, 0, -1, 0, 0, 0xa7a2ac5128839927}, {16, 16, 0, 1, 1, 0, 0x5b0cb5f94a83ff81},
        {32, 32, 0, -1, 1, 0, 0x502f81050ab00115}, {32, 32, 0, 1, 0, 0, 0xcad4d0f131b51436},
        {64, 64, 0, -1, 0, 0, 0x5c11c173794cefba}, {128, 128, 0, 1, 0, 0, 0x3f01b6167014e3b3},
        {256, 256, 0, -1, 1, 0, 0x323ea7cfbc9c285f}, {512, 512, 0, -1, 0, 0, 0xfc45ecb36b436e70},
        {512, 512, 0, 1, 1, 0, 0x2e28cd1091152247}, {1024, 1024, 0, -1, 0, 0, 0x28c10d0da471018d},
        {1024, 1024, 0, 1, 0, 0, 0xab71893bbb2b4c1d}, {1024, 1024, 0, -1, 1, 0, 0xdfbabae42a587f82},
        {2048, 2048, 0, -1, 0, 0, 0x8366929ff8eeb959}, {2048, 2048, 0, 1, 1, 0, 0xff9679db17c2fdd9},
        {32, 32, 3, -1, 0, 0, 0xdcec54148b13ecb4}, {16, 32, 0, -1, 0, -1, 0x078d26ee1aa5bf11},
        {1, 64, 0, -1, 0, -1, 0x880b881fa3abe31f}, {64, 1, 0, 1, 0, -1, 0xf74d8e67ce16dfe7},
        {8, 8, 0, -1, 2, 0, 0xcf756e6cb82e4383}, {16, 16, 0, -1, 2, 0, 0x15fa0b04d73ddb83},
        {64, 64, 0, 1, 2, 0, 0x6ae2faf29f050383}, {32, 32, 3, -1, 2, 0, 0x65079d12684c2682},
        {16, 16, 0, -1, 3, 0, 0x8d386654c2a75383}, {16, 16, 0, -1, 4, 0, 0x382a3b9f6c675383}};
    for (int level = 2; level >= 0; --level) {
        const int ran = zvek::limitVectorLevel(level);
        for (const auto &c : cases) {
            SCOPED_TRACE(testing::Message() << "path " << ran << ", " << c.cols << " x " << c.rows << " x "
                                            << c.frames << ", dir " << c.dir << (c.wide ? ", wide" : ""));
            const int32_t dims[4] = {c.frames ? 3 : 2, c.cols, c.rows, c.frames};
            ZVEKHDR *h = Zvekcreate("complex", dims, 11, 0);
            ASSERT_NE(h, nullptr);
            const size_t n = 2 * size_t(c.cols) * c.rows * (c.frames ? c.frames : 1);
            auto *p = static_cast<float *>(h->vekptr);
            std::mt19937 g{unsigned(c.cols * 131 + c.rows * 7 + c.dir + 5 * c.wide)};
            for (size_t i = 0; i < n; ++i) {
                const float v = float(int32_t(g() >> 8) - (1 << 23)) / 8388608.0f;
                p[i] = c.wide == 2 && g() % 7 == 0 ? anyNaN(g) : c.wide ? std::ldexp(v, int(g() % 40) - 20) : v;
            }
            if (c.wide > 2) std::fill(p, p + n, 0.0f), p[0] = nanOf(c.wide == 3 ? 0x7fc00000 : 0xffc00000), p[4] = -p[0];
            const float first = p[0];
            testing::internal::CaptureStderr();
            EXPECT_EQ(Zvekcfft2d(h, c.dir), c.rc);
            testing::internal::GetCapturedStderr();
            uint64_t sum = 1469598103934665603u;  // FNV-1a of the bytes
            const auto *b = reinterpret_cast<const uint8_t *>(p);
            for (size_t i = 0; i < n * sizeof(float); ++i) sum = (sum ^ b[i]) * 1099511628211u;
            EXPECT_EQ(sum, c.sum);
            EXPECT_TRUE(c.wide < 3 || !std::memcmp(p, &first, 4)) << "the NaN at float 0 is not the one passed on";
            Zvekfree(h, 7);
        }
    }
    zvek::limitVectorLevel(2);
    notePaths();
}
