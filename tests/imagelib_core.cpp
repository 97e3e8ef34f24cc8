// The type table, the error state and its reports, creation and release, the allocation hooks, the size queries, and
// the severity-64 mode.
#include "imagelib_fixture.h"

#include <regex>

using namespace zt;
using Core = LibTest;

namespace {
int32_t *dims(std::vector<int32_t> d) {
    static std::vector<int32_t> keep;
    return (keep = std::move(d)).empty() ? nullptr : keep.data();
}
}  // namespace

TEST(CoreStart, GlobalsStartAtTheirDefaults) {
    EXPECT_EQ(std::vector<int>({Zvekerr, ZVEKDEPTH, ZVEKSLV, ZVEKTRACE, ZVEKCHK}),
              std::vector<int>({0, 0, ZVEK_WARN, 1, 1}));
}

// Every row of the table in order; every name finds the next row with a code, and an image created under it carries
// that row.
TEST_F(Core, TypeTable) {
    struct Row { const char *name; int size, code; };
    static const Row rows[] = {
        {"byte", 0, 0}, {"char", 0, 0}, {"i1", 0, 0}, {"I1", 0, 0}, {"8bit", 1, 0x101}, {"ubyte", 0, 0},
        {"uchar", 0, 0}, {"u8bit", 1, 0x401}, {"short", 0, 0}, {"i2", 0, 0}, {"I2", 0, 0}, {"16bit", 2, 0x102},
        {"ushort", 0, 0}, {"u16bit", 2, 0x402}, {"int", 0, 0}, {"long", 0, 0}, {"i4", 0, 0}, {"I4", 0, 0},
        {"32bit", 4, 0x104}, {"float", 0, 0}, {"real", 0, 0}, {"real*4", 0, 0}, {"r4", 0, 0}, {"R4", 0, 0},
        {"32flt", 4, 0x204}, {"double", 0, 0}, {"real*8", 0, 0}, {"r8", 0, 0}, {"R8", 0, 0}, {"64flt", 8, 0x208},
        {"complex", 0, 0}, {"c4", 0, 0}, {"C4", 0, 0}, {"complex*4", 0, 0}, {"32cmp", 8, 0x1204}, {"c8", 0, 0},
        {"C8", 0, 0}, {"complex*8", 0, 0}, {"64cmp", 16, 0x1208}, {"Su8bit3", 1, 0x411}, {"S8bit3", 1, 0x111},
        {"Su8bit4", 1, 0x421}, {"S8bit4", 1, 0x121}, {"Su16bit3", 2, 0x412}, {"S16bit3", 2, 0x112},
        {"Su16bit4", 2, 0x422}, {"S16bit4", 2, 0x122}, {"S32bit3", 4, 0x114}, {"S32bit4", 4, 0x124},
        {"S32flt3", 4, 0x214}, {"S32flt4", 4, 0x224}, {"S64flt3", 8, 25}, {"S64flt4", 8, 41}, {"struct", 1, 0x2000},
    };
    auto text = [](std::string name, int a, int b) { return name + " " + std::to_string(a) + " " + std::to_string(b); };
    ASSERT_EQ(Zvek_Ntyp, 54);
    for (int i = 0, j = 0; i < 54; ++i) {
        const Row &r = rows[i];
        while (rows[j].code == 0 || j < i) ++j;
        EXPECT_EQ(text(Zvek_Dtyp[i].dtname, Zvek_Dtyp[i].dtsize, Zvek_Dtyp[i].dtcode), text(r.name, r.size, r.code));
        EXPECT_EQ(std::make_pair(Zvektype(r.name), Zvekntype(r.name)), std::make_pair(&Zvek_Dtyp[j], rows[j].code))
            << r.name;
        Img h(r.name, {2}, 12);
        EXPECT_EQ(text(h->vekdt, h->dtype, h->vekbpd), text(rows[j].name, rows[j].code, j == 53 ? 12 : rows[j].size));
    }
    for (const char *name : {"Float", "", "float ", "u8", "complex*16", "Struct", static_cast<const char *>(nullptr)}) {
        EXPECT_EQ(run([&] { return Zvekntype(name) + (Zvektype(name) != nullptr); }), (Outcome{0, "", "", ZVEK_EDTYPE}))
            << name;
    }
}

// One reporter state through the rows: a code or system error line is printed once until it changes; silence and
// trace-off still remember.
TEST_F(Core, ReportsPrintEachCodeAndSystemErrorOnce) {
    // call: w Zvekwarn, d Zvekdie, x Zvekext(level).
    struct Step { int level, trace, code, err; char call; std::string printed; };
    const std::string m = "\nm\n", me = m + errnoLine(ENOENT);
    const Step steps[] = {
        {8, 1, 24, 0, 'w', report("m", 24)}, {8, 1, 24, 0, 'd', m}, {8, 1, 512, 0, 'd', report("m", 512)},
        {8, 1, -1, 0, 'w', m + codeLine(-1)}, {8, 1, -1, ENOENT, 'w', me}, {8, 1, -1, ENOENT, 'w', m},
        {1, 1, 64, EACCES, 'w', ""}, {1, 1, 64, EACCES, 'd', ""}, {8, 1, 64, EACCES, 'w', m}, {8, 0, 1024, EIO, 'w', m},
        {8, 1, 1024, EIO, 'w', m}, {8, 1, 1024, ENOENT, 'w', me}, {8, 1, 1024, 0, 'x', "m\n"}, {1, 1, 1024, 0, 'x', ""},
        {2, 1, 1024, 0, 'x', "m\n"},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        const Step &s = steps[i];
        ZVEKSLV = s.call == 'x' ? ZVEK_WARN : s.level, ZVEKTRACE = s.trace, Zvekerr = s.code;
        const Printed p = capture([&] {
            errno = s.err;
            EXPECT_EQ(s.call == 'w' ? Zvekwarn("m") : s.call == 'd' ? Zvekdie("m") : (Zvekext(s.level, "m"), 0), 0);
        });
        EXPECT_EQ(p.err + p.out, s.printed) << "step " << i;
    }
    // A negative depth is reset by a report; at level 64 a report two calls deep returns.
    resetErrors();
    ZVEKDEPTH = -3;
    capture([] { Zvekdie("x"); });
    EXPECT_EQ(ZVEKDEPTH, 0);
    ZVEKSLV = ZVEK_FATAL, ZVEKDEPTH = 2, Zvekerr = 24;
    EXPECT_EQ(capture([] { EXPECT_EQ(Zvekdie("nested"), 0); }).err, report("nested", 24));
    ZVEKDEPTH = 1;  // a library call one deeper
    EXPECT_EQ(capture([] { EXPECT_EQ(Zvekcreate("x", dims({1, 2}), 11, 0), nullptr); }).err,
              report("Zvekcreate: invalid data type", 1024));
    EXPECT_EQ(ZVEKDEPTH, 1);
    ZVEKDEPTH = 0;
}

TEST_F(Core, HeaderCheck) {
    // A null magic stands for no header.
    struct Row { const char *magic; int level, result; std::string out, err; };
    const Row rows[] = {
        {"ZVE", 8, -1, "", ""}, {"VEK", 8, -1, "", ""}, {nullptr, 8, 0, "", kNullHeader + "caller\n"},
        {nullptr, 1, 0, "", ""}, {"XYZ", 8, 0, "chk:XYZ\n", kBadHeader + "caller\n"}, {"XYZ", 1, 0, "chk:XYZ\n", ""},
        {"ABCD", 1, 0, "chk:ABCD\n", ""},  // no NUL inside the field
    };
    for (const Row &r : rows) {
        ZVEKHDR h{};
        if (r.magic) std::memcpy(h.vekmagic, r.magic, std::min<size_t>(4, std::strlen(r.magic) + 1));
        EXPECT_EQ(run([&] { return ZVEKSLV = r.level, Zvekchkhd(r.magic ? &h : nullptr, "caller"); }),
                  (Outcome{r.result, r.out, r.err, 0})) << (r.magic ? r.magic : "null") << " at " << r.level;
    }
}

// Sizes, block counts and refusals of creation.
TEST_F(Core, CreateShapesAndRefusals) {
    // dims: the count first; empty: a null array.
    struct Row { const char *type; std::vector<int> dims; int flags, size, tail, bytes, bpd, code; std::string msg; };
    const std::string big = "image too large (2 GB or more of data)", rec = "invalid record size for type struct";
    const std::string ndim = "This version of Zvek can't create image with more than 3 dimensions";
    const std::string type = "invalid data type";
    const Row rows[] = {
        {"float", {2, 3, 4}, 11, 0, -2, 48, 4, 0, ""}, {"float", {2, 100, 100}, 11, 0, -80, 40000, 4, 0, ""},
        {"u8bit", {1, 512}, 11, 0, -2, 512, 1, 0, ""}, {"u8bit", {1, 513}, 11, 0, -3, 513, 1, 0, ""},
        {"64cmp", {3, 4, 4, 2}, 11, 0, -2, 512, 16, 0, ""}, {"struct", {1, 10}, 11, 12, -2, 120, 12, 0, ""},
        {"u16bit", {1, 10}, 11, 12, -2, 20, 2, 0, ""}, {"float", {2, 0, 5}, 11, 0, -1, 0, 4, 0, ""},
        {"u8bit", {2, 65535, 32768}, 0, 0, -4194241, 0, 1, 0, ""},  // the largest that fits
        {"u8bit", {1, 2147483647}, 0, 0, -4194305, 0, 1, 0, ""},   // no 32-bit wrap
        {"float", {}, 11, 0, 0, 0, 0, 8, "NULL pointer passed as dimension-lengths array"},
        {"float", {0, 4}, 11, 0, 0, 0, 0, 8192, "can't create image with number of dimensions < 1"},
        {"float", {4, 2, 2, 2, 2}, 11, 0, 0, 0, 0, 8192, ndim}, {"Float", {2, 4, 4}, 11, 0, 0, 0, 0, 1024, type},
        {nullptr, {2, 4, 4}, 11, 0, 0, 0, 0, 1024, type}, {"u8bit", {2, 65536, 65536}, 0, 0, 0, 0, 0, 8192, big},
        {"u8bit", {2, 4, -4}, 11, 0, 0, 0, 0, 8192, "negative dimension length"},
        {"u8bit", {3, 1024, 1024, 2048}, 0, 0, 0, 0, 0, 8192, big},
        {"float", {2, 32768, 16384}, 0, 0, 0, 0, 0, 8192, big}, {"struct", {2, 0, 5}, 11, 0, 0, 0, 0, 1024, rec},
        {"struct", {2, 0, 5}, 11, -3, 0, 0, 0, 1024, rec},
    };
    for (const Row &r : rows) {
        ZVEKHDR *h = nullptr;
        const Outcome o = run([&] { return (h = Zvekcreate(r.type, dims(r.dims), r.flags, r.size)) != nullptr; });
        Img img(h);
        const std::string what = std::string(r.type ? r.type : "null") + " " + testing::PrintToString(r.dims);
        EXPECT_EQ(o, (Outcome{!r.code, "", r.code ? report("Zvekcreate: " + r.msg, r.code) : "", r.code})) << what;
        if (!h) continue;
        EXPECT_EQ(std::vector<int>({h->vekdatblk, h->vektailblk, h->vekbpd}), std::vector<int>({1, r.tail, r.bpd}))
            << what;
        if (r.bytes) { EXPECT_EQ(img.bytes(), Bytes(r.bytes, 0)) << what; }
    }
}

TEST_F(Core, CreatedHeaderInMemory) {
    Img h("float", {3, 4}), line("u8bit", {7}), cube("16bit", {5, 4, 3});
    EXPECT_EQ(std::vector<long>({h->vekcompress, h->vekendian, ZvekCPUEndian, long(h->vektail), long(h->vekuptr),
                                 h->vektaillen}),
              std::vector<long>({1, ZVEK_LITEND, ZVEK_LITEND, 0, 0, 0}));
    const std::regex date("[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9:]{8} [0-9]{4}\n");
    EXPECT_TRUE(std::regex_match(h->vekcdate, date)) << h->vekcdate;
    // The stride array always has four entries; unused ones repeat the last.
    EXPECT_EQ(std::vector<int32_t>(h->vekdln, h->vekdln + 4), (std::vector<int32_t>{1, 3, 12, 12}));
    EXPECT_EQ(std::vector<int32_t>(line->vekdln, line->vekdln + 4), (std::vector<int32_t>{1, 7, 7, 7}));
    int32_t *ao = Zvek_ao(cube);
    EXPECT_EQ(std::vector<int32_t>(ao, ao + 4), (std::vector<int32_t>{1, 5, 20, 60}));
    std::free(ao);
    for (int f : {0, 1, 8, 9, 2, 3, 11}) EXPECT_EQ(!!Img("float", {8, 8}, 0, f)->vekptr, !!(f & 2)) << f;
}

TEST_F(Core, AllocationFailuresAndRelease) {
    {
        Hooks hooks(-1);
        Img h("float", {4, 3});
        void *data = h->vekptr, *tail = h->vektail = static_cast<unsigned char *>(Zvekalc(10));
        EXPECT_EQ(Hooks::kept(), (std::set<void *>{h.h, data, h->vekdln, tail}));
        Zvekfree(std::exchange(h.h, nullptr), 1);  // data and tail stay with the caller
        EXPECT_EQ(Hooks::kept(), (std::set<void *>{data, tail}));
        Zvekcfree(data), Zvekcfree(tail);
        EXPECT_EQ(Hooks::kept().size() + Hooks::badFrees, 0u);
    }
    // Each allocation of a create failed in turn (header, size arrays, strides, data); Zvekalc reports before it sets
    // the code, so the next report carries the code line.
    const std::string vekdln = "\nZvekcreate:  can't allocate space for 'vekdln' field\n";
    const std::string siz = alcLine(12) + report("Zveksiz: can't allocate space for array", 512) + vekdln;
    const std::string expected[] = {
        alcLine(512) + report("Zvekcreate: can't allocate space for image header", 512), siz, siz,
        alcLine(16) + vekdln + codeLine(512),
        alcLine(400) + report("Zvekcreate:  can't allocate space for image data", 512),
    };
    for (int failAt = 0; failAt < 5; ++failAt) {
        Hooks hooks(failAt);
        EXPECT_EQ(run([] { return Zvekcreate("float", dims({2, 10, 10}), 11, 0) != nullptr; }),
                  (Outcome{0, "", expected[failAt], 512})) << failAt;
        EXPECT_EQ(Hooks::kept().size() + Hooks::badFrees, 0u) << failAt;
    }
    Hooks hooks(0);
    EXPECT_EQ(run([] { Zvekerr = 24; return Zvekalc(100) != nullptr; }),
              (Outcome{0, "", report("Zvekalc: can't allocate storage (100 bytes requested)", 24), 512}));
    EXPECT_EQ(run([] { Zvekerr = 1024; return Zvekfree(nullptr, 7); }), (Outcome{0, "", "", 1024 | 8}));
    Img h("u8bit", {4});
    std::memcpy(h->vekmagic, "BAD", 4);
    EXPECT_EQ(run([&] { Zvekerr = 512; return Zvekfree(h, 7); }),
              (Outcome{0, "chk:BAD\n", kBadHeader + "Zvekfree: unable to free image\n", 512 | 24}));
    EXPECT_EQ(h->vekdims[0].dimlen, 4) << "nothing released";
    std::memcpy(h->vekmagic, "VEK", 4);
}

// Lengths, counts and bytes by dimension number, the size vector ordered by it, and the refusals.
TEST_F(Core, DimenAndSizeVector) {
    struct Row { void (*damage)(ZVEKHDR *); int d, result, code; const char *msg; };
    const char *invalid = "Invalid dimension to get length of.";
    const char *zero = "found dimension of length zero; header presumed to be damaged.";
    auto none = [](ZVEKHDR *) {};
    auto len0 = [](ZVEKHDR *h) { h->vekdims[0].dimlen = 0; };
    const Row rows[] = {
        {none, 0, 6, 0, ""}, {none, 1, 5, 0, ""}, {none, ZVEK_NPIXELS, 30, 0, ""}, {none, ZVEK_NBYTES, 120, 0, ""},
        {[](ZVEKHDR *h) { std::swap(h->vekdims[0], h->vekdims[1]); }, 0, 6, 0, ""},
        {nullptr, 0, 0, 8, "NULL passed as image header."}, {none, 2, 0, 8192, invalid}, {none, -3, 0, 8192, invalid},
        {none, 5, 0, 8192, invalid}, {[](ZVEKHDR *h) { h->vekdims[1].dimnum = 3; }, 1, 0, 24, zero},
        {len0, 0, 0, 24, zero}, {len0, ZVEK_NPIXELS, 0, 24, zero},
        {[](ZVEKHDR *h) { std::memcpy(h->vekmagic, "ZVF", 4); }, 0, 0, 24, "Bad image header."},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row &r = rows[i];
        Img h("float", {6, 5});
        if (r.damage) r.damage(h);
        const std::string err = r.code ? report(std::string("Zvekdimen: ") + r.msg, r.code) : "";
        EXPECT_EQ(run([&] { return Zvekdimen(r.damage ? h.h : nullptr, r.d); }), (Outcome{r.result, "", err, r.code}))
            << "row " << i;
        std::memcpy(h->vekmagic, "ZVE", 4);
    }
    Img c("64cmp", {6, 5, 4}), h("16bit", {7, 5, 3}), line("float", {9});
    EXPECT_EQ(std::vector<int>({Zvekdimen(c, 2), Zvekdimen(c, ZVEK_NBYTES), Zveknr(line), Zveknc(line)}),
              std::vector<int>({4, 1920, 1, 9}));
    std::rotate(h->vekdims, h->vekdims + 2, h->vekdims + 3);  // records: frames, columns, rows
    int32_t *s = Zveksiz(h);
    EXPECT_EQ(std::vector<int32_t>(s, s + 4), (std::vector<int32_t>{3, 7, 5, 3}));
    std::free(s);
    EXPECT_EQ(Zveknc(h) * 10 + Zveknr(h), 75);
    EXPECT_EQ(run([] { return Zveksiz(nullptr) != nullptr; }),
              (Outcome{0, "", kNullHeader + "Zveksiz:  bad image header\n", 24}));
    EXPECT_EQ(run([&] { h->vekndim = 0; return Zveksiz(h) != nullptr; }),
              (Outcome{0, "", report("Zveksiz: number of dimensions not positive.", -1), -1}));
    EXPECT_EQ(run([&] { h->vekndim = 4; return Zveksiz(h) != nullptr; }),
              (Outcome{0, "", report("Zveksiz: too many dimensions.", 8192), 8192}));
    h->vekndim = 3;
}

// At level 64 the outermost report of a failure ends the process with the code (its low byte); reports nested deeper
// return to their callers.
TEST(CoreDeathTest, Level64EndsTheProcessAtTheOutermostReport) {
    struct Row { void (*run)(); int status; const char *pattern; };
    const Row rows[] = {
        {[] { ZVEKDEPTH = 1, Zvekerr = 24, Zvekdie("fatal"); }, 24,
         "^\nfatal\n\tVEK error code:    \\$00000018 = 24\n$"},
        {[] { Zvekerr = 8, Zvekext(ZVEK_FATAL, "ext: fatal"); }, 8, "^ext: fatal\n$"},
        {[] { Zvekcreate("nonsense", dims({1, 2}), 11, 0); }, 0, "invalid data type"},
        {[] { Zvekcreate("float", nullptr, 11, 0); }, 8, "NULL pointer passed"},
        {[] { Zvekdimen(nullptr, 0); }, 8, "Zvekdimen: NULL passed as image header."},
        {[] { Zvekdimen(Img("float", {3, 3}), 2); }, 8192 & 0xff, "Invalid dimension"},
        {[] { Img h("float", {3, 3}); h->vekndim = -1, Zveksiz(h); }, 255, "number of dimensions not positive"},
        {[] { Zvekchkhd(nullptr, "fatal null"); }, 8, "Null ZVEK image header encountered.\nfatal null\n"},
        {[] { ZVEKHDR h{}; Zvekchkhd(&h, "caller"); }, 24, "Bad ZVEK image header encountered.\ncaller\n"},
        {[] { ZVEKHDR h{}; ZVEKSLV = 2, Zvekchkhd(&h, "quiet"); }, 24, "^$"},
        {[] { Zvekfgp3d(nullptr, 0, 0, 0); }, 8, "^Zvekfgp3d: Image header is NULL\n$"},
        {[] { Zvekpot(Img("u8bit", {600}), "/dev/full"); }, 448 & 0xff,
         "\nZvekWrImg: I/O error when flushing the file.\n.*\nZvekPutImg: Error while writing image file.\n"},
        {[] { Zvekpin("/dev/null"); }, 448 & 0xff,
         "\nZvekRdHdr: I/O error or EOF when reading header.\n.*"
         "\nZvekRdImg: failed to get header from file\n\nZvekGetImg: Error while reading image file.\n"},
        {[] { ZvekOpen("/nonexistent-dir-zvek/x", "rb", nullptr, 0); }, 64,
         "ZvekOpen: Unable to open file `/nonexistent-dir-zvek/x'."},
        {[] { ZvekOpen("${HOME", "rb", nullptr, 0); }, 0,
         "ZvekPrsFN: Error while expanding environment variables in name.\n\nZvekOpen: Bad"},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EXIT((ZVEKSLV = ZVEK_FATAL, rows[i].run(), std::exit(99)), testing::ExitedWithCode(rows[i].status),
                    rows[i].pattern) << "row " << i;
    }
}
