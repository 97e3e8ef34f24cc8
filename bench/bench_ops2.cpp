// Labelling, whole-image histogram equalisation and restoration on large
// images. Each reports megapixels per second (restoration: per round).
#include "imageops.h"
#include "bench_level.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

struct Free {
    void operator()(ZVEKHDR *h) const {
        if (h) Zvekfree(h, 7);
    }
};
using Img = std::unique_ptr<ZVEKHDR, Free>;

Img makeFloat(int cols, int rows) {
    const int32_t dims[] = {2, cols, rows};
    return Img(Zvekcreate("float", dims, 11, 0));
}

float *data(const Img &h) { return static_cast<float *>(h->vekptr); }

void fillNoise(const Img &h, int n, float lo, float hi, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(lo, hi);
    for (int i = 0; i < n; ++i) data(h)[i] = std::floor(dist(gen));
}

// Noisy images of 0.25, 0.5 and 1 megapixel: thousands of labels, and a merge
// at most pixels.
void BM_Labelling(benchmark::State &state) {
    const int side = static_cast<int>(state.range(0));
    Img in = makeFloat(side, side), out = makeFloat(side, side);
    fillNoise(in, side * side, 0.0f, 40.0f, 1);
    int count = 0;
    for (auto _ : state) {
        const int rc = cclC4_2(in.get(), 0, 0, &count, "", out.get(), 6.0f, 5.0f, 35.0f);
        benchmark::DoNotOptimize(rc);
    }
    state.counters["labels"] = count;
    state.counters["MP/s"] =
        benchmark::Counter(static_cast<double>(side) * side * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Labelling)->Arg(512)->Arg(724)->Arg(1024)->Unit(benchmark::kMillisecond);

void BM_HistogramEqualisation(benchmark::State &state) {
    const int side = static_cast<int>(state.range(0));
    Img in = makeFloat(side, side), out = makeFloat(side, side);
    fillNoise(in, side * side, 0.0f, 256.0f, 2);
    for (auto _ : state) {
        const int rc = flHistogramEq(in.get(), out.get(), 0);
        benchmark::DoNotOptimize(rc);
    }
    state.counters["MP/s"] =
        benchmark::Counter(static_cast<double>(side) * side * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["GB/s"] = benchmark::Counter(static_cast<double>(side) * side * 8e-9,
                                                benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_HistogramEqualisation)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);

// Ten rounds of the annealing on 512 x 512 (t from 1 halving down to 2^-9).
void BM_RestorationRound(benchmark::State &state) {
    const int side = 512, rounds = 10;
    Img g = makeFloat(side, side), f = makeFloat(side, side);
    fillNoise(g, side * side, 0.0f, 64.0f, 3);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(f->vekptr, g->vekptr, sizeof(float) * side * side);
        state.ResumeTiming();
        const int rc = pconsub(f.get(), g.get(), 2.0f, .03f, 4.0f, 1.0f, 1.0f / 512.0f, 0.5f);
        benchmark::DoNotOptimize(rc);
    }
    state.counters["rounds/s"] = benchmark::Counter(rounds, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["MP/s"] = benchmark::Counter(static_cast<double>(side) * side * rounds * 1e-6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RestorationRound)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
