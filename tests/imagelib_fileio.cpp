// The image file writer and reader: exact bytes, compression, round trips of every type, tails, files of the other byte
// order, and damaged, hostile or cut files and failing streams, each with its exact report.
#include "imagelib_fixture.h"
#include "zvekint.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>
#include <random>
#include <thread>
#include <tuple>

using namespace zt;
using FileIO = LibTest;

namespace {
int32_t le32(const Bytes &b, size_t at) {
    int32_t v;
    std::memcpy(&v, &b[at], 4);
    return v;
}

std::string failed(const std::string &what) { return "\nZvekRdImg: failed to get " + what + " from file\n"; }
const std::string kFailHeader = failed("header"), kFailDims = failed("dimension headers"), kFailData = failed("data");
const std::string kFailTail = failed("tail data");
const std::string kNoPadding =
    "\nZvekRdDims: WARNING!  There is no padding after the\n\n          ZVEK file header.  File is probably damaged.\n";

// The file description with components (unless it has some) that differ in every byte.
FileSpec filled(FileSpec s) {
    int64_t n = s.comps.empty() ? s.bpd / s.compSize : 0;
    for (int32_t l : s.lens) n *= l;
    for (int64_t i = 0; i < n; ++i) s.comps.push_back(uint64_t(i / 16) * 0x0101010101010101u + 0x0807060504030201u);
    return s;
}

// A 600-pixel "u8bit" image, raw, with a 20-byte tail.
Img tailImage() {
    Img h("u8bit", {600});
    for (int i = 0; i < 600; ++i) h.data()[i] = static_cast<uint8_t>(i % 7 + i / 100);
    h->vekcompress = 0;
    h->vektaillen = 20;
    h->vektail = static_cast<unsigned char *>(Zvekalc(20));
    for (int i = 0; i < 20; ++i) h->vektail[i] = static_cast<unsigned char>('a' + i);
    return h;
}
}  // namespace

// Files byte for byte against the independent builder: a small one through Zvekpot (under 512 pixels: not compressed,
// with its notice); a 3-D one of several blocks through ZvekWrImg, its header fields at their offsets and full width
// (bytes after a NUL too), the pointer slots zero, the block size 512 and the length of the tail written; a compressed
// one of smooth data (one zlib stream, then the padding of the uncompressed size).
TEST_F(FileIO, ExactBytes) {
    TempDir dir;
    Img h("u8bit", {10}), c("16bit", {20, 10, 3}), f("float", {100, 100});
    FileSpec s, t = typed("16bit", DT_16BIT, 2, 2, {20, 10, 3}), u = typed("32flt", DT_32FLT, 4, 4, {100, 100});
    s.cdate = h->vekcdate, t.cdate = c->vekcdate, u.cdate = f->vekcdate, u.zlib = true, u.compress = 1;
    t.scale = 2.5f, t.offset = -1;
    for (int i = 0; i < 10; ++i) s.comps.push_back(h.data()[i] = static_cast<uint8_t>(3 * i + 1));
    for (int i = 0; i < 600; ++i) t.comps.push_back(uint16_t(c.data<int16_t>()[i] = int16_t(i * 37 - 500)));
    for (int i = 0; i < 10000; ++i) u.comps.push_back(bits(f.data<float>()[i] = float((i % 100) * 0.25 + i / 100)));
    const std::string ten = dir.path("ten.zve"), flt = dir.path("f.zve");
    EXPECT_EQ(run([&] { return Zvekpot(h, ten.c_str()) + Zvekpot(f, flt.c_str()); }),
              (Outcome{-2, "ZvekPutImg error msg: image has 10 pixels so it will not be compressed\n", "", 0}));
    EXPECT_EQ(h->vekcompress * 10 + f->vekcompress, 1) << "the flag of the small image stays cleared";
    EXPECT_EQ(std::make_pair(readFile(ten), readFile(ten).size()), std::make_pair(buildFile(s), size_t{1024}));
    EXPECT_EQ(readFile(flt), buildFile(u));
    Img r(Zvekpin(flt.c_str()));
    EXPECT_EQ(std::make_pair(r.bytes(), int(r->vekcompress)), std::make_pair(f.bytes(), 1));
    std::memcpy(c->vekcuser + 20, "xyz", 3);
    for (int i = 0; i < 38; ++i) c->vekres1[i] = static_cast<uint8_t>(i + 1);
    c->vekres2[0] = 7, c->vekres2[1] = 8, c->vekres2[2] = 9, c->vekscale = 2.5f, c->vekoffset = -1.0f, c->vekuptr = c.h;
    c->vekblksize = 1024, c->vektaillen = 33, c->vekcompress = 0;
    Bytes want = buildFile(t);
    std::memcpy(&want[64], "xyz", 3);
    for (int i = 0; i < 38; ++i) want[150 + i] = static_cast<uint8_t>(i + 1);
    want[252] = 7, want[253] = 8, want[254] = 9;
    EXPECT_EQ(writeBytes(c), want);
    want[20] = 33;
    EXPECT_EQ(bytesAt(CopyvekHdrtoDiskHeader(c), 256), bytesAt(want.data(), 256));
    EXPECT_EQ(c->vekblksize * (CopyvekHdrtoDiskHeader(nullptr) == nullptr), 1024) << "memory left alone";
    // 511 and 512 pixels on either side of the notice.
    Img small("float", {511}), large("float", {512});
    EXPECT_EQ(run([&] { return Zvekpot(small, ten.c_str()) + Zvekpot(large, flt.c_str()); }),
              (Outcome{-2, "ZvekPutImg error msg: image has 511 pixels so it will not be compressed\n", "", 0}));
    EXPECT_EQ(readFile(ten).size() * 10 + readFile(flt)[255], 25600u + 1);
}

// Every type, one to three dimensions, raw, compressed and incompressible (written raw, 0 in the file, the image's flag
// kept); the header as read writes the same bytes.
TEST_F(FileIO, RoundTripEveryType) {
    std::mt19937 rng(99);
    for (int t = 0; t < Zvek_Ntyp; ++t) {
        const ZVEKDTYP &row = Zvek_Dtyp[t];
        if (row.dtcode == 0) continue;
        const bool interleaved = (row.dtcode & 0x30) != 0 && row.dtcode != DT_STRUCT;
        for (const auto &shape : {std::vector<int32_t>{700}, {37, 19}, {11, 7, interleaved ? 4 : 5}, {0, 5}})
            for (int mode = 0; mode < 3; ++mode) {  // raw, compressed smooth, compressed random
                const std::string what = row.dtname + testing::PrintToString(shape) + " mode " + std::to_string(mode);
                Img h(row.dtname, shape, 12);
                h->vekcompress = mode != 0;
                const size_t S = shape[0] ? Zvekdimen(h, ZVEK_NBYTES) : 0, pad = (512 - S % 512) % 512;
                for (size_t i = 0; i < S; ++i) h.data()[i] = static_cast<uint8_t>(mode == 2 ? rng() : i / 13);
                int result = 0;
                const Bytes b = writeBytes(h, 0, &result);
                EXPECT_EQ((std::vector<int>{result, b[255], h->vekcompress}),
                          (std::vector<int>{-1, mode == 1 && S, mode > 0})) << what;
                EXPECT_EQ(mode == 1 && S ? b.size() < 512 + pad + S : b.size() == 512 + S + pad, true) << what;
                EXPECT_EQ(Bytes(b.end() - static_cast<long>(pad), b.end()), Bytes(pad, '.')) << what;
                Read r = readBytes(b);
                ASSERT_NE(r.img.h, nullptr) << what << r.err;
                EXPECT_EQ(std::make_tuple(r.err + r.out, bytesAt(r.img.data(), S), r.img->vekendian, r.img->vekstamp),
                          std::make_tuple(std::string(), bytesAt(h.data(), S), ZVEK_LITEND, 16)) << what;
                EXPECT_EQ(bytesAt(r.img->vekdln, 16), bytesAt(h->vekdln, 16)) << what;
                r.img->vekcompress = b[255];
                EXPECT_EQ(bytesAt(CopyvekHdrtoDiskHeader(r.img), 256), bytesAt(b.data(), 256)) << what;
            }
    }
}

// Tails: written after the data padding and ended with 0, read back from raw and compressed files; cut short they fail
// the read, a missing padding after them only warns; the tail of a file of the other order is kept.
TEST_F(FileIO, Tails) {
    const char text[] = "a tail of free-form bytes!";
    for (int compressed = 0; compressed < 2; ++compressed) {
        Img h("16bit", {40, 30});
        for (int i = 0; i < 1200; ++i) h.data<int16_t>()[i] = static_cast<int16_t>(i % 40 - 20);
        h->vekcompress = static_cast<uint8_t>(compressed), h->vektaillen = sizeof text;
        std::memcpy(h->vektail = static_cast<unsigned char *>(Zvekalc(sizeof text)), text, sizeof text - 1);
        h->vektail[sizeof text - 1] = 'X';
        EXPECT_EQ(le32(writeBytes(h, 0), 20), 0) << "no tail asked for";
        const Bytes b = writeBytes(h, 1);
        Bytes tail(text, text + sizeof text);
        tail.resize(512, '.');
        EXPECT_EQ(std::make_tuple(le32(b, 20), int(h->vektail[sizeof text - 1]), compressed ? 3584 : b.size()),
                  std::make_tuple(int32_t(sizeof text), 0, size_t{3584}));
        EXPECT_EQ(Bytes(b.end() - 512, b.end()), tail);
        Read r = readBytes(b, 1);
        ASSERT_NE(r.img.h, nullptr) << r.err;
        EXPECT_EQ(std::make_tuple(r.err, r.img.bytes(), bytesAt(r.img->vektail, r.img->vektaillen)),
                  std::make_tuple(std::string(), h.bytes(), bytesAt(text, sizeof text)));
        EXPECT_EQ(readBytes(b, 0).img->vektail, nullptr);
    }
    Img h = tailImage();
    EXPECT_NE(readBytes(writeBytes(h, 0), 1).img.h, nullptr) << "no tail to read is no failure";
    // A zlib stream one byte shorter than its data: the one byte read past it is given back before the tail is read.
    Bytes zbuf(compressBound(600));
    uLongf zlen = 0;
    for (int n = 0; n <= 600 && zlen != 599; ++n) {
        std::mt19937 rng(5);
        for (int i = 0; i < 600; ++i) h.data()[i] = i < n ? static_cast<uint8_t>(rng()) : 0;
        zlen = zbuf.size(), compress(zbuf.data(), &zlen, h.data(), 600);
    }
    h->vekcompress = 1;
    Read z1 = readBytes(writeBytes(h, 1), 1);
    EXPECT_EQ(std::make_tuple(zlen, z1.img.bytes(), bytesAt(z1.img->vektail, 20)),
              std::make_tuple(uLongf{599}, h.bytes(), bytesAt(h->vektail, 20)));
    h->vekcompress = 0;
    const Bytes file = writeBytes(h, 1);
    const std::string tailIO = report("ZvekRdTail: I/O error on read of tail [file damaged?]\n", 448) + kFailTail;
    const std::string padding = report("ZvekRdTail: WARNING -- I/O error or EOF encountered when reading\n"
                                       "          padding after tail information [file damaged?]", 448) +
                                "\nZvekRdImg: WARNING -- File tail data inconsistent\n\n";
    const std::pair<int, Outcome> cuts[] = {
        {1212, {0, "", tailIO, 448}}, {1546, {0, "", tailIO, 448}}, {1556, {1, "", padding, 0}}};
    for (const auto &[size, want] : cuts) {
        Read r = readBytes(bytesAt(file.data(), size), 1);
        EXPECT_EQ(outcome(r), want) << size;
        if (r.img.h) { EXPECT_EQ(bytesAt(r.img->vektail, 20), bytesAt(h->vektail, 20)); }
        EXPECT_NE(readBytes(bytesAt(file.data(), size), 0).img.h, nullptr) << size;
    }
    // Data marked big-endian under a header in this machine's order: the records and data are swapped, the tail kept
    // with its caution.
    FileSpec s = typed("16bit", DT_16BIT, 2, 2, {300});
    s.endian = ZVEK_BIGEND, s.taillen = 12;
    for (int i = 0; i < 300; ++i) s.comps.push_back(static_cast<uint16_t>(0x0102 * (i + 1)));
    Bytes b = buildFile(s);
    std::reverse(&b[256], &b[260]), std::reverse(&b[260], &b[264]);
    for (size_t i = 512; i < 512 + 600; i += 2) std::swap(b[i], b[i + 1]);
    const char eleven[12] = "eleven char";
    b.insert(b.end(), eleven, eleven + 12), b.insert(b.end(), 500, '.');
    Read r = readBytes(b, 1);
    ASSERT_NE(r.img.h, nullptr) << r.err;
    EXPECT_EQ(r.err + r.out,
              "Caution: the form of the tail is under user control and not known to Zvek\n"
              "This file has a tail which was written on another computer. I will all single bytes, \n"
              "and no byte swapping is needed. If this is not the case, you may get unexpected results\n");
    for (int i = 0; i < 300; ++i) ASSERT_EQ(r.img.data<uint16_t>()[i], static_cast<uint16_t>(0x0102 * (i + 1))) << i;
    EXPECT_EQ(reinterpret_cast<char *>(r.img->vektail) + std::to_string(r.img->vekdims[0].dimlen), "eleven char300");
}

// A stream that fills up at each stage of a file gives that stage's report, and what went out is the start of the
// complete file.
TEST_F(FileIO, WriteFailsAtEveryStage) {
    struct Limited { size_t room; Bytes got; } l;
    cookie_io_functions_t io{};
    io.write = [](void *cookie, const char *buf, size_t n) -> ssize_t {
        auto *l = static_cast<Limited *>(cookie);
        const size_t k = std::min(n, l->room);
        return l->got.insert(l->got.end(), buf, buf + k), l->room -= k, static_cast<ssize_t>(k);
    };
    const std::string w = "ZvekWrImg: I/O error when writing ", hdr = w + "ZVEK  header.";
    const std::string dims = "WrImg: I/O error when writing the dimensions sub headers.";
    const std::string pad = "WrImg: I/O error when writing padding after header.", padData = w + "padding after data.";
    const std::string tail = w + "file tail.", padTail = w + "padding after tail.", file = w + "ZVEK file header.";
    for (int compressed = 0; compressed < 2; ++compressed) {
        Img h = tailImage();
        h->vekcompress = static_cast<uint8_t>(compressed);
        const Bytes full = writeBytes(h, 1);
        const size_t data = full.size() - 512 - 424 - 512;  // header, data, its padding, tail block
        EXPECT_EQ(data < 600, compressed == 1);
        const size_t d = 512 + data, n = full.size();
        const std::pair<size_t, std::string> stages[] = {
            {0, hdr}, {255, hdr}, {256, dims}, {319, dims}, {320, pad}, {511, pad}, {512, file}, {d - 1, file},
            {d, padData}, {d + 423, padData}, {d + 424, tail}, {d + 443, tail}, {d + 444, padTail}, {n - 1, padTail},
            {n, ""},
        };
        for (const auto &st : stages) {
            l = {st.first, {}};
            FILE *f = fopencookie(&l, "wb", io);
            std::setvbuf(f, nullptr, _IONBF, 0);
            const Outcome o = run([&] { return ZvekWrImg(h, f, 1); });
            std::fclose(f);
            const bool ok = st.second.empty();
            const Outcome want{ok ? -1 : 0, "", ok ? "" : report(st.second, 448), ok ? 0 : 448};
            EXPECT_EQ(std::make_pair(o, l.got), std::make_pair(want, bytesAt(full.data(), st.first)))
                << compressed << " room " << st.first;
        }
    }
}

// Refused images and failed writes, each with its result, code and report.
TEST_F(FileIO, WriteRefusals) {
    TempDir dir;
    const std::string path = dir.path("w.zve"), pot = "ZvekPutImg: ", wr = "ZvekWrImg: ";
    const std::string internal = "\nZvekWrImg: internal error! Call to 'veksiz' failed.\n";
    const std::string magic = "Invalid image header (bad magic no.)";
    const std::string empty = "No data associated with header! (field 'vekptr' = 0)";
    const std::string header = wr + "I/O error when writing ZVEK  header.";
    // call: p Zvekpot to the file (or target), w ZvekWrImg to a temporary stream, n to none; null damage: no image.
    struct Row { void (*damage)(ZVEKHDR *); char call; const char *target; Outcome want; };
    auto vek = [](ZVEKHDR *h) { std::memcpy(h->vekmagic, "VEK", 4); };
    auto bare = [](ZVEKHDR *h) { Zvekcfree(h->vekptr), h->vekptr = nullptr; };
    auto none = [](ZVEKHDR *) {};
    const Row rows[] = {
        {nullptr, 'p', nullptr, {0, "", report(pot + "Image header is NULL", 8), 8}},
        {nullptr, 'w', nullptr, {0, "", report(wr + "Image header is NULL", 8), 8}},
        {vek, 'p', nullptr, {0, "", report(pot + magic, 24), 24}}, {vek, 'w', nullptr, {-1, "", "", 0}},
        {[](ZVEKHDR *h) { std::memcpy(h->vekmagic, "XYZ", 4); }, 'w', nullptr, {0, "", report(wr + magic, 24), 24}},
        {bare, 'p', nullptr, {0, "", report(pot + empty, 24), 24}},
        {bare, 'w', nullptr, {0, "", report(wr + empty, 24), 24}},
        {none, 'n', nullptr, {0, "", report(header, 448), 448}},
        {[](ZVEKHDR *h) { h->vekndim = 0; }, 'w', nullptr,
         {0, "", report("Zveksiz: number of dimensions not positive.", -1) + internal, -1}},
        {[](ZVEKHDR *h) { h->vekndim = 3; for (auto &d : h->vekdims) d.dimlen = INT32_MAX; }, 'w', nullptr,
         {0, "", internal, 0}},  // lengths whose product leaves 64 bits
        {[](ZVEKHDR *h) { h->vekbpd = 4, h->vekdims[0].dimlen = 1 << 30; }, 'w', nullptr,
         {0, "", internal, 0}},  // 2^30 pixels of 4 bytes
        {none, 'p', "/nonexistent-dir/x.zve",
         {0, "", cannotOpen("/nonexistent-dir/x.zve") + "\nZvekPutImg: couldn't open file.\n", 64}},
        {none, 'p', "/dev/full",
         {0, "", report(wr + "I/O error when flushing the file.", 448) + errnoLine(ENOSPC) +
                     "\nZvekPutImg: Error while writing image file.\n", 448}},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row &r = rows[i];
        Img h("u8bit", {600});
        if (r.damage) r.damage(h);
        FILE *f = std::tmpfile(), *to = r.call == 'n' ? nullptr : f;
        ZVEKHDR *img = r.damage ? h.h : nullptr;
        const char *target = r.target ? r.target : path.c_str();
        EXPECT_EQ(run([&] { return r.call == 'p' ? Zvekpot(img, target) : ZvekWrImg(img, to, 0); }), r.want)
            << "row " << i;
        EXPECT_EQ(std::ftell(f) != 0, r.call == 'w' && r.want.result == -1) << "row " << i;
        std::fclose(f), std::memcpy(h->vekmagic, "ZVE", 4);
        h->vekndim = 1, h->vekdims[0].dimlen = 600;
    }
    // A stream that refuses the first bytes.
    Img h("u8bit", {600});
    FILE *ro = std::tmpfile(), *rd = fdopen(dup(fileno(ro)), "rb");
    std::setvbuf(rd, nullptr, _IONBF, 0);
    EXPECT_EQ(run([&] { return ZvekWrImg(h, rd, 0); }), (Outcome{0, "", report(header, 448) + errnoLine(EBADF), 448}));
    std::fclose(rd), std::fclose(ro);
}

// A save replaces a good file only when complete. One that fails midway (past a file-size limit, compressed or raw)
// is told and leaves the file byte for byte, with no stray file beside it; one that succeeds writes the writer's bytes
// with the replaced file's mode, through a symbolic link that stays one; a new file gets 0666 less the umask. A
// failure that ends the process (the "die on error" level) leaves no stray file either.
TEST_F(FileIO, SavesReplaceOnlyWithCompleteFiles) {
    TempDir d;
    std::mt19937 gen(7);
    Img noisy("float", {128, 64});  // 32 KiB that zlib cannot shrink to 4 KiB
    for (int i = 0; i < 128 * 64; ++i) noisy.data<uint32_t>()[i] = gen() & 0x3f7fffffu;
    const std::string path = d.path("kept.zve"), link = d.path("link.zve"), fresh = d.path("new.zve");
    const Img small = tailImage();
    writeFile(path, writeBytes(small));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(symlink("kept.zve", link.c_str()), 0);
    const Bytes old = readFile(path);
    std::set<std::string> names = namesIn(d.dir);
    const auto ignored = std::signal(SIGXFSZ, SIG_IGN);
    for (uint8_t compressed : {0, 1}) {
        noisy->vekcompress = compressed;
        FileSizeLimit limit(4096);
        EXPECT_EQ(run([&] { return Zvekpot(noisy, path.c_str()); }),
                  (Outcome{0, "", report("ZvekWrImg: I/O error when writing ZVEK file header.", 448) +
                       errnoLine(EFBIG) + "\nZvekPutImg: Error while writing image file.\n", 448}))
            << "compressed " << int(compressed);
        EXPECT_EQ(readFile(path), old) << "compressed " << int(compressed);
        EXPECT_EQ(namesIn(d.dir), names) << "compressed " << int(compressed);
        EXPECT_EXIT((ZVEKSLV = ZVEK_FATAL, Zvekpot(noisy, path.c_str())), testing::ExitedWithCode(448 & 0xff), "");
        EXPECT_EQ(namesIn(d.dir), names) << "compressed " << int(compressed);
    }
    std::signal(SIGXFSZ, ignored);
    const mode_t mask = umask(022);
    umask(mask);
    struct stat st;
    for (const std::string &to : {link, path, fresh}) {
        ASSERT_EQ(Zvekpot(noisy, to.c_str()), -1) << to;
        EXPECT_EQ(readFile(to), writeBytes(noisy)) << to;
        EXPECT_TRUE(lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) << to;
        EXPECT_TRUE(stat(to.c_str(), &st) == 0 && (st.st_mode & 07777) == (to == fresh ? 0666 & ~mask : 0640)) << to;
    }
    names.insert("new.zve");
    EXPECT_EQ(namesIn(d.dir), names);

}

// Saved by somebody other than the owner (root acting as nobody, also in group 100): a folder without write permission
// and a shared folder with the sticky bit do not let a new file take the target's place, so the writable target is
// written in place (its inode kept) and cut to the new length; in an open folder the file is replaced and keeps its
// group and mode where its owner cannot be kept. No descriptor stays open.
TEST_F(FileIO, SavesBySomebodyElse) {
    if (geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
    TempDir d;
    chmod(d.dir.c_str(), 0755);
    const Bytes old = writeBytes(tailImage());
    const Img shorter("u8bit", {512});
    struct Row { const char *folder; mode_t folderMode; gid_t group; mode_t fileMode; bool inPlace; };
    const Row rows[] = {{"locked", 0555, 0, 0666, true}, {"sticky", 01777, 0, 0666, true}, {"open", 0777, 100, 0664, false}};
    for (const Row &r : rows) {
        const std::string folder = d.dir + "/" + r.folder, file = folder + "/in.zve";
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
        writeFile(file, old), chown(file.c_str(), 0, r.group), chmod(file.c_str(), r.fileMode), chmod(folder.c_str(), r.folderMode);
        struct stat before, after;
        ASSERT_EQ(stat(file.c_str(), &before), 0);
        const pid_t child = fork();
        if (child == 0) {
            const gid_t groups[] = {100};
            if (setgroups(1, groups) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
            const FileSizeLimit runaway(1 << 20);  // a write that never ends ends the child
            ZVEKSLV = ZVEK_SILENT;
            const size_t open = namesIn("/proc/self/fd").size();  // and no descriptor is left open
            _exit(Zvekpot(shorter, file.c_str()) == -1 && namesIn("/proc/self/fd").size() == open ? 0 : 1);
        }
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << r.folder << " " << status;
        EXPECT_EQ(readFile(file), writeBytes(shorter)) << r.folder;
        ASSERT_EQ(stat(file.c_str(), &after), 0);
        EXPECT_EQ(std::make_tuple(after.st_ino == before.st_ino, after.st_gid, after.st_mode & 07777),
                  std::make_tuple(r.inPlace, r.group, r.fileMode)) << r.folder;
        EXPECT_EQ(namesIn(folder), (std::set<std::string>{".", "..", "in.zve"})) << r.folder;
        chmod(folder.c_str(), 0755), unlink(file.c_str()), rmdir(folder.c_str());
    }
}

// The opener's refusals say why in errno, whatever it held before: a FIFO and a device take no file's data (ENXIO), a
// folder is a folder (EISDIR); none of them blocks, and each stays as it was.
TEST_F(FileIO, RefusedTargetsSayWhy) {
    TempDir d;
    const std::string fifo = d.path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, int> rows[] = {{fifo, ENXIO}, {d.dir, EISDIR}, {"/dev/null", ENXIO}};
    for (const auto &[path, err] : rows) {
        for (bool write : {false, true}) {
            bool refused = false;
            errno = ENOENT;
            if (write) {
                const zvek::FileReplacement f(path.c_str());
                EXPECT_EQ(f.fd(), -1) << path;
                refused = f.notRegular();
            } else {
                EXPECT_EQ(zvek::fopenRegular(path.c_str(), &refused), nullptr) << path;
            }
            EXPECT_EQ(errno, err) << path << (write ? " written" : " read");
            EXPECT_TRUE(refused) << path << (write ? " written" : " read");
        }
    }
    // The library writes a FIFO that a reader holds as the stream it is, every byte.
    Bytes got;
    std::thread reader([&] { got = readFile(fifo); });
    const Img image = tailImage();
    EXPECT_EQ(Zvekpot(image, fifo.c_str()), -1);
    reader.join();
    EXPECT_EQ(got, writeBytes(image));
    struct stat st;
    EXPECT_TRUE(stat(fifo.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_EQ(namesIn(d.dir), (std::set<std::string>{".", "..", "fifo"}));
}

// An allocation that fails at each step of a read fails that step with its report, and what the read had allocated is
// released exactly once.
TEST_F(FileIO, ReadAllocationFailures) {
    const Bytes file = writeBytes(tailImage(), 1);
    // The failed allocation reports before the code is set: the next report carries the code line.
    const std::string siz = alcLine(8) + report("Zveksiz: can't allocate space for array", 512) + kFailDims;
    // Allocation order: header, size query (two arrays), strides, data, tail.
    const std::string expected[] = {
        alcLine(512) + "ZvekRdHdr: ran out of memory.\n" + kFailHeader + codeLine(512), siz, siz,
        alcLine(16) + kFailDims + codeLine(512),
        alcLine(600) + report("ZvekRdData: couldn't allocate space to store image data.", 512) + kFailData,
        alcLine(20) + report("ZvekRdTail: can't allocate space to store tail.", 512) + kFailTail, ""};
    for (int failAt = 0; failAt < 7; ++failAt) {
        Hooks hooks(failAt);
        Read r = readBytes(file, 1);
        EXPECT_EQ(outcome(r), (Outcome{failAt == 6, "", expected[failAt], failAt < 6 ? 512 : 0})) << failAt;
        Zvekfree(std::exchange(r.img.h, nullptr), 7);
        EXPECT_TRUE(Hooks::clean()) << failAt;
    }
}

// Files from a big-endian machine: header, records and every component swapped (complex halves and interleaved channels
// each on their own); a foreign tail is dropped.
TEST_F(FileIO, ForeignOrderEveryKind) {
    const FileSpec cases[] = {
        typed("8bit", DT_8BIT, 1, 1, {600}), typed("u8bit", DT_U8BIT, 1, 1, {30, 20}),
        typed("16bit", DT_16BIT, 2, 2, {30, 20}), typed("u16bit", DT_U16BIT, 2, 2, {7, 5, 3}),
        typed("32bit", DT_32BIT, 4, 4, {30, 20}), typed("32flt", DT_32FLT, 4, 4, {33, 21}),
        typed("64flt", DT_64FLT, 8, 8, {9, 8, 2}), typed("32cmp", DT_32CMP, 8, 4, {30, 20}),
        typed("64cmp", DT_64CMP, 16, 8, {17, 3}), typed("S16bit3", DT_S16BIT3, 2, 2, {6, 5, 3}),
        typed("S32flt4", DT_S32FLT4, 4, 4, {6, 5, 4}), typed("S64flt3", DT_S64FLT3, 8, 8, {6, 5, 3}),
        typed("Su16bit4", DT_SU16BIT4, 2, 2, {4, 4, 4}),
    };
    for (const FileSpec &c : cases)
        for (int zip = 0; zip < 2; ++zip) {
            const std::string what = c.dt + (zip ? " compressed" : " raw");
            FileSpec s = filled(c);
            s.big = true, s.scale = 2.5f, s.offset = -3.25f, s.taillen = 77, s.zlib = zip, s.compress = uint8_t(zip);
            Read r = readBytes(buildFile(s), 1);
            ASSERT_NE(r.img.h, nullptr) << what << r.err << r.out;
            EXPECT_EQ(r.err + r.out, "") << what;
            const ZVEKHDR *h = r.img;
            const int32_t tailblk = -static_cast<int32_t>((s.comps.size() * s.compSize + 511) / 512 + 1);
            const std::vector<long> got{h->vekblksize, h->vekdatblk, h->vektailblk, h->vektaillen,
                                        h->vektail != nullptr, h->dtype, h->vekbpd, h->vekendian, h->vekndim};
            EXPECT_EQ(got, (std::vector<long>{512, 1, tailblk, 0, 0, c.dtype, c.bpd, ZVEK_LITEND, long(c.lens.size())}))
                << what;
            EXPECT_EQ(std::make_pair(h->vekscale, h->vekoffset), std::make_pair(2.5f, -3.25f)) << what;
            for (size_t d = 0; d < c.lens.size(); ++d)
                EXPECT_EQ(h->vekdims[d].dimlen * 10 + h->vekdims[d].dimnum, c.lens[d] * 10 + int(d) + 1) << what;
            for (size_t i = 0; i < s.comps.size(); ++i) {
                uint64_t v = 0;
                std::memcpy(&v, r.img.data() + i * s.compSize, s.compSize);
                ASSERT_EQ(v, s.comps[i] & (~uint64_t{0} >> (64 - 8 * s.compSize))) << what << " component " << i;
            }
        }
}

// Files read with the warnings they draw, and damaged, hostile or cut files refused with their reports; nothing stays
// allocated.
TEST_F(FileIO, OddAndBadFiles) {
    auto with = [](FileSpec s, void (*e)(FileSpec &) = nullptr) { return e ? e(s) : void(), buildFile(filled(s)); };
    auto hdr = [](const std::string &m, int code) { return report("ZvekRdHdr: " + m, code) + kFailHeader; };
    auto dim = [](const std::string &m, int code) { return report("ZvekRdDims: " + m, code) + kFailDims; };
    auto warning = [](const std::string &name, const char *code, const char *should, const char *shouldCode) {
        return report("ZvekRdHdr: WARNING!  File header fields 'vekdt', 'dtype' contain\n          inconsistent "
                      "information -- hdr->Zvekdt = '" + name + "',\n          hdr->dtype = $" + code +
                      "\n          Data type table shows 'vekdt' should be = '" + should +
                      "',\n          and 'dtype' should be $" + shouldCode, 24) +
               "\nZvekRdImg: WARNING -- File header is inconsistent\n\n";
    };
    auto unknownName = [&](const std::string &name) {
        return hdr("WARNING!  Data Type Field 'vekdt' does not contain a data type\n          recognized by this "
                   "version of ZVEK (field 'vekdt' contains '" + name + "')\n          Image has damaged header?", 24);
    };
    const FileSpec base = typed("u8bit", DT_U8BIT, 1, 1, {8, 8});
    auto ndims = [&](int n, bool big = false) { FileSpec s = base; s.ndim = n, s.big = big; return with(s); };
    auto nums = [&](std::vector<int32_t> n) { FileSpec s = base; s.nums = n; return with(s); };
    const std::string ndim = hdr("number of dimensions in file header is not 1, 2 or 3.", 8192);
    const std::string order = dim("dimension numbers in file are not 1 to the number of dimensions.", 8192);
    const std::string tooLarge = dim("image in file is too large (2 GB or more of data).", 24);
    const std::string bpd = hdr("bytes per datum in file header disagree with the data type.", 24);
    const std::string dataIO = report("ZvekRdData: I/O error on read of data [file damaged?]", 448) + kFailData;
    const std::string cutHeader = hdr("I/O error or EOF when reading header.", 448);
    FileSpec zs = typed("32flt", DT_32FLT, 4, 4, {40, 30});
    for (int i = 0; i < 1200; ++i) zs.comps.push_back(bits(static_cast<float>(i % 40)));
    zs.zlib = true, zs.compress = 1;
    const Bytes good = buildFile(zs), small = buildFile(filled(FileSpec()));
    Bytes damaged = good, fewer = good, texts = good;
    Bytes more = buildFile([&] { FileSpec s = zs; s.lens = {40, 20}; return s; }());
    for (size_t i = 520; i < 540; ++i) damaged[i] ^= 0x5A;
    more.resize(512);  // the header says 3200 bytes, the stream holds 4800
    more.insert(more.end(), good.begin() + 512, good.end());
    fewer.resize(512);  // the header says 4800 bytes, the stream holds 1600
    const Bytes part = buildFile([&] { FileSpec s = zs; s.lens = {40, 10}, s.comps.resize(400); return s; }());
    fewer.insert(fewer.end(), part.begin() + 512, part.end());
    Bytes rawCut = buildFile(filled(typed("u16bit", DT_U16BIT, 2, 2, {100, 10})));
    rawCut.resize(512 + 1999);
    std::fill(&texts[44], &texts[76], 'A'), std::fill(&texts[188], &texts[204], 'U');  // no NULs
    std::fill(&texts[264], &texts[272], 'D');
    // The header read: type, bytes per datum, columns x rows, (user, units, direction); empty when refused.
    const std::vector<std::tuple<Bytes, Outcome, std::string>> rows = {
        {with(typed("float", DT_32FLT, 4, 4, {60}, true)), {1, "", warning("float", "204", "32flt", "204"), 0},
         "32flt 516 4 60x1"},
        {with(typed("64flt", DT_32FLT, 8, 8, {60}, true)), {1, "", warning("64flt", "204", "64flt", "208"), 0},
         "64flt 520 8 60x1"},
        {with(typed("blah", DT_32FLT, 4, 4, {10})), {1, "", "", 0}, "blah 516 4 10x1"},  // no name check in host order
        {with(typed("struct", DT_STRUCT, 12, 1, {50})), {1, "", "", 0}, "struct 8192 12 50x1"},
        {with(typed("u8bit", DT_U8BIT, 1, 1, {4, 3}), [](FileSpec &s) { s.nums = {2, 1}; }), {1, "", "", 0},
         "u8bit 1025 1 3x4"},
        {with(typed("u8bit", DT_U8BIT, 1, 1, {4, 3}, true), [](FileSpec &s) { s.nums = {2, 1}; }), {1, "", "", 0},
         "u8bit 1025 1 3x4"},
        {with(typed("32flt", DT_32FLT, 4, 4, {0, 7}, true)), {1, "", "", 0}, "32flt 516 4 0x7"},
        {with(typed("32flt", DT_32FLT, 4, 4, {0, 7}, true), [](FileSpec &s) { s.pad = false; }), {1, "", kNoPadding, 0},
         "32flt 516 4 0x7"},
        {texts, {1, "", "", 0}, "32flt 516 4 40x30 " + std::string(31, 'A') + " " + std::string(15, 'U') + " DDDDDDD"},
        {ndims(0), {0, "", ndim, 8192}, ""}, {ndims(4), {0, "", ndim, 8192}, ""}, {ndims(-1), {0, "", ndim, 8192}, ""},
        {ndims(1000000), {0, "", ndim, 8192}, ""}, {ndims(4, true), {0, "", ndim, 8192}, ""},
        {with(base, [](FileSpec &s) { s.lens = {8, -8}; }),
         {0, "", dim("negative dimension length in file.", 24), 24}, ""},
        {with(base, [](FileSpec &s) { s.lens = {65536, 65536}, s.comps = {1}; }), {0, "", tooLarge, 24}, ""},
        {with(typed("64cmp", DT_64CMP, 16, 8, {1 << 14, 1 << 13}, true), [](FileSpec &s) { s.comps = {1}; }),
         {0, "", tooLarge, 24}, ""},
        {nums({1, 1}), {0, "", order, 8192}, ""}, {nums({0, 1}), {0, "", order, 8192}, ""},
        {nums({1, 3}), {0, "", order, 8192}, ""}, {nums({2, -5}), {0, "", order, 8192}, ""},
        {with(base, [](FileSpec &s) { s.bpd = 2; }), {0, "", bpd, 24}, ""},
        {with(base, [](FileSpec &s) { s.dt = "struct", s.dtype = DT_STRUCT, s.bpd = 0; }), {0, "", bpd, 24}, ""},
        {with(base, [](FileSpec &s) { s.dtype = 999; }),
         {0, "", hdr("unknown data type code in file header.", 24), 24}, ""},
        {with(base, [](FileSpec &s) { s.blksize = 1024; }),
         {0, "input file blocksize not set to anything I recognize\n", kFailHeader + codeLine(24), 24}, ""},
        {with(base, [](FileSpec &s) { s.magic = "XYZ"; }),
         {0, "chk:XYZ\n", kBadHeader + "Zveksiz:  bad image header\n" + kFailDims + codeLine(24), 24}, ""},
        {with(typed("blah", DT_32FLT, 4, 4, {10}, true)), {0, "", unknownName("blah"), 24}, ""},
        {with(typed("0123456789abcdef", DT_32FLT, 4, 4, {10}, true)), {0, "", unknownName("0123456789abcde"), 24}, ""},
        {with(typed("struct", DT_STRUCT, 12, 1, {50}, true)),
         {0, "This image was created on another type computer, and it is data type \"struct\".\nI cannot convert it "
             "to this platform because I dont know the format of the (user-defined) struct.\nSorry\n",
          report("ZvekRdData: failed to convert data.", 1024) + kFailData, 1024}, ""},
        {Bytes(), {0, "", cutHeader, 448}, ""}, {bytesAt(small.data(), 100), {0, "", cutHeader, 448}, ""},
        {bytesAt(small.data(), 255), {0, "", cutHeader, 448}, ""},
        {bytesAt(small.data(), 320), {0, "", kNoPadding + dataIO, 448}, ""},  // ends after the records
        {bytesAt(small.data(), 512), {0, "", dataIO, 448}, ""}, {rawCut, {0, "", dataIO, 448}, ""},
        {damaged, {0, "", dataIO, 448}, ""}, {bytesAt(good.data(), 530), {0, "", dataIO, 448}, ""},
        {more, {0, "", dataIO, 448}, ""}, {fewer, {0, "", dataIO, 448}, ""},
    };
    for (size_t i = 0; i < rows.size(); ++i) {
        Hooks hooks(-1);
        Read r = readBytes(std::get<0>(rows[i]));
        EXPECT_EQ(outcome(r), std::get<1>(rows[i])) << "row " << i;
        const ZVEKHDR *h = r.img;
        std::string got;
        if (h) got = std::string(h->vekdt) + " " + std::to_string(h->dtype) + " " + std::to_string(h->vekbpd) + " " +
                     std::to_string(Zveknc(h)) + "x" + std::to_string(h->vekndim > 1 ? Zveknr(h) : 1);
        if (i == 8) got += " " + std::string(h->vekcuser) + " " + h->vekunits + " " + h->vekdims[0].dimdir;
        Zvekfree(std::exchange(r.img.h, nullptr), 7);
        EXPECT_EQ(std::make_pair(got, Hooks::clean()), std::make_pair(std::get<2>(rows[i]), true)) << "row " << i;
    }
}

// The steps of the reader on their own, and named files.
TEST_F(FileIO, ReaderStepsAndNamedFiles) {
    FILE *f = std::tmpfile();
    Img h("u8bit", {10});
    EXPECT_EQ(run([&] {
                  return std::vector<long>{ZvekRdDims(nullptr, f) == nullptr, ZvekRdData(nullptr, f),
                                           ZvekRdDims(h, nullptr) == nullptr, ZvekRdData(h, nullptr)} ==
                         std::vector<long>{1, 8, 1, 8};
              }),
              (Outcome{1, "", "ZvekRdDims: header passed was null.\nZvekRdData: header passed was null.\nZvekRdDims: "
                               "file pointer passed was NULL.\nZvekRdData: file pointer passed was NULL.\n", 0}));
    EXPECT_EQ(ZvekRdTail(h, f), -1) << "no tail to read";
    std::fclose(f);
    EXPECT_EQ(run([&] { h->dtype = 0x999; return ZvekConvertData(h); }),
              (Outcome{ZVEK_EDTYPE, "convertdata: unknown data type in input image\n", "", 0}));
    h->dtype = DT_U8BIT;
    unsigned char b[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    swapcopy(b, 3), swapcopy(b + 3, 1);
    EXPECT_EQ(Bytes(b, b + 8), (Bytes{3, 2, 1, 4, 5, 6, 7, 8}));
    // A code met by the dimension step of a file of this machine's order is cleared with its warning.
    MemStream m(buildFile(filled(FileSpec())));
    Img hdr(ZvekRdHdr(m.f));
    ASSERT_NE(hdr.h, nullptr);
    EXPECT_EQ(run([&] { Zvekerr = 24; return ZvekRdDims(hdr, m.f) == hdr.h; }),
              (Outcome{1, "", "\nZvekRdDims: WARNING -- File dimensions are inconsistent\n\n", 0}));
    EXPECT_EQ((ZvekRdData(hdr, m.f) == 0) + hdr.data()[9], 2);
    // Named files: a missing one and an empty one.
    EXPECT_EQ(run([] { return Zvekpin("/nonexistent-dir/none.zve") != nullptr; }),
              (Outcome{0, "", cannotOpen("/nonexistent-dir/none.zve") + "\nZvekGetImg: couldn't open file.\n", 64}));
    EXPECT_EQ(run([] { return Zvekpin("/dev/null") != nullptr; }),
              (Outcome{0, "", report("ZvekRdHdr: I/O error or EOF when reading header.", 448) + kFailHeader +
                                  "\nZvekGetImg: Error while reading image file.\n", 448}));
}
