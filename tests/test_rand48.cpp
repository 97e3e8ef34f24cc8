// The library's rand48 family against the published generator.
#include "zvek.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {
// The published default state, set into the platform's generator (which
// here does not start from it unseeded).
void platformDefault() {
    unsigned short x[3] = {0x330E, 0xABCD, 0x1234};
    seed48(x);
}
}  // namespace

// Runs in its own process order: the first test sees the unseeded state.
TEST(Rand48, UnseededStartsFromPublishedDefault) {
    // (0x5DEECE66D x 0x1234ABCD330E + 0xB) mod 2^48 = 0x657EB7255101, and on.
    EXPECT_EQ(Zvekdrand48(), 0x657EB7255101 / 281474976710656.0);
    EXPECT_EQ(Zveklrand48(), 0xD72A0C966378 >> 17);
    EXPECT_EQ(Zvekmrand48(), 1517566982L);
}

TEST(Rand48, SharedStateMatchesPlatformValueForValue) {
    unsigned short def[3] = {0x330E, 0xABCD, 0x1234};
    Zvekseed48(def);
    platformDefault();
    for (int i = 0; i < 3000; ++i) {
        ASSERT_EQ(Zvekdrand48(), drand48()) << i;
        ASSERT_EQ(Zveklrand48(), lrand48()) << i;
        ASSERT_EQ(Zvekmrand48(), mrand48()) << i;
    }
    const long seeds[] = {0, 1, -1, 0x7FFFFFFF, 123456789, -987654321};
    for (long s : seeds) {
        Zveksrand48(s);
        srand48(s);
        for (int i = 0; i < 100; ++i) ASSERT_EQ(Zvekdrand48(), drand48()) << s << " " << i;
    }
    Zveksrand48(0);
    srand48(0);
    EXPECT_EQ(Zvekdrand48(), drand48());
}

TEST(Rand48, SignedValues) {
    // mrand48 gives signed 32-bit values: the second value above is negative.
    unsigned short def[3] = {0x330E, 0xABCD, 0x1234};
    Zvekseed48(def);
    Zvekdrand48();
    EXPECT_EQ(Zvekmrand48(), -685110122L);
}

TEST(Rand48, CallerStateMembers) {
    unsigned short a[3] = {1, 2, 3}, b[3] = {1, 2, 3};
    for (int i = 0; i < 500; ++i) {
        ASSERT_EQ(Zvekerand48(a), erand48(b));
        ASSERT_EQ(Zveknrand48(a), nrand48(b));
        ASSERT_EQ(Zvekjrand48(a), jrand48(b));
        ASSERT_EQ(a[0], b[0]);
        ASSERT_EQ(a[1], b[1]);
        ASSERT_EQ(a[2], b[2]);
    }
}

TEST(Rand48, SeedReturnsPreviousStateAndLcongChangesTheGenerator) {
    unsigned short s1[3] = {0x1111, 0x2222, 0x3333};
    Zvekseed48(s1);
    unsigned short s2[3] = {5, 6, 7};
    const unsigned short *prev = Zvekseed48(s2);
    EXPECT_EQ(prev[0], 0x1111);
    EXPECT_EQ(prev[1], 0x2222);
    EXPECT_EQ(prev[2], 0x3333);

    unsigned short p1[7] = {9, 8, 7, 0x1234, 0x5678, 0x9ABC, 0xFFFF};
    unsigned short p2[7] = {9, 8, 7, 0x1234, 0x5678, 0x9ABC, 0xFFFF};
    Zveklcong48(p1);
    lcong48(p2);
    for (int i = 0; i < 200; ++i) ASSERT_EQ(Zveklrand48(), lrand48()) << i;
    // seed48 and srand48 put the standard multiplier back.
    Zveksrand48(42);
    srand48(42);
    for (int i = 0; i < 50; ++i) ASSERT_EQ(Zvekmrand48(), mrand48()) << i;
    unsigned short s3[3] = {1, 1, 1}, s4[3] = {1, 1, 1};
    Zveklcong48(p1);
    lcong48(p2);
    Zvekseed48(s3);
    seed48(s4);
    for (int i = 0; i < 50; ++i) ASSERT_EQ(Zvekdrand48(), drand48()) << i;
    // The values stay in their ranges.
    for (int i = 0; i < 1000; ++i) {
        const double d = Zvekdrand48();
        ASSERT_GE(d, 0.0);
        ASSERT_LT(d, 1.0);
        const long l = Zveklrand48();
        ASSERT_GE(l, 0);
        ASSERT_LT(l, 1L << 31);
    }
}
