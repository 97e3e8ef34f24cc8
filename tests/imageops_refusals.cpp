// What every operation refuses: its result code, every line it prints, and
// outputs left as they were.
#include "imageops_fixture.h"

#include <array>

using namespace opsfix;

namespace {
// A call of fn with these arguments, its result as an int.
template <typename Fn, typename... Args>
std::function<int()> call(Fn fn, Args... args) { return [=] { return fn(args...); }; }
}  // namespace

TEST(Operations, RefuseWithTheirCodesAndMessages) {
    std::vector<Img> pool;
    auto keep = [&](Img i) { return pool.push_back(std::move(i)), pool.back().get(); };
    ZVEKHDR *F = keep(make("float", 30, 20)), *R = keep(noisy(30, 20, 0, 1)), *U = keep(make("u8bit", 30, 20));
    ZVEKHDR *C = keep(make("complex", 30, 20)), *F2 = keep(make("float", 30, 20, 2)), *F3 = keep(noisy(30, 20, 3, 2));
    ZVEKHDR *U3 = keep(make("u8bit", 30, 20, 3)), *N3 = keep(make("float", 29, 20, 3));
    ZVEKHDR *RGB = keep(make("Su8bit3", 30, 20)), *HU = keep(make("u8bit", 3, 2, 9)), *H8 = keep(valued(3, 2, 0, 8));
    ZVEKHDR *T = keep(noisy(4, 4, 0, 3)), *T3 = keep(noisy(4, 4, 3, 4)), *T2 = keep(make("float", 4, 4, 2));
    ZVEKHDR *flat = keep(valued(4, 4, 3)), *big = keep(make("float", 31, 20)), *D3 = keep(make("double", 30, 20, 3));
    ZVEKHDR *plane1 = keep(filled("float", 30, 20, 3, [](int k, int y, int x) { return k == 1 ? 7.0f : y * x; }));
    ZVEKHDR *ramp = keep(floats(3, 3, {-10, -9, -8, -7, -6, -5, -4, -3, -2})), *thin = keep(valued(5, 2, 1));
    ZVEKHDR *tall = keep(make("float", 7, 100)), *column = keep(make("float", 1, 17000)), *sq = keep(valued(3, 3, 100));
    ZVEKHDR *grid = keep(filled("float", 1416, 1416, 0, [](int, int y, int x) { return y % 2 && x % 2 ? 100.0f : 0; }));
    const int32_t d1[2] = {1, 30};
    ZVEKHDR *line = keep(Img(Zvekcreate("float", d1, 11, 0))), *line2 = keep(Img(Zvekcreate("float", d1, 11, 0)));
    const size_t watched = pool.size();  // outputs that must stay as they are: 5, the last two 0
    ZVEKHDR *O = keep(valued(30, 20, 5)), *O2 = keep(valued(30, 20, 5, 2)), *O3 = keep(valued(30, 20, 5, 3));
    ZVEKHDR *ramp3 = keep(valued(3, 3, 5)), *thin2 = keep(valued(5, 2, 5)), *gridOut = keep(valued(1416, 1416, 5));
    ZVEKHDR *sqOut = keep(valued(3, 3, 5)), *columnOut = keep(valued(1, 17000, 5)), *H = keep(valued(3, 2, 5, 9));
    ZVEKHDR *N = keep(make("float", 29, 20)), *low = keep(make("float", 30, 19));
    at(pool[4], 1, 0, 0) = -1;  // F2
    const Floats before = snap(pool[1]);
    ZVEKHDR *pO = O, *pO3 = O3, *pN = N, *pLow = low, *none = nullptr;
    int untouched = -1, set = -1;
    const char *noFile = "/nonexistent-dir/areas.txt";
    auto pcon = [](ZVEKHDR *e, ZVEKHDR *g, float sigma, float rate, float t1, float t2, float dlt) {
        return call(pconsub, e, g, sigma, rate, 4.0f, t1, t2, dlt);
    };
    auto ccl = [](ZVEKHDR *i, ZVEKHDR *o, int small, const char *file, int *n) {
        return call(cclC4_2, i, small, 0, n, file, o, 2.0f, 10.0f, 255.0f);
    };
    const std::string k21 = "flDoG:kernel is 21 x 21, but image is only 20 x 30. Exiting\n";
    const std::string s0 = "flDoG: sigma must be a non-zero number. Sorry.\n";
    const std::string xy = "flDoG: cannot compute first deriv wrt x and y. Exiting.\n";
    const std::string dogOut = "flDoG: output image must be at least as large as the input image. Sorry.\n";
    const std::string pad0 = "padme1: needs a float image, the frame to pad and padding of 0 or more\n";
    const std::string cTypes = "flcorrelate: image and template must be float\n";
    const std::string cOut = "flcorrelate: output image must be at least as large as the image\n";
    const std::string cFrames = "flcorrelate: color image and template need three frames\n";
    const std::string hMatch = "flHistogramEq: output image does not match the input image\n";
    const std::string hSmall = "Hist0.0:Cannot equalize histogram of an image (20 x 30 )smaller than the neighborhood(";
    const std::string pBad = "Pcon: annealing parameters would not let the schedule finish\n";
    const std::string lMatch = "cclC4_2: output image does not match the input image\n";
    auto pad = [](ZVEKHDR *h, int pr, int pc, int k) { return [=] { return padme1(h, pr, pc, k) ? 0 : -1; }; };
    std::vector<Call> rows = {
        {"abs byte input", call(flabsolute, U, O), -1}, {"abs sizes", call(flabsolute, F, N), -2},
        {"ln byte input", call(flln, U, O), -1}, {"ln complex output", call(flln, F, C), -1},
        {"ln sizes", call(flln, F, N), -2}, {"a 2-D first agrees with a 3-D second", call(fladds, R, F2, 1.0f), 0},
        {"a 3-D first against a 2-D second", call(fladds, F2, O, 1.0f), -2},
        {"addv sizes before types", call(fladdv, F, N, C), -2}, {"addv types", call(fladdv, F, C, O), -1},
        {"multv types before sizes", call(flmultv, F, N, C), -1}, {"divv sizes", call(fldivv, F, F, N), -2},
        {"atan2 types", call(flatan2, F, N, C), -1}, {"atan2 sizes", call(flatan2, F, F, N), -2},
        {"cp types", call(flcp, F, C), -1}, {"cp sizes", call(flcp, F, N), -2},
        {"same type, mixed", call(samefldtype3, C, F, C), 0}, {"same type of bytes", call(samefldtype2, U, U), 0},
        {"copy of bytes", [=] { return flcrcopy(U) ? 0 : -1; }, -1, "flcrcopy: input image must be float\n"},
        {"gray: no output", call(flcolor2gray, F3, &none), -1}, {"gray of gray", call(flcolor2gray, F, &pO), -2},
        {"gray of two frames", call(flcolor2gray, F2, &pO), -2}, {"gray into 3-D", call(flcolor2gray, F3, &pO3), -4},
        {"gray columns differ", call(flcolor2gray, F3, &pN), -5}, {"gray rows", call(flcolor2gray, F3, &pLow), -6},
        {"shifted gray with colour", call(fladdi, F, F3, O3, 0, 0), -2,
         "both input images must be either both grayscale or both color\n"},
        {"shifted two-frame colour", call(fladdi, F2, F3, O3, 0, 0), -3, "color images must have three frames\n"},
        {"shifted rows of another shift", call(flsubi, F, F, O, 2, 0), -1},
        {"shifted columns of another shift", call(flmuli, F, F, O, 0, 1), -1},
        {"shifted two-frame output", call(fldivi, F3, F3, O2, 0, 0), -1},
        {"shifted interleaved input", call(fladdi, RGB, F, O, 0, 0), -1},
        {"shifted interleaved output", call(fladdi, F, F, RGB, 0, 0), -1},
        {"shifted most negative rows", call(fladdi, F, F, O, INT32_MIN, 0), -1},
        {"shifted largest columns", call(fladdi, F, F, O, 0, INT32_MAX), -1},
        {"shifted 1-D: nothing to do", call(fladdi, line, line, line2, 0, 0), 0},
        {"DoG order 4 before the type", call(flDoG, U, O, 4, 0, 1.0f), -1,
         "flDoG: cannot take derivatives higher than third order. Sorry.\n"},
        {"DoG order 0 xy", call(flDoG, F, O, 0, 2, 1.0f), -2, xy},
        {"DoG order 1 xy before the type", call(flDoG, U, O, 1, 2, 1.0f), -2, xy},
        {"DoG order 3 xy", call(flDoG, F, O, 3, 2, 1.0f), -3, "flDoG: cannot compute third deriv wrt xy. Exiting.\n"},
        {"DoG 21 x 21 on 20 rows", call(flDoG, F, O, 1, 0, 3.0f), -5, k21},
        {"DoG huge sigma", call(flDoG, F, O, 0, 0, 1e30f), -5,
         "flDoG:kernel is 2147483647 x 2147483647, but image is only 20 x 30. Exiting\n"},
        {"DoG side above 4095", call(flDoG, column, columnOut, 0, 0, 1400.0f), -5,
         "flDoG:kernel is 8403 x 8403, but image is only 17000 x 1. Exiting\n"},
        {"DoG bytes", call(flDoG, U, O, 1, 0, 1.0f), -6, "flDoG: Data type of input image MUST be float. Exiting\n"},
        {"DoG narrower output", call(flDoG, F, N, 1, 0, 1.0f), -8, dogOut},
        {"DoG shorter output", call(flDoG, F, low, 1, 0, 1.0f), -8, dogOut},
        {"DoG fewer output frames", call(flDoG, F3, O2, 1, 0, 1.0f), -8, dogOut},
        {"DoG no output", call(flDoG, F, nullptr, 1, 0, 1.0f), -8, dogOut},
        {"pad frame beyond", pad(F3, 1, 1, 3), -1, pad0}, {"pad negative", pad(F, 1, -1, 0), -1, pad0},
        {"pad bytes", pad(U, 1, 1, 0), -1, pad0},
        {"pad too large", pad(F, 1 << 30, 1, 0), -1, "padme1: padded frame of 32 x 2147483668 is too large\n"},
        {"ifneg of a second frame", call(ifneg, F2), 1}, {"ifneg of bytes", call(ifneg, U), 0},
        {"ifneg of -0", [&] { return ifneg(valued(2, 2, -0.0f).get()); }, 0},
        {"markmax byte output", call(flmarkmax, F, U3, 0.0f), -1},
        {"markmax two-frame colour", call(flmarkmax, F2, O3, 0.0f), -2},
        {"markmax two-frame output", call(flmarkmax, F, O2, 0.0f), -2},
        {"maxgrad bytes", call(maxgrad, U3, F3, F, F), -1}, {"maxgrad two frames", call(maxgrad, F2, F3, F, F), -2},
        {"correlate byte image", call(flcorrelate, U, T, O), -2, cTypes},
        {"correlate byte template", call(flcorrelate, R, U, O), -2, cTypes},
        {"correlate constant template", call(flcorrelate, R, flat, O), -3,
         "flcorrelate: template does not vary, cannot normalise\n"},
        {"correlate narrower output", call(flcorrelate, R, T, N), -5, cOut},
        {"correlate interleaved output", call(flcorrelate, R, T, RGB), -5, cOut},
        {"correlate template larger", call(flcorrelate, R, big, O), 0},
        {"correlate 1-D image", call(flcorrelate, line, T, O), 0},
        {"correlate two-frame image", call(flcorrelate, F2, T3, O3), -4, cFrames},
        {"correlate two-frame template", call(flcorrelate, F3, T2, O3), -4, cFrames},
        {"correlate gray template", call(flcorrelate, F3, T, O3), -4, cFrames},
        {"correlate double colour output", call(flcorrelate, F3, T3, D3), -5, cOut},
        {"correlate two-frame output", call(flcorrelate, F3, T3, O2), -5, cOut},
        {"correlate constant frame", call(flcorrelate, plane1, T3, O3), -3,
         "flcorrelate: image frame 1 does not vary, cannot normalise\n"},
        {"equalise constant", call(flHistogramEq, O, O, 0), -2,
         "maximum = minimum. Somethings is wrong with this image\n"},
        {"equalise N over the rows", call(flHistogramEq, R, O, 20), -1, hSmall + "20)\n"},
        {"equalise no room for 2N + 1", call(flHistogramEq, R, O, 10), -1, hSmall + "10)\n"},
        {"equalise window result below 0", call(flHistogramEq, ramp, ramp3, 1), -3,
         "row 0 col 0\nrow 0 col 1\nrow 0 col 2\nrow 2 col 0\nrow 2 col 1\nrow 2 col 2\nrow 0 col 0\nrow 1 col 0\n"
         "row 2 col 0\nrow 0 col 2\nrow 1 col 2\nrow 2 col 2\n!! -9.996094  0  0 \n"},
        {"equalise output too small", call(flHistogramEq, R, N, 0), -4, hMatch},
        {"equalise three frames into one", call(flHistogramEq, F3, O, 0), -4, hMatch},
        {"equalise windows of bytes", call(flHistogramEq, U, U, 1), -4,
         "flHistogramEq: neighborhood equalization needs float images\n"},
        {"equalise no image", call(flHistogramEq, nullptr, O, 0), -4, "flHistogramEq: input is not a usable image\n"},
        {"restore byte estimate", pcon(U, R, 2, .03f, 1, .005f, .99f), -12,
         "Pcon: this program will only work with Zvek float images, please convert your input image to float\n"},
        {"restore sizes differ", pcon(R, N, 2, .03f, 1, .005f, .99f), -13, "bug1"},
        {"restore two rows", pcon(thin, thin2, 2, .03f, 1, .005f, .99f), -15,
         "Pcon: image must have at least 3 rows and 3 columns\n"},
        {"restore NaN rate", pcon(O, R, 2, kNaN, 1, .005f, .99f), -14, pBad},
        {"label two frames", ccl(F2, O, 0, "", &untouched), -4, "cclC4_2: a color image must have three frames\n"},
        {"label into other rows", ccl(R, low, 0, "", &untouched), -2, lMatch},
        {"label into complex", ccl(R, C, 0, "", &untouched), -2, lMatch},
        {"label no image", ccl(nullptr, O, 0, "", &untouched), -2, "cclC4_2: input is not a usable image\n"},
        {"label one too many", ccl(grid, gridOut, 1, "", &untouched), 1, "need more labels than we have\n"},
        {"label areas file", ccl(sq, sqOut, 1, noFile, &set), -3,
         std::string("file name ") + noFile + " is invalid for areas file\n"},
        {"label areas file a device", ccl(sq, sqOut, 1, "/dev/full", &set), -3,
         "cclC4_2: /dev/full is not a regular file\n"},
        {"HoG of two frames: untouched", call(HoGdescriptor, F2, H), 0},
        {"HoG without a whole cell", call(HoGdescriptor, tall, nullptr), 0},
        {"HoG byte descriptor", call(HoGdescriptor, F, HU), -1}, {"HoG eight sectors", call(HoGdescriptor, F, H8), -2},
        {"HoG gray as colour", call(HoGdescriptorCLR, F, H), -2},
        {"HoG picture of eight sectors", call(ShowHoG, H8, O), -2, "ShowHoG: a HoG must have 9 frames\n"},
    };
    // Every other derivative code, never an alias of a valid one; a sigma that
    // is 0, not finite or of square 0.
    for (const auto &od : {std::array{1, 3}, {3, 3}, {0, 4}, {-1, 1}, {-4, 2}, {0, -1}, {2, -1}, {0, 1000}})
        rows.push_back({"DoG code " + std::to_string(od[0]) + "," + std::to_string(od[1]),
                        call(flDoG, F, O, od[0], od[1], 1.0f), -4, "Something wrong with arguments to function flDoG. "
                                                                    "Exiting.\n"});
    for (float s : {0.0f, -0.0f, kNaN, kInf, 1e-30f, -1e-23f})
        rows.push_back({"DoG sigma " + std::to_string(s), call(flDoG, R, O, 0, 0, s), -7, s0});
    // The features return the filter's failure.
    using Feature = int (*)(ZVEKHDR *, ZVEKHDR *, float);
    const std::tuple<const char *, Feature, ZVEKHDR *, ZVEKHDR *, std::string> features[] = {
        {"curv", flcurv, O, N, ""},       {"gmag", flgmag, O, N, ""},     {"gdir", flgdir, O, N, ""},
        {"Laplace", flLaplace, O, N, ""}, {"Harris", flHarris, O, N, ""}, {"markmax", flmarkmax, O3, N3, ""},
        {"qvar", flqvar, O, N, "non zero value returned from flDoG2,0\n"}};
    for (const auto &[name, fn, out, other, after] : features) {
        const std::string n = name;
        rows.push_back({n + " byte input", call(fn, U, out, 1.0f), -1});
        rows.push_back({n + " no input", call(fn, nullptr, out, 1.0f), -1});
        rows.push_back({n + " sizes", call(fn, F, other, 1.0f), -2});
        rows.push_back({n + " filter fails (-5)", call(fn, R, out, 3.0f), -5, k21 + after});
        rows.push_back({n + " filter fails (-7)", call(fn, R, out, kNaN), -7, s0 + after});
    }
    rows.push_back({"curv byte output", call(flcurv, F, U, 1.0f), -1});
    const float schedules[][4] = {{2, 1, 0, .99f}, {2, 1, -1, .99f}, {0, 1, .005f, .99f},    {2, 1, .005f, 1},
                                  {2, 1, .005f, 2}, {kNaN, 1, .005f, .99f}, {2, kInf, .005f, .99f}};
    for (const auto &s : schedules)
        rows.push_back({"restore sigma, t1, t2, cooling " + std::to_string(s[0]) + " " + std::to_string(s[1]) + " " +
                            std::to_string(s[2]) + " " + std::to_string(s[3]),
                        pcon(O, R, s[0], .03f, s[1], s[2], s[3]), -14, pBad});
    expectCalls(rows);
    EXPECT_TRUE(untouched == -1 && set == 1) << "label counts " << untouched << ", " << set;  // set before the file
    EXPECT_TRUE(pO == O && pO3 == O3 && pN == N && pLow == low && snap(pool[1]) == before);
    for (size_t k = watched; k < pool.size(); ++k)
        EXPECT_EQ(firstDiff(snap(pool[k]), Floats(snap(pool[k]).size(), k < pool.size() - 2 ? 5 : 0)), -1) << k;
}
