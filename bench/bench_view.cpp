// The view window's display work on a 4000 x 3000 three-frame float image:
// one adjusted redraw, one step of the bright slider, opening the window, and
// as the yardstick a plain pass that reads the three float planes and writes
// as many 32-bit pixels into a picture's scan lines.
#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QSlider>

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <random>

#include "ZVektool.h"
#include "ZvektoolChildWindow.h"
#include "ZvektoolMainWindow.h"

namespace {

constexpr int kCols = 4000;
constexpr int kRows = 3000;
constexpr int64_t kPixels = static_cast<int64_t>(kCols) * kRows;

ZVEKHDR *makeTestImage() {
    const int32_t dims[] = {3, kCols, kRows, 3};
    ZVEKHDR *h = Zvekcreate("float", dims, 11, 0);
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> dist(-50.0f, 950.0f);
    float *p = static_cast<float *>(h->vekptr);
    for (int64_t i = 0; i < 3 * kPixels; ++i) p[i] = dist(gen);
    return h;
}

// The controller with the test image in slot 0, viewed once.
struct Setup {
    ZVektoolMainWindow *mw = nullptr;
    Setup() {
        gZVektool = new ZVektool();
        mw = gZVektool->mainWindow;
        gZVektool->images[0] = makeTestImage();
        gZVektool->imageNames[0] = "bench";
        mw->updateAccessability();
        mw->viewAct->trigger();
    }
    ZVektoolChildWindow *window() const { return qobject_cast<ZVektoolChildWindow *>(mw->childWindow(0)); }
};

Setup &setup() {
    static Setup s;
    return s;
}

void rate(benchmark::State &state) {
    state.counters["MPix/s"] = benchmark::Counter(static_cast<double>(kPixels) / 1e6,
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

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

void BM_ChangeRGB(benchmark::State &state) {
    ZVektoolChildWindow *w = setup().window();
    int k = 0;
    for (auto _ : state) {
        w->changeRGB(10 + (k & 1), 20, -5);
        ++k;
    }
    rate(state);
}
BENCHMARK(BM_ChangeRGB)->Unit(benchmark::kMillisecond);

void BM_BrightStep(benchmark::State &state) {
    ZVektoolChildWindow *w = setup().window();
    int k = 0;
    for (auto _ : state) {
        w->brightSlider->setValue(k & 1 ? 10 : 20);
        ++k;
    }
    rate(state);
}
BENCHMARK(BM_BrightStep)->Unit(benchmark::kMillisecond);

// One mouse move over the picture while profile capture is on: the red mark
// set on the picture and the point added to the path (per move, not per
// pixel).
void BM_PathMark(benchmark::State &state) {
    ZVektoolChildWindow *w = setup().window();
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

void BM_OpenWindow(benchmark::State &state) {
    Setup &s = setup();
    for (auto _ : state) {
        state.PauseTiming();
        s.mw->deleteChildWindow(0);
        state.ResumeTiming();
        s.mw->viewAct->trigger();
    }
    rate(state);
}
BENCHMARK(BM_OpenWindow)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    SubClassQApp app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
