// Element-wise operations and shifted two-image arithmetic on 4096 x 4096
// float images, next to a memcpy of the same data (one image read, one
// written) as the memory-speed yardstick.
#include "imageops.h"
#include "zvek.h"
#include "bench_level.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

namespace {

constexpr int kSize = 4096;
constexpr double kPixels = double(kSize) * kSize;

ZVEKHDR *makeFloat(int cols, int rows) {
    const int32_t dims[3] = {2, cols, rows};
    return Zvekcreate("float", dims, 11, 0);
}

// Positive samples, so that the square root and logarithm run to the end.
ZVEKHDR *image(int which) {
    static ZVEKHDR *imgs[3] = {};
    if (imgs[which] == nullptr) {
        imgs[which] = makeFloat(kSize, kSize);
        std::mt19937 gen(which + 1);
        std::uniform_real_distribution<float> d(0.5f, 255.0f);
        float *p = static_cast<float *>(imgs[which]->vekptr);
        for (int i = 0; i < kSize * kSize; ++i) p[i] = d(gen);
    }
    return imgs[which];
}

void report(benchmark::State &state) {
    state.counters["Mpix/s"] = benchmark::Counter(kPixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_memcpy(benchmark::State &state) {
    ZVEKHDR *in = image(0), *out = image(2);
    for (auto _ : state) {
        std::memcpy(out->vekptr, in->vekptr, size_t(kPixels) * sizeof(float));
        benchmark::ClobberMemory();
    }
    report(state);
}

// Both inputs of a two-image operation copied: the yardstick for the
// operations that read two images.
void BM_memcpyTwoImages(benchmark::State &state) {
    ZVEKHDR *a = image(0), *b = image(1), *out = image(2);
    static ZVEKHDR *out2 = makeFloat(kSize, kSize);
    for (auto _ : state) {
        std::memcpy(out->vekptr, a->vekptr, size_t(kPixels) * sizeof(float));
        std::memcpy(out2->vekptr, b->vekptr, size_t(kPixels) * sizeof(float));
        benchmark::ClobberMemory();
    }
    report(state);
}

template <int (*Op)(ZVEKHDR *, ZVEKHDR *)>
void BM_unary(benchmark::State &state) {
    ZVEKHDR *in = image(0), *out = image(2);
    for (auto _ : state) benchmark::DoNotOptimize(Op(in, out));
    report(state);
}

template <int (*Op)(ZVEKHDR *, ZVEKHDR *, float)>
void BM_scalar(benchmark::State &state) {
    ZVEKHDR *in = image(0), *out = image(2);
    for (auto _ : state) benchmark::DoNotOptimize(Op(in, out, 1.5f));
    report(state);
}

// The exponent with every quotient below 5.1, so that no sample is clamped.
void BM_expUnclamped(benchmark::State &state) {
    ZVEKHDR *in = image(0), *out = image(2);
    for (auto _ : state) benchmark::DoNotOptimize(flexp(in, out, 50.0f));
    report(state);
}

template <int (*Op)(ZVEKHDR *, ZVEKHDR *, ZVEKHDR *)>
void BM_binary(benchmark::State &state) {
    ZVEKHDR *a = image(0), *b = image(1), *out = image(2);
    for (auto _ : state) benchmark::DoNotOptimize(Op(a, b, out));
    report(state);
}

int flinvQuiet(ZVEKHDR *in, ZVEKHDR *out) {
    std::FILE *saved = stdout;
    static std::FILE *null = std::fopen("/dev/null", "w");
    stdout = null;
    const int rc = flinv(in, out);
    stdout = saved;
    return rc;
}

// Shifted arithmetic with a shift of 3 rows and -5 columns: the output is
// (4096 + 3) x (4096 + 5).
template <int (*Op)(ZVEKHDR *, ZVEKHDR *, ZVEKHDR *, int, int)>
void BM_shifted(benchmark::State &state) {
    ZVEKHDR *a = image(0), *b = image(1);
    ZVEKHDR *out = makeFloat(kSize + 5, kSize + 3);
    for (auto _ : state) benchmark::DoNotOptimize(Op(a, b, out, 3, -5));
    report(state);
    Zvekfree(out, 7);
}

}  // namespace

BENCHMARK(BM_memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_memcpyTwoImages)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_unary<flabsolute>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_unary<flcp>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_unary<flsqrt>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_unary<flln>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_unary<flinvQuiet>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_scalar<fladds>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_scalar<flmults>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_scalar<flexp>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_expUnclamped)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_binary<fladdv>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_binary<flmultv>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_binary<fldivv>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_binary<flatan2>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_shifted<fladdi>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_shifted<flsubi>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_shifted<flmuli>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_shifted<fldivi>)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
