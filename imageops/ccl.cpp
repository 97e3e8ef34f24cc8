// Connected-component labelling with an equivalence table, region areas and
// the erasing of small and large regions.
#include "imageops.h"
#include "opsframes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <vector>

[[maybe_unused]] static const char *const cclVersion = "cclC4_2 V 2.2\t06 Dec 2026";

namespace {

using ops::Shape;

constexpr int kCamSize = 500000;          // capacity of the equivalence table
constexpr int kMaxLabels = kCamSize - 1;  // every label indexes the table
constexpr int kBadColour = -4;            // a three-dimensional input with fewer than three frames
constexpr int kNoMemory = -5;             // the work images could not be allocated

// The labelling state. The equivalence table keeps for every label a parent
// whose chain ends at the class's root, the smallest label of the class;
// lookups shorten the chains they walk. A lookup thus answers exactly what a
// flat table holding every class's root would, without rewriting the table on
// every merge.
struct CCLSTATE {
    int numlabels = 0;
    float minval = 0.0f;
    float maxval = 0.0f;
    float thresh = 0.0f;
    int nextlabel = 1;
    int ncols = 0;
    int nrows = 0;
    int camsize = kCamSize;
    std::vector<int32_t> cam;  // parents; cam[l] == l for a root

    int32_t root(int32_t l) {
        while (cam[l] != l) {
            cam[l] = cam[cam[l]];
            l = cam[l];
        }
        return l;
    }

    // Joins the classes of a and b under the smaller root.
    void mergelabels2(int32_t a, int32_t b) {
        const int32_t ra = root(a), rb = root(b);
        if (ra < rb)
            cam[rb] = ra;
        else if (rb < ra)
            cam[ra] = rb;
    }

    void mergelabels3(int32_t a, int32_t b, int32_t d) {
        const int32_t ra = root(a), rb = root(b), rd = root(d);
        const int32_t m = std::min(ra, std::min(rb, rd));
        cam[ra] = m;
        cam[rb] = m;
        cam[rd] = m;
    }
};

// The gray work image: a copy of a 2-D input, or the colour magnitude
// sqrt(R^2 + G^2 + B^2) / 3 of frames 0, 1 and 2, squares and sums in single
// precision, the root and the division in double.
std::vector<float> workImage(ZVEKHDR *in, const Shape &s, bool colour) {
    const int64_t n = s.plane();
    std::vector<float> w(static_cast<size_t>(n));
    if (!colour) {
        ops::forEachSample(in, 0, 0, n, [&](int64_t i, float v) { w[i] = v; });
        return w;
    }
    ops::forEachSample(in, 0, 0, n, [&](int64_t i, float v) { w[i] = v * v; });
    ops::forEachSample(in, 1, 0, n, [&](int64_t i, float v) { w[i] = w[i] + v * v; });
    ops::forEachSample(in, 2, 0, n, [&](int64_t i, float v) {
        const float sum = w[i] + v * v;
        w[i] = static_cast<float>(std::sqrt(static_cast<double>(sum)) / 3.0);
    });
    return w;
}

}  // namespace

static int labelRegions(ZVEKHDR *in, int eraseSmall, int eraseLarge, int *numLabels, const char *areasFile,
                        ZVEKHDR *out, float thresh, float minval, float maxval) {
    if (!ops::usableImage(in) || ops::ndimOf(in) < 2) {
        std::printf("cclC4_2: input is not a usable image\n");
        return -2;
    }
    const Shape s = ops::shapeOf(in);
    const bool colour = ops::ndimOf(in) == 3;
    if (colour && s.frames < 3) {
        std::printf("cclC4_2: a color image must have three frames\n");
        return kBadColour;
    }
    const Shape so = ops::shapeOf(out);
    if (!ops::usableImage(out) || zvek::typeLayout(out->dtype).complex || so.cols != s.cols || so.rows != s.rows) {
        std::printf("cclC4_2: output image does not match the input image\n");
        return -2;
    }

    CCLSTATE st;
    st.minval = minval;
    st.maxval = maxval;
    st.thresh = thresh;
    st.ncols = s.cols;
    st.nrows = s.rows;
    st.cam.reserve(1024);
    st.cam.push_back(0);  // label 0: the background

    const int nc = s.cols, nr = s.rows;
    const std::vector<float> W = workImage(in, s, colour);
    std::vector<int32_t> L(W.size(), -1);
    L[0] = 0;

    // The joining test of the pixel (value v, inside the band) against a
    // neighbour of value u and label lab: u not below minval, the two within
    // thresh, and the neighbour scanned (label not -1). Written without
    // branches (a NaN passes both value tests, as the comparisons say);
    // neighbours in row 0 or column 0 are masked off by the caller.
    auto similar = [&](float v, float u, int32_t lab) {
        return static_cast<int>(!(u < st.minval)) & static_cast<int>(!(std::fabs(v - u) > st.thresh)) &
               static_cast<int>(lab != -1);
    };

    for (int r = 1; r < nr; ++r) {
        const float *w = W.data() + static_cast<int64_t>(r) * nc;
        const float *wu = w - nc;
        int32_t *l = L.data() + static_cast<int64_t>(r) * nc;
        const int32_t *lu = l - nc;
        const int upRow = r > 1 ? 1 : 0;  // row 0 never joins
        for (int c = 1; c < nc; ++c) {
            const float v = w[c];
            if (v < st.minval || v > st.maxval) {
                l[c] = 0;
                continue;
            }
            const int leftCol = c > 1 ? 1 : 0;  // column 0 never joins
            const int up = upRow & similar(v, wu[c], lu[c]);
            const int left = leftCol & similar(v, w[c - 1], l[c - 1]);
            const int diag = upRow & leftCol & similar(v, wu[c - 1], lu[c - 1]);
            const int code = up + 2 * left + 4 * diag;
            int32_t from;  // the neighbour whose root the pixel takes
            switch (code) {
            case 0:
                if (st.numlabels >= kMaxLabels) {
                    std::printf("need more labels than we have\n");
                    return 1;
                }
                l[c] = st.nextlabel;
                st.cam.push_back(st.nextlabel);
                ++st.nextlabel;
                ++st.numlabels;
                continue;
            case 1: from = lu[c]; break;
            case 2: from = l[c - 1]; break;
            case 3:
                st.mergelabels2(l[c - 1], lu[c]);
                from = l[c - 1];
                break;
            case 4: from = lu[c - 1]; break;
            case 5:
                st.mergelabels2(lu[c - 1], lu[c]);
                from = lu[c - 1];
                break;
            case 6:
                st.mergelabels2(lu[c - 1], l[c - 1]);
                from = lu[c - 1];
                break;
            default:
                st.mergelabels3(lu[c], l[c - 1], lu[c - 1]);
                from = lu[c];
                break;
            }
            if (from < 0 || from >= st.camsize) return -1;
            l[c] = st.root(from);
        }
    }

    if (numLabels != nullptr) *numLabels = st.numlabels;

    if (eraseSmall != 0 || eraseLarge != 0) {
        // The final root of every label, then the area of every class at its root.
        std::vector<int32_t> rootOf(static_cast<size_t>(st.numlabels) + 1);
        for (int32_t i = 0; i <= st.numlabels; ++i) rootOf[i] = st.root(i);
        std::vector<int32_t> area(static_cast<size_t>(st.numlabels) + 1, 0);
        for (int r = 1; r < nr; ++r) {
            const int32_t *l = L.data() + static_cast<int64_t>(r) * nc;
            for (int c = 1; c < nc; ++c) {
                const int32_t lab = l[c];
                if (lab < -1 || lab > st.numlabels) {
                    std::printf("invalid label %d at %d %d\n", lab, r, c);
                    std::fflush(stdout);
                } else if (lab > 0) {
                    ++area[rootOf[lab]];
                }
            }
        }
        if (areasFile != nullptr && areasFile[0] != '\0') {
            // A FIFO, device or directory under the typed name is refused
            // at once instead of waiting for a reader; the areas take the
            // old file's place only once all of them are written.
            zvek::FileReplacement out(areasFile);
            if (out.notRegular()) {
                std::printf("cclC4_2: %s is not a regular file\n", areasFile);
                return -3;
            }
            FILE *f = out.stream();
            if (f != nullptr)
                for (int32_t i = 0; i <= st.numlabels; ++i) std::fprintf(f, "%d %d\n", i, area[i]);
            if (f == nullptr || std::ferror(f) || !out.commit()) {
                std::printf("file name %s is invalid for areas file\n", areasFile);
                return -3;
            }
        }
        // Erases every scanned pixel whose class area the test picks.
        auto erase = [&](auto picks) {
            for (int r = 1; r < nr; ++r) {
                int32_t *l = L.data() + static_cast<int64_t>(r) * nc;
                for (int c = 1; c < nc; ++c) {
                    const int32_t lab = l[c];
                    if (lab >= 0 && lab <= st.numlabels && picks(area[rootOf[lab]])) l[c] = 0;
                }
            }
        };
        if (eraseSmall != 0) {
            std::printf("calling erasesmalregions %d\n", eraseSmall);
            std::fflush(stdout);
            erase([eraseSmall](int32_t a) { return a < eraseSmall; });
            std::printf("return from  erasesmalregions\n");
            std::fflush(stdout);
        }
        if (eraseLarge != 0) erase([eraseLarge](int32_t a) { return a > eraseLarge; });
    }

    // The labels go into frame 0 of out as the type conversion stores a
    // 32-bit integer image: through a single-precision value, then by the
    // pixel writer's rule of out's type.
    ops::storeEachSample(out, 0, 0, s.plane(),
                         [&](int64_t i) { return static_cast<double>(static_cast<float>(L[i])); });
    return 0;
}

int cclC4_2(ZVEKHDR *in, int eraseSmall, int eraseLarge, int *numLabels, const char *areasFile, ZVEKHDR *out,
            float thresh, float minval, float maxval) {
    try {
        return labelRegions(in, eraseSmall, eraseLarge, numLabels, areasFile, out, thresh, minval, maxval);
    } catch (const std::bad_alloc &) {
        std::printf("cclC4_2: can't allocate storage\n");
        return kNoMemory;
    }
}
