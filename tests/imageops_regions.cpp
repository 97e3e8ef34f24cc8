// Equalisation, restoration, labelling and gradient histograms against hand-worked
// images and plain loops written from the definitions.
#include "imageops_fixture.h"

#include <array>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace opsfix;

namespace {
// Whole image: extremes of the finite samples, bin trunc(255 (v - min) / (max
// - min)) in double, integer counts (NaN in none), the running single-precision
// sum of the shares, cdf * 255 in double; with text, the lines of three frames.
Floats equalised(const Floats &v, double total, std::string *text = nullptr) {
    float mx = -1e6f, mn = 1e6f, cdf[256], run = 0;
    for (float x : v)
        if (std::isfinite(x)) mx = std::max(mx, x), mn = std::min(mn, x);
    auto bin = [&](float x) { return int(std::clamp(255.0 * double(x - mn) / double(mx - mn), 0.0, 255.0)); };
    double count[256] = {};
    for (float x : v)
        if (x == x) ++count[bin(x)];
    for (int k = 0; k < 256; ++k) cdf[k] = run = k ? run + float(count[k] / total) : float(count[0] / total);
    for (int k = 0; text && k < 512; ++k) {
        char line[64];
        std::snprintf(line, 64, k < 256 ? "h[%d]= %f\n" : "p[%d]= %f\n", k % 256, k < 256 ? count[k] : cdf[k - 256]);
        *text += line;
    }
    Floats out;
    for (float x : v) out.push_back(x == x ? float(double(cdf[bin(x)]) * 255.0) : x);
    return out;
}
// Windows 2N + 1 wide, centred where they fit, else against the near edge;
// bins trunc(q * 256) of the single-precision quotient q, 256 not counted; the
// centre's bin from the single-precision floor, mapped into the window's range.
Floats windowed(const Floats &v, int Nc, int Nr, int N) {
    Floats out;
    auto place = [N](int x, int len) { return std::min(std::max(x - N, 0), len - 1 - 2 * N); };
    for (int i = 0; i < int(v.size()); ++i) {
        const int f = i / (Nr * Nc), r0 = place(i / Nc % Nr, Nr), c0 = place(i % Nc, Nc);
        auto each = [&](auto fn) {
            for (int y = r0; y <= r0 + 2 * N; ++y)
                for (int x = c0; x <= c0 + 2 * N; ++x) fn(v[(size_t(f) * Nr + y) * Nc + x]);
        };
        float mx = -1e6f, mn = 1e6f, bins[258] = {}, total = 0, cdf[256];
        each([&](float a) { mx = std::max(mx, a), mn = std::min(mn, a); });
        each([&](float a) { bins[mx == mn ? 0 : int(double((a - mn) / (mx - mn)) * 256.0)] += 1; });
        for (int k = 0; k < 256; ++k) total += bins[k];
        for (int k = 0; k < 256; ++k) cdf[k] = (k ? cdf[k - 1] : 0.0f) + bins[k] / total;
        const int k = mx - mn >= 0.5f ? std::min(255, int(std::floor(255.0f * (v[i] - mn) / (mx - mn)))) : 0;
        out.push_back(mx == mn ? 0.0f : float(double(cdf[k] * (mx - mn)) / 256.0 + double(mn)));
    }
    return out;
}
// The annealing with fresh temporaries every round; returns the rounds run.
// p: sigma, rate, b, t1, t2, cooling.
int restored(Floats &f, Floats g, int Nr, int Nc, const std::array<float, 6> &p) {
    auto reflect = [&](Floats &a) {  // every border pixel from the nearest interior one
        for (int i = 0; i < Nr * Nc; ++i) a[i] = a[std::clamp(i / Nc, 1, Nr - 2) * Nc + std::clamp(i % Nc, 1, Nc - 2)];
    };
    reflect(g);
    const int n = Nr * Nc, off[4] = {Nc, Nc + 1, 1, 1 - Nc};  // below, below-right, right, above-right
    auto inside = [&](int i) { return i >= Nc && i < n - Nc && i % Nc && i % Nc != Nc - 1; };
    int rounds = 0;
    for (double T = p[3]; T >= p[4]; T = p[5] * T, ++rounds) {
        const double V = 1.41 * T * 1.41 * p[0] * p[0];
        reflect(f);
        Floats d(4 * n), G(n);
        for (int i = 0; i < 4 * n; ++i) {
            const double q = inside(i % n) ? float(double(f[i % n + off[i / n]]) - double(f[i % n])) : 0.0;
            d[i] = float(q / V * std::exp(-0.5 / V * q * q));
        }
        double sum = 0;
        for (int i = 0; i < n; ++i) {
            auto D = [&](int k, int j) { return inside(i) ? d[k * n + j] : 0.0f; };
            const float s1 = D(0, i - Nc) - D(0, i), s2 = D(1, i - Nc - 1) - D(1, i), s3 = D(2, i - 1) - D(2, i);
            const float s4 = D(3, i + Nc - 1) - D(3, i);
            const float P = float(double(s1) + double(s3) + 0.7 * (double(s2) + double(s4)));
            G[i] = float(1.0 / p[0] / p[0] * (f[i] - g[i]) + p[2] / std::sqrt(6.283185307179586 * T) * P);
            sum += double(G[i]) * G[i];
        }
        if (sum == 0) return rounds;
        const double step = double(-p[1] * p[0]) / std::sqrt(sum / n) * std::sqrt(T);
        for (int i = 0; i < n; ++i) f[i] = float(1.0 * f[i] + step * G[i]);
    }
    return rounds;
}
// Labels with a flat table of roots rewritten from 0 to the count on every join:
// a pixel takes the root of up (codes 1, 7), left (2, 3) or up-left (4, 5, 6).
Floats flatTable(const Floats &w, int nc, float thresh, float minv, float maxv, int &n, std::string &areas) {
    std::vector<int> L(w.size(), -1), cam(500000);
    for (int i = 0; i < 500000; ++i) cam[i] = i;
    L[0] = n = 0;
    auto sim = [&](int i, int j) {
        return j / nc && j % nc && w[i] >= minv && w[j] >= minv && std::fabs(w[i] - w[j]) <= thresh && L[j] != -1;
    };
    for (int i = nc + 1; i < int(w.size()); i += i % nc == nc - 1 ? 2 : 1) {
        const bool band = !(w[i] < minv || w[i] > maxv);
        const int nb[3] = {i - nc, i - 1, i - nc - 1};
        const int code = band * (sim(i, nb[0]) + 2 * sim(i, nb[1]) + 4 * sim(i, nb[2]));
        int r[3] = {-1, -1, -1}, m = n + 1;
        for (int b = 0; b < 3; ++b)
            if (code >> b & 1) r[b] = cam[L[nb[b]]], m = std::min(m, r[b]);
        for (int k = 0; k <= n; ++k) cam[k] = cam[k] == r[0] || cam[k] == r[1] || cam[k] == r[2] ? m : cam[k];
        L[i] = !band ? 0 : code ? cam[L[nb[code == 1 || code == 7 ? 0 : code < 4 ? 1 : 2]]] : ++n;
    }
    std::vector<int> area(n + 1);
    for (int l : L) area[cam[std::max(l, 0)]] += l > 0;
    for (int i = 0; i <= n; ++i) areas += std::to_string(i) + " " + std::to_string(area[i]) + "\n";
    return Floats(L.begin(), L.end());
}

}  // namespace

TEST(HistEq, AgainstHandValuesAndThePlainLoops) {
    Floats specials = noise(61 * 47, 1, 0, 700), flat = noise(120, 2, 100, 110), shorts = noise(61 * 47, 3, 0, 6e4);
    specials[100] = specials[2002] = kNaN, specials[1001] = kInf, specials[2000] = -kInf;
    for (float &x : shorts) x = std::floor(x);
    for (int i : {0, 1, 2, 12, 13, 14, 24, 25, 26}) flat[i] = 100;
    std::string printed;
    const Floats six = {0, 1, 2, 3, 4, 5}, colour = equalised(six, 6, &printed), rim = {0, -1, 3, 4, -5, -2, 6, 7, 8};
    const Floats by4 = {63.75f, 127.5f, 191.25f, 255}, byHand = {1 / 256.f, 1 / 256.f, 2 / 256.f, 3 / 256.f, 4 / 256.f,
                                                                 5 / 256.f, 6 / 256.f, 7 / 256.f, 8 / 256.f};
    // name, size, N, input, output (none: the windows), text, types ("": in place)
    using Type = const char *;
    const std::tuple<const char *, int, int, int, int, Floats, Floats, std::string, Type, Type> rows[] = {
        {"four levels", 4, 2, 0, 0, {0, 1, 2, 3, 3, 2, 1, 0},
         {by4[0], by4[1], by4[2], 255, 255, by4[2], by4[1], by4[0]}, "", "float", "float"},
        {"byte output", 4, 1, 0, 0, {0, 1, 2, 3}, {63, 127, 191, 255}, "", "float", "u8bit"},
        {"in place", 4, 1, 0, 0, {0, 1, 2, 3}, by4, "", "float", ""},
        {"two frames: the first", 2, 2, 2, 0, {0, 1, 2, 3, -100, 100, 1000, 5},
         {by4[0], by4[1], by4[2], 255, 0, 0, 0, 0}, "", "float", "float"},
        {"negative border", 3, 3, 0, 0, rim, equalised(rim, 9), "row 0 col 1\nrow 1 col 2\n", "float", "float"},
        {"three frames print", 2, 1, 3, 0, six, colour, printed, "float", "float"},
        {"NaN and infinities", 61, 47, 0, 0, specials, equalised(specials, 61 * 47), "", "float", "float"},
        {"16-bit input", 61, 47, 0, 0, shorts, equalised(shorts, 61 * 47), "", "u16bit", "float"},
        {"window by hand", 3, 3, 0, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8}, byHand, "", "float", "float"},
        {"windows of reals", 13, 11, 0, 2, noise(143, 4), {}, "", "float", "float"},
        {"windows of three frames", 9, 7, 3, 3, noise(189, 5), {}, "", "float", "float"},
        {"windows with a flat patch", 12, 10, 0, 1, flat, {}, "", "float", "float"},
    };
    for (const auto &[name, nc, nr, frames, N, in, want, text, inType, outType] : rows) {
        const int cols = nc, rows = nr;
        const std::vector<float> &v = in;
        Img i = filled(inType, cols, rows, frames, [&](int f, int r, int c) { return v[(f * rows + r) * cols + c]; });
        Img o = *outType ? make(outType, cols, rows, frames) : nullptr;
        int rc = -9;
        EXPECT_EQ(said([&, N = N] { rc = flHistogramEq(i.get(), (o ? o : i).get(), N); }), text) << name;
        EXPECT_TRUE(rc == 0 && firstDiff(values(o ? o : i), want.empty() ? windowed(in, cols, rows, N) : want) == -1)
            << name;
    }
    // Counts stay exact beyond 2^24 samples in one bin.
    Img in = make("float", 4096, 4097), out = make("float", 4096, 4097);
    px(in)[5] = 1.0f;
    ASSERT_EQ(flHistogramEq(in.get(), out.get(), 0), 0);
    EXPECT_EQ(px(out)[0], float(double(float((4096.0 * 4097 - 1) / (4096.0 * 4097))) * 255.0));
}

TEST(Restoration, AgainstThePlainLoop) {
    auto step = [](int Nc, int Nr, unsigned seed) {  // a noisy step
        Floats v = noise(size_t(Nc) * Nr, seed, -4, 4);
        for (int i = 0; i < Nc * Nr; ++i) v[i] += i % Nc < Nc / 2 ? 20.0f : 40.0f;
        return v;
    };
    const std::array<float, 6> defaults = {2, .03f, 4, 1, .005f, .99f}, quick = {2, .03f, 4, 1, .5f, .9f};
    // name, size, rounds, estimate, data (none: the estimate), parameters, text
    const std::tuple<const char *, int, int, int, Floats, Floats, std::array<float, 6>, std::string> rows[] = {
        {"application defaults", 11, 9, 528, step(11, 9, 4), step(11, 9, 3), defaults, ""},
        {"smallest image", 3, 3, 7, {0, 0, 0, 0, 4, 0, 0, 0, 0}, {1, 2, 3, 4, 9, 6, 7, 8, 5}, quick, ""},
        {"zero gradient: the fixed point", 4, 3, 0, Floats(12, 7), Floats(12, 7), defaults, "magf=0 exiting\n"},
        {"data image as the estimate", 7, 6, 7, step(7, 6, 5), {}, quick, ""},
    };
    for (const auto &[name, cols, rows, rounds, f, g, p, text] : rows) {
        Img F = floats(cols, rows, f), G = floats(cols, rows, g.empty() ? f : g);
        ZVEKHDR *data = g.empty() ? F.get() : G.get();
        int rc = -1;
        EXPECT_EQ(said([&, &p = p] { rc = pconsub(F.get(), data, p[0], p[1], p[2], p[3], p[4], p[5]); }), text) << name;
        Floats want = f;
        EXPECT_TRUE(rc == 0 && restored(want, g.empty() ? f : g, rows, cols, p) == rounds) << name;
        EXPECT_EQ(firstDiff(snap(F), want), -1) << name;
        EXPECT_TRUE(g.empty() || snap(G) == g) << name << ": data changed";
    }
}

TEST(Labelling, AgainstHandValuesAndTheFlatTable) {
    const Floats square(9, 100), labels = {0, -1, -1, -1, 1, 1, -1, 1, 1}, erased = {0, -1, -1, -1, 0, 0, -1, 0, 0};
    const Floats rim = {0, 0, 0, 0, 254, 256, 0, 254, 255};  // the last pixel joins class 1 to the background
    auto erasing = [](int n) {
        return "calling erasesmalregions " + std::to_string(n) + "\nreturn from  erasesmalregions\n";
    };
    // name, size, erase small and large, input, labels, count, text, areas file
    const std::tuple<const char *, int, int, int, int, int, Floats, Floats, int, std::string, std::string> rows[] = {
        {"equal square, 4 not below 4", 3, 3, 0, 4, 0, square, labels, 1, erasing(4), "0 0\n1 4\n"},
        {"4 below 5", 3, 3, 0, 5, 0, square, erased, 1, erasing(5), "0 0\n1 4\n"},
        {"4 not above 4, no lines", 3, 3, 0, 0, 4, square, labels, 1, "", "0 0\n1 4\n"},
        {"4 above 3", 3, 3, 0, 0, 3, square, erased, 1, "", "0 0\n1 4\n"},
        {"no areas without a limit", 3, 3, 0, 0, 0, square, labels, 1, "", ""},
        {"merged into background", 3, 3, 0, 1, 0, rim, {0, -1, -1, -1, 1, 0, -1, 1, 0}, 1, erasing(1), "0 2\n1 0\n"},
        {"erased by its root's area", 3, 3, 0, 3, 0, rim, erased, 1, erasing(3), "0 2\n1 0\n"},
        // Magnitudes 31.1 / 3 (neither red nor green reaches 10 alone) and 20 / 3 of the three frames.
        {"colour", 3, 2, 3, 0, 0, {0, 0, 0, 0, 22, 12, 0, 0, 0, 0, 22, 16, 0, 0, 0, 0, 0, 0}, {0, -1, -1, -1, 1, 0}, 1,
         "", ""},
    };
    const std::string path = testing::TempDir() + "imageops_areas_" + std::to_string(getpid()) + ".txt";
    auto readFile = [](const std::string &p) { return (std::stringstream() << std::ifstream(p).rdbuf()).str(); };
    for (const auto &[name, cols, rows, frames, es, el, in, want, n, text, areas] : rows) {
        std::remove(path.c_str());
        Img i = floats(cols, rows, in, frames), o = make("float", cols, rows);
        int count = -7, rc = -9, s = es, l = el, t = frames ? 100 : 2;
        EXPECT_EQ(said([&] { rc = cclC4_2(i.get(), s, l, &count, path.c_str(), o.get(), t, 10, 255); }), text) << name;
        EXPECT_TRUE(rc == 0 && count == n && firstDiff(snap(o), want) == -1 && readFile(path) == areas) << name;
    }
    // Noisy images against the flat table; the last one into bytes.
    for (int trial = 0; trial < 4; ++trial) {
        const int nc = 97 + trial * 13, nr = 61 + trial * 7, thresh = trial % 2 ? 6 : 12;
        Floats v = noise(size_t(nc) * nr, 7 + trial, 0, 40);
        for (float &x : v) x = std::floor(x);
        Img in = floats(nc, nr, v), out = make(trial == 3 ? "u8bit" : "float", nc, nr);
        int count = 0, n = 0;
        std::string areas;
        const Floats want = flatTable(v, nc, thresh, 5, 35, n, areas);
        said([&] { EXPECT_EQ(cclC4_2(in.get(), 1, 0, &count, path.c_str(), out.get(), thresh, 5, 35), 0); });
        EXPECT_TRUE(count == n && n > 20 && readFile(path) == areas) << trial;
        for (int i = 0; i < nc * nr; ++i)
            ASSERT_EQ(get(out, 0, i / nc, i % nc), trial == 3 ? uint8_t(int(want[i])) : want[i]) << trial << ":" << i;
    }
    std::remove(path.c_str());
    // Isolated pixels: 499,999 labels are the most there can be.
    Img most = filled("float", 32258, 62, 0, [](int, int r, int c) { return r % 2 && c % 2 ? 100.0f : 0; });
    Img out = make("float", 32258, 62);
    int count = 0;
    ASSERT_EQ(cclC4_2(most.get(), 0, 0, &count, "", out.get(), 2, 10, 255), 0);
    EXPECT_TRUE(count == 499999 && px(out)[61 * 32258 + 32257] == 499999.0f);
}

TEST(HoG, SectorsPicturesAndTheSort) {
    auto ramp = [](int cols, int rows, int frames, bool alongColumns) {
        return filled("float", cols, rows, frames, [=](int, int r, int c) { return float(alongColumns ? c : r); });
    };
    auto sum = [](const Img &h, int cr, int cc) {
        float s = 0;
        for (int k = 0; k < 9; ++k) s += at(h, k, cr, cc);
        return s;
    };
    const std::string k9 = "flDoG:kernel is 9 x 9, but image is only 16 x 24. Exiting\n";
    // The filter's derivative has the opposite sign: a ramp along the columns points
    // to 180 degrees, along the rows to 270; a hair below 0 becomes 360, sector 0.
    const std::tuple<const char *, Img, int, int, std::string, std::function<bool(const Img &)>> rows[] = {
        {"along the columns: sector 4", ramp(64, 64, 0, true), 8, 8, "",
         [&](const Img &h) { return at(h, 4, 3, 3) + at(h, 4, 1, 6) + sum(h, 0, 0) + sum(h, 7, 7) == 256; }},
        {"colour along the rows: sector 6", ramp(32, 40, 3, false), 4, 5, "",
         [](const Img &h) { return at(h, 6, 1, 1) == 64 && at(h, 6, 3, 2) == 64; }},
        {"colour, only frame 0 along the columns: sector 4",
         filled("float", 32, 40, 3, [](int f, int, int c) { return f ? 0.0f : float(c); }), 4, 5, "",
         [](const Img &h) { return at(h, 4, 1, 1) == 64 && at(h, 4, 3, 2) == 64; }},
        {"partial cells cut", ramp(70, 50, 0, true), 8, 6, "", [&](const Img &h) { return sum(h, 5, 7) == 64; }},
        {"too few rows: sector 0", ramp(24, 20, 0, true), 3, 2, k9 + k9,
         [](const Img &h) { return at(h, 0, 0, 0) == 64 && at(h, 0, 1, 2) == 64; }},
        {"360 degrees", filled("float", 24, 24, 0, [](int, int r, int c) {
             return c != 10 ? 0.0f : r == 11 ? 1.0f : r == 13 ? std::nextafter(1.0f, 2.0f) : 0.0f;
         }), 3, 3, "", [&](const Img &h) { return sum(h, 1, 1) == 64 && at(h, 0, 1, 1) >= 4; }},
        {"NaN skipped", filled("float", 32, 32, 0, [](int, int r, int c) { return r == 12 && c == 12 ? kNaN : c; }),
         4, 4, "", [&](const Img &h) { return sum(h, 1, 1) < 64 && sum(h, 3, 3) == 64; }},
    };
    for (const auto &[name, img, cols, rows, text, check] : rows) {
        Img hog = make("float", cols, rows, 9);
        int rc = -9;
        EXPECT_EQ(said([&, &img = img] { rc = HoGdescriptor(img.get(), hog.get()); }), text) << name;
        EXPECT_TRUE(rc == 0 && check(hog)) << name;
    }
    // A colour image's derivatives: each plane the mean of the three frames, summed in single precision and
    // divided in double: 18 / 3, 1 / 3, 2 / 3, 1 / 3 by hand.
    Img dx = floats(2, 1, {3, -1, 6, 1, 9, 1}, 3), dy = floats(2, 1, {1, 0, 1, 0, 0, 1}, 3);
    Img gx = valued(2, 1, -7), gy = valued(2, 1, -7);
    ASSERT_EQ(maxgrad(dx.get(), dy.get(), gx.get(), gy.get()), 0);
    EXPECT_EQ(snap(gx), Floats({6, 0.333333343f}));
    EXPECT_EQ(snap(gy), Floats({0.666666687f, 0.333333343f}));
    // Per cell a line 3 pixels thick per sector, larger counts on top: 0 degrees;
    // 0 and 160 degrees in cell (0, 1).
    Img one = make("float", 1, 1, 9), two = make("float", 2, 1, 9), pic = make("float", 9, 9), pic2 = valued(18, 9, -1);
    at(one, 0, 0, 0) = 5, at(two, 0, 0, 1) = 3, at(two, 4, 0, 1) = 7;
    ASSERT_TRUE(ShowHoG(one.get(), pic.get()) == 0 && ShowHoG(two.get(), pic2.get()) == 0);
    for (int i = 0; i < 81; ++i) EXPECT_EQ(px(pic)[i], i / 9 == 4 || i / 9 == 5 ? 5.0f : 0.0f) << i;
    EXPECT_EQ(Floats({at(pic2, 0, 4, 13), at(pic2, 0, 4, 9), at(pic2, 0, 5, 9), at(pic2, 0, 2, 16)}),
              Floats({7, 3, 7, 7}));
    for (int i = 0; i < 18 * 9; ++i) EXPECT_TRUE(i % 18 >= 9 || px(pic2)[i] == -1) << "the empty cell drew at " << i;
    // The sort, ties included, worked by hand: bins by value 0..8 and their order.
    const float vals[9] = {5, 3, 5, 1, 5, 0, 3, 5, 2}, bins[9] = {5, 3, 8, 6, 1, 7, 0, 2, 4};
    float pairs[9][2];
    for (int k = 0; k < 9; ++k) pairs[k][0] = float(k), pairs[k][1] = vals[k];
    qsort2(pairs, 0, 8);
    for (int k = 0; k < 9; ++k) EXPECT_TRUE(pairs[k][0] == bins[k] && pairs[k][1] == vals[int(bins[k])]) << k;
}
