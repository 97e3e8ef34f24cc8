// Loading a 24-megapixel PNG (6000 x 4000) into a slot, statistics included,
// against the toolkit's own QImage::load of the same file.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <benchmark/benchmark.h>
#include <cstdlib>

#include "ZVekUi.h"
#include "ZVektool.h"
#include "ZvektoolMainWindow.h"
#include "slotimage.h"
#include "bench_level.h"

namespace {

constexpr int kWidth = 6000, kHeight = 4000;

// A quiet user: no notices or message boxes pile up during the runs.
class QuietUi : public ZVekUi {
public:
    void message(const QString &) override {}
    void notice(const QString &, int, const QString &) override {}
};

// A photo-like test picture: smooth colour gradients with a little texture,
// written once and reused.
QString testPicture() {
    const QString path = QDir::tempPath() + "/zvek_bench_6000x4000.png";
    QImage existing;
    if (QFileInfo::exists(path) && existing.load(path) && existing.width() == kWidth &&
        existing.height() == kHeight)
        return path;
    QImage picture(kWidth, kHeight, QImage::Format_RGB32);
    uint32_t seed = 12345;
    for (int r = 0; r < kHeight; ++r) {
        QRgb *line = reinterpret_cast<QRgb *>(picture.scanLine(r));
        for (int c = 0; c < kWidth; ++c) {
            seed = seed * 1664525u + 1013904223u;
            int noise = static_cast<int>(seed >> 29);
            line[c] = qRgb((c * 255 / kWidth + noise) & 255, (r * 255 / kHeight + noise) & 255,
                           ((c + r) * 255 / (kWidth + kHeight)) & 255);
        }
    }
    picture.save(path, "PNG");
    return path;
}

const double kMegapixels = kWidth * double(kHeight) / 1e6;

void setRate(benchmark::State &state) {
    state.counters["MP/s"] =
        benchmark::Counter(kMegapixels, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_QImageLoad(benchmark::State &state) {
    const QString path = testPicture();
    for (auto _ : state) {
        QImage picture;
        picture.load(path);
        benchmark::DoNotOptimize(picture.constBits());
    }
    setRate(state);
}
BENCHMARK(BM_QImageLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

// Everything a Read does after the dialog: toolkit load, three float frames,
// slot replacement, statistics and console text.
void BM_LoadIntoSlot(benchmark::State &state) {
    const QString path = testPicture();
    ZVektoolMainWindow *mw = gZVektool->mainWindow;
    for (auto _ : state) {
        mw->handleFileByPath(path, 0);
        benchmark::DoNotOptimize(gZVektool->images[0]);
    }
    setRate(state);
}
BENCHMARK(BM_LoadIntoSlot)->Unit(benchmark::kMillisecond)->UseRealTime();

// The loader's own share: conversion to float frames and statistics.
void BM_ConvertAndMeasure(benchmark::State &state) {
    QImage picture;
    picture.load(testPicture());
    int32_t maxLabel = 0;
    PlaneStats stats[3];
    for (auto _ : state) {
        ZVEKHDR *image = pictureToFloat(picture, stats);
        benchmark::DoNotOptimize(statisticsText(image, stats, QString(), &maxLabel));
        Zvekfree(image, 7);
    }
    setRate(state);
}
BENCHMARK(BM_ConvertAndMeasure)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char **argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    SubClassQApp app(argc, argv);
    QuietUi quiet;
    ZVekUi::install(&quiet);
    gZVektool = new ZVektool();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
