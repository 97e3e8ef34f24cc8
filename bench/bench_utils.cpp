// Speed of the library utilities on multi-megapixel images: video scaling,
// zoom and the 2-D FFT, each next to a yardstick (a memcpy of the input,
// and FFTW when it is at hand).
#include "zvek.h"
#include "zvekint.h"
#include "bench_level.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <vector>
#ifdef ZVEK_HAVE_FFTW
#include <fftw3.h>
#endif

namespace {

struct Img {
    ZVEKHDR *h;
    Img(const char *type, std::vector<int32_t> dims) : h(Zvekcreate(type, dims.data(), 11, 0)) {}
    ~Img() { Zvekfree(h, 7); }
    Img(const Img &) = delete;
    Img &operator=(const Img &) = delete;
};

constexpr int kSide = 4096;

void fillFloat(float *p, size_t n) {
    for (size_t i = 0; i < n; ++i) p[i] = std::sin(0.001f * i) * 100.0f + (i % 97);
}

void setMegapixels(benchmark::State &state, int64_t pixels) {
    state.counters["Mpix/s"] = benchmark::Counter(double(pixels) * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}

void BM_MemcpyInput(benchmark::State &state) {
    const size_t n = size_t(kSide) * kSide;
    std::vector<float> a(n), b(n);
    fillFloat(a.data(), n);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), n * sizeof(float));
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    setMegapixels(state, int64_t(n));
}
BENCHMARK(BM_MemcpyInput)->Unit(benchmark::kMillisecond);

void BM_Vidscale(benchmark::State &state, const char *type) {
    Img in(type, {2, kSide, kSide}), out("u8bit", {2, kSide, kSide});
    const size_t n = size_t(kSide) * kSide;
    if (std::strcmp(type, "float") == 0) {
        fillFloat(static_cast<float *>(in.h->vekptr), n);
    } else {
        auto *p = static_cast<unsigned char *>(in.h->vekptr);
        for (size_t i = 0; i < n * in.h->vekbpd; ++i) p[i] = static_cast<unsigned char>(i * 7 + (i >> 9));
    }
    float mn, mx;
    for (auto _ : state) {
        Zvekvidscale(in.h, out.h, &mn, &mx, 0);
        benchmark::ClobberMemory();
    }
    setMegapixels(state, int64_t(n));
}
BENCHMARK_CAPTURE(BM_Vidscale, float, "float")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Vidscale, u8bit, "u8bit")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Vidscale, short, "16bit")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Vidscale, double, "double")->Unit(benchmark::kMillisecond);


// Zoom of a 4096 x 4096 float image into a float image of side range(0),
// mode range(1). Megapixels per second of output.
void BM_Zoom(benchmark::State &state) {
    const int side = int(state.range(0));
    const int mode = int(state.range(1));
    Img in("float", {2, kSide, kSide}), out("float", {2, side, side});
    fillFloat(static_cast<float *>(in.h->vekptr), size_t(kSide) * kSide);
    for (auto _ : state) {
        Zvekzoomupdown(in.h, out.h, mode);
        benchmark::ClobberMemory();
    }
    setMegapixels(state, int64_t(side) * side);
}
BENCHMARK(BM_Zoom)
    ->Args({4096, 0})
    ->Args({4096, 1})
    ->Args({4096, 2})
    ->Args({2048, 0})
    ->Args({2048, 2})
    ->Args({8192, 0})
    ->Unit(benchmark::kMillisecond);

// The 1024 x 1024 forward FFT; MFLOP/s by the usual 5 N^2 log2(N^2).
constexpr int kFftSide = 1024;

void setFftRate(benchmark::State &state) {
    const double n2 = double(kFftSide) * kFftSide;
    state.counters["MFLOP/s"] =
        benchmark::Counter(5.0 * n2 * std::log2(n2) * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}

void fillComplex(float *p, size_t n) {
    for (size_t i = 0; i < 2 * n; ++i) p[i] = std::sin(0.37f * i) + 0.001f * (i % 13);
}

// range(0) caps the instruction-set path: 2 AVX-512, 1 AVX2, 0 the
// baseline; the label names the path that ran.
void BM_FftForward(benchmark::State &state) {
    static const char *const names[] = {"baseline", "avx2", "avx512"};
    state.SetLabel(names[benchLevel(int(state.range(0)))]);
    Img img("complex", {2, kFftSide, kFftSide});
    auto *p = static_cast<float *>(img.h->vekptr);
    const size_t n = size_t(kFftSide) * kFftSide;
    std::vector<float> orig(2 * n);
    fillComplex(orig.data(), n);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(p, orig.data(), orig.size() * sizeof(float));
        state.ResumeTiming();
        Zvekcfft2d(img.h, -1);
        benchmark::ClobberMemory();
    }
    setFftRate(state);
    benchLevel(2);
}
BENCHMARK(BM_FftForward)->Arg(2)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

#ifdef ZVEK_HAVE_FFTW
void BM_FftwForwardEstimate(benchmark::State &state) {
    const size_t n = size_t(kFftSide) * kFftSide;
    auto *buf = static_cast<fftwf_complex *>(fftwf_malloc(sizeof(fftwf_complex) * n));
    fftwf_plan plan = fftwf_plan_dft_2d(kFftSide, kFftSide, buf, buf, FFTW_FORWARD, FFTW_ESTIMATE);
    std::vector<float> orig(2 * n);
    fillComplex(orig.data(), n);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(buf, orig.data(), orig.size() * sizeof(float));
        state.ResumeTiming();
        fftwf_execute(plan);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(buf);
    setFftRate(state);
}
BENCHMARK(BM_FftwForwardEstimate)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

// The library's progress lines go to standard output; the table goes to
// standard error so that the two stay apart (run with 1>/dev/null).
int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::ConsoleReporter reporter;
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
