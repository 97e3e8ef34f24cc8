// Speed of the image file writer and reader on a 4096 x 4096 "float" image of
// smooth data, next to zlib's compress/uncompress and plain fwrite/fread of
// the same bytes: compressed write vs. compress, compressed read vs.
// uncompress, raw write vs. fwrite, raw read vs. fread.
#include "zvek.h"
#include "bench_level.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kSide = 4096;
constexpr size_t kBytes = size_t{kSide} * kSide * sizeof(float);

// The image, its zlib stream and the files, made once.
struct Fixture {
    ZVEKHDR *image = nullptr;
    std::vector<unsigned char> zipped;
    std::string dir, rawPath, zipPath, plainPath, scratch;

    Fixture() {
        char tmpl[] = "/tmp/zvekbench.XXXXXX";
        dir = mkdtemp(tmpl);
        rawPath = dir + "/raw.zve";
        zipPath = dir + "/zip.zve";
        plainPath = dir + "/plain.bin";
        scratch = dir + "/out.zve";
        const int32_t dims[] = {2, kSide, kSide};
        image = Zvekcreate("float", dims, 11, 0);
        auto *p = static_cast<float *>(image->vekptr);
        for (int r = 0; r < kSide; ++r)
            for (int c = 0; c < kSide; ++c)
                p[static_cast<size_t>(r) * kSide + c] =
                    static_cast<float>(100.0 * std::sin(r * 0.01) * std::cos(c * 0.013) + 0.05 * r);
        uLongf n = compressBound(kBytes);
        zipped.resize(n);
        compress(zipped.data(), &n, static_cast<const Bytef *>(image->vekptr), kBytes);
        zipped.resize(n);
        image->vekcompress = 1;
        Zvekpot(image, zipPath.c_str());
        image->vekcompress = 0;
        Zvekpot(image, rawPath.c_str());
        FILE *f = std::fopen(plainPath.c_str(), "wb");
        std::fwrite(image->vekptr, 1, kBytes, f);
        std::fclose(f);
    }
    ~Fixture() {
        for (const std::string &p : {rawPath, zipPath, plainPath, scratch}) std::remove(p.c_str());
        rmdir(dir.c_str());
        Zvekfree(image, 7);
    }
};

Fixture &fixture() {
    static Fixture f;
    return f;
}

void rate(benchmark::State &state) {
    state.counters["Mpix/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kSide * kSide / 1e6, benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
}

void BM_ZlibCompress(benchmark::State &state) {
    Fixture &f = fixture();
    std::vector<unsigned char> out(compressBound(kBytes));
    for (auto _ : state) {
        uLongf n = out.size();
        compress(out.data(), &n, static_cast<const Bytef *>(f.image->vekptr), kBytes);
        benchmark::DoNotOptimize(n);
    }
    rate(state);
}

void BM_WriteCompressed(benchmark::State &state) {
    Fixture &f = fixture();
    f.image->vekcompress = 1;
    for (auto _ : state) {
        if (Zvekpot(f.image, f.scratch.c_str()) != -1) state.SkipWithError("write failed");
    }
    rate(state);
}

void BM_ZlibUncompress(benchmark::State &state) {
    Fixture &f = fixture();
    std::vector<unsigned char> out(kBytes);
    for (auto _ : state) {
        uLongf n = kBytes;
        uncompress(out.data(), &n, f.zipped.data(), f.zipped.size());
        benchmark::DoNotOptimize(n);
    }
    rate(state);
}

void BM_ReadCompressed(benchmark::State &state) {
    Fixture &f = fixture();
    for (auto _ : state) {
        ZVEKHDR *h = Zvekpin(f.zipPath.c_str());
        if (h == nullptr) state.SkipWithError("read failed");
        Zvekfree(h, 7);
    }
    rate(state);
}

void BM_PlainFwrite(benchmark::State &state) {
    Fixture &f = fixture();
    for (auto _ : state) {
        FILE *out = std::fopen(f.scratch.c_str(), "wb");
        std::fwrite(f.image->vekptr, 1, kBytes, out);
        std::fclose(out);
    }
    rate(state);
}

void BM_WriteRaw(benchmark::State &state) {
    Fixture &f = fixture();
    f.image->vekcompress = 0;
    for (auto _ : state) {
        if (Zvekpot(f.image, f.scratch.c_str()) != -1) state.SkipWithError("write failed");
    }
    rate(state);
}

// Plain fread into a fresh buffer, as a reader of a new image must.
void BM_PlainFread(benchmark::State &state) {
    Fixture &f = fixture();
    for (auto _ : state) {
        FILE *in = std::fopen(f.plainPath.c_str(), "rb");
        void *buf = std::calloc(kBytes, 1);
        benchmark::DoNotOptimize(std::fread(buf, 1, kBytes, in));
        std::fclose(in);
        std::free(buf);
    }
    rate(state);
}

// Plain fread into a buffer that is already mapped: the strictest baseline.
void BM_PlainFreadReused(benchmark::State &state) {
    Fixture &f = fixture();
    std::vector<unsigned char> buf(kBytes);
    for (auto _ : state) {
        FILE *in = std::fopen(f.plainPath.c_str(), "rb");
        benchmark::DoNotOptimize(std::fread(buf.data(), 1, kBytes, in));
        std::fclose(in);
    }
    rate(state);
}

void BM_ReadRaw(benchmark::State &state) {
    Fixture &f = fixture();
    for (auto _ : state) {
        ZVEKHDR *h = Zvekpin(f.rawPath.c_str());
        if (h == nullptr) state.SkipWithError("read failed");
        Zvekfree(h, 7);
    }
    rate(state);
}

// A whole save of a 4000 x 3000 "float" image over the file that the last
// save left: raw (0) or compressed (1).
void BM_Save4000x3000(benchmark::State &state) {
    Fixture &f = fixture();
    const int32_t dims[] = {2, 4000, 3000};
    ZVEKHDR *image = Zvekcreate("float", dims, 11, 0);
    std::memcpy(image->vekptr, f.image->vekptr, size_t{4000} * 3000 * sizeof(float));
    image->vekcompress = static_cast<uint8_t>(state.range(0));
    const std::string path = f.dir + "/save.zve";
    Zvekpot(image, path.c_str());
    for (auto _ : state) {
        if (Zvekpot(image, path.c_str()) != -1) state.SkipWithError("write failed");
    }
    state.counters["Mpix/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * 12.0,
                                                  benchmark::Counter::kIsRate);
    std::remove(path.c_str());
    Zvekfree(image, 7);
}

}  // namespace

BENCHMARK(BM_Save4000x3000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_ZlibCompress)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WriteCompressed)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ZlibUncompress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCompressed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainFwrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainFread)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainFreadReused)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadRaw)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
