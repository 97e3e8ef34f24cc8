// Whole-image type conversion between the common types on a 4096 x 4096
// image, against a memcpy of the larger of the two data blocks.
#include "zvek.h"
#include "bench_level.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr int kSide = 4096;
const char *const kTypes[] = {"float", "u8bit", "16bit", "32bit", "64flt"};
constexpr int kNTypes = 5;

ZVEKHDR *makeImage(const char *type) {
    const int32_t dims[] = {2, kSide, kSide};
    ZVEKHDR *h = Zvekcreate(type, dims, 11, 0);
    // Values that differ from pixel to pixel and cover the byte range.
    const int64_t n = static_cast<int64_t>(kSide) * kSide;
    for (int64_t i = 0; i < n; ++i) {
        const double v = static_cast<double>((i * 37) % 1000) * 0.37 - 60.0;
        switch (h->dtype) {
        case DT_32FLT: static_cast<float *>(h->vekptr)[i] = static_cast<float>(v); break;
        case DT_64FLT: static_cast<double *>(h->vekptr)[i] = v; break;
        case DT_U8BIT: static_cast<uint8_t *>(h->vekptr)[i] = static_cast<uint8_t>(i * 37); break;
        case DT_16BIT: static_cast<int16_t *>(h->vekptr)[i] = static_cast<int16_t>(v * 10); break;
        case DT_32BIT: static_cast<int32_t *>(h->vekptr)[i] = static_cast<int32_t>(v * 1000); break;
        }
    }
    return h;
}

void BM_any2any(benchmark::State &state) {
    ZVEKHDR *in = makeImage(kTypes[state.range(0)]);
    ZVEKHDR *out = makeImage(kTypes[state.range(1)]);
    for (auto _ : state) {
        benchmark::DoNotOptimize(Zvekany2any(in, out));
        benchmark::ClobberMemory();
    }
    const int64_t pixels = static_cast<int64_t>(kSide) * kSide;
    state.counters["Mpix/s"] = benchmark::Counter(static_cast<double>(pixels) * state.iterations() / 1e6,
                                                  benchmark::Counter::kIsRate);
    state.SetLabel(std::string(kTypes[state.range(0)]) + " -> " + kTypes[state.range(1)]);
    Zvekfree(in, 7);
    Zvekfree(out, 7);
}

void BM_memcpy(benchmark::State &state) {
    const size_t bytes = static_cast<size_t>(kSide) * kSide * state.range(0);
    std::vector<unsigned char> a(bytes, 1), b(bytes, 2);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), bytes);
        benchmark::ClobberMemory();
    }
    const int64_t pixels = static_cast<int64_t>(kSide) * kSide;
    state.counters["Mpix/s"] = benchmark::Counter(static_cast<double>(pixels) * state.iterations() / 1e6,
                                                  benchmark::Counter::kIsRate);
    state.SetLabel("memcpy of " + std::to_string(state.range(0)) + " bytes per pixel");
}

void convertPairs(benchmark::internal::Benchmark *b) {
    for (int i = 0; i < kNTypes; ++i)
        for (int j = 0; j < kNTypes; ++j) b->Args({i, j});
}

}  // namespace

BENCHMARK(BM_memcpy)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_any2any)->Apply(convertPairs)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
