// Helpers of the image file tests: temporary files, captured output, and a
// byte-by-byte builder of image files in either byte order that is written
// from the file layout alone, independently of the library's own code.
#ifndef TEST_FILEIO_UTIL_H
#define TEST_FILEIO_UTIL_H

#include "zvek.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace fiotest {

using Bytes = std::vector<uint8_t>;

inline Bytes readFile(const std::string &path) {
    Bytes out;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    std::fclose(f);
    return out;
}

inline void writeFile(const std::string &path, const Bytes &b) {
    FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(b.data(), 1, b.size(), f), b.size());
    std::fclose(f);
}

// A fresh directory for one test, removed with its files afterwards.
class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/zvekfio.XXXXXX";
        const char *d = mkdtemp(tmpl);
        dir_ = d ? d : "/tmp";
    }
    ~TempDir() {
        for (const std::string &f : files_) std::remove(f.c_str());
        rmdir(dir_.c_str());
    }
    std::string path(const std::string &name) {
        files_.push_back(dir_ + "/" + name);
        return files_.back();
    }

private:
    std::string dir_;
    std::vector<std::string> files_;
};

// An in-memory stream over a copy of bytes, for feeding the reader.
class MemStream {
public:
    explicit MemStream(const Bytes &b) : data_(b) {
        if (data_.empty()) data_.push_back(0), size_ = 0;
        else size_ = data_.size();
        f_ = size_ ? fmemopen(data_.data(), size_, "rb") : std::tmpfile();
    }
    ~MemStream() {
        if (f_) std::fclose(f_);
    }
    FILE *get() const { return f_; }

private:
    Bytes data_;
    size_t size_;
    FILE *f_;
};

// Reads bytes through ZvekRdImg, capturing standard output and error.
struct ReadResult {
    ZVEKHDR *h;
    std::string out, err;
    int32_t code;
};
inline ReadResult readBytes(const Bytes &b, int readTail = 0) {
    MemStream s(b);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ZVEKHDR *h = ZvekRdImg(s.get(), readTail);
    const int32_t code = Zvekerr;
    std::string err = testing::internal::GetCapturedStderr();
    std::string out = testing::internal::GetCapturedStdout();
    return {h, out, err, code};
}

// Writes h to a temporary stream with ZvekWrImg and answers the bytes.
inline Bytes writeBytes(ZVEKHDR *h, int writeTail = 0, int *result = nullptr) {
    FILE *f = std::tmpfile();
    const int r = ZvekWrImg(h, f, writeTail);
    if (result) *result = r;
    Bytes out;
    std::rewind(f);
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    std::fclose(f);
    return out;
}

// Forgets the remembered code and errno of the reporting functions, so that
// the next report prints its code line.
inline void resetReports() {
    const int32_t slv = ZVEKSLV;
    ZVEKSLV = ZVEK_SILENT;
    Zvekerr = 0;
    errno = 0;
    Zvekwarn("");
    ZVEKSLV = slv;
}

// ---- Independent file builder ----

// Appends and patches numbers in a chosen byte order.
struct Sink {
    bool big;
    Bytes b;
    void put(uint64_t v, int n) {
        for (int i = 0; i < n; ++i) {
            const int shift = big ? 8 * (n - 1 - i) : 8 * i;
            b.push_back(static_cast<uint8_t>(v >> shift));
        }
    }
    void i32(int32_t v) { put(static_cast<uint32_t>(v), 4); }
    void f32(float v) {
        uint32_t u;
        std::memcpy(&u, &v, 4);
        put(u, 4);
    }
    void text(const char *s, size_t width) {
        const size_t n = std::strlen(s);
        for (size_t i = 0; i < width; ++i) b.push_back(i < n ? static_cast<uint8_t>(s[i]) : 0);
    }
    void fill(uint8_t c, size_t n) { b.insert(b.end(), n, c); }
};

struct FileSpec {
    bool big = false;  // byte order of the numbers
    std::string magic = "ZVE";
    int32_t blksize = 512, hdrblk = 0, datblk = 1, tailblk = -2, taillen = 0;
    std::string fclass = "Vek is", ctype = "great!", cuser = "Ottmar Quelling", cdate = "Thu Jan  1 00:00:00 1970\n";
    std::string cprog = "Zvekcreate", cprogver = "V7.0";
    uint8_t endian = 0;  // 0: as the byte order says
    uint8_t stamp = 16;
    std::string units = "pixels";
    float scale = 1.0f, offset = 0.0f;
    std::string dt = "u8bit";
    int32_t dtype = 1025, bpd = 1, ndim = 1;
    uint8_t compress = 0;
    std::vector<int32_t> lens{10}, nums;  // nums empty: 1, 2, 3
    // Pixel data as components of compSize bytes, given as host values; each
    // is stored in the file's order.
    int compSize = 1;
    std::vector<uint64_t> comps;
    bool zlib = false;   // store the data as a zlib stream
    bool pad = true;     // padding after the dimension records
    bool dataPad = true;
};

// The 256-byte header, the records, the padding and the data of a file.
inline Bytes buildFile(const FileSpec &s) {
    Sink k{s.big, {}};
    k.text(s.magic.c_str(), 4);
    k.i32(s.blksize);
    k.i32(s.hdrblk);
    k.i32(s.datblk);
    k.i32(s.tailblk);
    k.i32(s.taillen);
    k.i32(0);
    k.text(s.fclass.c_str(), 8);
    k.text(s.ctype.c_str(), 8);
    k.text(s.cuser.c_str(), 32);
    k.text(s.cdate.c_str(), 32);
    k.text(s.cprog.c_str(), 32);
    k.text(s.cprogver.c_str(), 8);
    k.b.push_back(s.endian ? s.endian : (s.big ? 1 : 2));
    k.b.push_back(s.stamp);
    k.fill(0, 38);
    k.text(s.units.c_str(), 16);
    k.f32(s.scale);
    k.f32(s.offset);
    k.text(s.dt.c_str(), 16);
    k.i32(s.dtype);
    k.i32(s.bpd);
    k.i32(s.ndim);
    k.fill(0, 12);
    k.fill(0, 3);
    k.b.push_back(s.compress);
    for (size_t i = 0; i < s.lens.size(); ++i) {
        k.i32(s.lens[i]);
        k.i32(s.nums.empty() ? static_cast<int32_t>(i + 1) : s.nums[i]);
        k.text("fwd", 8);
        k.text("pixels", 8);
        k.f32(1.0f);
        k.f32(0.0f);
        k.fill(0, 32);
    }
    if (s.pad) k.fill('.', (512 - k.b.size() % 512) % 512);
    Sink d{s.big, {}};
    for (uint64_t c : s.comps) d.put(c, s.compSize);
    const size_t S = d.b.size();
    if (s.zlib) {
        uLongf len = compressBound(S);
        Bytes z(len);
        compress(z.data(), &len, d.b.data(), S);
        z.resize(len);
        k.b.insert(k.b.end(), z.begin(), z.end());
    } else {
        k.b.insert(k.b.end(), d.b.begin(), d.b.end());
    }
    if (s.dataPad) k.fill('.', (512 - S % 512) % 512);
    return k.b;
}

// Values of a 32-bit float and a 64-bit double as raw bits.
inline uint64_t bits(float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    return u;
}
inline uint64_t bits(double v) {
    uint64_t u;
    std::memcpy(&u, &v, 8);
    return u;
}

// Number of times a text occurs in another.
inline int countOf(const std::string &hay, const std::string &needle) {
    int n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) ++n;
    return n;
}

}  // namespace fiotest

#endif  // TEST_FILEIO_UTIL_H
