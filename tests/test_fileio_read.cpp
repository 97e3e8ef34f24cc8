// The image file reader: files of the other byte order built byte by byte,
// the warnings of the type check, and damaged or hostile files.
#include "test_fileio_util.h"
#include "zvek.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

using namespace fiotest;

namespace {

// A file of the given type with components computed from their index.
FileSpec typedFile(const char *dt, int32_t code, int bpd, int compSize, std::vector<int32_t> lens, bool big) {
    FileSpec s;
    s.big = big;
    s.dt = dt;
    s.dtype = code;
    s.bpd = bpd;
    s.ndim = static_cast<int32_t>(lens.size());
    s.lens = lens;
    s.compSize = compSize;
    int64_t n = bpd / compSize;
    for (int32_t l : lens) n *= l;
    s.tailblk = -static_cast<int32_t>((n * compSize + 511) / 512 + 1);
    return s;
}

const std::string kFailHeader = "\nZvekRdImg: failed to get header from file\n";
const std::string kFailDims = "\nZvekRdImg: failed to get dimension headers from file\n";
const std::string kFailData = "\nZvekRdImg: failed to get data from file\n";
const std::string kDataIO = "\nZvekRdData: I/O error on read of data [file damaged?]\n";

}  // namespace

// Files from a big-endian machine: header, records and every component are
// swapped; complex halves and interleaved channels each on their own.
TEST(FileReader, ForeignOrderEveryKind) {
    struct Case {
        const char *dt;
        int32_t code;
        int bpd, comp;
        std::vector<int32_t> lens;
    };
    const std::vector<Case> cases = {
        {"8bit", 257, 1, 1, {600}},         {"u8bit", 1025, 1, 1, {30, 20}},
        {"16bit", 258, 2, 2, {30, 20}},     {"u16bit", 1026, 2, 2, {7, 5, 3}},
        {"32bit", 260, 4, 4, {30, 20}},     {"32flt", 516, 4, 4, {33, 21}},
        {"64flt", 520, 8, 8, {9, 8, 2}},    {"32cmp", 4612, 8, 4, {30, 20}},
        {"64cmp", 4616, 16, 8, {17, 3}},    {"S16bit3", 274, 2, 2, {6, 5, 3}},
        {"S32flt4", 548, 4, 4, {6, 5, 4}},  {"S64flt3", 25, 8, 8, {6, 5, 3}},
        {"Su16bit4", 1058, 2, 2, {4, 4, 4}},
    };
    for (const Case &c : cases) {
        for (int zip = 0; zip < 2; ++zip) {
            SCOPED_TRACE(std::string(c.dt) + (zip ? " compressed" : " raw"));
            FileSpec s = typedFile(c.dt, c.code, c.bpd, c.comp, c.lens, true);
            s.scale = 2.5f;
            s.offset = -3.25f;
            s.taillen = 77;  // a foreign tail is dropped
            s.zlib = zip != 0;
            s.compress = static_cast<uint8_t>(zip);
            int64_t n = c.bpd / c.comp;
            for (int32_t l : c.lens) n *= l;
            for (int64_t i = 0; i < n; ++i) {
                // Every byte of a component differs, and runs keep the data
                // compressible.
                uint64_t v = static_cast<uint64_t>(i / 16) * 0x01010101u + 0x04030201u;
                if (c.comp == 4 && (c.code & 0x200) != 0) v = bits(static_cast<float>(i / 4) * 0.5f - 7.0f);
                if (c.comp == 8) v = bits(static_cast<double>(i / 4) * 0.125 - 3.0);
                s.comps.push_back(v);
            }
            ReadResult r = readBytes(buildFile(s));
            ASSERT_NE(r.h, nullptr) << r.err << r.out;
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(r.out, "");
            ZVEKHDR *h = r.h;
            EXPECT_EQ(h->vekblksize, 512);
            EXPECT_EQ(h->vekdatblk, 1);
            EXPECT_EQ(h->vektailblk, s.tailblk);
            EXPECT_EQ(h->vektaillen, 0);
            EXPECT_EQ(h->vektail, nullptr);
            EXPECT_EQ(h->vekscale, 2.5f);
            EXPECT_EQ(h->vekoffset, -3.25f);
            EXPECT_EQ(h->dtype, c.code);
            EXPECT_EQ(h->vekbpd, c.bpd);
            EXPECT_STREQ(h->vekdt, c.dt);
            EXPECT_EQ(h->vekendian, ZVEK_LITEND);
            EXPECT_EQ(h->vekstamp, 16);
            ASSERT_EQ(h->vekndim, static_cast<int32_t>(c.lens.size()));
            for (size_t d = 0; d < c.lens.size(); ++d) {
                EXPECT_EQ(h->vekdims[d].dimlen, c.lens[d]);
                EXPECT_EQ(h->vekdims[d].dimnum, static_cast<int32_t>(d + 1));
            }
            const auto *p = static_cast<const uint8_t *>(h->vekptr);
            for (int64_t i = 0; i < n; ++i) {
                uint64_t v = 0;
                std::memcpy(&v, p + i * c.comp, c.comp);
                const uint64_t mask = c.comp == 8 ? ~uint64_t{0} : ((uint64_t{1} << (8 * c.comp)) - 1);
                ASSERT_EQ(v, s.comps[i] & mask) << "component " << i;
            }
            Zvekfree(h, 7);
        }
    }
}

// Pixel values of a foreign file through the accessors.
TEST(FileReader, ForeignPixelsThroughAccessors) {
    FileSpec s = typedFile("32cmp", 4612, 8, 4, {3, 2}, true);
    for (int i = 0; i < 6; ++i) {
        s.comps.push_back(bits(1.5f * i));        // real
        s.comps.push_back(bits(-0.25f * i - 1));  // imaginary
    }
    ReadResult r = readBytes(buildFile(s));
    ASSERT_NE(r.h, nullptr) << r.err;
    EXPECT_DOUBLE_EQ(Zvekfgp(r.h, 1, 2), 1.5 * 5);
    const float *f = static_cast<const float *>(r.h->vekptr);
    EXPECT_EQ(f[11], -0.25f * 5 - 1);
    Zvekfree(r.h, 7);

    FileSpec t = typedFile("16bit", 258, 2, 2, {2, 2}, true);
    t.comps = {1, 0xFFFF, 0x1234, 0x8000};
    r = readBytes(buildFile(t));
    ASSERT_NE(r.h, nullptr);
    EXPECT_EQ(Zvekigp(r.h, 0, 0), 1);
    EXPECT_EQ(Zvekigp(r.h, 0, 1), -1);
    EXPECT_EQ(Zvekigp(r.h, 1, 0), 0x1234);
    EXPECT_EQ(Zvekigp(r.h, 1, 1), -32768);
    Zvekfree(r.h, 7);
}

// Dimension records in any order are found by their numbers.
TEST(FileReader, RecordsInAnyOrder) {
    for (bool big : {false, true}) {
        FileSpec s = typedFile("u8bit", 1025, 1, 1, {4, 3}, big);
        s.lens = {4, 3};
        s.nums = {2, 1};  // 4 rows, 3 columns
        for (int i = 0; i < 12; ++i) s.comps.push_back(i);
        ReadResult r = readBytes(buildFile(s));
        ASSERT_NE(r.h, nullptr) << r.err;
        EXPECT_EQ(Zveknc(r.h), 3);
        EXPECT_EQ(Zveknr(r.h), 4);
        EXPECT_EQ(r.h->vekdln[1], 3);
        EXPECT_EQ(Zvekigp(r.h, 2, 1), 7);
        Zvekfree(r.h, 7);
    }
}

// A foreign header whose name and code disagree warns and takes the table's.
TEST(FileReader, ForeignTypeWarnings) {
    FileSpec s = typedFile("float", 516, 4, 4, {600}, true);
    s.comps.assign(600, bits(1.0f));
    resetReports();
    ReadResult r = readBytes(buildFile(s));
    ASSERT_NE(r.h, nullptr);
    EXPECT_EQ(r.err,
              "\nZvekRdHdr: WARNING!  File header fields 'vekdt', 'dtype' contain\n"
              "          inconsistent information -- hdr->Zvekdt = 'float',\n"
              "          hdr->dtype = $204\n"
              "          Data type table shows 'vekdt' should be = '32flt',\n"
              "          and 'dtype' should be $204\n"
              "\tVEK error code:    $00000018 = 24\n"
              "\nZvekRdImg: WARNING -- File header is inconsistent\n\n");
    EXPECT_STREQ(r.h->vekdt, "32flt");
    EXPECT_EQ(r.h->dtype, 516);
    EXPECT_EQ(r.code, 0);
    Zvekfree(r.h, 7);

    // The canonical name with a wrong code: the code comes from the table.
    s.dt = "64flt";
    s.dtype = 516;
    s.bpd = 8;
    s.compSize = 8;
    s.comps.assign(600, bits(2.0));
    r = readBytes(buildFile(s));
    ASSERT_NE(r.h, nullptr) << r.err;
    EXPECT_NE(r.err.find("          hdr->dtype = $204\n"), std::string::npos);
    EXPECT_NE(r.err.find("          and 'dtype' should be $208\n"), std::string::npos);
    EXPECT_EQ(r.h->dtype, 520);
    EXPECT_EQ(static_cast<double *>(r.h->vekptr)[599], 2.0);
    Zvekfree(r.h, 7);

    // An unknown name refuses the file.
    s = typedFile("blah", 516, 4, 4, {10}, true);
    s.comps.assign(10, 0);
    resetReports();
    r = readBytes(buildFile(s));
    EXPECT_EQ(r.h, nullptr);
    EXPECT_EQ(r.err,
              "\nZvekRdHdr: WARNING!  Data Type Field 'vekdt' does not contain a data type\n"
              "          recognized by this version of ZVEK (field 'vekdt' contains 'blah')\n"
              "          Image has damaged header?\n"
              "\tVEK error code:    $00000018 = 24\n" +
                  kFailHeader);

    // A host-order file gets no name check.
    s.big = false;
    r = readBytes(buildFile(s));
    ASSERT_NE(r.h, nullptr) << r.err;
    EXPECT_STREQ(r.h->vekdt, "blah");
    Zvekfree(r.h, 7);
}

// "struct" files: read in host order, refused in the other order.
TEST(FileReader, StructFiles) {
    FileSpec s = typedFile("struct", 8192, 12, 1, {50}, false);
    for (int i = 0; i < 600; ++i) s.comps.push_back(static_cast<uint8_t>(i * 7));
    ReadResult r = readBytes(buildFile(s));
    ASSERT_NE(r.h, nullptr) << r.err;
    EXPECT_EQ(r.h->vekbpd, 12);
    EXPECT_EQ(static_cast<uint8_t *>(r.h->vekptr)[599], static_cast<uint8_t>(599 * 7));
    Zvekfree(r.h, 7);

    s.big = true;
    resetReports();
    r = readBytes(buildFile(s));
    EXPECT_EQ(r.h, nullptr);
    EXPECT_EQ(r.out,
              "This image was created on another type computer, and it is data type \"struct\".\n"
              "I cannot convert it to this platform because I dont know the format of the (user-defined) struct.\n"
              "Sorry\n");
    EXPECT_NE(r.err.find("\nZvekRdData: failed to convert data.\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(kFailData), std::string::npos);
}

// Block sizes: 512 in either order is read, anything else fails the read.
TEST(FileReader, UnknownBlockSize) {
    FileSpec s = typedFile("u8bit", 1025, 1, 1, {10}, false);
    s.comps.assign(10, 5);
    s.blksize = 1024;
    resetReports();
    ReadResult r = readBytes(buildFile(s));
    EXPECT_EQ(r.h, nullptr);
    EXPECT_EQ(r.out, "input file blocksize not set to anything I recognize\n");
    EXPECT_EQ(r.err, kFailHeader + "\tVEK error code:    $00000018 = 24\n");
    EXPECT_EQ(r.code, 24);
}

// At severity 64 the outermost failure still ends the process.
TEST(FileReaderDeathTest, SeverityFatalEndsTheProcess) {
    FileSpec s = typedFile("u8bit", 1025, 1, 1, {10}, false);
    s.comps.assign(10, 5);
    s.blksize = 7;
    const Bytes b = buildFile(s);
    EXPECT_EXIT(
        {
            ZVEKSLV = ZVEK_FATAL;
            MemStream m(b);
            ZvekRdImg(m.get(), 0);
            std::exit(99);
        },
        testing::ExitedWithCode(24), "failed to get header from file");
}

// Damaged, cut and oversized data.
TEST(FileReader, DamagedData) {
    FileSpec s = typedFile("float", 516, 4, 4, {40, 30}, false);
    for (int i = 0; i < 1200; ++i) s.comps.push_back(bits(static_cast<float>(i % 40)));
    s.zlib = true;
    s.compress = 1;
    const Bytes good = buildFile(s);
    ReadResult r = readBytes(good);
    ASSERT_NE(r.h, nullptr) << r.err;
    Zvekfree(r.h, 7);

    // A damaged zlib stream.
    Bytes bad = good;
    for (size_t i = 520; i < 540; ++i) bad[i] ^= 0x5A;
    resetReports();
    r = readBytes(bad);
    EXPECT_EQ(r.h, nullptr);
    EXPECT_EQ(r.code, 448);
    EXPECT_EQ(r.err, kDataIO + "\tVEK error code:    $000001c0 = 448\n" + kFailData);

    // A stream cut short.
    Bytes cut(good.begin(), good.begin() + 530);
    r = readBytes(cut);
    EXPECT_EQ(r.h, nullptr);
    EXPECT_EQ(r.code, 448);

    // A stream that holds more than the header promises, and one with less.
    FileSpec more = s;
    more.lens = {40, 20};  // header says 3200 bytes, stream holds 4800
    Bytes m = buildFile(more);
    FileSpec fewer = typedFile("float", 516, 4, 4, {40, 30}, false);
    fewer.comps.assign(1200, 0);
    Bytes big = buildFile(fewer);
    // Replace the header's data with the 4800-byte stream.
    Bytes mixed(m.begin(), m.begin() + 512);
    mixed.insert(mixed.end(), good.begin() + 512, good.end());
    r = readBytes(mixed);
    EXPECT_EQ(r.h, nullptr);
    EXPECT_EQ(r.code, 448);
    Bytes shortStream(big.begin(), big.begin() + 512);
    shortStream[255] = 1;
    {
        FileSpec part = s;
        part.lens = {40, 10};
        part.comps.resize(400);
        const Bytes p = buildFile(part);
        shortStream.insert(shortStream.end(), p.begin() + 512, p.end());
    }
    r = readBytes(shortStream);
    EXPECT_EQ(r.h, nullptr);
    EXPECT_EQ(r.code, 448);

    // Raw data cut short.
    FileSpec raw = typedFile("u16bit", 1026, 2, 2, {100, 10}, false);
    raw.comps.assign(1000, 3);
    Bytes rb = buildFile(raw);
    rb.resize(512 + 1999);
    r = readBytes(rb);
    EXPECT_EQ(r.h, nullptr);
    EXPECT_EQ(r.code, 448);
    EXPECT_NE(r.err.find(kDataIO), std::string::npos);
}

// Cut headers and a missing padding.
TEST(FileReader, CutHeaders) {
    FileSpec s = typedFile("u8bit", 1025, 1, 1, {10}, false);
    s.comps.assign(10, 9);
    const Bytes b = buildFile(s);
    for (size_t n : {size_t{0}, size_t{100}, size_t{255}}) {
        resetReports();
        ReadResult r = readBytes(Bytes(b.begin(), b.begin() + n));
        EXPECT_EQ(r.h, nullptr);
        EXPECT_EQ(r.code, 448);
        EXPECT_EQ(r.err.rfind("\nZvekRdHdr: I/O error or EOF when reading header.\n", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(kFailHeader), std::string::npos);
    }
    // The file ends right after the records: two warnings, then the data fail.
    resetReports();
    ReadResult r = readBytes(Bytes(b.begin(), b.begin() + 320));
    EXPECT_EQ(r.h, nullptr);
    EXPECT_EQ(r.err.rfind("\nZvekRdDims: WARNING!  There is no padding after the\n"
                          "\n          ZVEK file header.  File is probably damaged.\n" +
                              kDataIO,
                          0),
              0u)
        << r.err;
    // The padding present but no data.
    r = readBytes(Bytes(b.begin(), b.begin() + 512));
    EXPECT_EQ(r.h, nullptr);
    EXPECT_EQ(r.code, 448);
}

// Headers that would make the reader step outside its blocks are refused.
TEST(FileReader, HostileHeaders) {
    struct Case {
        const char *what;
        FileSpec spec;
        int32_t code;
        std::string report, outer;
    };
    std::vector<Case> cases;
    auto base = [] {
        FileSpec s = typedFile("u8bit", 1025, 1, 1, {8, 8}, false);
        s.comps.assign(64, 1);
        return s;
    };
    const std::string ndimMsg = "ZvekRdHdr: number of dimensions in file header is not 1, 2 or 3.";
    for (int32_t nd : {0, 4, -1, 1000000}) {
        FileSpec s = base();
        s.ndim = nd;
        cases.push_back({"ndim", s, 8192, ndimMsg, kFailHeader});
    }
    {
        FileSpec s = base();
        s.ndim = 4;
        s.big = true;
        cases.push_back({"foreign ndim", s, 8192, ndimMsg, kFailHeader});
    }
    {
        FileSpec s = base();
        s.lens = {8, -8};
        cases.push_back({"negative", s, 24, "ZvekRdDims: negative dimension length in file.", kFailDims});
    }
    {
        FileSpec s = base();
        s.lens = {65536, 65536};
        cases.push_back({"overflow", s, 24, "ZvekRdDims: image in file is too large (2 GB or more of data).", kFailDims});
    }
    {
        FileSpec s = typedFile("64cmp", 4616, 16, 8, {1 << 14, 1 << 13}, true);
        cases.push_back({"overflow by datum", s, 24, "ZvekRdDims: image in file is too large (2 GB or more of data).",
                         kFailDims});
    }
    const std::string numMsg = "ZvekRdDims: dimension numbers in file are not 1 to the number of dimensions.";
    for (std::vector<int32_t> nums : {std::vector<int32_t>{1, 1}, {0, 1}, {1, 3}, {2, -5}}) {
        FileSpec s = base();
        s.nums = nums;
        cases.push_back({"dimnum", s, 8192, numMsg, kFailDims});
    }
    {
        FileSpec s = base();
        s.bpd = 2;
        cases.push_back({"bpd", s, 24, "ZvekRdHdr: bytes per datum in file header disagree with the data type.",
                         kFailHeader});
    }
    {
        FileSpec s = base();
        s.dtype = 999;
        cases.push_back({"code", s, 24, "ZvekRdHdr: unknown data type code in file header.", kFailHeader});
    }
    {
        FileSpec s = base();
        s.dt = "struct";
        s.dtype = 8192;
        s.bpd = 0;
        cases.push_back({"struct bpd", s, 24,
                         "ZvekRdHdr: bytes per datum in file header disagree with the data type.", kFailHeader});
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        resetReports();
        ReadResult r = readBytes(buildFile(c.spec));
        EXPECT_EQ(r.h, nullptr);
        EXPECT_EQ(r.code, c.code);
        char codeLine[64];
        std::snprintf(codeLine, sizeof codeLine, "\tVEK error code:    $%08x = %d\n", c.code, c.code);
        EXPECT_EQ(r.err, "\n" + c.report + "\n" + codeLine + c.outer);
    }

    // A bad magic is refused when the stride array is built.
    FileSpec s = base();
    s.magic = "XYZ";
    ReadResult r = readBytes(buildFile(s));
    EXPECT_EQ(r.h, nullptr);
    EXPECT_EQ(r.out, "chk:XYZ\n");
    EXPECT_NE(r.err.find(kFailDims), std::string::npos);
}

// Texts that fill their fields are cut to keep them terminated.
TEST(FileReader, UnterminatedTexts) {
    FileSpec s = typedFile("u8bit", 1025, 1, 1, {10}, false);
    s.comps.assign(10, 1);
    s.cuser = std::string(32, 'A');
    s.units = std::string(16, 'U');
    Bytes b = buildFile(s);
    for (int i = 0; i < 8; ++i) b[256 + 8 + i] = 'D';  // dimdir without a NUL
    ReadResult r = readBytes(b);
    ASSERT_NE(r.h, nullptr) << r.err;
    EXPECT_EQ(std::string(r.h->vekcuser), std::string(31, 'A'));
    EXPECT_EQ(std::string(r.h->vekunits), std::string(15, 'U'));
    EXPECT_EQ(std::string(r.h->vekdims[0].dimdir), std::string(7, 'D'));
    Zvekfree(r.h, 7);

    // A foreign 16-character type name is reported within its field.
    FileSpec f = typedFile("0123456789abcdef", 516, 4, 4, {10}, true);
    f.comps.assign(10, 0);
    resetReports();
    r = readBytes(buildFile(f));
    EXPECT_EQ(r.h, nullptr);
    EXPECT_NE(r.err.find("(field 'vekdt' contains '0123456789abcde')"), std::string::npos) << r.err;
}

// Named files: a missing file and the round trip through Zvekpin.
TEST(FileReader, NamedFiles) {
    resetReports();
    testing::internal::CaptureStderr();
    EXPECT_EQ(Zvekpin("/nonexistent-dir/none.zve"), nullptr);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Zvekerr, 64);
    EXPECT_NE(err.find("\nZvekGetImg: couldn't open file.\n"), std::string::npos) << err;

    TempDir dir;
    const std::string path = dir.path("bad.zve");
    writeFile(path, Bytes(100, 0));
    testing::internal::CaptureStderr();
    EXPECT_EQ(Zvekpin(path.c_str()), nullptr);
    const std::string err2 = testing::internal::GetCapturedStderr();
    EXPECT_NE(err2.find(kFailHeader + "\nZvekGetImg: Error while reading image file.\n"), std::string::npos) << err2;

    // A big-endian file on disk reads like one from a stream.
    FileSpec s = typedFile("32bit", 260, 4, 4, {3}, true);
    s.comps = {1, 0x01020304, 0xFFFFFFFE};
    const std::string be = dir.path("be.zve");
    writeFile(be, buildFile(s));
    ZVEKHDR *h = Zvekpin(be.c_str());
    ASSERT_NE(h, nullptr);
    const int32_t *p = static_cast<const int32_t *>(h->vekptr);
    EXPECT_EQ(p[0], 1);
    EXPECT_EQ(p[1], 0x01020304);
    EXPECT_EQ(p[2], -2);
    Zvekfree(h, 7);
}

// The building blocks of the conversion.
TEST(FileReader, SwapHelpers) {
    unsigned char b[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    swapcopy(b, 3);
    EXPECT_EQ(std::memcmp(b, "\3\2\1\4\5\6\7\10", 8), 0);
    swapcopy(b, 8);
    EXPECT_EQ(std::memcmp(b, "\10\7\6\5\4\1\2\3", 8), 0);

    // Interleaved data swap each channel, complex data each half.
    const int32_t dims[] = {3, 2, 1, 3};
    ZVEKHDR *h = Zvekcreate("S16bit3", dims, 11, 0);
    auto *p = static_cast<uint16_t *>(h->vekptr);
    for (int i = 0; i < 6; ++i) p[i] = static_cast<uint16_t>(0x0100 * (i + 1) + 0xA0);
    EXPECT_EQ(ZvekConvertData(h), 0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(p[i], 0xA000 + i + 1);
    Zvekfree(h, 7);
}
