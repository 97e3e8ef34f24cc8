// What the image library's tests share: a clean error state, the outcome of a call (result, printed lines, code),
// images owned for a test, and a builder of image files in either byte order written from the file layout alone,
// independently of the library's writer and swapping code.
#ifndef IMAGELIB_FIXTURE_H
#define IMAGELIB_FIXTURE_H

#include "zvek.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace zt {

using Bytes = std::vector<uint8_t>;

// No code, depth 0, default level, trace and header check, and no code or errno remembered by the reporter.
inline void resetErrors() {
    ZVEKSLV = ZVEK_SILENT, Zvekerr = 0, errno = 0, Zvekwarn("");
    ZVEKSLV = ZVEK_WARN, ZVEKTRACE = 1, ZVEKCHK = 1, ZVEKDEPTH = 0;
}

// The trace lines of a report: the library's code and the system's.
inline std::string traceLine(const char *what, int v) {
    char b[64];
    return std::string(b, std::snprintf(b, sizeof b, "\t%s$%08x = %d\n", what, static_cast<unsigned>(v), v));
}
inline std::string codeLine(int code) { return traceLine("VEK error code:    ", code); }
inline std::string errnoLine(int e) { return traceLine("System error code: ", e); }
// A report through Zvekdie or Zvekwarn that prints its code line; ZvekOpen's report of a path that does not exist.
inline std::string report(const std::string &text, int code) { return "\n" + text + "\n" + codeLine(code); }
inline std::string cannotOpen(const std::string &path) {
    return report("ZvekOpen: Unable to open file `" + path + "'.", 64) + errnoLine(ENOENT);
}
// The allocator's report, made before it sets its code; the header check's reports.
inline std::string alcLine(long n) {
    return "\nZvekalc: can't allocate storage (" + std::to_string(n) + " bytes requested)\n";
}
inline const std::string kBadHeader = "\nZvekchkhd:  Bad ZVEK image header encountered.\n";
inline const std::string kNullHeader = "\nZvekchkhd:  Null ZVEK image header encountered.\n";

// Each test starts from a clean error state and must leave the call depth at 0.
struct LibTest : ::testing::Test {
    void SetUp() override { resetErrors(); }
    void TearDown() override {
        EXPECT_EQ(ZVEKDEPTH, 0) << "call depth not restored";
        resetErrors();
    }
};

struct Printed { std::string out, err; };
template <typename F>
Printed capture(F &&fn) {
    testing::internal::CaptureStdout(), testing::internal::CaptureStderr(), fn();
    std::string err = testing::internal::GetCapturedStderr();
    return {testing::internal::GetCapturedStdout(), err};
}

// What a call did: its result, its lines on standard output and error, and the code it left.
struct Outcome {
    long result;
    std::string out, err;
    int32_t code;
    bool operator==(const Outcome &o) const {
        return std::tie(result, out, err, code) == std::tie(o.result, o.out, o.err, o.code);
    }
};
inline void PrintTo(const Outcome &o, std::ostream *os) {
    *os << "{" << o.result << ", out " << testing::PrintToString(o.out) << ", err " << testing::PrintToString(o.err);
    *os << ", code " << o.code << "}";
}
// Runs fn from a clean error state.
template <typename F>
Outcome run(F &&fn) {
    resetErrors();
    long r = 0;
    const Printed p = capture([&] { r = static_cast<long>(fn()); });
    return {r, p.out, p.err, Zvekerr};
}

// An image made by the library from its lengths (columns, rows, frames).
struct Img {
    ZVEKHDR *h = nullptr;
    Img(const char *type, std::vector<int32_t> lens, int structSize = 0, int flags = 11) {
        lens.insert(lens.begin(), static_cast<int32_t>(lens.size()));
        h = Zvekcreate(type, lens.data(), flags, structSize);
    }
    explicit Img(ZVEKHDR *p) : h(p) {}
    Img(Img &&o) noexcept : h(std::exchange(o.h, nullptr)) {}
    Img &operator=(Img &&o) noexcept { return std::swap(h, o.h), *this; }
    ~Img() {
        if (h) Zvekfree(h, 7);
    }
    operator ZVEKHDR *() const { return h; }
    ZVEKHDR *operator->() const { return h; }
    template <typename T = uint8_t>
    T *data() const { return static_cast<T *>(h->vekptr); }
    Bytes bytes() const { return Bytes(data(), data() + Zvekdimen(h, ZVEK_NBYTES)); }
};

// n bytes from p.
inline Bytes bytesAt(const void *p, size_t n) { auto b = static_cast<const uint8_t *>(p); return Bytes(b, b + n); }

template <typename T>
uint64_t bits(T v) {
    uint64_t u = 0;
    return std::memcpy(&u, &v, sizeof v), u;
}

// Allocation hooks that keep the live blocks and fail the n-th request (counted from 0). The library releases the size
// query's arrays (8 or 12 bytes for 1-D or 2-D images) with free(), not through the hook.
struct Hooks {
    static inline int calls = 0, failAt = -1, badFrees = 0;
    static inline std::map<void *, size_t> live;
    void *(*alc)(size_t, size_t) = Zvek_alcptr;
    void (*fr)(void *) = Zvek_freeptr;
    explicit Hooks(int fail) {
        calls = 0, failAt = fail, badFrees = 0, live.clear();
        Zvek_alcptr = [](size_t n, size_t s) -> void * {
            void *p = calls++ == failAt ? nullptr : std::calloc(n, s);
            return p ? (live[p] = n * s, p) : p;
        };
        Zvek_freeptr = [](void *p) { badFrees += p && !live.erase(p), std::free(p); };
    }
    ~Hooks() { Zvek_alcptr = alc, Zvek_freeptr = fr; }
    static std::set<void *> kept(std::set<void *> k = {}) {
        for (const auto &b : live)
            if (b.second != 8 && b.second != 12) k.insert(b.first);
        return k;
    }
    static bool clean() { return badFrees == 0 && kept().empty(); }  // nothing freed twice or left
};

inline Bytes readStream(FILE *f, Bytes out = {}) {
    for (int c; (c = std::getc(f)) != EOF;) out.push_back(static_cast<uint8_t>(c));
    return out;
}
inline Bytes readFile(const std::string &path) {
    FILE *f = std::fopen(path.c_str(), "rb");
    const Bytes b = f ? readStream(f) : Bytes();
    return f && std::fclose(f), b;
}
inline void writeFile(const std::string &path, const Bytes &b) {
    FILE *f = std::fopen(path.c_str(), "wb");
    std::fwrite(b.data(), 1, b.size(), f), std::fclose(f);
}

// A fresh directory for one test, removed with its files afterwards.
struct TempDir {
    std::string dir;
    std::vector<std::string> files;
    TempDir() : dir("/tmp/zvektest.XXXXXX") {
        if (!mkdtemp(&dir[0])) dir = "/tmp";
    }
    ~TempDir() {
        for (const std::string &f : files) std::remove(f.c_str());
        rmdir(dir.c_str());
    }
    std::string path(const std::string &name) { return files.emplace_back(dir + "/" + name); }
};

// The names in a folder.
inline std::set<std::string> namesIn(const std::string &dir) {
    std::set<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (const dirent *e = readdir(d)) names.insert(e->d_name);
        closedir(d);
    }
    return names;
}

// A file-size limit of n bytes while alive: a write past it fails with EFBIG where SIGXFSZ is ignored.
struct FileSizeLimit {
    rlimit old{};
    explicit FileSizeLimit(rlim_t n) {
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit l = old;
        l.rlim_cur = n, setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old); }
};

// A read-only stream over a copy of bytes.
struct MemStream {
    Bytes data;
    FILE *f;
    explicit MemStream(const Bytes &b)
        : data(b), f(b.empty() ? std::tmpfile() : fmemopen(data.data(), data.size(), "rb")) {}
    ~MemStream() { std::fclose(f); }
};

// ZvekRdImg over bytes from a clean error state, with what it printed and the code it left.
struct Read { Img img; std::string out, err; int32_t code; };
inline Outcome outcome(const Read &r) { return {r.img.h != nullptr, r.out, r.err, r.code}; }
inline Read readBytes(const Bytes &b, int readTail = 0) {
    resetErrors();
    MemStream s(b);
    ZVEKHDR *h = nullptr;
    const Printed p = capture([&] { h = ZvekRdImg(s.f, readTail); });
    return {Img(h), p.out, p.err, Zvekerr};
}

// ZvekWrImg into a temporary stream; the bytes it wrote.
inline Bytes writeBytes(ZVEKHDR *h, int writeTail = 0, int *result = nullptr) {
    FILE *f = std::tmpfile();
    const int r = ZvekWrImg(h, f, writeTail);
    if (result) *result = r;
    std::rewind(f);
    const Bytes out = readStream(f);
    return std::fclose(f), out;
}

// What an image file holds, field by field; numbers as host values.
struct FileSpec {
    bool big = false;  // byte order of the numbers
    std::string magic = "ZVE", dt = "u8bit", cuser = "Ottmar Quelling", cdate = "Thu Jan  1 00:00:00 1970\n";
    std::string units = "pixels";
    int32_t blksize = 512, taillen = 0, dtype = DT_U8BIT, bpd = 1, ndim = INT32_MIN;  // INT32_MIN: as many as lens
    uint8_t endian = 0, compress = 0;  // endian 0: as the byte order says
    float scale = 1.0f, offset = 0.0f;
    std::vector<int32_t> lens{10}, nums;  // nums empty: 1, 2, 3
    int compSize = 1;                     // bytes per component of the data
    std::vector<uint64_t> comps;          // the components
    bool zlib = false, pad = true;
};

inline FileSpec typed(const char *dt, int32_t code, int bpd, int comp, std::vector<int32_t> lens, bool big = false) {
    FileSpec s;
    return s.big = big, s.dt = dt, s.dtype = code, s.bpd = bpd, s.compSize = comp, s.lens = std::move(lens), s;
}

inline Bytes buildFile(const FileSpec &s) {
    Bytes b, data;
    auto put = [&](Bytes &to, uint64_t v, int n) {
        for (int i = 0; i < n; ++i) to.push_back(static_cast<uint8_t>(v >> (s.big ? 8 * (n - 1 - i) : 8 * i)));
    };
    auto i32 = [&](int32_t v) { put(b, static_cast<uint32_t>(v), 4); };
    auto text = [&](const std::string &t, size_t width) {
        for (size_t i = 0; i < width; ++i) b.push_back(i < t.size() ? static_cast<uint8_t>(t[i]) : 0);
    };
    for (uint64_t c : s.comps) put(data, c, s.compSize);
    const size_t S = data.size();
    text(s.magic, 4);
    for (int32_t v : {s.blksize, 0, 1, -static_cast<int32_t>((S + 511) / 512 + 1), s.taillen, 0}) i32(v);
    text("Vek is", 8), text("great!", 8), text(s.cuser, 32), text(s.cdate, 32), text("Zvekcreate", 32), text("V7.0", 8);
    b.push_back(s.endian ? s.endian : (s.big ? ZVEK_BIGEND : ZVEK_LITEND)), b.push_back(16), b.insert(b.end(), 38, 0);
    text(s.units, 16), put(b, bits(s.scale), 4), put(b, bits(s.offset), 4), text(s.dt, 16);
    for (int32_t v : {s.dtype, s.bpd, s.ndim == INT32_MIN ? static_cast<int32_t>(s.lens.size()) : s.ndim}) i32(v);
    b.insert(b.end(), 15, 0), b.push_back(s.compress);
    for (size_t i = 0; i < s.lens.size(); ++i) {
        i32(s.lens[i]), i32(s.nums.empty() ? static_cast<int32_t>(i + 1) : s.nums[i]);
        text("fwd", 8), text("pixels", 8), put(b, bits(1.0f), 4), i32(0), b.insert(b.end(), 32, 0);
    }
    if (s.pad) b.insert(b.end(), (512 - b.size() % 512) % 512, '.');
    uLongf len = compressBound(S);
    Bytes z(len);
    if (s.zlib) compress(z.data(), &len, data.data(), S), data.assign(z.begin(), z.begin() + static_cast<long>(len));
    b.insert(b.end(), data.begin(), data.end()), b.insert(b.end(), (512 - S % 512) % 512, '.');
    return b;
}

}  // namespace zt

#endif  // IMAGELIB_FIXTURE_H
