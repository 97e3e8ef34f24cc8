// Template correlation: a 64 x 64 template over a 1024 x 1024 float image
// (gray), and the colour case with three frames; plus the plain scalar loop
// of the gray scores for comparison, checked to agree bit for bit.
#include "imageops.h"
#include "zvek.h"
#include "bench_level.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int kImage = 1024, kTemplate = 64;

ZVEKHDR *makeFloat(int cols, int rows, int frames = 0) {
    const int32_t dims[4] = {frames ? 3 : 2, cols, rows, frames};
    return Zvekcreate("float", dims, 11, 0);
}

ZVEKHDR *noise(int cols, int rows, int frames, unsigned seed) {
    ZVEKHDR *h = makeFloat(cols, rows, frames);
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> d(0.0f, 255.0f);
    float *p = static_cast<float *>(h->vekptr);
    for (int64_t i = 0, n = int64_t(cols) * rows * (frames ? frames : 1); i < n; ++i) p[i] = d(gen);
    return h;
}

// The gray scores with one accumulator per position, window rows outer,
// columns inner.
void scalarCorrelate(const float *A, const float *T, float *out) {
    const int Nc = kImage, Nr = kImage, m = kTemplate, n = kTemplate, hm = m / 2, hn = n / 2;
    const float N = float(m * n);
    float sum = 0;
    for (int i = 0; i < m * n; ++i) sum = sum + T[i];
    const float meanT = sum / N;
    float ss = 0;
    for (int i = 0; i < m * n; ++i) ss = ss + (T[i] - meanT) * (T[i] - meanT);
    const float sdT = float(std::sqrt(double(ss / N)));
    std::vector<float> tc(size_t(m) * n);
    for (int i = 0; i < m * n; ++i) tc[i] = T[i] - meanT;
    for (int r = hm; r < Nr - hm; ++r)
        for (int c = hn; c < Nc - hn; ++c) {
            float w = 0;
            for (int i = -hm; i < hm; ++i)
                for (int j = -hn; j < hn; ++j) w = w + A[(r + i) * Nc + c + j];
            const float ahat = w / N;
            float S = 0;
            for (int i = -hm; i < hm; ++i)
                for (int j = -hn; j < hn; ++j) S = S + (A[(r + i) * Nc + c + j] - ahat) * tc[(i + hm) * n + j + hn];
            out[r * Nc + c] = (S / (N * float(m))) / sdT;
        }
}

void BM_correlateGray(benchmark::State &state) {
    ZVEKHDR *A = noise(kImage, kImage, 0, 1), *T = noise(kTemplate, kTemplate, 0, 2), *out = makeFloat(kImage, kImage);
    for (auto _ : state) benchmark::DoNotOptimize(flcorrelate(A, T, out));
    state.counters["Mpix/s"] =
        benchmark::Counter(double(kImage) * kImage / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    Zvekfree(A, 7), Zvekfree(T, 7), Zvekfree(out, 7);
}

void BM_correlateColour(benchmark::State &state) {
    ZVEKHDR *A = noise(kImage, kImage, 3, 3), *T = noise(kTemplate, kTemplate, 3, 4);
    ZVEKHDR *out = makeFloat(kImage, kImage, 3);
    for (auto _ : state) benchmark::DoNotOptimize(flcorrelate(A, T, out));
    state.counters["Mpix/s"] =
        benchmark::Counter(double(kImage) * kImage / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    Zvekfree(A, 7), Zvekfree(T, 7), Zvekfree(out, 7);
}

void BM_scalarReference(benchmark::State &state) {
    ZVEKHDR *A = noise(kImage, kImage, 0, 1), *T = noise(kTemplate, kTemplate, 0, 2), *out = makeFloat(kImage, kImage);
    for (auto _ : state)
        scalarCorrelate(static_cast<float *>(A->vekptr), static_cast<float *>(T->vekptr),
                        static_cast<float *>(out->vekptr));
    state.counters["Mpix/s"] =
        benchmark::Counter(double(kImage) * kImage / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    Zvekfree(A, 7), Zvekfree(T, 7), Zvekfree(out, 7);
}

bool agree() {
    ZVEKHDR *A = noise(kImage, kImage, 0, 1), *T = noise(kTemplate, kTemplate, 0, 2);
    ZVEKHDR *a = makeFloat(kImage, kImage), *b = makeFloat(kImage, kImage);
    flcorrelate(A, T, a);
    scalarCorrelate(static_cast<float *>(A->vekptr), static_cast<float *>(T->vekptr), static_cast<float *>(b->vekptr));
    const bool same = std::memcmp(a->vekptr, b->vekptr, size_t(kImage) * kImage * sizeof(float)) == 0;
    std::printf("64 x 64 over 1024 x 1024: correlation and scalar loop %s\n", same ? "agree bit for bit" : "DIFFER");
    Zvekfree(A, 7), Zvekfree(T, 7), Zvekfree(a, 7), Zvekfree(b, 7);
    return same;
}

}  // namespace

BENCHMARK(BM_correlateGray)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_correlateColour)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_scalarReference)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv) {
    const bool ok = agree();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return ok ? 0 : 1;
}
