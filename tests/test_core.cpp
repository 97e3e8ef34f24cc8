// Smoke tests of the image header core: creation values, sizes, accessors.
#include "zvek.h"

#include <cstring>
#include <gtest/gtest.h>

TEST(Core, CreateFloat2D) {
    const int32_t dims[] = {2, 3, 4};
    ZVEKHDR *h = Zvekcreate("float", dims, 11, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_STREQ(h->vekdt, "32flt");
    EXPECT_EQ(h->dtype, 516);
    EXPECT_EQ(h->vekbpd, 4);
    EXPECT_EQ(h->vekdatblk, 1);
    EXPECT_EQ(h->vektailblk, -2);
    EXPECT_EQ(h->vekcompress, 1);
    EXPECT_EQ(h->vekdln[0], 1);
    EXPECT_EQ(h->vekdln[1], 3);
    EXPECT_EQ(h->vekdln[2], 12);
    EXPECT_EQ(Zvekdimen(h, ZVEK_NBYTES), 48);
    const unsigned char zero[48] = {0};
    EXPECT_EQ(std::memcmp(h->vekptr, zero, 48), 0);
    Zvekfree(h, 7);
}

TEST(Core, AccessorStoreRule) {
    const int32_t dims[] = {2, 2, 2};
    ZVEKHDR *h = Zvekcreate("u8bit", dims, 11, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Zvekfpp(h, 0, 1, 300.7), -1);
    EXPECT_EQ(static_cast<unsigned char *>(h->vekptr)[1], 44);
    EXPECT_EQ(Zvekfpp(h, 1, 0, -1.0), -1);
    EXPECT_DOUBLE_EQ(Zvekfgp(h, 1, 0), 255.0);
    Zvekfree(h, 7);
}

TEST(Core, AccessorOnHeaderWithoutData) {
    const int32_t dims[] = {2, 4, 4};
    ZVEKHDR *h = Zvekcreate("float", dims, 0, 0);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(h->vekptr, nullptr);
    Zvekerr = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(Zvekfgp(h, 1, 1), 0.0);
    EXPECT_EQ(Zvekfpp3d(h, 0, 1, 1, 5.0), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Zvekfgp: image has no pixel data.\nZvekfpp3d: image has no pixel data.\n");
    EXPECT_EQ(Zvekerr, ZVEK_EBADHDR);
    Zvekfree(h, 7);
}
