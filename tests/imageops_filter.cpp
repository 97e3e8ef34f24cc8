// The derivative-of-Gaussian filter, its features and template correlation against
// plain loops written from the formulas.
#include "imageops_fixture.h"
#include "zvekint.h"

using namespace opsfix;

namespace {
// Kernel value of code order + 4 direction from the filter's table: every step
// in double from S2 = s * s rounded to single precision; a negative sigma
// squares the Laplacian only.
float kernel(int code, float sigma, int x, int y) {
    const double T = 6.283185307179586, S2 = double(std::fabs(sigma) * std::fabs(sigma)), S4 = S2 * S2, S6 = S4 * S2;
    const double S8 = S6 * S2;
    const double dx = x, dy = y, u = code < 4 ? dx : dy, E = std::exp((dx * dx + dy * dy) / (S2 * -2.0));
    const double second = (u * u / (T * S6) - 1.0 / (T * S4)) * E;
    const double log = ((dy * dy / (T * S6) - 1.0 / (T * S4)) + (dx * dx / (T * S6) - 1.0 / (T * S4))) * E;
    return float(code == 0 ? E / (T * S2) : code == 4 ? E : code == 10 ? dx * dy * E / (T * S6)
                 : code == 12 ? (sigma < 0 ? log * log : log) : code % 4 == 1 ? -u * E / (T * S4)
                 : code % 4 == 2 ? second : (3.0 * u / (T * S6) - u * u * u / (T * S8)) * E);
}
// Sums and products whose NaN is the first one met.
float add(float a, float b) { return firstNaN(a + b, a, b); }
float mul(float a, float b) { return firstNaN(a * b, a, b); }
Floats deriv(const Img &in, int order, int dir, float sigma) {
    Img out = make("float", in->vekdims[0].dimlen, in->vekdims[1].dimlen, in->vekndim > 2 ? framesOf(in) : 0);
    EXPECT_EQ(flDoG(in.get(), out.get(), order, dir, sigma), 0);
    return snap(out);
}

}  // namespace

TEST(FlDoG, AgreesBitForBitWithThePlainLoop) {
    // Every kernel, sigmas whose square differs in double, wide and narrow blocks,
    // frames padded apart, larger outputs keeping the rest, NaNs, every path. name,
    // columns, rows, frames, order, direction, sigma, output type ("": the input) and its size
    const std::tuple<const char *, int, int, int, int, int, float, const char *, int, int, int> rows[] = {
        {"x, wide blocks", 300, 23, 0, 1, 0, 1.1f, "float", 300, 23, 0},
        {"y-Gauss, one column", 1, 20, 0, 0, 1, 0.7f, "float", 1, 20, 0},
        {"y, narrow", 17, 18, 2, 1, 1, 1.0f, "float", 17, 18, 2},
        {"xy", 40, 18, 0, 2, 2, 1.1f, "float", 40, 18, 0},
        {"Laplacian", 129, 30, 0, 0, 3, 0.7f, "float", 129, 30, 0},
        {"squared Laplacian", 129, 30, 0, 0, 3, -1.1f, "float", 129, 30, 0},
        {"xxx", 64, 24, 0, 3, 0, 1.1f, "float", 64, 24, 0},
        {"yyy", 33, 20, 0, 3, 1, 0.7f, "float", 33, 20, 0},
        {"xx into a larger output", 30, 20, 2, 2, 0, 1.0f, "float", 33, 22, 3},
        {"yy into double", 30, 20, 2, 2, 1, 1.1f, "double", 30, 20, 2},
        {"Gauss into itself, frames", 70, 45, 3, 0, 0, 2.0f, "", 70, 45, 3},
        {"x, NaNs", 75, 20, 0, 1, 0, 1.1f, "float", 75, 20, 0},
    };
    unsigned seed = 1;
    for (int path = 0; path < 3; ++path)
        for (const auto &[name, cols, rows, frames, order, dir, sigma, outType, oc, orows, of] : rows) {
            zvek::limitVectorLevel(path);
            Img in = noisy(cols, rows, frames, seed++, std::strstr(name, "NaN") ? 9 : 0);
            Img out = *outType ? filled(outType, oc, orows, of, [](int, int, int) { return -7.0f; }) : nullptr;
            Floats want(size_t(oc) * orows * std::max(of, 1), -7.0f);
            const int h = int(3.0 * std::fabs(sigma)) + 1, side = 2 * h + 1;
            Floats K;
            for (int i = 0; i < side * side; ++i)
                K.push_back(kernel(order + 4 * dir, sigma, i % side - h, i / side - h));
            for (int f = 0; f < framesOf(in); ++f)  // one float sum, kernel rows outer, coordinates clamped
                for (int r = 0; r < rows; ++r)
                    for (int c = 0; c < cols; ++c) {
                        float acc = 0.0f;
                        for (int i = 0; i < side * side; ++i)
                            acc = add(acc, K[i] * at(in, f, std::clamp(r + i / side - h, 0, rows - 1),
                                                     std::clamp(c + i % side - h, 0, cols - 1)));
                        want[(size_t(f) * orows + r) * oc + c] = acc;
                    }
            ASSERT_EQ(flDoG(in.get(), (out ? out : in).get(), order, dir, sigma), 0) << name << ", path " << path;
            EXPECT_EQ(firstDiff(values(out ? out : in), want), -1) << name << ", path " << path;
        }
    zvek::limitVectorLevel(2);
    Img in = filled("float", 3, 2, 2, [](int f, int r, int c) { return float(100 * f + 10 * r + c); });
    Img P(padme1(in.get(), 2, 3, 1));  // frame 1, edges replicated
    ASSERT_TRUE(P && P->vekndim == 2 && P->vekdims[0].dimlen == 9 && P->vekdims[1].dimlen == 6);
    for (int i = 0; i < 54; ++i)
        EXPECT_EQ(px(P)[i], 100.0f + 10 * std::clamp(i / 9 - 2, 0, 1) + std::clamp(i % 9 - 3, 0, 2)) << "padded " << i;
}

TEST(Features, FormulasAndMarkedMaxima) {
    // Two frames of smooth waves and noise: every feature works frame by frame.
    const Floats n = noise(33 * 25 * 2, 3, 0, 20);
    Img in = filled("float", 33, 25, 2, [&](int f, int r, int c) {
        return 100.0f * std::sin(0.23f * c + f) * std::cos(0.11f * r) + n[(f * 25 + r) * 33 + c];
    });
    const float s = 1.5f;
    const Floats X = deriv(in, 1, 0, s), Y = deriv(in, 1, 1, s), XX = deriv(in, 2, 0, s), YY = deriv(in, 2, 1, s);
    const Floats XY = deriv(in, 2, 2, s);
    auto harris = [&](int i) {  // 3 x 3 sums in double at interior pixels; the border keeps 5
        if (i / 33 % 25 % 24 == 0 || i % 33 % 32 == 0) return 5.0f;
        double xx = 0, yy = 0, xy = 0;
        for (int k : {-34, -33, -32, -1, 0, 1, 32, 33, 34})
            xx += double(X[i + k]) * X[i + k], yy += double(Y[i + k]) * Y[i + k], xy += double(X[i + k]) * Y[i + k];
        xx /= 9, yy /= 9, xy /= 9;
        return float((xx * yy - xy * xy) - 0.07 * (xx + yy) * (xx + yy));
    };
    const std::tuple<const char *, int (*)(ZVEKHDR *, ZVEKHDR *, float), float, std::function<float(int)>> rows[] = {
        {"curvature", flcurv, s,
         [&](int i) {
             const float x2 = X[i] * X[i], y2 = Y[i] * Y[i], den = x2 + y2;
             const float num = (XX[i] * y2 + -2.0f * ((XY[i] * Y[i]) * X[i])) + YY[i] * x2;
             return num / (den * float(std::sqrt(double(den))) + 0.01f);
         }},
        {"gradient magnitude", flgmag, s, [&](int i) { return float(std::sqrt(double(X[i] * X[i] + Y[i] * Y[i]))); }},
        {"gradient direction", flgdir, s, [&](int i) { return float(std::atan2(double(Y[i]), double(X[i]))); }},
        {"Laplacian", flLaplace, s, [&](int i) { return XX[i] + YY[i]; }},
        {"squares at -sigma", flLaplace, -s, [&](int i) { return XX[i] * XX[i] + YY[i] * YY[i]; }},
        {"quadratic variation", flqvar, s,
         [&](int i) { return (XX[i] * XX[i] + YY[i] * YY[i] + XY[i] * XY[i]) * (s * s); }},
        {"Harris", flHarris, s, harris},
    };
    const Floats before = snap(in);
    for (const auto &[name, fn, sigma, want] : rows) {
        Img out = valued(33, 25, 5, 2);
        Floats w;
        for (int i = 0; i < 33 * 25 * 2; ++i) w.push_back(want(i));
        EXPECT_TRUE(fn(in.get(), out.get(), sigma) == 0 && firstDiff(snap(out), w) == -1) << name;
        EXPECT_EQ(firstDiff(snap(in), before), -1) << name;
    }
    // A ramp 0..7 along the columns (scaled to bytes it stays so) with one bright
    // pixel, the one strict maximum, and a plateau of two, which marks neither;
    // a constant image. Borders keep -1.
    auto pixel = [](int, int r, int c) { return (r == 2 && c == 2) || (r == 4 && c / 2 == 2) ? 255 : c; };
    Img ramp = filled("float", 8, 7, 0, pixel);
    Img flat = valued(8, 7, 4), out = valued(8, 7, -1, 3), out2 = valued(8, 7, -1, 3);
    EXPECT_EQ(said([&] { EXPECT_EQ(flmarkmax(ramp.get(), out.get(), 0.0f), 0); }), "starting..\n");
    EXPECT_EQ(said([&] { EXPECT_EQ(flmarkmax(flat.get(), out2.get(), 0.0f), 0); }),
              "Cannot vidscale, all pixels are the same brightness\nstarting..\n");
    for (int i = 0; i < 168; ++i) {
        const int f = i / 56, r = i / 8 % 7, c = i % 8, inner = r % 6 && c % 7;
        EXPECT_EQ(px(out)[i], !inner ? -1 : r == 2 && c == 2 ? !f * 255 : at(ramp, 0, r, c)) << i;
        EXPECT_EQ(px(out2)[i], inner ? 0 : -1) << i;
    }
    // Colour: one range for the whole image (0..100, 2.55 per unit); every
    // frame's maxima are marked, the last frame's pass decides. A sigma blurs first.
    Img colour = filled("float", 7, 6, 3, [](int f, int r, int c) {
        return (f == 0 && r == 2 && c == 2) || (f == 2 && r == 3 && c == 4) ? 100.0f : float(10 * f + r + c);
    });
    Img o3 = make("float", 7, 6, 3), grain = noisy(40, 36, 0, 3), a = valued(40, 36, 0, 3), b = valued(40, 36, 0, 3);
    Img blurred = floats(40, 36, deriv(grain, 0, 0, 1.5f));
    EXPECT_EQ(said([&] { EXPECT_EQ(flmarkmax(colour.get(), o3.get(), 0.0f), 0); }), "");
    EXPECT_EQ(Floats({at(o3, 0, 3, 4), at(o3, 1, 3, 4), at(o3, 2, 3, 4)}), Floats({255, 0, 0}));
    EXPECT_EQ(Floats({at(o3, 0, 2, 2), at(o3, 1, 2, 2), at(o3, 2, 2, 2)}), Floats({255, 35, 61}));
    said([&] { EXPECT_TRUE(flmarkmax(grain.get(), a.get(), 1.5f) == 0 && flmarkmax(blurred.get(), b.get(), 0) == 0); });
    EXPECT_EQ(firstDiff(snap(a), snap(b)), -1);
}

TEST(Correlate, AgainstThePlainLoop) {
    // name, image and template size, frames, output: 'f' float, 'd' double, 'A' the image
    const std::tuple<const char *, int, int, int, int, int, int (*)(ZVEKHDR *, ZVEKHDR *, ZVEKHDR *), char> rows[] = {
        {"odd template", 10, 10, 5, 5, 0, flcorrelate, 'f'},
        {"wide image, one frame", 150, 40, 8, 6, 0, corr1frame, 'f'},
        {"wide image, odd template", 150, 40, 7, 9, 0, flcorrelate, 'f'},
        {"double output", 20, 20, 4, 4, 0, flcorrelate, 'd'},
        {"into the image", 40, 30, 6, 6, 0, flcorrelate, 'A'},
        {"colour", 37, 21, 6, 4, 3, flcorrelate, 'f'},
        {"colour into the image", 40, 30, 6, 6, 3, flcorrelate, 'A'},
        {"NaNs", 75, 20, 4, 5, 0, flcorrelate, 'f'}, {"colour, NaNs", 37, 21, 6, 4, 3, flcorrelate, 'f'},
    };
    unsigned seed = 1;
    for (int path = 0; path < 3; ++path)
        for (const auto &[name, Nc, Nr, n, m, frames, fn, outIs] : rows) {
            zvek::limitVectorLevel(path);
            Img A = noisy(Nc, Nr, frames, seed++, std::strstr(name, "NaN") ? 9 : 0), T = noisy(n, m, frames, seed++);
            Img out = outIs == 'd' ? make("double", Nc, Nr) : valued(Nc, Nr, -999, frames);
            // Window 2hm x 2hn from (-hm, -hn), local means / (N = m n), template mean and
            // spread over all of it; gray S / (N m) / sdT, colour S / (frame's sum of squares).
            const int hm = m / 2, hn = n / 2;
            const float N = float(m * n);
            Floats want =
                outIs == 'A' ? snap(A) : Floats(size_t(Nc) * Nr * std::max(frames, 1), outIs == 'd' ? 0 : -999);
            for (int k = 0; k < framesOf(A); ++k) {
                float sum = 0, ss = 0, SA = 0;
                std::vector<float> mean(size_t(Nr) * Nc);
                for (int i = 0; i < m * n; ++i) sum = add(sum, at(T, k, i / n, i % n));
                const float meanT = sum / N;
                for (int i = 0; i < m * n; ++i)
                    ss = add(ss, (px(T)[k * m * n + i] - meanT) * (px(T)[k * m * n + i] - meanT));
                for (int pass = 0; pass < 2; ++pass)
                    for (int r = hm; r < Nr - hm; ++r)
                        for (int c = hn; c < Nc - hn; ++c) {
                            float w = 0, S = 0;
                            for (int i = -hm; i < hm; ++i)
                                for (int j = -hn; j < hn; ++j)
                                    w = add(w, at(A, k, r + i, c + j)), S = add(S, mul(at(A, k, r + i, c + j) -
                                        mean[r * Nc + c], at(T, k, i + hm, j + hn) - meanT));
                            const float d = at(A, k, r, c) - w / N, sdT = float(std::sqrt(double(ss / N)));
                            if (pass == 0) mean[r * Nc + c] = w / N, SA = add(SA, d * d);
                            if (pass == 1)
                                want[(size_t(k) * Nr + r) * Nc + c] = frames ? S / SA : S / (N * float(m)) / sdT;
                        }
            }
            ASSERT_EQ(fn(A.get(), T.get(), (outIs == 'A' ? A : out).get()), 0) << name << ", path " << path;
            EXPECT_EQ(firstDiff(values(outIs == 'A' ? A : out), want), -1) << name << ", path " << path;
        }
    zvek::limitVectorLevel(2);
}
