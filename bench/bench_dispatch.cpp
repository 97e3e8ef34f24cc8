// Benchmarks of the dispatcher's longer roads on multi-megapixel images:
// the random colour map, pseudo-colour through a library map, and the
// forward Fourier road against the bare transform. Dialogs are answered by
// a scripted user, so no window is needed.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "ZVekUi.h"
#include "ZvekOp.h"
#include "zvek.h"
#include "bench_level.h"

namespace {

// Answers every integer dialog with one value.
class Answering : public ZVekUi {
public:
    int answer = 0;
    bool getInt(QWidget *, const QString &, const QString &, int, int, int, int, int *result) override {
        *result = answer;
        return true;
    }
};

ZVEKHDR *make(const char *type, std::vector<int32_t> dims) { return Zvekcreate(type, dims.data(), 11, 0); }

void fill(ZVEKHDR *h, int64_t n, int modulo) {
    float *p = static_cast<float *>(h->vekptr);
    for (int64_t i = 0; i < n; ++i) p[i] = float((i * 7919) % modulo);
}

void perMegapixel(benchmark::State &state, int64_t pixels) {
    state.counters["MP/s"] =
        benchmark::Counter(double(pixels) * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

void BM_RandomColourMap(benchmark::State &state) {
    const int side = int(state.range(0));
    ZVEKHDR *labels = make("float", {2, side, side});
    ZVEKHDR *out = make("float", {3, side, side, 3});
    fill(labels, int64_t(side) * side, 1000);
    std::FILE *saved = stdout;
    stdout = std::fopen("/dev/null", "w");
    for (auto _ : state) ZVekOp::colormap6(labels, out, 1000);
    std::fclose(stdout);
    stdout = saved;
    perMegapixel(state, int64_t(side) * side);
    Zvekfree(labels, 7);
    Zvekfree(out, 7);
}
BENCHMARK(BM_RandomColourMap)->Arg(2048)->Unit(benchmark::kMillisecond);

void BM_PseudoColourMap(benchmark::State &state) {
    const int side = int(state.range(0));
    Answering ui;
    ui.answer = 3;
    ZVekUi::install(&ui);
    ZVekOp op(nullptr);
    ZVEKHDR *in = make("float", {2, side, side});
    ZVEKHDR *out = make("float", {3, side, side, 3});
    fill(in, int64_t(side) * side, 4096);
    for (auto _ : state) benchmark::DoNotOptimize(op.unary(18, in, out));
    perMegapixel(state, int64_t(side) * side);
    ZVekUi::install(nullptr);
    Zvekfree(in, 7);
    Zvekfree(out, 7);
}
BENCHMARK(BM_PseudoColourMap)->Arg(2048)->Unit(benchmark::kMillisecond);

void BM_FourierRoad(benchmark::State &state) {
    const int side = int(state.range(0));
    ZVekOp op(nullptr);
    ZVEKHDR *in = make("float", {2, side, side});
    ZVEKHDR *out = make("32cmp", {2, side, side});
    fill(in, int64_t(side) * side, 255);
    for (auto _ : state) benchmark::DoNotOptimize(op.unary(33, in, out));
    perMegapixel(state, int64_t(side) * side);
    Zvekfree(in, 7);
    Zvekfree(out, 7);
}
BENCHMARK(BM_FourierRoad)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond);

// The bare transform of the same data, for comparison: forward and back,
// so that the values stay those of an image (transformed forward again and
// again they would overflow), counted as two transforms.
void BM_FourierBare(benchmark::State &state) {
    const int side = int(state.range(0));
    ZVEKHDR *t = make("32cmp", {2, side, side});
    float *p = static_cast<float *>(t->vekptr);
    for (int64_t i = 0; i < int64_t(side) * side; ++i) p[2 * i] = float((i * 7919) % 255);
    for (auto _ : state) {
        benchmark::DoNotOptimize(Zvekcfft2d(t, -1));
        benchmark::DoNotOptimize(Zvekcfft2d(t, 1));
    }
    perMegapixel(state, 2 * int64_t(side) * side);
    Zvekfree(t, 7);
}
BENCHMARK(BM_FourierBare)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
