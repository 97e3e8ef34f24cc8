// Image creation and release, the allocation hooks and the size queries.
#include "zvek.h"
#include "zvektest.h"

#include <cstdlib>
#include <cstring>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

using testing::ExitedWithCode;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;
using zvektest::codeLine;

namespace {

class Create : public zvektest::ZvekTest {};

// The library releases some of its blocks with free() rather than through
// the hook, so leaks are left to the leak checker of the sanitizer build.
void expectNoLeaks() {
#ifdef __SANITIZE_ADDRESS__
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "blocks leaked";
#endif
}

bool allZero(const void *p, size_t n) {
    const auto *b = static_cast<const unsigned char *>(p);
    for (size_t i = 0; i < n; ++i)
        if (b[i]) return false;
    return true;
}

// A text field holds exactly the text, NUL-terminated, zero after it.
void expectField(const char *field, size_t width, const std::string &text) {
    EXPECT_EQ(std::string(field, strnlen(field, width)), text);
    ASSERT_LT(text.size(), width);
    EXPECT_TRUE(allZero(field + text.size(), width - text.size())) << text;
}

// Allocation hooks that count what passes through them and can fail the
// n-th request.
struct HookLog {
    int calls = 0;
    int failAt = -1;
    std::set<void *> live;
};
HookLog *gLog = nullptr;

void *countingAlloc(size_t count, size_t size) {
    ++gLog->calls;
    if (gLog->calls == gLog->failAt) return nullptr;
    void *p = std::calloc(count, size);
    gLog->live.insert(p);
    return p;
}

void countingFree(void *p) {
    gLog->live.erase(p);
    std::free(p);
}

class Hooks {
public:
    explicit Hooks(HookLog &log) {
        gLog = &log;
        alc_ = Zvek_alcptr;
        fr_ = Zvek_freeptr;
        Zvek_alcptr = countingAlloc;
        Zvek_freeptr = countingFree;
    }
    ~Hooks() {
        Zvek_alcptr = alc_;
        Zvek_freeptr = fr_;
        gLog = nullptr;
    }

private:
    void *(*alc_)(size_t, size_t);
    void (*fr_)(void *);
};

}  // namespace

TEST_F(Create, FloatImageCarriesEveryCreateValue) {
    const int32_t dims[] = {2, 3, 4};
    ZVEKHDR *h = Zvekcreate("float", dims, 11, 0);
    ASSERT_NE(h, nullptr);
    expectField(h->vekmagic, 4, "ZVE");
    EXPECT_EQ(h->vekblksize, 512);
    EXPECT_EQ(h->vekhdrblk, 0);
    EXPECT_EQ(h->vekdatblk, 1);
    EXPECT_EQ(h->vektailblk, -2);  // 48 data bytes: one block, plus the header block
    EXPECT_EQ(h->vektaillen, 0);
    EXPECT_EQ(h->vektail, nullptr);
    expectField(h->vekfclass, 8, "Vek is");
    expectField(h->vekctype, 8, "great!");
    expectField(h->vekcuser, 32, "Ottmar Quelling");
    expectField(h->vekcprog, 32, "Zvekcreate");
    expectField(h->vekcprogver, 8, "V7.0");
    // ctime text: "Www Mmm dd hh:mm:ss yyyy\n".
    const std::string date(h->vekcdate, strnlen(h->vekcdate, 32));
    EXPECT_TRUE(std::regex_match(date, std::regex("[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] "
                                                  "[0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}\n")))
        << date;
    EXPECT_EQ(h->vekendian, ZVEK_LITEND);
    EXPECT_EQ(h->vekstamp, 16);
    EXPECT_TRUE(allZero(h->vekres1, sizeof h->vekres1));
    expectField(h->vekunits, 16, "pixels");
    EXPECT_EQ(h->vekscale, 1.0f);
    EXPECT_EQ(h->vekoffset, 0.0f);
    expectField(h->vekdt, 16, "32flt");
    EXPECT_EQ(h->dtype, 516);
    EXPECT_EQ(h->vekbpd, 4);
    EXPECT_EQ(h->vekndim, 2);
    ASSERT_NE(h->vekptr, nullptr);
    EXPECT_TRUE(allZero(h->vekptr, 48));
    EXPECT_EQ(h->vekdln[0], 1);
    EXPECT_EQ(h->vekdln[1], 3);
    EXPECT_EQ(h->vekdln[2], 12);
    EXPECT_EQ(h->vekuptr, nullptr);
    EXPECT_TRUE(allZero(h->vekres2, 3));
    EXPECT_EQ(h->vekcompress, 1);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const ZVEKDIM &d = h->vekdims[i];
        EXPECT_EQ(d.dimlen, dims[i + 1]);
        EXPECT_EQ(d.dimnum, i + 1);
        expectField(d.dimdir, 8, "fwd");
        expectField(d.dimunits, 8, "pixels");
        EXPECT_EQ(d.dimscale, 1.0f);
        EXPECT_EQ(d.dimoffset, 0.0f);
        EXPECT_TRUE(allZero(d.dimres, 32));
    }
    // The header block is zero beyond the records in use.
    const auto *block = reinterpret_cast<const unsigned char *>(h);
    const size_t used = reinterpret_cast<const unsigned char *>(&h->vekdims[2]) - block;
    EXPECT_TRUE(allZero(block + used, 512 - used));
    Zvekfree(h, 7);
}

TEST_F(Create, AliasesAreStoredAsCanonicalNames) {
    const int32_t dims[] = {1, 2};
    const std::pair<const char *, const char *> cases[] = {
        {"byte", "8bit"}, {"uchar", "u8bit"}, {"short", "16bit"}, {"ushort", "u16bit"}, {"long", "32bit"},
        {"real*4", "32flt"}, {"R8", "64flt"}, {"complex", "32cmp"}, {"C8", "64cmp"}, {"S64flt4", "S64flt4"}};
    for (const auto &c : cases) {
        ZVEKHDR *h = Zvekcreate(c.first, dims, 11, 0);
        ASSERT_NE(h, nullptr) << c.first;
        EXPECT_STREQ(h->vekdt, c.second);
        EXPECT_EQ(h->dtype, Zvektype(c.second)->dtcode);
        EXPECT_EQ(h->vekbpd, Zvektype(c.second)->dtsize);
        Zvekfree(h, 7);
    }
}

TEST_F(Create, TailBlockCountsDataAndHeaderBlocks) {
    struct Case {
        const char *type;
        std::vector<int32_t> dims;
        int tailblk;
        int bytes;
    };
    const Case cases[] = {
        {"float", {2, 100, 100}, -80, 40000},     // 40000 bytes: 79 blocks + 1
        {"u8bit", {1, 512}, -2, 512},             // exactly one block
        {"u8bit", {1, 513}, -3, 513},
        {"64cmp", {3, 4, 4, 2}, -2, 512},
        {"u8bit", {2, 640, 480}, -601, 307200},
        {"struct", {1, 10}, -2, 120},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        ZVEKHDR *h = Zvekcreate(c.type, c.dims.data(), 11, 12);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(h->vekdatblk, 1);
        EXPECT_EQ(h->vektailblk, c.tailblk);
        EXPECT_EQ(Zvekdimen(h, ZVEK_NBYTES), c.bytes);
        EXPECT_TRUE(allZero(h->vekptr, c.bytes));
        Zvekfree(h, 7);
    }
}

TEST_F(Create, StructTakesTheCallersRecordSize) {
    const int32_t dims[] = {1, 10};
    ZVEKHDR *h = Zvekcreate("struct", dims, 11, 12);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->vekbpd, 12);
    EXPECT_EQ(h->dtype, 8192);
    EXPECT_EQ(Zvekdimen(h, ZVEK_NBYTES), 120);
    Zvekfree(h, 7);
    // The record size is ignored for every other type.
    h = Zvekcreate("u16bit", dims, 11, 12);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->vekbpd, 2);
    Zvekfree(h, 7);
}

TEST_F(Create, OnlyFlagBitTwoAllocatesData) {
    const int32_t dims[] = {2, 8, 8};
    for (int flags : {0, 1, 8, 9, 2, 3, 11}) {
        ZVEKHDR *h = Zvekcreate("float", dims, flags, 0);
        ASSERT_NE(h, nullptr) << flags;
        EXPECT_EQ(h->vekptr != nullptr, (flags & 2) != 0) << flags;
        Zvekfree(h, 7);
    }
}

TEST_F(Create, RefusalsCarryTheirCodeAndMessage) {
    const int32_t ok[] = {2, 4, 4};
    const int32_t zero[] = {0, 4};
    const int32_t four[] = {4, 2, 2, 2, 2};
    struct Case {
        const char *type;
        const int32_t *dims;
        int code;
        std::string text;
    };
    const Case cases[] = {
        {"float", nullptr, 8, "Zvekcreate: NULL pointer passed as dimension-lengths array"},
        {"float", zero, 8192, "Zvekcreate: can't create image with number of dimensions < 1"},
        {"float", four, 8192, "Zvekcreate: This version of Zvek can't create image with more than 3 dimensions"},
        {"Float", ok, 1024, "Zvekcreate: invalid data type"},
        {nullptr, ok, 1024, "Zvekcreate: invalid data type"},
    };
    for (const Case &c : cases) {
        zvektest::resetErrorState();
        CaptureStderr();
        EXPECT_EQ(Zvekcreate(c.type, c.dims, 11, 0), nullptr);
        EXPECT_EQ(GetCapturedStderr(), "\n" + c.text + "\n" + codeLine(c.code));
        EXPECT_EQ(Zvekerr, c.code);
        EXPECT_EQ(ZVEKDEPTH, 0);
    }
}

TEST_F(Create, SizesAreCheckedIn64Bits) {
    // Negative lengths, products past the 32-bit size model and a record
    // size below one are refused; zero lengths are allowed.
    const int32_t neg[] = {2, 4, -4};
    const int32_t wrap[] = {2, 65536, 65536};          // 2^32 bytes: wraps to 0 in 32 bits
    const int32_t big[] = {3, 1024, 1024, 2048};       // 2^31 bytes
    const int32_t bigFloat[] = {2, 32768, 16384};      // 2^31 bytes of float
    const int32_t largest[] = {2, 65535, 32768};       // 2^31 - 32768 bytes: fits
    const int32_t zeroLen[] = {2, 0, 5};

    CaptureStderr();
    EXPECT_EQ(Zvekcreate("u8bit", neg, 11, 0), nullptr);
    EXPECT_EQ(Zvekerr, ZVEK_EDIM);
    EXPECT_EQ(Zvekcreate("u8bit", wrap, 11, 0), nullptr);
    EXPECT_EQ(Zvekcreate("u8bit", big, 11, 0), nullptr);
    EXPECT_EQ(Zvekcreate("float", bigFloat, 11, 0), nullptr);
    EXPECT_EQ(Zvekcreate("struct", zeroLen, 11, 0), nullptr);
    EXPECT_EQ(Zvekcreate("struct", zeroLen, 11, -3), nullptr);
    const std::string err = GetCapturedStderr();
    EXPECT_NE(err.find("Zvekcreate: "), std::string::npos);
    EXPECT_EQ(ZVEKDEPTH, 0);

    // The largest size that fits is accepted (header only, no data).
    ZVEKHDR *h = Zvekcreate("u8bit", largest, 0, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->vektailblk, -(4194240 + 1));
    Zvekfree(h, 7);
    // 2^31 - 1 bytes: ceil((2^31 - 1) / 512) = 4194304 data blocks, counted
    // without wrapping past the 32-bit range.
    const int32_t maxBytes[] = {1, 2147483647};
    h = Zvekcreate("u8bit", maxBytes, 0, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->vektailblk, -(4194304 + 1));
    Zvekfree(h, 7);

    zvektest::resetErrorState();
    CaptureStderr();
    h = Zvekcreate("float", zeroLen, 11, 0);
    EXPECT_EQ(GetCapturedStderr(), "");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->vektailblk, -1);
    EXPECT_EQ(h->vekdln[1], 0);
    Zvekfree(h, 7);
}

TEST_F(Create, StrideArrayHasRoomForThreeDimensions) {
    const int32_t d1[] = {1, 7};
    ZVEKHDR *h = Zvekcreate("u8bit", d1, 11, 0);
    ASSERT_NE(h, nullptr);
    // Four entries whatever the dimensions (AddressSanitizer checks the
    // reads); the unused ones repeat the last product.
    EXPECT_EQ(h->vekdln[0], 1);
    EXPECT_EQ(h->vekdln[1], 7);
    EXPECT_EQ(h->vekdln[2], 7);
    EXPECT_EQ(h->vekdln[3], 7);
    Zvekfree(h, 7);

    const int32_t d3[] = {3, 5, 4, 3};
    h = Zvekcreate("16bit", d3, 11, 0);
    ASSERT_NE(h, nullptr);
    int32_t *ao = Zvek_ao(h);
    ASSERT_NE(ao, nullptr);
    EXPECT_EQ(std::vector<int32_t>(ao, ao + 4), (std::vector<int32_t>{1, 5, 20, 60}));
    EXPECT_EQ(std::vector<int32_t>(h->vekdln, h->vekdln + 4), (std::vector<int32_t>{1, 5, 20, 60}));
    std::free(ao);
    Zvekfree(h, 7);
}

TEST_F(Create, AllocationGoesThroughTheHooks) {
    HookLog log;
    {
        Hooks hooks(log);
        const int32_t dims[] = {3, 4, 3, 2};
        ZVEKHDR *h = Zvekcreate("float", dims, 11, 0);
        ASSERT_NE(h, nullptr);
        EXPECT_TRUE(log.live.count(h));
        EXPECT_TRUE(log.live.count(h->vekptr));
        EXPECT_TRUE(log.live.count(h->vekdln));
        h->vektail = static_cast<unsigned char *>(Zvekalc(10));
        h->vektaillen = 10;
        EXPECT_TRUE(log.live.count(h->vektail));
        Zvekfree(h, 7);

        // Without the data and tail flags those two stay with the caller.
        h = Zvekcreate("float", dims, 11, 0);
        void *dataBlock = h->vekptr;
        h->vektail = static_cast<unsigned char *>(Zvekalc(10));
        void *tail = h->vektail;
        Zvekfree(h, 1);
        EXPECT_TRUE(log.live.count(dataBlock));
        EXPECT_TRUE(log.live.count(tail));
        Zvekcfree(dataBlock);
        Zvekcfree(tail);
        EXPECT_FALSE(log.live.count(dataBlock));
    }
    expectNoLeaks();
}

TEST_F(Create, EveryFailedAllocationIsReportedAndCleanedUp) {
    // Fail each allocation of a create in turn: header, the size vector's two
    // arrays and the stride array, the data.
    const int32_t dims[] = {2, 10, 10};
    const std::string alc = "\nZvekalc: can't allocate storage (";
    const struct {
        int failAt;
        std::string text;
    } cases[] = {
        {1, alc + "512 bytes requested)\n\nZvekcreate: can't allocate space for image header\n" + codeLine(512)},
        {2, alc + "12 bytes requested)\n\nZveksiz: can't allocate space for array\n" + codeLine(512) +
                "\nZvekcreate:  can't allocate space for 'vekdln' field\n"},
        {3, alc + "12 bytes requested)\n\nZveksiz: can't allocate space for array\n" + codeLine(512) +
                "\nZvekcreate:  can't allocate space for 'vekdln' field\n"},
        {4, alc + "16 bytes requested)\n\nZvekcreate:  can't allocate space for 'vekdln' field\n" + codeLine(512)},
        {5, alc + "400 bytes requested)\n\nZvekcreate:  can't allocate space for image data\n" + codeLine(512)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.failAt);
        zvektest::resetErrorState();
        HookLog log;
        log.failAt = c.failAt;
        Hooks hooks(log);
        CaptureStderr();
        EXPECT_EQ(Zvekcreate("float", dims, 11, 0), nullptr);
        EXPECT_EQ(GetCapturedStderr(), c.text);
        EXPECT_EQ(Zvekerr, ZVEK_ENOMEM);
        EXPECT_EQ(ZVEKDEPTH, 0);
    }
    expectNoLeaks();
}

TEST_F(Create, FreeOfNullOrForeignHeaders) {
    Zvekerr = 1024;
    CaptureStderr();
    EXPECT_EQ(Zvekfree(nullptr, 7), 0);
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(Zvekerr, 1024 | 8);

    const int32_t dims[] = {1, 4};
    ZVEKHDR *h = Zvekcreate("u8bit", dims, 11, 0);
    ASSERT_NE(h, nullptr);
    std::memcpy(h->vekmagic, "BAD", 4);
    Zvekerr = 512;
    CaptureStderr();
    CaptureStdout();
    EXPECT_EQ(Zvekfree(h, 7), 0);
    EXPECT_EQ(GetCapturedStdout(), "chk:BAD\n");
    EXPECT_EQ(GetCapturedStderr(), "\nZvekchkhd:  Bad ZVEK image header encountered.\nZvekfree: unable to free image\n");
    EXPECT_EQ(Zvekerr, 512 | 24);
    // Nothing was released: the header is still readable.
    EXPECT_EQ(h->vekdims[0].dimlen, 4);
    std::memcpy(h->vekmagic, "VEK", 4);
    EXPECT_EQ(Zvekfree(h, 7), 0);
}

TEST_F(Create, DimenAnswersLengthsCountsAndBytes) {
    const int32_t dims[] = {2, 640, 480};
    ZVEKHDR *h = Zvekcreate("u8bit", dims, 11, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Zvekdimen(h, 0), 640);
    EXPECT_EQ(Zvekdimen(h, 1), 480);
    EXPECT_EQ(Zvekdimen(h, ZVEK_NPIXELS), 640 * 480);
    EXPECT_EQ(Zvekdimen(h, ZVEK_NBYTES), 640 * 480);
    Zvekfree(h, 7);
    const int32_t d3[] = {3, 6, 5, 4};
    h = Zvekcreate("64cmp", d3, 11, 0);
    EXPECT_EQ(Zvekdimen(h, 2), 4);
    EXPECT_EQ(Zvekdimen(h, ZVEK_NPIXELS), 120);
    EXPECT_EQ(Zvekdimen(h, ZVEK_NBYTES), 120 * 16);
    EXPECT_EQ(Zvekerr, 0);
    Zvekfree(h, 7);
}

TEST_F(Create, DimenRefusals) {
    const int32_t dims[] = {2, 6, 5};
    ZVEKHDR *h = Zvekcreate("float", dims, 11, 0);
    ASSERT_NE(h, nullptr);
    struct Case {
        const ZVEKHDR *h;
        int d;
        int code;
        const char *text;
    };
    CaptureStderr();
    EXPECT_EQ(Zvekdimen(nullptr, 0), 0);
    EXPECT_EQ(Zvekerr, 8);
    EXPECT_EQ(Zvekdimen(h, 2), 0);  // a 2-D image has no frames
    EXPECT_EQ(Zvekerr, 8192);
    EXPECT_EQ(Zvekdimen(h, -3), 0);
    EXPECT_EQ(Zvekdimen(h, 5), 0);
    h->vekdims[1].dimnum = 3;  // no record numbered 2 any more
    EXPECT_EQ(Zvekdimen(h, 1), 0);
    EXPECT_EQ(Zvekerr, 24);
    h->vekdims[1].dimnum = 2;
    h->vekdims[0].dimlen = 0;
    EXPECT_EQ(Zvekdimen(h, 0), 0);
    EXPECT_EQ(Zvekdimen(h, ZVEK_NPIXELS), 0);
    h->vekdims[0].dimlen = 6;
    std::memcpy(h->vekmagic, "ZVF", 4);
    EXPECT_EQ(Zvekdimen(h, 0), 0);
    std::memcpy(h->vekmagic, "ZVE", 4);
    const std::string zero = "\nZvekdimen: found dimension of length zero; header presumed to be damaged.\n";
    EXPECT_EQ(GetCapturedStderr(), "\nZvekdimen: NULL passed as image header.\n" + codeLine(8) +
                                       "\nZvekdimen: Invalid dimension to get length of.\n" + codeLine(8192) +
                                       "\nZvekdimen: Invalid dimension to get length of.\n"
                                       "\nZvekdimen: Invalid dimension to get length of.\n" +
                                       zero + codeLine(24) + zero + zero + "\nZvekdimen: Bad image header.\n");
    EXPECT_EQ(Zvekerr, 24);
    EXPECT_EQ(ZVEKDEPTH, 0);
    Zvekfree(h, 7);
}

TEST_F(Create, SizeVectorIsOrderedByDimensionNumber) {
    const int32_t dims[] = {3, 7, 5, 3};
    ZVEKHDR *h = Zvekcreate("16bit", dims, 11, 0);
    ASSERT_NE(h, nullptr);
    int32_t *s = Zveksiz(h);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(std::vector<int32_t>(s, s + 4), (std::vector<int32_t>{3, 7, 5, 3}));
    std::free(s);
    // Records stored frames, columns, rows.
    const ZVEKDIM c = h->vekdims[0], r = h->vekdims[1], f = h->vekdims[2];
    h->vekdims[0] = f;
    h->vekdims[1] = c;
    h->vekdims[2] = r;
    s = Zveksiz(h);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(std::vector<int32_t>(s, s + 4), (std::vector<int32_t>{3, 7, 5, 3}));
    std::free(s);
    EXPECT_EQ(Zveknc(h), 7);
    EXPECT_EQ(Zveknr(h), 5);
    // The size vector makes an image of the same shape.
    s = Zveksiz(h);
    ZVEKHDR *twin = Zvekcreate("u8bit", s, 11, 0);
    std::free(s);
    ASSERT_NE(twin, nullptr);
    EXPECT_EQ(Zvekdimen(twin, 0), 7);
    EXPECT_EQ(Zvekdimen(twin, 2), 3);
    Zvekfree(twin, 7);
    Zvekfree(h, 7);
}

TEST_F(Create, SizeVectorRefusals) {
    CaptureStderr();
    EXPECT_EQ(Zveksiz(nullptr), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "\nZvekchkhd:  Null ZVEK image header encountered.\nZveksiz:  bad image header\n");
    EXPECT_EQ(Zvekerr, 24);

    const int32_t dims[] = {2, 3, 3};
    ZVEKHDR *h = Zvekcreate("float", dims, 11, 0);
    ASSERT_NE(h, nullptr);
    zvektest::resetErrorState();
    h->vekndim = 0;
    CaptureStderr();
    EXPECT_EQ(Zveksiz(h), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "\nZveksiz: number of dimensions not positive.\n" + codeLine(-1));
    EXPECT_EQ(Zvekerr, -1);
    h->vekndim = 2;
    EXPECT_EQ(ZVEKDEPTH, 0);
    Zvekfree(h, 7);
}

TEST_F(Create, TimeTextIsTheRuntimesCtime) {
    const char *t = Zvektim(0);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(std::strlen(t), 25u);
    EXPECT_EQ(t[24], '\n');
}

TEST_F(Create, DepthIsCountedByCreateAndSizeQueries) {
    // A failure inside these calls reports at depth 1 when called directly:
    // at level 64 it ends the process with the code.
    const int32_t dims[] = {2, 3, 3};
    ZVEKHDR *h = Zvekcreate("float", dims, 11, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EXIT(
        {
            ZVEKSLV = ZVEK_FATAL;
            Zvekdimen(h, 2);
            std::exit(99);
        },
        ExitedWithCode(8192 & 0xff), "Zvekdimen: Invalid dimension to get length of.");
    h->vekndim = -1;
    EXPECT_EXIT(
        {
            ZVEKSLV = ZVEK_FATAL;
            Zveksiz(h);
            std::exit(99);
        },
        ExitedWithCode(255), "Zveksiz: number of dimensions not positive.");
    h->vekndim = 2;
    Zvekfree(h, 7);
}
