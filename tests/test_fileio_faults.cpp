// The image file writer and reader when things go wrong: a stream that
// fills up at every stage of a write, allocations that fail at every step of
// a read, tails cut short, foreign tails, and bad arguments. Each case checks
// the exact report, the error code, the call depth and that nothing leaks.
#include "test_fileio_util.h"
#include "zvek.h"
#include "zvektest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace fiotest;
using zvektest::codeLine;
using zvektest::resetErrorState;

namespace {

class FileFaults : public zvektest::ZvekTest {};

ZVEKHDR *make(const char *type, std::vector<int32_t> dims) {
    dims.insert(dims.begin(), static_cast<int32_t>(dims.size()));
    return Zvekcreate(type, dims.data(), 11, 0);
}

// A write-only stream that takes at most `room` bytes and refuses the rest.
struct Limited {
    size_t room;
    Bytes got;
};

ssize_t limitedWrite(void *cookie, const char *buf, size_t n) {
    auto *l = static_cast<Limited *>(cookie);
    const size_t k = std::min(n, l->room);
    l->got.insert(l->got.end(), buf, buf + k);
    l->room -= k;
    return static_cast<ssize_t>(k);
}

FILE *openLimited(Limited &l) {
    cookie_io_functions_t io{};
    io.write = limitedWrite;
    FILE *f = fopencookie(&l, "wb", io);
    if (f) std::setvbuf(f, nullptr, _IONBF, 0);
    return f;
}

// An allocator hook that fails its n-th call and keeps the live blocks.
struct Tracker {
    int failAt = -1;
    int calls = 0;
    std::map<void *, size_t> live;
    int badFrees = 0;
};
Tracker *gTracker = nullptr;

void *trackedAlloc(size_t count, size_t size) {
    if (gTracker->calls++ == gTracker->failAt) return nullptr;
    void *p = std::calloc(count, size);
    if (p) gTracker->live[p] = count * size;
    return p;
}

void trackedFree(void *p) {
    if (p == nullptr) return;
    auto it = gTracker->live.find(p);
    if (it == gTracker->live.end()) ++gTracker->badFrees;
    else gTracker->live.erase(it);
    std::free(p);
}

// Installs the tracking hooks for its lifetime.
struct TrackedHooks {
    Tracker t;
    void *(*oldAlloc)(size_t, size_t) = Zvek_alcptr;
    void (*oldFree)(void *) = Zvek_freeptr;
    explicit TrackedHooks(int failAt) {
        t.failAt = failAt;
        gTracker = &t;
        Zvek_alcptr = trackedAlloc;
        Zvek_freeptr = trackedFree;
    }
    ~TrackedHooks() {
        Zvek_alcptr = oldAlloc;
        Zvek_freeptr = oldFree;
        gTracker = nullptr;
    }
};

// True when the texts occur in the given order.
bool inOrder(const std::string &hay, const std::vector<std::string> &parts) {
    size_t at = 0;
    for (const std::string &p : parts) {
        at = hay.find(p, at);
        if (at == std::string::npos) return false;
        at += p.size();
    }
    return true;
}

// A 600-pixel "u8bit" image, raw, with a 20-byte tail.
ZVEKHDR *tailImage() {
    ZVEKHDR *h = make("u8bit", {600});
    auto *p = static_cast<uint8_t *>(h->vekptr);
    for (int i = 0; i < 600; ++i) p[i] = static_cast<uint8_t>(i % 7 + i / 100);
    h->vekcompress = 0;
    h->vektaillen = 20;
    h->vektail = static_cast<unsigned char *>(Zvekalc(20));
    for (int i = 0; i < 20; ++i) h->vektail[i] = static_cast<unsigned char>('a' + i);
    return h;
}

}  // namespace

// A stream that fills up at each stage of the file gives that stage's report,
// and what did go out is the start of the complete file.
TEST_F(FileFaults, WriteFailsAtEveryStage) {
    for (int compressed = 0; compressed < 2; ++compressed) {
        ZVEKHDR *h = tailImage();
        h->vekcompress = static_cast<uint8_t>(compressed);
        const Bytes full = writeBytes(h, 1);
        // Header 512, data S = 600 (or the zlib stream), 424 dots, tail 20, 492 dots.
        const size_t data = compressed ? full.size() - 512 - 424 - 512 : 600;
        ASSERT_EQ(full.size(), 512 + data + 424 + 512);
        ASSERT_EQ(full[255], compressed);
        const struct {
            size_t room;
            const char *msg;
        } stages[] = {
            {0, "ZvekWrImg: I/O error when writing ZVEK  header."},
            {255, "ZvekWrImg: I/O error when writing ZVEK  header."},
            {256, "WrImg: I/O error when writing the dimensions sub headers."},
            {319, "WrImg: I/O error when writing the dimensions sub headers."},
            {320, "WrImg: I/O error when writing padding after header."},
            {511, "WrImg: I/O error when writing padding after header."},
            {512, "ZvekWrImg: I/O error when writing ZVEK file header."},
            {512 + data - 1, "ZvekWrImg: I/O error when writing ZVEK file header."},
            {512 + data, "ZvekWrImg: I/O error when writing padding after data."},
            {512 + data + 423, "ZvekWrImg: I/O error when writing padding after data."},
            {512 + data + 424, "ZvekWrImg: I/O error when writing file tail."},
            {512 + data + 443, "ZvekWrImg: I/O error when writing file tail."},
            {512 + data + 444, "ZvekWrImg: I/O error when writing padding after tail."},
            {full.size() - 1, "ZvekWrImg: I/O error when writing padding after tail."},
        };
        for (const auto &st : stages) {
            SCOPED_TRACE(std::to_string(compressed) + " room " + std::to_string(st.room));
            Limited l{st.room, {}};
            FILE *f = openLimited(l);
            ASSERT_NE(f, nullptr);
            resetErrorState();
            testing::internal::CaptureStderr();
            EXPECT_EQ(ZvekWrImg(h, f, 1), 0);
            const std::string err = testing::internal::GetCapturedStderr();
            EXPECT_EQ(Zvekerr, 448);
            EXPECT_EQ(ZVEKDEPTH, 0);
            EXPECT_EQ(err.rfind("\n" + std::string(st.msg) + "\n" + codeLine(448), 0), 0u) << err;
            EXPECT_EQ(l.got, Bytes(full.begin(), full.begin() + static_cast<long>(st.room)));
            std::fclose(f);
        }
        // Room for the whole file: written.
        Limited l{full.size(), {}};
        FILE *f = openLimited(l);
        EXPECT_EQ(ZvekWrImg(h, f, 1), -1);
        EXPECT_EQ(l.got, full);
        std::fclose(f);
        Zvekfree(h, 7);
    }
}

// The writer's argument checks and a size query that fails.
TEST_F(FileFaults, WriterBadArguments) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(ZvekWrImg(nullptr, stdout, 0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\nZvekWrImg: Image header is NULL\n" + codeLine(8));
    EXPECT_EQ(Zvekerr, 8);

    ZVEKHDR *h = make("float", {20, 30});
    ASSERT_NE(h, nullptr);
    h->vekndim = 0;
    resetErrorState();
    FILE *f = std::tmpfile();
    testing::internal::CaptureStderr();
    EXPECT_EQ(ZvekWrImg(h, f, 0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\nZveksiz: number of dimensions not positive.\n" + codeLine(-1) +
                  "\nZvekWrImg: internal error! Call to 'veksiz' failed.\n");
    EXPECT_EQ(Zvekerr, -1) << "no code of its own";
    EXPECT_EQ(std::ftell(f), 0) << "nothing written";
    std::fclose(f);
    h->vekndim = 2;

    // No stream: nothing to write to.
    resetErrorState();
    testing::internal::CaptureStderr();
    EXPECT_EQ(ZvekWrImg(h, nullptr, 0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\nZvekWrImg: I/O error when writing ZVEK  header.\n" + codeLine(448));
    EXPECT_EQ(CopyvekHdrtoDiskHeader(nullptr), nullptr);
    Zvekfree(h, 7);

    // Lengths whose product leaves 64 bits are a failed size query, not an
    // overflow.
    ZVEKHDR *big = make("u8bit", {2, 2, 2});
    ASSERT_NE(big, nullptr);
    for (int d = 0; d < 3; ++d) big->vekdims[d].dimlen = INT32_MAX;
    resetErrorState();
    f = std::tmpfile();
    testing::internal::CaptureStderr();
    EXPECT_EQ(ZvekWrImg(big, f, 0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\nZvekWrImg: internal error! Call to 'veksiz' failed.\n");
    EXPECT_EQ(std::ftell(f), 0);
    std::fclose(f);
    for (int d = 0; d < 3; ++d) big->vekdims[d].dimlen = 2;
    Zvekfree(big, 7);
    EXPECT_EQ(ZVEKDEPTH, 0);
}

// An allocation that fails at each step of a read fails that step with its
// report, and whatever the read had allocated is released exactly once.
TEST_F(FileFaults, ReadAllocationFailures) {
    ZVEKHDR *img = tailImage();
    const Bytes file = writeBytes(img, 1);
    Zvekfree(img, 7);

    // Allocation order: header (512), size query (2 x 8), strides (16),
    // data (600), tail (20).
    const struct {
        int failAt;
        int bytes;
        std::vector<std::string> reports;
        int32_t code;
    } cases[] = {
        {0, 512, {"ZvekRdHdr: ran out of memory.\n", "\nZvekRdImg: failed to get header from file\n"}, 512},
        {1, 8, {"\nZveksiz: can't allocate space for array\n", "\nZvekRdImg: failed to get dimension headers from file\n"}, 512},
        {3, 16, {"\nZvekRdImg: failed to get dimension headers from file\n"}, 512},
        {4, 600,
         {"\nZvekRdData: couldn't allocate space to store image data.\n",
          "\nZvekRdImg: failed to get data from file\n"},
         512},
        {5, 20,
         {"\nZvekRdTail: can't allocate space to store tail.\n", "\nZvekRdImg: failed to get tail data from file\n"},
         512},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.failAt);
        char alc[80];
        std::snprintf(alc, sizeof alc, "\nZvekalc: can't allocate storage (%d bytes requested)\n", c.bytes);
        std::vector<std::string> expected{alc};
        expected.insert(expected.end(), c.reports.begin(), c.reports.end());
        resetErrorState();
        TrackedHooks hooks(c.failAt);
        ReadResult r = readBytes(file, 1);
        EXPECT_EQ(r.h, nullptr);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(ZVEKDEPTH, 0);
        EXPECT_TRUE(inOrder(r.err, expected)) << r.err;
        EXPECT_NE(r.err.find(codeLine(512)), std::string::npos) << r.err;
        EXPECT_EQ(hooks.t.badFrees, 0);
        // Only the size query's own arrays (freed by their callers outside
        // the hooks) may remain in the list.
        for (const auto &block : hooks.t.live) EXPECT_EQ(block.second, 8u) << "block of " << block.second << " bytes left";
    }
    // Without a failure every block belongs to the image, and freeing it
    // releases all of them.
    TrackedHooks hooks(-1);
    ReadResult r = readBytes(file, 1);
    ASSERT_NE(r.h, nullptr) << r.err;
    Zvekfree(r.h, 7);
    EXPECT_EQ(hooks.t.badFrees, 0);
    for (const auto &block : hooks.t.live) EXPECT_EQ(block.second, 8u);
}

// Tails cut short: in the data padding or the tail fails the read; a missing
// padding after the tail only warns.
TEST_F(FileFaults, TailsCutShort) {
    ZVEKHDR *img = tailImage();
    const Bytes file = writeBytes(img, 1);
    ASSERT_EQ(file.size(), 2048u);
    const std::string tailIO = "\nZvekRdTail: I/O error on read of tail [file damaged?]\n\n" + codeLine(448) +
                               "\nZvekRdImg: failed to get tail data from file\n";
    for (size_t cut : {size_t{512 + 600 + 100}, size_t{1536 + 10}}) {
        SCOPED_TRACE(cut);
        resetErrorState();
        ReadResult r = readBytes(Bytes(file.begin(), file.begin() + static_cast<long>(cut)), 1);
        EXPECT_EQ(r.h, nullptr);
        EXPECT_EQ(r.code, 448);
        EXPECT_EQ(r.err, tailIO);
        EXPECT_EQ(r.out, "");
        // Without the tail the same bytes read.
        r = readBytes(Bytes(file.begin(), file.begin() + static_cast<long>(cut)), 0);
        ASSERT_NE(r.h, nullptr) << r.err;
        Zvekfree(r.h, 7);
    }

    resetErrorState();
    ReadResult r = readBytes(Bytes(file.begin(), file.begin() + 1536 + 20), 1);
    ASSERT_NE(r.h, nullptr) << r.err;
    EXPECT_EQ(r.err,
              "\nZvekRdTail: WARNING -- I/O error or EOF encountered when reading\n"
              "          padding after tail information [file damaged?]\n" +
                  codeLine(448) + "\nZvekRdImg: WARNING -- File tail data inconsistent\n\n");
    EXPECT_EQ(r.code, 0);
    ASSERT_EQ(r.h->vektaillen, 20);
    EXPECT_EQ(std::memcmp(r.h->vektail, img->vektail, 19), 0);
    EXPECT_EQ(r.h->vektail[19], 0) << "the writer ends the tail with 0";
    EXPECT_EQ(std::memcmp(r.h->vekptr, img->vekptr, 600), 0);
    Zvekfree(r.h, 7);
    Zvekfree(img, 7);
}

// A file that says its data are big-endian while its block size is in this
// machine's order: records and data are swapped, the tail is kept and the
// three caution lines are printed.
TEST_F(FileFaults, TailOfTheOtherOrder) {
    FileSpec s;
    s.endian = ZVEK_BIGEND;
    s.dt = "16bit";
    s.dtype = 258;
    s.bpd = 2;
    s.compSize = 2;
    s.lens = {300};
    s.taillen = 12;
    for (int i = 0; i < 300; ++i) s.comps.push_back(static_cast<uint16_t>(0x0102 * (i + 1)));
    Bytes b = buildFile(s);
    // The record and the data in big-endian order; the header stays as built.
    std::reverse(&b[256], &b[260]);
    std::reverse(&b[260], &b[264]);
    for (size_t i = 512; i < 512 + 600; i += 2) std::swap(b[i], b[i + 1]);
    const char tail[12] = "eleven char";
    b.insert(b.end(), tail, tail + 12);
    b.insert(b.end(), 500, '.');

    ReadResult r = readBytes(b, 1);
    ASSERT_NE(r.h, nullptr) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "Caution: the form of the tail is under user control and not known to Zvek\n"
              "This file has a tail which was written on another computer. I will all single bytes, \n"
              "and no byte swapping is needed. If this is not the case, you may get unexpected results\n");
    EXPECT_EQ(r.h->vekdims[0].dimlen, 300);
    EXPECT_EQ(r.h->vekdims[0].dimnum, 1);
    const auto *p = static_cast<const uint16_t *>(r.h->vekptr);
    for (int i = 0; i < 300; ++i) ASSERT_EQ(p[i], static_cast<uint16_t>(0x0102 * (i + 1))) << i;
    ASSERT_EQ(r.h->vektaillen, 12);
    EXPECT_EQ(std::memcmp(r.h->vektail, tail, 12), 0);
    EXPECT_EQ(r.h->vekendian, ZVEK_LITEND);
    Zvekfree(r.h, 7);
}

// The steps' argument checks report through the severity level's road
// (no empty line, no code line).
TEST_F(FileFaults, ReaderBadArguments) {
    FILE *f = std::tmpfile();
    testing::internal::CaptureStderr();
    EXPECT_EQ(ZvekRdDims(nullptr, f), nullptr);
    EXPECT_EQ(ZvekRdData(nullptr, f), 8);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ZvekRdDims: header passed was null.\nZvekRdData: header passed was null.\n");

    ZVEKHDR *h = make("u8bit", {10});
    testing::internal::CaptureStderr();
    EXPECT_EQ(ZvekRdDims(h, nullptr), nullptr);
    EXPECT_EQ(ZvekRdData(h, nullptr), 8);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ZvekRdDims: file pointer passed was NULL.\nZvekRdData: file pointer passed was NULL.\n");
    EXPECT_EQ(ZvekRdTail(h, f), -1) << "no tail to read";
    EXPECT_EQ(ZVEKDEPTH, 0);

    // A type the conversion does not know.
    h->dtype = 0x999;
    testing::internal::CaptureStdout();
    EXPECT_NE(ZvekConvertData(h), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "convertdata: unknown data type in input image\n");
    h->dtype = DT_U8BIT;
    Zvekfree(h, 7);
    std::fclose(f);
}

// A set error code met by the dimension step of a file in this machine's
// order is cleared with its warning.
TEST_F(FileFaults, DimensionWarning) {
    FileSpec s;
    s.comps.assign(10, 4);
    const Bytes b = buildFile(s);
    MemStream m(b);
    ZVEKHDR *h = ZvekRdHdr(m.get());
    ASSERT_NE(h, nullptr);
    Zvekerr = 24;
    testing::internal::CaptureStderr();
    EXPECT_EQ(ZvekRdDims(h, m.get()), h);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\nZvekRdDims: WARNING -- File dimensions are inconsistent\n\n");
    EXPECT_EQ(Zvekerr, 0);
    EXPECT_EQ(ZvekRdData(h, m.get()), 0);
    EXPECT_EQ(static_cast<uint8_t *>(h->vekptr)[9], 4);
    Zvekfree(h, 7);
}

// Files of the other order without pixels, and without the padding after
// the header: read, the latter with its two warnings.
TEST_F(FileFaults, EmptyAndUnpaddedFiles) {
    FileSpec s;
    s.big = true;
    s.dt = "32flt";
    s.dtype = 516;
    s.bpd = 4;
    s.compSize = 4;
    s.ndim = 2;
    s.lens = {0, 7};
    ReadResult r = readBytes(buildFile(s));
    ASSERT_NE(r.h, nullptr) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.h->vekdims[1].dimlen, 7);
    EXPECT_EQ(r.h->vekdims[1].dimnum, 2);
    Zvekfree(r.h, 7);

    s.pad = false;
    resetErrorState();
    r = readBytes(buildFile(s));
    ASSERT_NE(r.h, nullptr) << r.err;
    EXPECT_EQ(r.err,
              "\nZvekRdDims: WARNING!  There is no padding after the\n"
              "\n          ZVEK file header.  File is probably damaged.\n");
    Zvekfree(r.h, 7);
}

// At severity 64 a failure nested inside the writer or the reader is
// reported and returns; the outermost call's report ends the process with
// the error code.
TEST(FileFaultsDeathTest, SeverityFatalEndsAtTheOutermostCall) {
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(
        {
            ZVEKHDR *h = make("u8bit", {600});
            ZVEKSLV = ZVEK_FATAL;
            Zvekpot(h, "/dev/full");
            std::exit(99);
        },
        testing::ExitedWithCode(448 & 0xFF),  // the status keeps the low byte
        "\nZvekWrImg: I/O error when flushing the file.\n.*\nZvekPutImg: Error while writing image file.\n");

    TempDir dir;
    const std::string path = dir.path("cut.zve");
    FileSpec s;
    s.comps.assign(10, 1);
    Bytes b = buildFile(s);
    b.resize(515);
    writeFile(path, b);
    EXPECT_EXIT(
        {
            ZVEKSLV = ZVEK_FATAL;
            Zvekpin(path.c_str());
            std::exit(99);
        },
        testing::ExitedWithCode(448 & 0xFF),  // the status keeps the low byte
        "\nZvekRdData: I/O error on read of data \\[file damaged\\?\\]\n.*"
        "\nZvekRdImg: failed to get data from file\n.*\nZvekGetImg: Error while reading image file.\n");
}
