// The operations facing images they cannot walk (no pixels, shapes that
// differ in a dimension, interleaved layouts without a frame per channel)
// and arguments whose arithmetic would overflow: each is refused with its
// code and line, and no image changes.
#include <gtest/gtest.h>

#include "imageops.h"
#include "zvek.h"

#include <climits>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Free {
    void operator()(ZVEKHDR *h) const { Zvekfree(h, 7); }
};
using Img = std::unique_ptr<ZVEKHDR, Free>;
using Op = std::function<int(ZVEKHDR *const *)>;

std::vector<unsigned char> bytesOf(const ZVEKHDR *h) {
    size_t n = size_t(h->vekbpd);
    for (int i = 0; i < h->vekndim; ++i) n *= size_t(h->vekdims[i].dimlen);
    auto *p = static_cast<const unsigned char *>(h->vekptr);
    return std::vector<unsigned char>(p, p + n);
}

// An image of the type and size vector {ndim, lengths...}: floats hold a
// varying pattern of small values, other types the bytes 1, 2, 3, ...
Img make(const char *type, std::vector<int32_t> dims) {
    Img h(Zvekcreate(type, dims.data(), 11, 0));
    const size_t n = bytesOf(h.get()).size();
    auto *p = static_cast<unsigned char *>(h->vekptr);
    for (size_t i = 0; i < n; ++i) p[i] = static_cast<unsigned char>(i % 251 + 1);
    for (size_t i = 0; h->dtype == DT_32FLT && i < n / 4; ++i) static_cast<float *>(h->vekptr)[i] = float((i * 7) % 13);
    return h;
}

// A row: its images (type, size vector), the call, its result and the text
// standard output must hold ("" for none).
struct Refusal {
    const char *name;
    std::vector<std::pair<const char *, std::vector<int32_t>>> images;
    Op op;
    int code;
    const char *line;
};

const std::vector<int32_t> k20{2, 20, 20}, k20x3{3, 20, 20, 3};

// Every refusal: its code, its line, and every image as it was.
TEST(OpsRefusals, RefusedWithCodeAndLineImagesUntouched) {
    const std::vector<Refusal> rows = {
        // Images without pixels, and what the derivative filter builds on.
        {"flDoG no columns", {{"float", {2, 0, 40}}, {"float", {2, 1, 40}}}, [](auto im) { return flDoG(im[0], im[1], 1, 0, 1.0f); }, -10, "flDoG: image has no pixels"},
        {"flDoG no rows", {{"float", {2, 40, 0}}, {"float", {2, 40, 1}}}, [](auto im) { return flDoG(im[0], im[1], 1, 0, 1.0f); }, -10, "flDoG: image has no pixels"},
        {"flDoG no columns, in place", {{"float", {2, 0, 40}}}, [](auto im) { return flDoG(im[0], im[0], 0, 0, 1.0f); }, -10, "flDoG: image has no pixels"},
        {"flgmag no columns", {{"float", {2, 0, 40}}, {"float", {2, 0, 40}}}, [](auto im) { return flgmag(im[0], im[1], 1.0f); }, -10, "flgmag: image has no pixels"},
        {"flHarris no frames", {{"float", {3, 20, 20, 0}}, {"float", {3, 20, 20, 0}}}, [](auto im) { return flHarris(im[0], im[1], 1.0f); }, -10, "flHarris: image has no pixels"},
        {"flcorrelate template no frames", {{"float", k20}, {"float", {3, 4, 4, 0}}, {"float", k20}}, [](auto im) { return flcorrelate(im[0], im[1], im[2]); }, -10, "flcorrelate: image has no pixels"},
        {"pconsub no frames", {{"float", {3, 5, 5, 0}}, {"float", {2, 5, 5}}}, [](auto im) { return pconsub(im[0], im[1], 2, .03f, 4, 1, .005f, .99f); }, -15, "Pcon: image has no pixels"},
        // Shapes compared in every dimension of every image.
        {"flabsolute output of 0 rows", {{"float", {1, 40}}, {"float", {3, 40, 0, 1}}}, [](auto im) { return flabsolute(im[0], im[1]); }, -2, ""},
        {"fladdv second of 0 frames", {{"float", {1, 40}}, {"float", {3, 40, 1, 0}}, {"float", {1, 40}}}, [](auto im) { return fladdv(im[0], im[1], im[2]); }, -2, ""},
        {"flcp output of 0 frames", {{"complex", {2, 4, 4}}, {"complex", {3, 4, 4, 0}}}, [](auto im) { return flcp(im[0], im[1]); }, -2, ""},
        {"flgmag output of 0 frames", {{"float", k20}, {"float", {3, 20, 20, 0}}}, [](auto im) { return flgmag(im[0], im[1], 1.0f); }, -10, "flgmag: image has no pixels"},
        {"maxgrad gx of 0 frames", {{"float", k20x3}, {"float", k20x3}, {"float", {3, 20, 20, 0}}, {"float", k20}}, [](auto im) { return maxgrad(im[0], im[1], im[2], im[3]); }, -2, ""},
        {"fladdi output of 0 frames", {{"float", {2, 5, 5}}, {"float", {2, 5, 5}}, {"float", {3, 5, 5, 0}}}, [](auto im) { return fladdi(im[0], im[1], im[2], 0, 0); }, -1, ""},
        {"flcorrelate output of 0 frames", {{"float", k20}, {"float", {2, 4, 4}}, {"float", {3, 20, 20, 0}}}, [](auto im) { return flcorrelate(im[0], im[1], im[2]); }, -5, "flcorrelate: output image must be at least"},
        // Interleaved types without a frame per channel, or 2-D.
        {"cclC4_2 2-D interleaved", {{"Su8bit3", {2, 6, 6}}, {"float", {2, 6, 6}}}, [](auto im) { int n = -7; return cclC4_2(im[0], 1, 0, &n, "", im[1], 2, 1, 255); }, -2, "cclC4_2: input is not a usable image"},
        {"cclC4_2 four channels in three frames", {{"Su8bit4", {3, 6, 6, 3}}, {"float", {2, 6, 6}}}, [](auto im) { int n = -7; return cclC4_2(im[0], 1, 0, &n, "", im[1], 2, 1, 255); }, -2, "cclC4_2: input is not a usable image"},
        {"cclC4_2 2-D interleaved output", {{"float", {2, 6, 6}}, {"S16bit3", {2, 6, 6}}}, [](auto im) { int n = -7; return cclC4_2(im[0], 1, 0, &n, "", im[1], 2, 1, 255); }, -2, "cclC4_2: output image does not match"},
        {"flHistogramEq 2-D interleaved", {{"Su8bit3", {2, 6, 6}}, {"float", {2, 6, 6}}}, [](auto im) { return flHistogramEq(im[0], im[1], 0); }, -4, "flHistogramEq: input is not a usable image"},
        {"HoGdescriptor 2-D interleaved", {{"S32flt3", {2, 16, 16}}, {"float", {3, 2, 2, 9}}}, [](auto im) { return HoGdescriptor(im[0], im[1]); }, -1, ""},
        {"HoGdescriptor four channels in three frames", {{"Su8bit4", {3, 16, 16, 3}}, {"float", {3, 2, 2, 9}}}, [](auto im) { return HoGdescriptor(im[0], im[1]); }, -1, ""},
        {"fladdi four channels in three frames", {{"Su8bit4", {3, 5, 5, 3}}, {"float", {3, 5, 5, 3}}, {"float", {3, 5, 5, 3}}}, [](auto im) { return fladdi(im[0], im[1], im[2], 0, 0); }, -1, ""},
        {"flsubi output four channels in three frames", {{"float", {3, 5, 5, 3}}, {"float", {3, 5, 5, 3}}, {"S32flt4", {3, 5, 5, 3}}}, [](auto im) { return flsubi(im[0], im[1], im[2], 0, 0); }, -1, ""},
        {"flcolor2gray four channels in three frames", {{"Su16bit4", {3, 4, 4, 3}}, {"float", {2, 4, 4}}}, [](auto im) { ZVEKHDR *o = im[1]; return flcolor2gray(im[0], &o); }, -1, ""},
        {"flDoG 2-D interleaved output", {{"float", k20}, {"Su8bit3", k20}}, [](auto im) { return flDoG(im[0], im[1], 1, 0, 1.0f); }, -8, "flDoG: output image"},
        // Arguments whose arithmetic overflows.
        {"padme1 padding near INT_MAX", {{"float", {2, 3, 3}}}, [](auto im) { return padme1(im[0], INT_MAX - 1, INT_MAX - 1, 0) ? 1 : 0; }, 0, "padme1: padded frame of 4294967295 x 4294967295 is too large"},
        {"drawline half-length 2^24", {{"float", {2, 9, 9}}}, [](auto im) { drawline(im[0], 4, 4, 0, 7, 16777216.0f); return 0; }, 0, "drawline: half-length 1.67772e+07 is too long"},
        {"drawline infinite half-length", {{"float", {2, 9, 9}}}, [](auto im) { drawline(im[0], 4, 4, 1, 7, INFINITY); return 0; }, 0, "drawline: half-length inf is too long"},
        // Restoration schedules beyond 100,000 rounds, refused before any work.
        {"pconsub 100001 rounds", {{"float", {2, 3, 3}}, {"float", {2, 3, 3}}}, [](auto im) { return pconsub(im[0], im[1], 2, .03f, 4, 1, 4.52974637e-05f, .9999f); }, -14, "Pcon: the annealing schedule takes 100001 rounds, more than the 100000 allowed"},
        {"pconsub cooling factor 0.9999999", {{"float", {2, 3, 3}}, {"float", {2, 3, 3}}}, [](auto im) { return pconsub(im[0], im[1], 2, .03f, 4, 1, .005f, .9999999f); }, -14, "Pcon: the annealing schedule takes 44445505 rounds, more than the 100000 allowed"},
    };
    for (const Refusal &row : rows) {
        std::vector<Img> images;
        std::vector<ZVEKHDR *> ptrs;
        std::vector<std::vector<unsigned char>> before;
        for (const auto &[type, dims] : row.images) {
            images.push_back(make(type, dims));
            ptrs.push_back(images.back().get());
            before.push_back(bytesOf(ptrs.back()));
        }
        testing::internal::CaptureStdout();
        const int rc = row.op(ptrs.data());
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(rc, row.code) << row.name;
        if (*row.line) EXPECT_NE(out.find(row.line), std::string::npos) << row.name << ": " << out;
        else EXPECT_EQ(out, "") << row.name;
        for (size_t i = 0; i < ptrs.size(); ++i) EXPECT_EQ(bytesOf(ptrs[i]), before[i]) << row.name << ", image " << i;
    }
}

// The features filter correctly into their own input, and a schedule of
// exactly 100,000 rounds still runs.
TEST(OpsRefusals, FeaturesIntoTheirInputAndTheLongestSchedule) {
    const std::vector<std::pair<const char *, int (*)(ZVEKHDR *, ZVEKHDR *, float)>> features = {
        {"flcurv", flcurv}, {"flgmag", flgmag}, {"flgdir", flgdir}, {"flLaplace", flLaplace}, {"flqvar", flqvar}, {"flHarris", flHarris}};
    for (const auto &[name, fn] : features) {
        Img in = make("float", k20x3), out = make("float", k20x3);
        ASSERT_EQ(fn(in.get(), out.get(), 1.0f), 0) << name;
        ASSERT_EQ(fn(in.get(), in.get(), 1.0f), 0) << name;
        EXPECT_EQ(bytesOf(in.get()), bytesOf(out.get())) << name;
    }
    Img f = make("float", {2, 5, 5}), g = make("float", {2, 5, 5});
    testing::internal::CaptureStdout();
    EXPECT_EQ(pconsub(f.get(), g.get(), 2, .03f, 4, 1, 4.53019929e-05f, .9999f), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout().find("rounds"), std::string::npos);
    EXPECT_NE(bytesOf(f.get()), bytesOf(g.get()));
}

}  // namespace
