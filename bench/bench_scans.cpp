// Whole-array passes over a 4096 x 4096 float image (64 MB): the finite
// extremes scan (equalisation and the view window's working copy), whole-image
// histogram equalisation, and as the yardstick one memcpy of the image's
// bytes. The argument of the scans is the widest instruction set allowed
// (1 AVX2, 2 AVX-512); the label says which one ran.
#include "extremes.h"
#include "imageops.h"
#include "zvekint.h"
#include "bench_level.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int kSide = 4096;
constexpr int64_t kCount = int64_t(kSide) * kSide;

struct Free {
    void operator()(ZVEKHDR *h) const {
        if (h) Zvekfree(h, 7);
    }
};
using Img = std::unique_ptr<ZVEKHDR, Free>;

// Real values over 0 .. 1000 (none below 0, which equalisation would list),
// with `holes` a NaN or an infinity every 997th value.
Img makeImage(bool holes) {
    const int32_t dims[] = {2, kSide, kSide};
    Img h(Zvekcreate("float", dims, 11, 0));
    float *p = static_cast<float *>(h->vekptr);
    std::mt19937 gen(3);
    std::uniform_real_distribution<float> dist(0.0f, 1000.0f);
    for (int64_t i = 0; i < kCount; ++i) p[i] = dist(gen);
    if (holes)
        for (int64_t i = 0; i < kCount; i += 997) p[i] = i % 2 ? std::nanf("") : INFINITY;
    return h;
}

const char *pathName(int level) { return level >= 2 ? "AVX-512" : level == 1 ? "AVX2" : "baseline"; }

void bytes(benchmark::State &state) {
    state.SetBytesProcessed(state.iterations() * kCount * int64_t(sizeof(float)));
}

void BM_Memcpy(benchmark::State &state) {
    Img in = makeImage(false), out = makeImage(false);
    for (auto _ : state) {
        std::memcpy(out->vekptr, in->vekptr, kCount * sizeof(float));
        benchmark::ClobberMemory();
    }
    bytes(state);
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

// Arguments: instruction set, holes (0 none, 1 NaN and infinities).
void BM_FiniteExtremes(benchmark::State &state) {
    const int set = benchLevel(static_cast<int>(state.range(0)));
    Img in = makeImage(state.range(1) != 0);
    const float *p = static_cast<const float *>(in->vekptr);
    for (auto _ : state) {
        float mn = 1.0e6f, mx = -1.0e6f;
        benchmark::DoNotOptimize(ops::finiteExtremes(p, kCount, mn, mx));
        benchmark::DoNotOptimize(mn + mx);
    }
    state.SetLabel(pathName(set));
    bytes(state);
    benchLevel(2);
}
BENCHMARK(BM_FiniteExtremes)->ArgNames({"isa", "holes"})->ArgsProduct({{1, 2}, {0, 1}})->Unit(benchmark::kMillisecond);

// Arguments: instruction set, holes.
void BM_HistogramEqualisation(benchmark::State &state) {
    const int set = benchLevel(static_cast<int>(state.range(0)));
    Img in = makeImage(state.range(1) != 0), out = makeImage(false);
    for (auto _ : state) benchmark::DoNotOptimize(flHistogramEq(in.get(), out.get(), 0));
    state.SetLabel(pathName(set));
    bytes(state);
    benchLevel(2);
}
BENCHMARK(BM_HistogramEqualisation)
    ->ArgNames({"isa", "holes"})
    ->ArgsProduct({{1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
