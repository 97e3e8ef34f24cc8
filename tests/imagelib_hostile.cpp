// The image library facing hostile files and arguments: lengths whose
// strides leave the 32-bit size model in any record order, point lists
// spanning 2^31 pixels, interleaved images without a frame per channel and
// positions far outside the image.
#include <gtest/gtest.h>

#include "zvek.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Free {
    void operator()(ZVEKHDR *h) const { Zvekfree(h, 7); }
};
using Img = std::unique_ptr<ZVEKHDR, Free>;

std::vector<unsigned char> bytesOf(const ZVEKHDR *h) {
    size_t n = size_t(h->vekbpd);
    for (int i = 0; i < h->vekndim; ++i) n *= size_t(h->vekdims[i].dimlen);
    auto *p = static_cast<unsigned char *>(h->vekptr);
    return std::vector<unsigned char>(p, p + n);
}

// An image of the type and size vector whose bytes are 1, 2, 3, ...
Img make(const char *type, std::vector<int32_t> dims) {
    Img h(Zvekcreate(type, dims.data(), 11, 0));
    const size_t n = bytesOf(h.get()).size();
    for (size_t i = 0; i < n; ++i) static_cast<unsigned char *>(h->vekptr)[i] = static_cast<unsigned char>(i + 1);
    return h;
}

// A raw "u8bit" file of three dimension records holding the given (length,
// number) pairs in that order, and the writer's six data bytes.
std::vector<unsigned char> fileWithRecords(const std::vector<std::array<int32_t, 2>> &records) {
    Img h = make("u8bit", {3, 3, 2, 1});
    h->vekcompress = 0;
    char *buf = nullptr;
    size_t len = 0;
    FILE *out = open_memstream(&buf, &len);
    EXPECT_EQ(ZvekWrImg(h.get(), out, 0), -1);
    std::fclose(out);
    std::vector<unsigned char> file(buf, buf + len);
    std::free(buf);
    for (size_t i = 0; i < records.size(); ++i) std::memcpy(&file[256 + 64 * i], records[i].data(), 8);
    return file;
}

TEST(LibHostile, ReaderRefusesStridesBeyondTheSizeModelInAnyRecordOrder) {
    const int32_t cols = 3, rows = 774778414;
    const std::vector<std::pair<const char *, std::vector<std::array<int32_t, 2>>>> cases = {
        {"columns, frames, rows", {{cols, 1}, {0, 3}, {rows, 2}}},
        {"frames, columns, rows", {{0, 3}, {cols, 1}, {rows, 2}}},
        {"rows, frames, columns", {{rows, 2}, {0, 3}, {cols, 1}}},
    };
    for (const auto &[name, records] : cases) {
        std::vector<unsigned char> file = fileWithRecords(records);
        FILE *in = fmemopen(file.data(), file.size(), "rb");
        testing::internal::CaptureStderr();
        Img h(ZvekRdImg(in, 0));
        const std::string err = testing::internal::GetCapturedStderr();
        std::fclose(in);
        EXPECT_EQ(h, nullptr) << name;
        EXPECT_NE(err.find("ZvekRdDims: image in file is too large (2 GB or more of data)."), err.npos) << name << err;
    }
}

TEST(LibHostile, PointListSpanningTwoToThe31RefusedBeforeTheProduct) {
    const std::string path = testing::TempDir() + "hostile_points_" + std::to_string(getpid()) + ".txt";
    const std::vector<std::pair<const char *, std::string>> cases = {
        {"both axes", "# 2\n0 0\n3000000000 3000000000\n"},
        {"negative corner", "# 2\n-3e9 -3e9\n0 0\n"},
    };
    for (const auto &[name, text] : cases) {
        FILE *f = std::fopen(path.c_str(), "w");
        std::fputs(text.c_str(), f);
        std::fclose(f);
        testing::internal::CaptureStderr();
        Img h(Zvekplotcontour(path.c_str(), 0, 0, 0, 1.0f));
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(h, nullptr) << name;
        EXPECT_EQ(err, "plotcontour:cannot make an image of 2147483647 rows and 2147483647 columns\n") << name;
    }
    std::remove(path.c_str());
}

// Zoom and bilinear reads of interleaved images without a frame per
// channel, and of positions whose integer parts overflow: refused with a
// line on standard output, the output untouched.
TEST(LibHostile, ZoomAndBilinearRefuseWhatTheyCannotWalk) {
    struct Case {
        const char *name, *inType;
        std::vector<int32_t> inDims;
        const char *outType;
        std::vector<int32_t> outDims;
        std::function<double(ZVEKHDR *, ZVEKHDR *)> op;
        double result;
        const char *line;
    };
    const auto zoom = [](int mode) { return [mode](ZVEKHDR *in, ZVEKHDR *out) { return Zvekzoomupdown(in, out, mode); }; };
    const auto read = [](int f, float r, float c) { return [=](ZVEKHDR *in, ZVEKHDR *) { return bilininterp1(in, f, r, c); }; };
    const char *interleaved = "an interleaved image needs three dimensions and a frame per channel";
    const std::vector<Case> cases = {
        {"zoom input of four channels in three frames", "Su8bit4", {3, 4, 4, 3}, "float", {3, 8, 8, 3}, zoom(0), -1, interleaved},
        {"zoom 2-D interleaved input", "Su8bit3", {2, 4, 4}, "float", {2, 8, 8}, zoom(1), -1, interleaved},
        {"zoom output of four channels in three frames", "float", {3, 4, 4, 3}, "S32flt4", {3, 8, 8, 3}, zoom(1), -1, interleaved},
        {"bilinear four channels in three frames", "S16bit4", {3, 4, 4, 3}, "float", {1, 1}, read(2, 1.5f, 1.5f), 0, interleaved},
        {"bilinear at 1e30", "float", {2, 4, 4}, "float", {1, 1}, read(0, 1e30f, 1e30f), 0, "bilininterp1: position row=1e+30 col=1e+30 is out of range"},
        {"bilinear at -1e30", "u8bit", {3, 4, 4, 2}, "float", {1, 1}, read(1, 1.0f, -1e30f), 0, "bilininterp1: position row=1 col=-1e+30 is out of range"},
        {"bilinear at NaN", "float", {2, 4, 4}, "float", {1, 1}, read(0, NAN, 1.0f), 0, "bilininterp1: position row=nan col=1 is out of range"},
    };
    for (const Case &c : cases) {
        Img in = make(c.inType, c.inDims), out = make(c.outType, c.outDims);
        const std::vector<unsigned char> before = bytesOf(out.get());
        testing::internal::CaptureStdout();
        EXPECT_EQ(c.op(in.get(), out.get()), c.result) << c.name;
        const std::string text = testing::internal::GetCapturedStdout();
        EXPECT_NE(text.find(c.line), std::string::npos) << c.name << ": " << text;
        EXPECT_EQ(bytesOf(out.get()), before) << c.name;
    }
}

}  // namespace
