// Redraw rows on every instruction set against the display value formed step by step, on samples
// whose quotient lands on or beside a whole number, past both ends, and not finite.
#include <cmath>
#include <gtest/gtest.h>
#include <vector>
#include "viewkernels.h"
#include "paths_note.h"
#include "zvekint.h"

struct RedrawRow { int level, window, d; };
static int displayed(float w, int d, const RedrawRow &r) {
    const float lo = r.level, hi0 = r.level + r.window, hi = hi0 - lo == 0.0f ? static_cast<float>(hi0 + 0.0001) : hi0;
    double v = static_cast<double>(w) + d;
    v = ((v > 0.0 ? (v > 255.0 ? 255.0 : v) : 0.0) - lo) * 255.0 / static_cast<double>(hi - lo);
    return static_cast<int>(v > 0.0 ? (v > 255.0 ? 255.0 : v) : 0.0);
}

TEST(ViewRedrawPaths, EveryInstructionSetGivesTheBytesOfTheFormula) {
    const RedrawRow rows[] = {
        {0, 128, 0}, {0, 255, 0}, {0, 255, 10}, {0, 255, -5}, {0, 85, 3}, {0, 1, 0}, {17, 3, 0}, {100, 0, 0},
        {37, 200, 40}, {0, 7, 0}, {5, 37, 9}, {0, 254, 1}, {254, 255, -20}, {200, 51, 300}, {0, 255, 5000},
        {4000, 7, 4000}, {3, -5, 0}, {-20, 100, 0}};
    for (const RedrawRow &r : rows) {
        std::vector<float> w = {NAN, -NAN, INFINITY, -INFINITY, -0.0f, 1e-45f, 1e-30f, 1e-14f, -1e-14f, 3e9f, -8193.0f, 7.7f};
        for (int k = -2; k <= 257; ++k) {  // whole numbers; values of quotient k, and the floats beside
            float a = r.level + k * (r.window / 255.0) - r.d, b = a;
            w.insert(w.end(), {float(k), a});
            for (int u = 0; u < 3; ++u) w.insert(w.end(), {a = std::nextafter(a, -1e9f), b = std::nextafter(b, 1e9f)});
        }
        const int n = w.size();
        const auto c = zvekview::contrastBounds(r.level, r.window);
        for (int set = 0, best = zvek::limitVectorLevel(2); set <= best; ++set) {
            zvek::limitVectorLevel(set);
            std::vector<QRgb> rgb(n + 1, 7u);
            zvekview::adjustedRowRGB(w.data(), w.data(), w.data(), n, r.d, r.d + 1, -r.d, c, rgb.data());
            for (int i = 0, wrong = 0; i < n && wrong < 5; ++i) {
                const QRgb want = qRgb(displayed(w[i], r.d, r), displayed(w[i], r.d + 1, r), displayed(w[i], -r.d, r));
                if (rgb[i] != want)
                    ADD_FAILURE() << "set " << set << " level " << r.level << " window " << r.window << " offset "
                                  << r.d << " value " << w[i] << ": " << std::hex << rgb[i] << "/" << want << ++wrong;
            }
            EXPECT_EQ(rgb[n], 7u) << "wrote past the row, set " << set;
        }
    }
    zvek::limitVectorLevel(2);
    notePaths();
}
