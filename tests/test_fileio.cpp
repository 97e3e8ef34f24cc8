// The image file writer: exact bytes of small files, compression rules,
// failed writes, and round trips of every type through the reader.
#include "test_fileio_util.h"
#include "zvek.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace fiotest;

namespace {

ZVEKHDR *make(const char *type, std::vector<int32_t> dims, int structSize = 0) {
    dims.insert(dims.begin(), static_cast<int32_t>(dims.size()));
    return Zvekcreate(type, dims.data(), 11, structSize);
}

int32_t le32(const Bytes &b, size_t at) {
    return static_cast<int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24);
}

bool allDots(const Bytes &b, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
        if (b[i] != '.') return false;
    return true;
}

}  // namespace

// The 1-D "u8bit" image of ten pixels, byte by byte from the file layout.
TEST(FileWriter, TenPixelFileExactBytes) {
    TempDir dir;
    const std::string path = dir.path("ten.zve");
    ZVEKHDR *h = make("u8bit", {10});
    ASSERT_NE(h, nullptr);
    auto *p = static_cast<uint8_t *>(h->vekptr);
    for (int i = 0; i < 10; ++i) p[i] = static_cast<uint8_t>(3 * i + 1);

    testing::internal::CaptureStdout();
    EXPECT_EQ(Zvekpot(h, path.c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ZvekPutImg error msg: image has 10 pixels so it will not be compressed\n");
    EXPECT_EQ(h->vekcompress, 0) << "the flag stays cleared in memory";

    FileSpec s;
    s.cdate = h->vekcdate;
    s.compSize = 1;
    for (int i = 0; i < 10; ++i) s.comps.push_back(3 * i + 1);
    const Bytes expected = buildFile(s);
    ASSERT_EQ(expected.size(), 1024u);
    const Bytes got = readFile(path);
    ASSERT_EQ(got.size(), 1024u);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(got[255], 0);
    EXPECT_TRUE(allDots(got, 320, 512));
    EXPECT_TRUE(allDots(got, 522, 1024));
    // The header buffer of the writer holds the same 256 bytes.
    EXPECT_EQ(std::memcmp(CopyvekHdrtoDiskHeader(h), expected.data(), 256), 0);
    Zvekfree(h, 7);
}

// Disk header fields at their offsets; pointers as zero; texts at full width.
TEST(FileWriter, HeaderFieldsAtTheirOffsets) {
    ZVEKHDR *h = make("64cmp", {5, 4, 3});
    ASSERT_NE(h, nullptr);
    // Bytes after the NUL of a text field are copied too.
    std::memcpy(h->vekcuser + 20, "xyz", 3);
    for (int i = 0; i < 38; ++i) h->vekres1[i] = static_cast<uint8_t>(i + 1);
    h->vekres2[0] = 7, h->vekres2[1] = 8, h->vekres2[2] = 9;
    h->vekscale = 2.5f;
    h->vekoffset = -1.0f;
    h->vekuptr = h;
    h->vekblksize = 1024;  // the file always says 512
    const uint8_t *d = CopyvekHdrtoDiskHeader(h);
    Bytes b(d, d + 256);
    EXPECT_EQ(std::memcmp(&b[0], "ZVE", 4), 0);
    EXPECT_EQ(le32(b, 4), 512);
    EXPECT_EQ(le32(b, 8), 0);
    EXPECT_EQ(le32(b, 12), 1);
    EXPECT_EQ(le32(b, 16), -(1 + (5 * 4 * 3 * 16 + 511) / 512));
    EXPECT_EQ(le32(b, 20), 0);
    EXPECT_EQ(le32(b, 24), 0);
    EXPECT_EQ(std::memcmp(&b[44], h->vekcuser, 32), 0);
    EXPECT_EQ(std::memcmp(&b[64], "xyz", 3), 0);
    EXPECT_EQ(std::memcmp(&b[108], "Zvekcreate", 11), 0);
    EXPECT_EQ(b[148], 2);
    EXPECT_EQ(b[149], 16);
    for (int i = 0; i < 38; ++i) EXPECT_EQ(b[150 + i], i + 1);
    EXPECT_EQ(std::memcmp(&b[188], "pixels\0\0\0\0\0\0\0\0\0\0", 16), 0);
    const float scale = 2.5f, offset = -1.0f;
    EXPECT_EQ(std::memcmp(&b[204], &scale, 4), 0);
    EXPECT_EQ(std::memcmp(&b[208], &offset, 4), 0);
    EXPECT_EQ(std::memcmp(&b[212], "64cmp\0", 6), 0);
    EXPECT_EQ(le32(b, 228), 4616);
    EXPECT_EQ(le32(b, 232), 16);
    EXPECT_EQ(le32(b, 236), 3);
    for (int i = 240; i < 252; ++i) EXPECT_EQ(b[i], 0) << "pointer slot byte " << i;
    EXPECT_EQ(b[252], 7);
    EXPECT_EQ(b[253], 8);
    EXPECT_EQ(b[254], 9);
    EXPECT_EQ(b[255], 1);

    // ZvekWrImg writes the same header with 512 and leaves memory alone.
    h->vekcompress = 0;
    const Bytes file = writeBytes(h);
    ASSERT_GE(file.size(), 512u);
    EXPECT_EQ(le32(file, 4), 512);
    EXPECT_EQ(h->vekblksize, 1024);
    // Three dimension records at 256..447, padding up to 512.
    EXPECT_EQ(std::memcmp(&file[256], h->vekdims, 192), 0);
    EXPECT_EQ(le32(file, 256), 5);
    EXPECT_EQ(le32(file, 260), 1);
    EXPECT_EQ(le32(file, 320), 4);
    EXPECT_EQ(le32(file, 384 + 4), 3);
    EXPECT_TRUE(allDots(file, 448, 512));
    EXPECT_EQ(file.size(), 512u + 5 * 4 * 3 * 16 + (512 - 960 % 512));
    Zvekfree(h, 7);
}

// A 100 x 100 "float" image of smooth data is one zlib stream plus 448 dots.
TEST(FileWriter, CompressedFloatLayout) {
    TempDir dir;
    const std::string path = dir.path("f.zve");
    ZVEKHDR *h = make("float", {100, 100});
    ASSERT_NE(h, nullptr);
    auto *p = static_cast<float *>(h->vekptr);
    for (int i = 0; i < 10000; ++i) p[i] = static_cast<float>((i % 100) * 0.25 + (i / 100));
    testing::internal::CaptureStdout();
    EXPECT_EQ(Zvekpot(h, path.c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(h->vekcompress, 1);
    const Bytes b = readFile(path);

    uLongf zlen = compressBound(40000);
    Bytes z(zlen);
    ASSERT_EQ(compress(z.data(), &zlen, reinterpret_cast<const Bytef *>(p), 40000), Z_OK);
    z.resize(zlen);
    ASSERT_EQ(b.size(), 512 + zlen + 448);
    EXPECT_NE(b[255], 0);
    EXPECT_EQ(Bytes(b.begin() + 512, b.begin() + 512 + zlen), z);
    EXPECT_TRUE(allDots(b, 512 + zlen, b.size()));
    EXPECT_TRUE(allDots(b, 256 + 128, 512));

    ZVEKHDR *r = Zvekpin(path.c_str());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(std::memcmp(r->vekptr, p, 40000), 0);
    EXPECT_EQ(r->vekcompress, 1);
    Zvekfree(r, 7);
    Zvekfree(h, 7);
}

// Data that zlib cannot shrink are written raw and still read back.
TEST(FileWriter, IncompressibleDataWrittenRaw) {
    std::mt19937 rng(12345);
    for (const char *type : {"u8bit", "float", "64cmp"}) {
        SCOPED_TRACE(type);
        ZVEKHDR *h = make(type, {64, 33});
        ASSERT_NE(h, nullptr);
        const int S = Zvekdimen(h, ZVEK_NBYTES);
        auto *p = static_cast<uint8_t *>(h->vekptr);
        for (int i = 0; i < S; ++i) p[i] = static_cast<uint8_t>(rng());
        int result = 0;
        const Bytes b = writeBytes(h, 0, &result);
        EXPECT_EQ(result, -1);
        EXPECT_EQ(b[255], 0) << "raw data marked in the file";
        EXPECT_EQ(h->vekcompress, 1) << "the image's own flag is left alone";
        ASSERT_EQ(b.size(), 512 + static_cast<size_t>((S + 511) / 512 * 512));
        EXPECT_EQ(std::memcmp(&b[512], p, S), 0);
        ReadResult r = readBytes(b);
        ASSERT_NE(r.h, nullptr) << r.err;
        EXPECT_EQ(std::memcmp(r.h->vekptr, p, S), 0);
        EXPECT_EQ(r.h->vekcompress, 0);
        Zvekfree(r.h, 7);
        Zvekfree(h, 7);
    }
}

// Every type, one to three dimensions, raw and compressed, through a stream
// and through named files.
TEST(FileWriter, RoundTripEveryType) {
    TempDir dir;
    std::mt19937 rng(99);
    int types = 0;
    for (int t = 0; t < Zvek_Ntyp; ++t) {
        const ZVEKDTYP &row = Zvek_Dtyp[t];
        if (row.dtcode == 0) continue;
        ++types;
        const int channels = (row.dtcode & 0x20) ? 4 : 3;
        const bool interleaved = (row.dtcode & 0x30) != 0 && row.dtcode != DT_STRUCT;
        const std::vector<std::vector<int32_t>> shapes = {{700}, {37, 19}, {11, 7, interleaved ? channels : 5}};
        for (const auto &shape : shapes) {
            for (int mode = 0; mode < 3; ++mode) {  // 0 raw, 1 compressed smooth, 2 compressed random
                SCOPED_TRACE(std::string(row.dtname) + " ndim " + std::to_string(shape.size()) + " mode " +
                             std::to_string(mode));
                ZVEKHDR *h = make(row.dtname, shape, 12);
                ASSERT_NE(h, nullptr);
                h->vekcompress = mode != 0;
                const int S = Zvekdimen(h, ZVEK_NBYTES);
                auto *p = static_cast<uint8_t *>(h->vekptr);
                for (int i = 0; i < S; ++i) p[i] = mode == 2 ? static_cast<uint8_t>(rng()) : static_cast<uint8_t>(i / 13);
                int result = 0;
                const Bytes b = writeBytes(h, 0, &result);
                ASSERT_EQ(result, -1);
                EXPECT_EQ(b[255], mode == 1 ? 1 : 0);
                // Raw data fill whole blocks; a zlib stream is followed by the
                // padding of the uncompressed size.
                const size_t pad = (512 - S % 512) % 512;
                if (mode == 1) {
                    EXPECT_GT(b.size(), 512 + pad);
                    EXPECT_LT(b.size(), 512 + pad + S);
                    EXPECT_TRUE(allDots(b, b.size() - pad, b.size()));
                } else {
                    EXPECT_EQ(b.size(), 512 + S + pad);
                }
                ReadResult r = readBytes(b);
                ASSERT_NE(r.h, nullptr) << r.err;
                EXPECT_EQ(r.err, "");
                EXPECT_EQ(r.out, "");
                EXPECT_EQ(r.h->dtype, row.dtcode);
                EXPECT_STREQ(r.h->vekdt, row.dtname);
                EXPECT_EQ(r.h->vekbpd, h->vekbpd);
                ASSERT_EQ(r.h->vekndim, h->vekndim);
                EXPECT_EQ(std::memcmp(r.h->vekdims, h->vekdims, 64 * h->vekndim), 0);
                for (int i = 0; i <= h->vekndim; ++i) EXPECT_EQ(r.h->vekdln[i], h->vekdln[i]);
                EXPECT_EQ(r.h->vekendian, h->vekendian);
                EXPECT_EQ(r.h->vekstamp, 16);
                EXPECT_EQ(std::memcmp(r.h->vekptr, p, S), 0);
                // The header as read writes the same header bytes again.
                r.h->vekcompress = b[255];
                EXPECT_EQ(std::memcmp(CopyvekHdrtoDiskHeader(r.h), b.data(), 256), 0);
                Zvekfree(r.h, 7);

                if (shape.size() == 2) {
                    const std::string path = dir.path(std::string(row.dtname) + std::to_string(mode) + ".zve");
                    ASSERT_EQ(Zvekpot(h, path.c_str()), -1);
                    ZVEKHDR *f = Zvekpin(path.c_str());
                    ASSERT_NE(f, nullptr);
                    EXPECT_EQ(std::memcmp(f->vekptr, p, S), 0);
                    Zvekfree(f, 7);
                }
                Zvekfree(h, 7);
            }
        }
    }
    EXPECT_EQ(types, 24);
}

// Tails: written after the data padding, read back raw and compressed.
TEST(FileWriter, TailRoundTrip) {
    for (int compressed = 0; compressed < 2; ++compressed) {
        SCOPED_TRACE(compressed);
        ZVEKHDR *h = make("16bit", {40, 30});
        ASSERT_NE(h, nullptr);
        h->vekcompress = static_cast<uint8_t>(compressed);
        auto *p = static_cast<int16_t *>(h->vekptr);
        for (int i = 0; i < 1200; ++i) p[i] = static_cast<int16_t>(i % 40 - 20);
        const char text[] = "a tail of free-form bytes!";
        h->vektaillen = sizeof text;
        h->vektail = static_cast<unsigned char *>(std::calloc(sizeof text, 1));
        std::memcpy(h->vektail, text, sizeof text);
        h->vektail[sizeof text - 1] = 'X';  // the writer ends it with 0

        // Without writeTail the file has no tail and says 0.
        Bytes b = writeBytes(h, 0);
        EXPECT_EQ(le32(b, 20), 0);
        b = writeBytes(h, 1);
        EXPECT_EQ(le32(b, 20), static_cast<int32_t>(sizeof text));
        EXPECT_EQ(h->vektail[sizeof text - 1], 0);
        if (!compressed) {
            ASSERT_EQ(b.size(), 512u + 2560u + 512u);
        }
        EXPECT_EQ(std::memcmp(&b[b.size() - 512], text, sizeof text), 0);
        EXPECT_TRUE(allDots(b, b.size() - 512 + sizeof text, b.size()));

        ReadResult r = readBytes(b, 1);
        ASSERT_NE(r.h, nullptr) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(std::memcmp(r.h->vekptr, p, 2400), 0);
        ASSERT_EQ(r.h->vektaillen, static_cast<int32_t>(sizeof text));
        ASSERT_NE(r.h->vektail, nullptr);
        EXPECT_EQ(std::memcmp(r.h->vektail, text, sizeof text), 0);
        Zvekfree(r.h, 7);

        // Read without the tail: the image has no tail block.
        r = readBytes(b, 0);
        ASSERT_NE(r.h, nullptr);
        EXPECT_EQ(r.h->vektail, nullptr);
        Zvekfree(r.h, 7);
        Zvekfree(h, 7);
    }
    // Asking for a tail of a file without one is not a failure.
    ZVEKHDR *h = make("u8bit", {600});
    const Bytes b = writeBytes(h);
    ReadResult r = readBytes(b, 1);
    EXPECT_NE(r.h, nullptr);
    Zvekfree(r.h, 7);
    Zvekfree(h, 7);
}

// Refused images and failed writes, with their codes and reports.
TEST(FileWriter, RefusalsAndFailures) {
    TempDir dir;
    ZVEKHDR *h = make("u8bit", {600});
    ASSERT_NE(h, nullptr);

    resetReports();
    testing::internal::CaptureStderr();
    EXPECT_EQ(Zvekpot(nullptr, dir.path("a").c_str()), 0);
    EXPECT_EQ(Zvekerr, 8);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\nZvekPutImg: Image header is NULL\n\tVEK error code:    $00000008 = 8\n");

    // "VEK" is refused by ZvekPutImg and accepted by ZvekWrImg.
    std::memcpy(h->vekmagic, "VEK", 4);
    errno = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(Zvekpot(h, dir.path("b").c_str()), 0);
    EXPECT_EQ(Zvekerr, 24);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\nZvekPutImg: Invalid image header (bad magic no.)\n\tVEK error code:    $00000018 = 24\n");
    int result = 0;
    Bytes b = writeBytes(h, 0, &result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(std::memcmp(b.data(), "VEK", 4), 0);
    ReadResult r = readBytes(b);
    ASSERT_NE(r.h, nullptr);
    Zvekfree(r.h, 7);

    std::memcpy(h->vekmagic, "XYZ", 4);
    errno = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(ZvekWrImg(h, stdout, 0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\nZvekWrImg: Invalid image header (bad magic no.)\n");
    std::memcpy(h->vekmagic, "ZVE", 4);

    void *data = h->vekptr;
    h->vekptr = nullptr;
    errno = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(Zvekpot(h, dir.path("c").c_str()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\nZvekPutImg: No data associated with header! (field 'vekptr' = 0)\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(ZvekWrImg(h, stdout, 0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\nZvekWrImg: No data associated with header! (field 'vekptr' = 0)\n");
    h->vekptr = data;

    // A file that cannot be opened.
    testing::internal::CaptureStderr();
    EXPECT_EQ(Zvekpot(h, "/nonexistent-dir/x.zve"), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("\nZvekPutImg: couldn't open file.\n"), std::string::npos) << err;
    EXPECT_EQ(Zvekerr, 64);

    // A full disk: the buffered bytes fail at the flush or the close.
    resetReports();
    testing::internal::CaptureStderr();
    EXPECT_EQ(Zvekpot(h, "/dev/full"), 0);
    EXPECT_EQ(Zvekerr, 448);
    const std::string full = testing::internal::GetCapturedStderr();
    EXPECT_NE(full.find("\nZvekPutImg: Error while writing image file.\n"), std::string::npos) << full;
    FILE *f = std::fopen("/dev/full", "wb");
    ASSERT_NE(f, nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ZvekWrImg(h, f, 0), 0);
    EXPECT_EQ(Zvekerr, 448);
    testing::internal::GetCapturedStderr();
    std::fclose(f);

    // A stream that refuses the first bytes.
    FILE *ro = std::tmpfile();
    FILE *rd = fdopen(dup(fileno(ro)), "rb");
    std::setvbuf(rd, nullptr, _IONBF, 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ZvekWrImg(h, rd, 0), 0);
    EXPECT_EQ(Zvekerr, 448);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("\nZvekWrImg: I/O error when writing ZVEK  header.\n"),
              std::string::npos);
    std::fclose(rd);
    std::fclose(ro);
    Zvekfree(h, 7);
}

// Images of exactly 511 and 512 pixels on either side of the notice.
TEST(FileWriter, SmallImagesAreNotCompressed) {
    TempDir dir;
    ZVEKHDR *small = make("float", {511});
    ZVEKHDR *large = make("float", {512});
    testing::internal::CaptureStdout();
    EXPECT_EQ(Zvekpot(small, dir.path("s").c_str()), -1);
    EXPECT_EQ(Zvekpot(large, dir.path("l").c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ZvekPutImg error msg: image has 511 pixels so it will not be compressed\n");
    EXPECT_EQ(small->vekcompress, 0);
    EXPECT_EQ(large->vekcompress, 1);
    const Bytes s = readFile(dir.path("s"));
    const Bytes l = readFile(dir.path("l"));
    EXPECT_EQ(s[255], 0);
    EXPECT_EQ(s.size(), 512u + 2048u);
    EXPECT_EQ(l[255], 1);
    EXPECT_LT(l.size(), 512u + 2048u + 512u);
    Zvekfree(small, 7);
    Zvekfree(large, 7);
}

// An image with a dimension of length zero has no data bytes and still
// reads back.
TEST(FileWriter, EmptyImageRoundTrip) {
    ZVEKHDR *h = make("float", {0, 5});
    ASSERT_NE(h, nullptr);
    int result = 0;
    const Bytes b = writeBytes(h, 0, &result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(b.size(), 512u);
    EXPECT_EQ(b[255], 0);
    ReadResult r = readBytes(b);
    ASSERT_NE(r.h, nullptr) << r.err;
    EXPECT_EQ(r.h->vekdims[0].dimlen, 0);
    EXPECT_EQ(r.h->vekdims[1].dimlen, 5);
    Zvekfree(r.h, 7);
    Zvekfree(h, 7);
}
