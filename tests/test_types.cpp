// The data-type table, its lookups, the record layouts and the host byte
// order.
#include "zvek.h"
#include "zvektest.h"

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

struct Row {
    const char *name;
    int size;
    int code;
};

// The table as documented: every canonical row with its aliases before it.
const std::vector<Row> kTable = {
    {"byte", 0, 0}, {"char", 0, 0}, {"i1", 0, 0}, {"I1", 0, 0}, {"8bit", 1, 0x101},
    {"ubyte", 0, 0}, {"uchar", 0, 0}, {"u8bit", 1, 0x401},
    {"short", 0, 0}, {"i2", 0, 0}, {"I2", 0, 0}, {"16bit", 2, 0x102},
    {"ushort", 0, 0}, {"u16bit", 2, 0x402},
    {"int", 0, 0}, {"long", 0, 0}, {"i4", 0, 0}, {"I4", 0, 0}, {"32bit", 4, 0x104},
    {"float", 0, 0}, {"real", 0, 0}, {"real*4", 0, 0}, {"r4", 0, 0}, {"R4", 0, 0}, {"32flt", 4, 0x204},
    {"double", 0, 0}, {"real*8", 0, 0}, {"r8", 0, 0}, {"R8", 0, 0}, {"64flt", 8, 0x208},
    {"complex", 0, 0}, {"c4", 0, 0}, {"C4", 0, 0}, {"complex*4", 0, 0}, {"32cmp", 8, 0x1204},
    {"c8", 0, 0}, {"C8", 0, 0}, {"complex*8", 0, 0}, {"64cmp", 16, 0x1208},
    {"Su8bit3", 1, 0x411}, {"S8bit3", 1, 0x111}, {"Su8bit4", 1, 0x421}, {"S8bit4", 1, 0x121},
    {"Su16bit3", 2, 0x412}, {"S16bit3", 2, 0x112}, {"Su16bit4", 2, 0x422}, {"S16bit4", 2, 0x122},
    {"S32bit3", 4, 0x114}, {"S32bit4", 4, 0x124}, {"S32flt3", 4, 0x214}, {"S32flt4", 4, 0x224},
    {"S64flt3", 8, 25}, {"S64flt4", 8, 41}, {"struct", 1, 0x2000},
};

class Types : public zvektest::ZvekTest {};

}  // namespace

TEST_F(Types, TableHasEveryRowInOrder) {
    ASSERT_EQ(Zvek_Ntyp, 54);
    ASSERT_EQ(kTable.size(), 54u);
    for (int i = 0; i < 54; ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(Zvek_Dtyp[i].dtname, kTable[i].name);
        EXPECT_EQ(Zvek_Dtyp[i].dtsize, kTable[i].size);
        EXPECT_EQ(Zvek_Dtyp[i].dtcode, kTable[i].code);
    }
}

TEST_F(Types, ConstantsMatchTheCodeRule) {
    // code = kind << 8 | bytes per component, channel bits 0x10 and 0x20.
    EXPECT_EQ(DT_8BIT, (1 << 8) | 1);
    EXPECT_EQ(DT_U8BIT, (4 << 8) | 1);
    EXPECT_EQ(DT_16BIT, (1 << 8) | 2);
    EXPECT_EQ(DT_U16BIT, (4 << 8) | 2);
    EXPECT_EQ(DT_32BIT, (1 << 8) | 4);
    EXPECT_EQ(DT_32FLT, (2 << 8) | 4);
    EXPECT_EQ(DT_64FLT, (2 << 8) | 8);
    EXPECT_EQ(DT_32CMP, (0x12 << 8) | 4);
    EXPECT_EQ(DT_64CMP, (0x12 << 8) | 8);
    EXPECT_EQ(DT_SU8BIT3, DT_U8BIT | 0x10);
    EXPECT_EQ(DT_S8BIT4, DT_8BIT | 0x20);
    EXPECT_EQ(DT_SU16BIT4, DT_U16BIT | 0x20);
    EXPECT_EQ(DT_S32FLT3, DT_32FLT | 0x10);
    EXPECT_EQ(DT_S64FLT3, 25);
    EXPECT_EQ(DT_S64FLT4, 41);
    EXPECT_EQ(DT_STRUCT, 8192);
    EXPECT_EQ(ZVEK_BIGEND, 1);
    EXPECT_EQ(ZVEK_LITEND, 2);
}

TEST_F(Types, LookupGivesTheCanonicalRow) {
    const ZVEKDTYP *t = Zvektype("float");
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t->dtname, "32flt");
    EXPECT_EQ(t->dtsize, 4);
    EXPECT_EQ(t->dtcode, 516);
    t = Zvektype("complex*8");
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t->dtname, "64cmp");
    EXPECT_EQ(t->dtsize, 16);
    EXPECT_EQ(t->dtcode, 4616);
    t = Zvektype("S64flt3");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->dtcode, 25);

    // Every name, alias or not, answers the next row with a code, and that
    // row is a row of the table itself.
    for (int i = 0; i < 54; ++i) {
        int j = i;
        while (kTable[j].code == 0) ++j;
        const ZVEKDTYP *row = Zvektype(kTable[i].name);
        ASSERT_NE(row, nullptr) << kTable[i].name;
        EXPECT_EQ(row, &Zvek_Dtyp[j]) << kTable[i].name;
        EXPECT_EQ(Zvekntype(kTable[i].name), kTable[j].code) << kTable[i].name;
    }
    EXPECT_EQ(Zvekerr, 0);
}

TEST_F(Types, UnknownNamesAreRefusedSilently) {
    for (const char *name : {"Float", "", "float ", "FLOAT", "u8", "complex*16", "Struct"}) {
        zvektest::resetErrorState();
        CaptureStderr();
        EXPECT_EQ(Zvektype(name), nullptr) << name;
        EXPECT_EQ(Zvekntype(name), 0) << name;
        EXPECT_EQ(GetCapturedStderr(), "") << name;
        EXPECT_EQ(Zvekerr, ZVEK_EDTYPE) << name;
        EXPECT_EQ(ZVEKDEPTH, 0);
    }
    EXPECT_EQ(Zvektype(nullptr), nullptr);
    EXPECT_EQ(Zvekerr, ZVEK_EDTYPE);
}

TEST_F(Types, DimensionRecordLayout) {
    EXPECT_EQ(sizeof(ZVEKDIM), 64u);
    EXPECT_EQ(offsetof(ZVEKDIM, dimlen), 0u);
    EXPECT_EQ(offsetof(ZVEKDIM, dimnum), 4u);
    EXPECT_EQ(offsetof(ZVEKDIM, dimdir), 8u);
    EXPECT_EQ(offsetof(ZVEKDIM, dimunits), 16u);
    EXPECT_EQ(offsetof(ZVEKDIM, dimscale), 24u);
    EXPECT_EQ(offsetof(ZVEKDIM, dimoffset), 28u);
    EXPECT_EQ(offsetof(ZVEKDIM, dimres), 32u);
    EXPECT_EQ(sizeof(ZVEKDIM::dimres), 32u);
}

TEST_F(Types, HeaderFieldsInOrderWithTheirWidths) {
    // The fields stand in the documented order with the documented widths.
    const size_t offs[] = {
        offsetof(ZVEKHDR, vekmagic),    offsetof(ZVEKHDR, vekblksize), offsetof(ZVEKHDR, vekhdrblk),
        offsetof(ZVEKHDR, vekdatblk),   offsetof(ZVEKHDR, vektailblk), offsetof(ZVEKHDR, vektaillen),
        offsetof(ZVEKHDR, vektail),     offsetof(ZVEKHDR, vekfclass),  offsetof(ZVEKHDR, vekctype),
        offsetof(ZVEKHDR, vekcuser),    offsetof(ZVEKHDR, vekcdate),   offsetof(ZVEKHDR, vekcprog),
        offsetof(ZVEKHDR, vekcprogver), offsetof(ZVEKHDR, vekendian),  offsetof(ZVEKHDR, vekstamp),
        offsetof(ZVEKHDR, vekres1),     offsetof(ZVEKHDR, vekunits),   offsetof(ZVEKHDR, vekscale),
        offsetof(ZVEKHDR, vekoffset),   offsetof(ZVEKHDR, vekdt),      offsetof(ZVEKHDR, dtype),
        offsetof(ZVEKHDR, vekbpd),      offsetof(ZVEKHDR, vekndim),    offsetof(ZVEKHDR, vekptr),
        offsetof(ZVEKHDR, vekdln),      offsetof(ZVEKHDR, vekuptr),    offsetof(ZVEKHDR, vekres2),
        offsetof(ZVEKHDR, vekcompress), offsetof(ZVEKHDR, vekdims)};
    for (size_t i = 1; i < sizeof offs / sizeof offs[0]; ++i) EXPECT_LT(offs[i - 1], offs[i]) << "field " << i;
    ZVEKHDR h;
    EXPECT_EQ(sizeof h.vekmagic, 4u);
    EXPECT_EQ(sizeof h.vekfclass, 8u);
    EXPECT_EQ(sizeof h.vekctype, 8u);
    EXPECT_EQ(sizeof h.vekcuser, 32u);
    EXPECT_EQ(sizeof h.vekcdate, 32u);
    EXPECT_EQ(sizeof h.vekcprog, 32u);
    EXPECT_EQ(sizeof h.vekcprogver, 8u);
    EXPECT_EQ(sizeof h.vekres1, 38u);
    EXPECT_EQ(sizeof h.vekunits, 16u);
    EXPECT_EQ(sizeof h.vekdt, 16u);
    EXPECT_EQ(sizeof h.vekres2, 3u);
    EXPECT_EQ(sizeof h.vekendian, 1u);
    EXPECT_EQ(sizeof h.vekstamp, 1u);
    EXPECT_EQ(sizeof h.vekcompress, 1u);
    EXPECT_LE(sizeof(ZVEKHDR), 512u);
}

TEST_F(Types, HostByteOrderIsWorkedOutByCreate) {
    ZvekCPUEndian = 0;
    const int32_t dims[] = {1, 4};
    ZVEKHDR *h = Zvekcreate("u8bit", dims, 11, 0);
    ASSERT_NE(h, nullptr);
    const unsigned char abcd[4] = {'A', 'B', 'C', 'D'};
    int32_t probe;
    std::memcpy(&probe, abcd, 4);
    const int expected = probe == 0x44434241 ? ZVEK_LITEND : ZVEK_BIGEND;
    EXPECT_EQ(ZvekCPUEndian, expected);
    EXPECT_EQ(h->vekendian, expected);
    Zvekfree(h, 7);
}

TEST_F(Types, DimensionsAreFoundByNumberNotPosition) {
    const int32_t dims[] = {2, 5, 3};
    ZVEKHDR *a = Zvekcreate("float", dims, 11, 0);
    ZVEKHDR *b = Zvekcreate("float", dims, 11, 0);
    ASSERT_TRUE(a && b);
    // b holds its records in the order rows, columns.
    std::swap(b->vekdims[0], b->vekdims[1]);
    EXPECT_EQ(b->vekdims[0].dimnum, 2);
    for (int d = 0; d < 2; ++d) EXPECT_EQ(Zvekdimen(a, d), Zvekdimen(b, d)) << d;
    EXPECT_EQ(Zvekdimen(b, 0), 5);
    EXPECT_EQ(Zvekdimen(b, 1), 3);
    int32_t *sa = Zveksiz(a), *sb = Zveksiz(b);
    ASSERT_TRUE(sa && sb);
    EXPECT_EQ(std::vector<int32_t>(sa, sa + 3), std::vector<int32_t>(sb, sb + 3));
    EXPECT_EQ(Zveknc(b), 5);
    EXPECT_EQ(Zveknr(b), 3);
    std::free(sa);
    std::free(sb);
    Zvekfree(a, 7);
    Zvekfree(b, 7);
}
