// Derivative-of-Gaussian filter on a 4096 x 4096 float image: the library's
// filter against the plain scalar loop of the same arithmetic (kernel row
// outer, kernel column inner, one single-precision accumulator per output
// sample). The two must agree bit for bit; the program checks that first.
// Then each instruction-set path forced in turn: the filter at sigma 1, the
// yardstick of flHarris's per-pixel loop, beside that loop and flHarris.
#include "harris.h"
#include "imageops.h"
#include "zvek.h"
#include "zvekint.h"
#include "bench_level.h"

#include <benchmark/benchmark.h>

#ifdef ZVEK_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int kSize = 4096;

ZVEKHDR *makeFloat(int cols, int rows) {
    const int32_t dims[3] = {2, cols, rows};
    return Zvekcreate("float", dims, 11, 0);
}

ZVEKHDR *randomImage() {
    static ZVEKHDR *img = nullptr;
    if (img == nullptr) {
        img = makeFloat(kSize, kSize);
        std::mt19937 gen(7);
        std::uniform_real_distribution<float> dist(0.0f, 255.0f);
        float *p = static_cast<float *>(img->vekptr);
        for (int i = 0; i < kSize * kSize; ++i) p[i] = dist(gen);
    }
    return img;
}

// The filter's kernel, read back from the response to a unit impulse: the
// output at (r0 - y, c0 - x) is exactly K(x, y) times 1 plus zeros.
std::vector<float> kernelOf(int order, int dir, float sigma, int h) {
    const int n = 4 * h + 8;
    ZVEKHDR *imp = makeFloat(n, n);
    ZVEKHDR *res = makeFloat(n, n);
    const int c0 = n / 2;
    static_cast<float *>(imp->vekptr)[c0 * n + c0] = 1.0f;
    flDoG(imp, res, order, dir, sigma);
    const int side = 2 * h + 1;
    std::vector<float> K(size_t(side) * side);
    const float *o = static_cast<float *>(res->vekptr);
    for (int y = -h; y <= h; ++y)
        for (int x = -h; x <= h; ++x) K[size_t(y + h) * side + (x + h)] = o[(c0 - y) * n + (c0 - x)];
    Zvekfree(imp, 7);
    Zvekfree(res, 7);
    return K;
}

// The plain loop: one accumulator per output sample, pointer walk over the
// padded rows.
void scalarDoG(ZVEKHDR *in, ZVEKHDR *out, const std::vector<float> &K, int h) {
    const int cols = kSize, rows = kSize, side = 2 * h + 1;
    ZVEKHDR *P = padme1(in, h, h, 0);
    const float *pad = static_cast<float *>(P->vekptr);
    const int pw = cols + 2 * h;
    float *o = static_cast<float *>(out->vekptr);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            float acc = 0.0f;
            const float *kp = K.data();
            const float *p = pad + size_t(r) * pw + c;
            for (int i = 0; i < side; ++i, p += pw - side)
                for (int j = 0; j < side; ++j) acc = acc + *kp++ * *p++;
            o[size_t(r) * cols + c] = acc;
        }
    Zvekfree(P, 7);
}

int halfWidth(float sigma) { return int(3.0 * double(sigma)) + 1; }

void BM_flDoG(benchmark::State &state) {
    const float sigma = float(state.range(0));
    const int order = int(state.range(1));
    ZVEKHDR *in = randomImage();
    ZVEKHDR *out = makeFloat(kSize, kSize);
    for (auto _ : state) benchmark::DoNotOptimize(flDoG(in, out, order, 0, sigma));
    state.counters["Mpix/s"] =
        benchmark::Counter(double(kSize) * kSize / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    Zvekfree(out, 7);
}

void BM_scalarReference(benchmark::State &state) {
    const float sigma = float(state.range(0));
    const int order = int(state.range(1));
    const int h = halfWidth(sigma);
    const std::vector<float> K = kernelOf(order, 0, sigma, h);
    ZVEKHDR *in = randomImage();
    ZVEKHDR *out = makeFloat(kSize, kSize);
    for (auto _ : state) scalarDoG(in, out, K, h);
    state.counters["Mpix/s"] =
        benchmark::Counter(double(kSize) * kSize / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    Zvekfree(out, 7);
}

// Features built on the filter, sigma 1.
template <int (*Feature)(ZVEKHDR *, ZVEKHDR *, float)>
void BM_feature(benchmark::State &state) {
    ZVEKHDR *in = randomImage();
    ZVEKHDR *out = makeFloat(kSize, kSize);
    for (auto _ : state) benchmark::DoNotOptimize(Feature(in, out, 1.0f));
    state.counters["Mpix/s"] =
        benchmark::Counter(double(kSize) * kSize / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    Zvekfree(out, 7);
}

// ---- The instruction-set paths, each forced in turn ----
// range(0): 2 AVX-512, 1 AVX2, 0 the baseline; the label names the path that
// ran (a narrower one where the processor lacks the wider).

void forcePath(benchmark::State &state) {
    static const char *const names[] = {"baseline", "avx2", "avx512"};
    state.SetLabel(names[benchLevel(int(state.range(0)))]);
}

// The yardstick, one derivative-filter call of sigma 1 as flHarris makes,
// and flHarris sigma 1 whole.
int dogSigma1(ZVEKHDR *in, ZVEKHDR *out) { return flDoG(in, out, 1, 0, 1.0f); }
int harrisSigma1(ZVEKHDR *in, ZVEKHDR *out) { return flHarris(in, out, 1.0f); }

template <int (*Op)(ZVEKHDR *, ZVEKHDR *)>
void BM_path(benchmark::State &state) {
    forcePath(state);
    ZVEKHDR *in = randomImage();
    ZVEKHDR *out = makeFloat(kSize, kSize);
    for (auto _ : state) benchmark::DoNotOptimize(Op(in, out));
    state.counters["Mpix/s"] =
        benchmark::Counter(double(kSize) * kSize / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    Zvekfree(out, 7);
    benchLevel(2);
}

// flHarris's per-pixel loop alone, on the image's two first derivatives.
void BM_harrisLoopPath(benchmark::State &state) {
    forcePath(state);
    ZVEKHDR *in = randomImage();
    ZVEKHDR *lx = makeFloat(kSize, kSize), *ly = makeFloat(kSize, kSize), *out = makeFloat(kSize, kSize);
    flDoG(in, lx, 1, 0, 1.0f);
    flDoG(in, ly, 1, 1, 1.0f);
    for (auto _ : state)
        benchmark::DoNotOptimize(ops::harrisLoop(static_cast<float *>(lx->vekptr), static_cast<float *>(ly->vekptr),
                                                 static_cast<float *>(out->vekptr), kSize, kSize, 1));
    state.counters["Mpix/s"] =
        benchmark::Counter(double(kSize) * kSize / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    Zvekfree(lx, 7);
    Zvekfree(ly, 7);
    Zvekfree(out, 7);
    benchLevel(2);
}

// Path by path, each next to its yardstick.
BENCHMARK(BM_path<dogSigma1>)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_harrisLoopPath)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_path<harrisSigma1>)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_path<dogSigma1>)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_harrisLoopPath)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_path<harrisSigma1>)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_path<dogSigma1>)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_harrisLoopPath)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_path<harrisSigma1>)->Arg(0)->Unit(benchmark::kMillisecond);

#ifdef ZVEK_HAVE_OPENCV
// The same correlation by OpenCV's filter2D on one thread: the same kernel,
// replicated borders. Only a yardstick: its sums run in another order.
void BM_opencvFilter2D(benchmark::State &state) {
    const float sigma = float(state.range(0));
    const int order = int(state.range(1));
    const int h = halfWidth(sigma);
    std::vector<float> K = kernelOf(order, 0, sigma, h);
    cv::setNumThreads(1);
    ZVEKHDR *in = randomImage();
    cv::Mat src(kSize, kSize, CV_32F, in->vekptr), dst(kSize, kSize, CV_32F);
    cv::Mat kernel(2 * h + 1, 2 * h + 1, CV_32F, K.data());
    for (auto _ : state)
        cv::filter2D(src, dst, CV_32F, kernel, cv::Point(-1, -1), 0.0, cv::BORDER_REPLICATE);
    state.counters["Mpix/s"] =
        benchmark::Counter(double(kSize) * kSize / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_opencvFilter2D)->Args({1, 0})->Args({2, 0})->Unit(benchmark::kMillisecond);
#endif

// Runs both on the whole image and compares every bit.
bool agreeBitForBit(float sigma, int order) {
    const int h = halfWidth(sigma);
    ZVEKHDR *in = randomImage();
    ZVEKHDR *a = makeFloat(kSize, kSize);
    ZVEKHDR *b = makeFloat(kSize, kSize);
    flDoG(in, a, order, 0, sigma);
    scalarDoG(in, b, kernelOf(order, 0, sigma, h), h);
    const bool same = std::memcmp(a->vekptr, b->vekptr, size_t(kSize) * kSize * sizeof(float)) == 0;
    std::printf("sigma %.1f order %d: filter and scalar loop %s\n", double(sigma), order,
                same ? "agree bit for bit" : "DIFFER");
    Zvekfree(a, 7);
    Zvekfree(b, 7);
    return same;
}

}  // namespace

BENCHMARK(BM_flDoG)->Args({1, 0})->Args({2, 0})->Args({1, 1})->Args({2, 1})->Args({3, 0})->Args({5, 0})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_feature<flgmag>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_feature<flcurv>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_feature<flHarris>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_scalarReference)->Args({1, 0})->Args({2, 0})->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv) {
    bool ok = agreeBitForBit(1.0f, 0);
    ok = agreeBitForBit(2.0f, 0) && ok;
    ok = agreeBitForBit(2.0f, 1) && ok;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return ok ? 0 : 1;
}
