// The view window's display work on a 4000 x 3000 three-frame float image:
// one adjusted redraw in the states a user meets (the window as opened, after
// Reset, with and without colour offsets, on real-valued data and on the
// whole numbers of an 8-bit picture), one step of the bright slider, opening
// the window, and as the yardstick a plain pass that reads the three float
// planes and writes as many 32-bit pixels into a picture's scan lines.
//
// The first argument of the redraws is the widest instruction set allowed
// (1 AVX2, 2 AVX-512); the label says which one ran.
#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QSlider>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdlib>
#include <random>

#include "ZVektool.h"
#include "extremes.h"
#include "ZvektoolChildWindow.h"
#include "ZvektoolMainWindow.h"
#include "zvekint.h"
#include "bench_level.h"

namespace {

constexpr int kCols = 4000;
constexpr int kRows = 3000;
constexpr int64_t kPixels = static_cast<int64_t>(kCols) * kRows;

enum Data { kReal = 0, kWhole = 1 };

// Real values over -50 .. 950, or whole numbers 0 .. 255 (both ends present)
// as an 8-bit picture gives them.
ZVEKHDR *makeTestImage(Data data) {
    const int32_t dims[] = {3, kCols, kRows, 3};
    ZVEKHDR *h = Zvekcreate("float", dims, 11, 0);
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> dist(-50.0f, 950.0f);
    float *p = static_cast<float *>(h->vekptr);
    for (int64_t i = 0; i < 3 * kPixels; ++i) p[i] = data == kReal ? dist(gen) : static_cast<float>(gen() & 255u);
    p[0] = 0.0f;
    p[1] = 255.0f;
    return h;
}

// The controller with a test image in slot 0, viewed.
struct Setup {
    ZVektoolMainWindow *mw = nullptr;
    Data shown = kReal;
    Setup() {
        gZVektool = new ZVektool();
        mw = gZVektool->mainWindow;
        gZVektool->images[0] = makeTestImage(kReal);
        gZVektool->imageNames[0] = "bench";
        mw->updateAccessability();
        mw->viewAct->trigger();
    }
    ZVektoolChildWindow *window() const { return qobject_cast<ZVektoolChildWindow *>(mw->childWindow(0)); }
    // The window viewing the given data.
    ZVektoolChildWindow *window(Data data) {
        if (data != shown) {
            mw->deleteChildWindow(0);
            Zvekfree(gZVektool->images[0], 7);
            gZVektool->images[0] = makeTestImage(data);
            mw->viewAct->trigger();
            shown = data;
        }
        return window();
    }
};

Setup &setup() {
    static Setup s;
    return s;
}

void rate(benchmark::State &state) {
    state.counters["MPix/s"] = benchmark::Counter(static_cast<double>(kPixels) / 1e6,
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

const char *pathName(int level) { return level >= 2 ? "AVX-512" : level == 1 ? "AVX2" : "baseline"; }

void BM_ReferencePass(benchmark::State &state) {
    ZVektoolChildWindow *w = setup().window();
    const float *r = static_cast<const float *>(w->workImage->vekptr);
    const float *g = r + kPixels;
    const float *b = g + kPixels;
    QImage picture(kCols, kRows, QImage::Format_RGB32);
    for (auto _ : state) {
        for (int y = 0; y < kRows; ++y) {
            QRgb *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
            const int64_t o = static_cast<int64_t>(y) * kCols;
            for (int x = 0; x < kCols; ++x)
                line[x] = qRgb(static_cast<int>(r[o + x]), static_cast<int>(g[o + x]), static_cast<int>(b[o + x]));
        }
        benchmark::DoNotOptimize(picture.constBits());
        benchmark::ClobberMemory();
    }
    rate(state);
}
BENCHMARK(BM_ReferencePass)->Unit(benchmark::kMillisecond);

// Arguments: instruction set, data (0 real, 1 whole numbers), window (128 as
// opened, 255 after Reset; level 0), offsets (0: none, 1: 10, 20, -5, which
// push samples past both ends).
void BM_ChangeRGB(benchmark::State &state) {
    const int set = benchLevel(static_cast<int>(state.range(0)));
    ZVektoolChildWindow *w = setup().window(static_cast<Data>(state.range(1)));
    w->windowSlider->setValue(static_cast<int>(state.range(2)));
    w->levelSlider->setValue(0);
    const bool offsets = state.range(3) != 0;
    for (auto _ : state) w->changeRGB(offsets ? 10 : 0, offsets ? 20 : 0, offsets ? -5 : 0);
    state.SetLabel(pathName(set));
    rate(state);
    benchLevel(2);
    w->windowSlider->setValue(128);
}
BENCHMARK(BM_ChangeRGB)
    ->ArgNames({"isa", "whole", "window", "offsets"})
    ->ArgsProduct({{1, 2}, {kReal, kWhole}, {128, 255}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

void BM_BrightStep(benchmark::State &state) {
    ZVektoolChildWindow *w = setup().window(kReal);
    int k = 0;
    for (auto _ : state) {
        w->brightSlider->setValue(k & 1 ? 10 : 20);
        ++k;
    }
    state.SetLabel(pathName(benchLevel(2)));
    rate(state);
}
BENCHMARK(BM_BrightStep)->Unit(benchmark::kMillisecond);

// One mouse move over the picture while profile capture is on: the red mark
// set on the picture and the point added to the path (per move, not per
// pixel).
void BM_PathMark(benchmark::State &state) {
    ZVektoolChildWindow *w = setup().window(kReal);
    w->profile();
    QLabel *label = w->imageLabel;
    int k = 0;
    for (auto _ : state) {
        const QPoint p(100 + (k & 255), 50 + (k & 127));
        QMouseEvent e(QEvent::MouseMove, p, label->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(label, &e);
        ++k;
    }
    w->profile();
    w->pathCols.clear();
    w->pathRows.clear();
    w->level();
}
BENCHMARK(BM_PathMark)->Unit(benchmark::kMicrosecond);

// Opening the window: the working copy (its extremes scan and scaling) and
// the first redraw. Argument: the widest instruction set allowed.
void BM_OpenWindow(benchmark::State &state) {
    const int set = static_cast<int>(state.range(0));
    const int used = benchLevel(set);
    Setup &s = setup();
    s.window(kReal);
    for (auto _ : state) {
        state.PauseTiming();
        s.mw->deleteChildWindow(0);
        state.ResumeTiming();
        s.mw->viewAct->trigger();
    }
    state.SetLabel(pathName(used));
    rate(state);
    benchLevel(2);
}
BENCHMARK(BM_OpenWindow)->ArgName("isa")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    SubClassQApp app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
