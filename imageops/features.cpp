// Features built on the derivative-of-Gaussian filter: isophote curvature,
// gradient magnitude and direction, Laplacian, quadratic variation, the
// Harris corner response and the marking of local maxima.
//
// The arithmetic between the derivative images goes through the
// element-wise operations in a fixed order: it decides the float rounding.
#include "imageops.h"
#include "opsint.h"
#include "zvekint.h"

#include <cstdio>
#include <cstring>

const char *flfeatures_version = "flfeatures V 1.2    06 Dec 2026";

using ops::ImagePtr;

namespace {

// The checks every feature starts with: both float (-1), both with pixels
// (kNoPixels, with its line), sizes agree (-2).
int checkFeature(ZVEKHDR *in, ZVEKHDR *out, const char *name) {
    if (!ops::isFloat(in) || !ops::isFloat(out)) return -1;
    if (!ops::hasPixels(in) || !ops::hasPixels(out)) return ops::refuseNoPixels(name);
    if (!ops::sizesAgree(in, out)) return -2;
    return 0;
}

// A float temporary of like's shape.
ImagePtr temp(ZVEKHDR *like) { return ops::makeLike("float", like); }

// One frame of a float image seen as a 2-D image of columns x rows; the
// data stay the image's own and are not released with the view.
class FrameView {
public:
    FrameView(ZVEKHDR *img, int frame) {
        const ops::Shape s = ops::shapeOf(img);
        const int32_t dims[3] = {2, s.cols, s.rows};
        h_ = Zvekcreate("float", dims, 0, 0);
        if (h_ != nullptr) h_->vekptr = ops::floatData(img) + int64_t(frame) * s.plane();
    }
    ~FrameView() {
        if (h_ != nullptr) {
            h_->vekptr = nullptr;
            Zvekfree(h_, 7);
        }
    }
    FrameView(const FrameView &) = delete;
    FrameView &operator=(const FrameView &) = delete;
    ZVEKHDR *get() const { return h_; }

private:
    ZVEKHDR *h_ = nullptr;
};

// Kernel orders and directions of the derivatives.
struct Deriv { int order, dir; };
constexpr Deriv kLx{1, 0}, kLy{1, 1}, kLxx{2, 0}, kLyy{2, 1}, kLxy{2, 2};

int dog(ZVEKHDR *in, ZVEKHDR *out, Deriv d, float sigma) { return flDoG(in, out, d.order, d.dir, sigma); }

// Lx and Ly of the input, over all frames, into two new temporaries.
int firstDerivatives(ZVEKHDR *in, float sigma, ImagePtr &X, ImagePtr &Y) {
    X = temp(in);
    Y = temp(in);
    if (!X || !Y) return -1;
    if (int rc = dog(in, X.get(), kLx, sigma)) return rc;
    return dog(in, Y.get(), kLy, sigma);
}

// Curvature of one 2-D frame into the 2-D frame out. Six temporaries are
// reused for the intermediate products; each step is one element-wise
// operation, in place where its input is not needed again.
int curvFrame(ZVEKHDR *in, ZVEKHDR *out, float sigma) {
    ImagePtr Ly = temp(in), Lxx = temp(in), Ly2 = temp(in), Lx = temp(in), Lxy = temp(in), Lyy = temp(in);
    if (!Ly || !Lxx || !Ly2 || !Lx || !Lxy || !Lyy) return -1;
    // Ly and Lxx; Ly2 = Ly * Ly; Q1 = Lxx * Ly2 (in Lxx).
    if (int rc = dog(in, Ly.get(), kLy, sigma)) return rc;
    if (int rc = dog(in, Lxx.get(), kLxx, sigma)) return rc;
    flmultv(Ly.get(), Ly.get(), Ly2.get());
    flmultv(Lxx.get(), Ly2.get(), Lxx.get());
    // Lx and Lxy; Q2 = (Lxy * Ly) * Lx; Q3 = -2 * Q2 (in Lxy).
    if (int rc = dog(in, Lx.get(), kLx, sigma)) return rc;
    if (int rc = dog(in, Lxy.get(), kLxy, sigma)) return rc;
    flmultv(Lxy.get(), Ly.get(), Lxy.get());
    flmultv(Lxy.get(), Lx.get(), Lxy.get());
    flmults(Lxy.get(), Lxy.get(), -2.0f);
    // Lyy; Lx2 = Lx * Lx (in Lx); Q4 = Lyy * Lx2 (in Lyy).
    if (int rc = dog(in, Lyy.get(), kLyy, sigma)) return rc;
    flmultv(Lx.get(), Lx.get(), Lx.get());
    flmultv(Lyy.get(), Lx.get(), Lyy.get());
    // Q5 = Q1 + Q3; num = Q5 + Q4 (in Lxx); den = Lx2 + Ly2 (in Ly2).
    fladdv(Lxx.get(), Lxy.get(), Lxx.get());
    fladdv(Lxx.get(), Lyy.get(), Lxx.get());
    fladdv(Lx.get(), Ly2.get(), Ly2.get());
    ZVEKHDR *num = Lxx.get(), *den = Ly2.get();
    if (ifneg(den)) std::printf("temp is negative\n");
    // s = sqrt(den) into a zeroed temporary (a stopped square root leaves
    // the rest zero); t = den * s + 0.01; out = num / t.
    ZVEKHDR *sq = Ly.get(), *t = Lxy.get();
    std::memset(sq->vekptr, 0, size_t(ops::elementCount(sq)) * sizeof(float));
    flsqrt(den, sq);
    flmultv(den, sq, t);
    fladds(t, t, 0.01f);
    fldivv(num, t, out);
    return 0;
}

}  // namespace

int ifneg(ZVEKHDR *image) {
    if (!ops::isFloat(image)) return 0;
    const ops::Shape s = ops::shapeOf(image);
    const int64_t n = ops::ndimOf(image) == 2 ? s.plane() : s.count();
    const float *p = ops::floatData(image);
    for (int64_t i = 0; i < n; ++i)
        if (p[i] < 0.0f) return 1;
    return 0;
}

int flcurv(ZVEKHDR *in, ZVEKHDR *out, float sigma) {
    if (int rc = checkFeature(in, out, "flcurv")) return rc;
    const int frames = ops::shapeOf(in).frames;
    for (int f = 0; f < frames; ++f) {
        FrameView vin(in, f), vout(out, f);
        if (vin.get() == nullptr || vout.get() == nullptr) return -1;
        if (int rc = curvFrame(vin.get(), vout.get(), sigma)) return rc;
    }
    return 0;
}

int flgmag(ZVEKHDR *in, ZVEKHDR *out, float sigma) {
    if (int rc = checkFeature(in, out, "flgmag")) return rc;
    ImagePtr X, Y;
    if (int rc = firstDerivatives(in, sigma, X, Y)) return rc;
    flmultv(X.get(), X.get(), X.get());
    flmultv(Y.get(), Y.get(), Y.get());
    fladdv(X.get(), Y.get(), Y.get());
    flsqrt(Y.get(), out);
    return 0;
}

int flgdir(ZVEKHDR *in, ZVEKHDR *out, float sigma) {
    if (int rc = checkFeature(in, out, "flgdir")) return rc;
    ImagePtr X, Y;
    if (int rc = firstDerivatives(in, sigma, X, Y)) return rc;
    flatan2(Y.get(), X.get(), out);
    return 0;
}

int flLaplace(ZVEKHDR *in, ZVEKHDR *out, float sigma) {
    if (int rc = checkFeature(in, out, "flLaplace")) return rc;
    ImagePtr T = temp(in);
    if (!T) return -1;
    if (!(sigma >= 0.0f)) {
        // Sum of the squared second derivatives at -sigma.
        if (int rc = dog(in, T.get(), kLxx, -sigma)) return rc;
        flmultv(T.get(), T.get(), T.get());
        if (int rc = dog(in, out, kLyy, -sigma)) return rc;
        flmultv(out, out, out);
    } else {
        if (int rc = dog(in, T.get(), kLxx, sigma)) return rc;
        if (int rc = dog(in, out, kLyy, sigma)) return rc;
    }
    fladdv(T.get(), out, out);
    return 0;
}

int flqvar(ZVEKHDR *in, ZVEKHDR *out, float sigma) {
    if (int rc = checkFeature(in, out, "flqvar")) return rc;
    // Lyy goes straight into out, and Lxy is taken after it: an output that
    // is the input gets its derivatives from a copy.
    ImagePtr copy;
    if (out->vekptr == in->vekptr) {
        copy.reset(flcrcopy(in));
        if (!copy) return -1;
        in = copy.get();
    }
    ImagePtr T = temp(in);
    if (!T) return -1;
    int rc = dog(in, T.get(), kLxx, sigma);
    if (rc != 0) std::printf("non zero value returned from flDoG2,0\n");
    std::fflush(stdout);
    if (rc != 0) return rc;
    flmultv(T.get(), T.get(), T.get());

    rc = dog(in, out, kLyy, sigma);
    if (rc != 0) std::printf("non zero value returned from flDoG2,1\n");
    std::fflush(stdout);
    if (rc != 0) return rc;
    flmultv(out, out, out);
    fladdv(T.get(), out, out);

    rc = dog(in, T.get(), kLxy, sigma);
    if (rc != 0) std::printf("value %d returned from flDoG2,2\n", rc);
    std::fflush(stdout);
    if (rc != 0) return rc;
    flmultv(T.get(), T.get(), T.get());
    fladdv(out, T.get(), out);

    flmults(out, out, sigma * sigma);
    return 0;
}

int flHarris(ZVEKHDR *in, ZVEKHDR *out, float sigma) {
    if (int rc = checkFeature(in, out, "flHarris")) return rc;
    const ops::Shape s = ops::shapeOf(in);
    ImagePtr X, Y;
    if (int rc = firstDerivatives(in, sigma, X, Y)) return rc;
    const float *lx = ops::floatData(X.get());
    const float *ly = ops::floatData(Y.get());
    float *o = ops::floatData(out);
    // Sums over the 3 x 3 neighbourhood in double, neighbour rows outer and
    // columns inner, divided by the count of 9 samples.
    for (int f = 0; f < s.frames; ++f) {
        const int64_t base = int64_t(f) * s.plane();
        for (int r = 1; r < s.rows - 1; ++r) {
            const float *ra[3], *rb[3];
            for (int i = 0; i < 3; ++i) {
                ra[i] = lx + base + int64_t(r - 1 + i) * s.cols;
                rb[i] = ly + base + int64_t(r - 1 + i) * s.cols;
            }
            float *orow = o + base + int64_t(r) * s.cols;
            for (int c = 1; c < s.cols - 1; ++c) {
                double Sxx = 0, Syy = 0, Sxy = 0;
                _Pragma("GCC unroll 3") for (int i = 0; i < 3; ++i)
                    _Pragma("GCC unroll 3") for (int j = -1; j <= 1; ++j) {
                        const double a = ra[i][c + j], b = rb[i][c + j];
                        Sxx += a * a;
                        Syy += b * b;
                        Sxy += a * b;
                    }
                Sxx /= 9;
                Syy /= 9;
                Sxy /= 9;
                const double det = Syy * Sxx - Sxy * Sxy;
                const double tr = Sxx + Syy;
                orow[c] = static_cast<float>(det - (0.07 * tr) * tr);
            }
        }
    }
    return 0;
}

int flmarkmax(ZVEKHDR *in, ZVEKHDR *out, float sigma) {
    // A float gray image, or a float colour image of three frames or more;
    // out a float image of three frames or more with the input's columns
    // and rows.
    if (!ops::isFloat(in) || !ops::isFloat(out)) return -1;
    if (!ops::hasPixels(in) || !ops::hasPixels(out)) return ops::refuseNoPixels("flmarkmax");
    const ops::Shape si = ops::shapeOf(in), so = ops::shapeOf(out);
    const int nd = ops::ndimOf(in);
    if ((nd != 2 && nd != 3) || (nd == 3 && si.frames < 3)) return -2;
    if (ops::ndimOf(out) != 3 || so.cols != si.cols || so.rows != si.rows || so.frames < 3) return -2;

    // The input (or its blur) scaled to bytes over the whole image.
    ImagePtr B = ops::makeLike("u8bit", in);
    if (!B) return -1;
    float mn = 0.0f, mx = 0.0f;
    if (sigma != 0.0f) {
        ImagePtr blur = temp(in);
        if (!blur) return -1;
        if (int rc = flDoG(in, blur.get(), 0, 0, sigma)) return rc;
        Zvekvidscale(blur.get(), B.get(), &mn, &mx, 0);
    } else {
        Zvekvidscale(in, B.get(), &mn, &mx, 0);
    }
    if (nd == 2) {
        std::printf("starting..\n");
        std::fflush(stdout);
    }

    // Strict local maxima of each frame of B in red; every other interior
    // pixel takes B's frames 0, 1 and 2 (a gray B its one frame). The last
    // frame's pass decides the result.
    const uint8_t *b = static_cast<const uint8_t *>(B->vekptr);
    const int64_t plane = si.plane();
    const int cols = si.cols;
    float *o0 = ops::floatData(out), *o1 = o0 + so.plane(), *o2 = o1 + so.plane();
    const uint8_t *g0 = b, *g1 = nd == 3 ? b + plane : b, *g2 = nd == 3 ? b + 2 * plane : b;
    for (int f = 0; f < si.frames; ++f) {
        const uint8_t *bf = b + int64_t(f) * plane;
        for (int r = 1; r < si.rows - 1; ++r)
            for (int c = 1; c < cols - 1; ++c) {
                const int64_t k = int64_t(r) * cols + c;
                const int v = bf[k];
                bool isMax = true;
                for (int i = -1; i <= 1 && isMax; ++i)
                    for (int j = -1; j <= 1; ++j)
                        if ((i != 0 || j != 0) && bf[k + int64_t(i) * cols + j] >= v) {
                            isMax = false;
                            break;
                        }
                if (isMax) {
                    o0[k] = 255.0f;
                    o1[k] = 0.0f;
                    o2[k] = 0.0f;
                } else {
                    o0[k] = g0[k];
                    o1[k] = g1[k];
                    o2[k] = g2[k];
                }
            }
    }
    return 0;
}
