// The error state and its reporting functions: exact texts on the standard
// streams, the trace lines, the severity levels and the call depth.
#include "zvek.h"
#include "zvektest.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

using testing::ExitedWithCode;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;
using zvektest::codeLine;
using zvektest::errnoLine;

namespace {

class Errors : public zvektest::ZvekTest {};

// A header with the given magic text and nothing else.
ZVEKHDR headerWithMagic(const char *magic) {
    ZVEKHDR h;
    std::memset(&h, 0, sizeof h);
    std::memcpy(h.vekmagic, magic, std::strlen(magic) + 1 < 4 ? std::strlen(magic) + 1 : 4);
    return h;
}

}  // namespace

// First in the file and without the fixture: the globals' start values.
TEST(ErrorState, Defaults) {
    EXPECT_EQ(Zvekerr, 0);
    EXPECT_EQ(ZVEKDEPTH, 0);
    EXPECT_EQ(ZVEKSLV, 8);
    EXPECT_EQ(ZVEKTRACE, 1);
    EXPECT_EQ(ZVEKCHK, 1);
    EXPECT_EQ(ZVEK_SILENT, 1);
    EXPECT_EQ(ZVEK_WARN, 8);
    EXPECT_EQ(ZVEK_FATAL, 64);
    EXPECT_EQ(ZVEK_ENULL, 8);
    EXPECT_EQ(ZVEK_EBADHDR, 24);
    EXPECT_EQ(ZVEK_EOPEN, 64);
    EXPECT_EQ(ZVEK_EFNAME, 256);
    EXPECT_EQ(ZVEK_EIO, 448);
    EXPECT_EQ(ZVEK_ENOMEM, 512);
    EXPECT_EQ(ZVEK_EDTYPE, 1024);
    EXPECT_EQ(ZVEK_ERANGE, 4096);
    EXPECT_EQ(ZVEK_EDIM, 8192);
    EXPECT_EQ(ZVEK_EZBUF, 9);
    EXPECT_EQ(ZVEK_ENDIM, -1);
}

TEST_F(Errors, WarnPrintsTheCodeLineOncePerCode) {
    Zvekerr = 24;
    CaptureStderr();
    EXPECT_EQ(Zvekwarn("first: bad header"), 0);
    EXPECT_EQ(Zvekwarn("second: bad header"), 0);
    Zvekerr = 512;
    EXPECT_EQ(Zvekwarn("third: no memory"), 0);
    EXPECT_EQ(GetCapturedStderr(),
              "\nfirst: bad header\n\tVEK error code:    $00000018 = 24\n"
              "\nsecond: bad header\n"
              "\nthird: no memory\n\tVEK error code:    $00000200 = 512\n");
}

TEST_F(Errors, WarnPrintsNegativeCodesInHex) {
    Zvekerr = -1;
    CaptureStderr();
    Zvekwarn("m");
    EXPECT_EQ(GetCapturedStderr(), "\nm\n\tVEK error code:    $ffffffff = -1\n");
}

TEST_F(Errors, WarnPrintsTheSystemErrorOncePerNumber) {
    Zvekerr = 64;
    errno = ENOENT;
    CaptureStderr();
    Zvekwarn("a");
    errno = ENOENT;
    Zvekwarn("b");
    errno = EACCES;
    Zvekwarn("c");
    errno = 0;
    Zvekwarn("d");
    EXPECT_EQ(GetCapturedStderr(), "\na\n" + codeLine(64) + errnoLine(ENOENT) + "\nb\n" + "\nc\n" + errnoLine(EACCES) +
                                       "\nd\n");
    EXPECT_EQ(errnoLine(13), "\tSystem error code: $0000000d = 13\n");
}

TEST_F(Errors, SilentLevelPrintsNothingButRemembers) {
    ZVEKSLV = ZVEK_SILENT;
    Zvekerr = 24;
    errno = ENOENT;
    CaptureStderr();
    EXPECT_EQ(Zvekwarn("hidden"), 0);
    EXPECT_EQ(Zvekdie("hidden too"), 0);
    Zvekext(ZVEK_SILENT, "hidden as well");
    EXPECT_EQ(GetCapturedStderr(), "");
    // Back at level 8 the same code and errno draw no trace lines.
    ZVEKSLV = ZVEK_WARN;
    errno = ENOENT;
    CaptureStderr();
    Zvekwarn("shown");
    EXPECT_EQ(GetCapturedStderr(), "\nshown\n");
}

TEST_F(Errors, TraceOffDropsTheTraceLinesButStillRemembers) {
    ZVEKTRACE = 0;
    Zvekerr = 1024;
    errno = EIO;
    CaptureStderr();
    Zvekwarn("plain");
    EXPECT_EQ(GetCapturedStderr(), "\nplain\n");
    ZVEKTRACE = 1;
    errno = EIO;
    CaptureStderr();
    Zvekwarn("again");
    EXPECT_EQ(GetCapturedStderr(), "\nagain\n");
}

TEST_F(Errors, DieReportsLikeWarnAndResetsANegativeDepth) {
    Zvekerr = 8;
    ZVEKDEPTH = -3;
    CaptureStderr();
    EXPECT_EQ(Zvekdie("die: at level 8"), 0);
    EXPECT_EQ(GetCapturedStderr(), "\ndie: at level 8\n" + codeLine(8));
    EXPECT_EQ(ZVEKDEPTH, 0);
    ZVEKDEPTH = 5;
    Zvekdie("x");
    EXPECT_EQ(ZVEKDEPTH, 5) << "a positive depth is left alone";
    ZVEKDEPTH = 0;
}

TEST_F(Errors, DieAtLevel64ExitsOnlyBelowDepthTwo) {
    EXPECT_EXIT(
        {
            ZVEKSLV = ZVEK_FATAL;
            Zvekerr = 24;
            ZVEKDEPTH = 1;
            Zvekdie("fatal at depth 1");
            std::exit(99);
        },
        ExitedWithCode(24), "\nfatal at depth 1\n\tVEK error code:    \\$00000018 = 24\n");
    EXPECT_EXIT(
        {
            ZVEKSLV = ZVEK_FATAL;
            Zvekerr = 8;
            ZVEKDEPTH = -4;  // reset to 0, then below 2
            Zvekdie("fatal after reset");
            std::exit(99);
        },
        ExitedWithCode(8), "fatal after reset");
    // At depth 2 the report returns to its caller.
    ZVEKSLV = ZVEK_FATAL;
    Zvekerr = 24;
    ZVEKDEPTH = 2;
    CaptureStderr();
    EXPECT_EQ(Zvekdie("nested"), 0);
    EXPECT_EQ(GetCapturedStderr(), "\nnested\n" + codeLine(24));
    ZVEKDEPTH = 0;
}

TEST_F(Errors, NestedLibraryFailureExitsAtTheOuterReport) {
    // A creation failure nested one level deeper than the caller (depth 2)
    // returns; the same failure called directly (depth 1) ends the process.
    const int32_t dims[] = {2, 4, 4};
    ZVEKSLV = ZVEK_FATAL;
    ZVEKDEPTH = 1;
    CaptureStderr();
    EXPECT_EQ(Zvekcreate("nonsense", dims, 11, 0), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "\nZvekcreate: invalid data type\n" + codeLine(1024));
    EXPECT_EQ(ZVEKDEPTH, 1);
    ZVEKDEPTH = 0;
    EXPECT_EXIT(
        {
            ZVEKSLV = ZVEK_FATAL;
            Zvekcreate("nonsense", dims, 11, 0);
            std::exit(99);
        },
        ExitedWithCode(0 /* 1024 & 0xff */), "Zvekcreate: invalid data type");
    EXPECT_EXIT(
        {
            ZVEKSLV = ZVEK_FATAL;
            Zvekcreate("float", nullptr, 11, 0);
            std::exit(99);
        },
        ExitedWithCode(8), "Zvekcreate: NULL pointer passed as dimension-lengths array");
    EXPECT_EXIT(
        {
            ZVEKSLV = ZVEK_FATAL;
            Zvekdimen(nullptr, 0);
            std::exit(99);
        },
        ExitedWithCode(8), "Zvekdimen: NULL passed as image header.");
}

TEST_F(Errors, ExtPrintsOneLineAndExitsAtLevel64) {
    Zvekerr = 1024;
    CaptureStderr();
    Zvekext(ZVEK_WARN, "ext: message");
    Zvekext(ZVEK_SILENT, "not shown");
    Zvekext(2, "any other level");
    EXPECT_EQ(GetCapturedStderr(), "ext: message\nany other level\n");
    EXPECT_EXIT(
        {
            Zvekerr = 8;
            Zvekext(ZVEK_FATAL, "ext: fatal");
            std::exit(99);
        },
        ExitedWithCode(8), "^ext: fatal\n$");
}

TEST_F(Errors, CheckHeaderAcceptsBothMagics) {
    ZVEKHDR z = headerWithMagic("ZVE"), v = headerWithMagic("VEK");
    CaptureStderr();
    CaptureStdout();
    EXPECT_EQ(Zvekchkhd(&z, "unused"), -1);
    EXPECT_EQ(Zvekchkhd(&v, "unused"), -1);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(GetCapturedStderr(), "");
}

TEST_F(Errors, CheckHeaderOnNull) {
    CaptureStderr();
    EXPECT_EQ(Zvekchkhd(nullptr, "caller: what failed"), 0);
    EXPECT_EQ(GetCapturedStderr(), "\nZvekchkhd:  Null ZVEK image header encountered.\ncaller: what failed\n");
    EXPECT_EQ(Zvekerr, 0) << "sets no code";
    ZVEKSLV = ZVEK_SILENT;
    CaptureStderr();
    EXPECT_EQ(Zvekchkhd(nullptr, "quiet"), 0);
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EXIT(
        {
            ZVEKSLV = ZVEK_FATAL;
            Zvekchkhd(nullptr, "fatal null");
            std::exit(99);
        },
        ExitedWithCode(8), "Null ZVEK image header encountered.\nfatal null\n");
}

TEST_F(Errors, CheckHeaderOnBadMagic) {
    ZVEKHDR h = headerWithMagic("XYZ");
    for (int level : {ZVEK_WARN, ZVEK_SILENT}) {
        ZVEKSLV = level;
        CaptureStderr();
        CaptureStdout();
        EXPECT_EQ(Zvekchkhd(&h, "caller: bad"), 0);
        EXPECT_EQ(GetCapturedStdout(), "chk:XYZ\n") << level;
        EXPECT_EQ(GetCapturedStderr(),
                  level == ZVEK_WARN ? "\nZvekchkhd:  Bad ZVEK image header encountered.\ncaller: bad\n" : "");
    }
    EXPECT_EQ(Zvekerr, 0);
    EXPECT_EXIT(
        {
            ZVEKHDR bad = headerWithMagic("XYZ");
            ZVEKSLV = ZVEK_FATAL;
            Zvekchkhd(&bad, "caller: fatal");
            std::exit(99);
        },
        ExitedWithCode(24), "Bad ZVEK image header encountered.\ncaller: fatal\n");
    // Any level other than 8 and 1 exits; only 8 and 64 print to stderr.
    EXPECT_EXIT(
        {
            ZVEKHDR bad = headerWithMagic("XYZ");
            ZVEKSLV = 2;
            Zvekchkhd(&bad, "caller: level 2");
            std::exit(99);
        },
        ExitedWithCode(24), "^$");
}

TEST_F(Errors, CheckHeaderPrintsAFullFourCharacterMagicSafely) {
    ZVEKHDR h;
    std::memset(&h, 0, sizeof h);
    std::memcpy(h.vekmagic, "ABCD", 4);  // no NUL within the field
    CaptureStdout();
    ZVEKSLV = ZVEK_SILENT;
    EXPECT_EQ(Zvekchkhd(&h, "x"), 0);
    EXPECT_EQ(GetCapturedStdout(), "chk:ABCD\n");
}

TEST_F(Errors, AllocationFailureReportsThenSetsTheCode) {
    auto *saved = Zvek_alcptr;
    Zvek_alcptr = [](size_t, size_t) -> void * { return nullptr; };
    Zvekerr = 24;
    CaptureStderr();
    EXPECT_EQ(Zvekalc(100), nullptr);
    Zvek_alcptr = saved;
    // The code line shows the code that stood before (24); 512 comes after.
    EXPECT_EQ(GetCapturedStderr(), "\nZvekalc: can't allocate storage (100 bytes requested)\n" + codeLine(24));
    EXPECT_EQ(Zvekerr, ZVEK_ENOMEM);
}
