// ZvekOp.cpp - the operation dispatcher: parameter dialogs, the calls of the
// library operations and the messages about their results.
#include "ZvekOp.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QToolBar>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "ZVekUi.h"
#include "ZVektool.h"
#include "imageops.h"
#include "slotimage.h"
#include "zvek.h"

namespace {

// Temporary images of the longer roads, released with Zvekfree(image, 7).
struct ImageRelease {
    void operator()(ZVEKHDR *h) const {
        if (h) Zvekfree(h, 7);
    }
};
using Image = std::unique_ptr<ZVEKHDR, ImageRelease>;

Image makeImage(const char *type, int32_t ndim, int32_t cols, int32_t rows, int32_t frames = 0) {
    const int32_t dims[4] = {ndim, cols, rows, frames};
    return Image(Zvekcreate(type, dims, 11, 0));
}

// Columns, rows and frames (1 unless three-dimensional) of an image whose
// header is taken as it stands; lengths by dimension number.
struct Extent {
    int32_t cols = 0, rows = 0, frames = 0;
    int64_t plane() const { return int64_t(cols) * rows; }
};

Extent extentOf(const ZVEKHDR *h) {
    Extent e;
    if (h == nullptr) return e;
    const int ndim = std::clamp<int>(h->vekndim, 0, ZVEK_MAXDIM);
    e.frames = ndim == 3 ? 0 : 1;
    for (int i = 0; i < ndim; ++i) {
        const int32_t len = h->vekdims[i].dimlen;
        switch (h->vekdims[i].dimnum) {
        case 1: e.cols = len; break;
        case 2: e.rows = len; break;
        case 3: e.frames = len; break;
        default: break;
        }
    }
    if (ndim < 2) e.rows = ndim == 1 ? 1 : 0;
    return e;
}

// True when h holds pixel data for every element its extents name.
bool hasPlanes(const ZVEKHDR *h, const Extent &e, int planes) {
    return h != nullptr && h->vekptr != nullptr && e.cols > 0 && e.rows > 0 && e.frames >= planes;
}

// One frame of an image as a new "float" image {2, cols, rows}: float
// values as they stand, the real parts of a "32cmp" image, other plain
// types converted. Null when the frame is missing or the type can't be read.
Image floatPlane(ZVEKHDR *in, int frame) {
    const Extent e = extentOf(in);
    if (frame < 0 || !hasPlanes(in, e, frame + 1)) return Image();
    Image plane = makeImage("float", 2, e.cols, e.rows);
    if (!plane) return plane;
    float *dst = static_cast<float *>(plane->vekptr);
    const int64_t n = e.plane();
    if (in->dtype == DT_32FLT) {
        std::memcpy(dst, static_cast<const float *>(in->vekptr) + frame * n,
                    static_cast<size_t>(n) * sizeof(float));
    } else if (in->dtype == DT_32CMP) {
        const float *src = static_cast<const float *>(in->vekptr) + 2 * frame * n;
        for (int64_t i = 0; i < n; ++i) dst[i] = src[2 * i];
    } else {
        Image converted(convertToFloat(in));
        if (!converted || !hasPlanes(converted.get(), extentOf(converted.get()), frame + 1))
            return Image();
        std::memcpy(dst, static_cast<const float *>(converted->vekptr) + frame * n,
                    static_cast<size_t>(n) * sizeof(float));
    }
    return plane;
}

// A real number typed into a form field; a text that is no number, or
// not a finite one, reads 0.
double realField(const QString &text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

// A real number typed into a form field, truncated toward zero to an int
// (values beyond the int range are held at its ends).
int truncatedField(const QString &text) {
    const double v = std::trunc(realField(text));
    if (v <= double(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    if (v >= double(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    return static_cast<int>(v);
}

// A decimal integer typed into a form field; anything else reads 0.
int integerField(const QString &text) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    return ok ? v : 0;
}

// Number dialog of an operation code: title, label, default, range,
// decimals.
struct NumberDialog {
    int code;
    const char *title;
    const char *label;
    double value, min, max;
    int decimals;
};

const NumberDialog kNumberDialogs[] = {
    {1, QT_TRANSLATE_NOOP("ZVekOp", "Dx"), QT_TRANSLATE_NOOP("ZVekOp", "Sigma of blur"), 1.0, 1.0, 255.0, 1},
    {2, QT_TRANSLATE_NOOP("ZVekOp", "Dxx"), QT_TRANSLATE_NOOP("ZVekOp", "Sigma of blur"), 1.0, 0.0, 255.0, 1},
    {3, QT_TRANSLATE_NOOP("ZVekOp", "Dy"), QT_TRANSLATE_NOOP("ZVekOp", "Sigma of blur"), 1.0, 0.0, 255.0, 1},
    {4, QT_TRANSLATE_NOOP("ZVekOp", "Dyy"), QT_TRANSLATE_NOOP("ZVekOp", "Sigma of blur"), 1.0, 0.0, 255.0, 1},
    {5, QT_TRANSLATE_NOOP("ZVekOp", "Dxy"), QT_TRANSLATE_NOOP("ZVekOp", "Sigma of blur"), 1.0, 0.0, 255.0, 1},
    {6, QT_TRANSLATE_NOOP("ZVekOp", "gDir"),
     QT_TRANSLATE_NOOP("ZVekOp", "Sigma for all Gaussian derivatives:"), 1.0, 0.0, 255.0, 1},
    {7, QT_TRANSLATE_NOOP("ZVekOp", "Harris"),
     QT_TRANSLATE_NOOP("ZVekOp", "Sigma for all Gaussian derivatives:"), 1.0, 0.0, 255.0, 1},
    {8, QT_TRANSLATE_NOOP("ZVekOp", "Exp"), QT_TRANSLATE_NOOP("ZVekOp", "Scale for exp"), 50.0, 0.0, 1000.0, 1},
    {11, QT_TRANSLATE_NOOP("ZVekOp", "Laplacian"), QT_TRANSLATE_NOOP("ZVekOp", "sigma (-neg. means squared)"),
     1.0, -255.0, 255.0, 2},
    {12, QT_TRANSLATE_NOOP("ZVekOp", "QuadVar"), QT_TRANSLATE_NOOP("ZVekOp", "sigma"), 1.0, 0.0, 20.0, 2},
    {16, QT_TRANSLATE_NOOP("ZVekOp", "MarkMax"), QT_TRANSLATE_NOOP("ZVekOp", "sigma of preblur."), 0.5, -255.0,
     255.0, 2},
    {19, QT_TRANSLATE_NOOP("ZVekOp", "Blur"), QT_TRANSLATE_NOOP("ZVekOp", "Sigma of blur"), 0.0, 0.0, 255.0, 1},
    {23, QT_TRANSLATE_NOOP("ZVekOp", "gMag"), QT_TRANSLATE_NOOP("ZVekOp", "Sigma of Gaussian derivative:"), 1.0,
     0.0, 255.0, 1},
    {24, QT_TRANSLATE_NOOP("ZVekOp", "gDir"), QT_TRANSLATE_NOOP("ZVekOp", "Sigma of Gaussian derivative:"), 1.0,
     0.0, 255.0, 1},
};

const NumberDialog *numberDialogOf(int code) {
    for (const NumberDialog &d : kNumberDialogs)
        if (d.code == code) return &d;
    return nullptr;
}

// Codes that have an operation in unary().
bool isUnaryCode(int code) {
    return (code >= 1 && code <= 8) || code == 10 || (code >= 11 && code <= 21) || code == 23 ||
           code == 24 || (code >= 29 && code <= 35);
}

// After an operation replaced the image old by fresh, the controller slot or
// scratch image that held old holds fresh.
void replaceInController(const ZVEKHDR *old, ZVEKHDR *fresh) {
    if (gZVektool == nullptr || old == fresh) return;
    for (ZVEKHDR *&image : gZVektool->images)
        if (image == old) image = fresh;
    if (gZVektool->scratchImage == old) gZVektool->scratchImage = fresh;
}

// Moves the library's 48-bit generator on by k values, as k calls of
// Zvekdrand48 would. Short runs are drawn; long ones jump: k steps of
// X = (a X + c) mod 2^48 are one step with a^k and c (a^(k-1) + ... + 1),
// found by repeated squaring. The generator keeps its standard multiplier
// and addend (nothing in the application changes them).
void skipRandom(int64_t k) {
    if (k <= 0) return;
    if (k < 64) {
        while (k-- > 0) Zvekdrand48();
        return;
    }
    constexpr uint64_t kMask = (uint64_t(1) << 48) - 1;
    uint64_t mul = 1, add = 0;                       // the jump so far
    uint64_t stepMul = 0x5DEECE66Dull, stepAdd = 0xB;  // 2^i steps
    for (uint64_t left = uint64_t(k); left != 0; left >>= 1) {
        if (left & 1) {
            mul = (mul * stepMul) & kMask;
            add = (add * stepMul + stepAdd) & kMask;
        }
        stepAdd = ((stepMul + 1) * stepAdd) & kMask;
        stepMul = (stepMul * stepMul) & kMask;
    }
    unsigned short probe[3] = {0, 0, 0};
    const unsigned short *was = Zvekseed48(probe);
    const uint64_t x = uint64_t(was[0]) | uint64_t(was[1]) << 16 | uint64_t(was[2]) << 32;
    const uint64_t next = (mul * x + add) & kMask;
    unsigned short state[3] = {static_cast<unsigned short>(next), static_cast<unsigned short>(next >> 16),
                               static_cast<unsigned short>(next >> 32)};
    Zvekseed48(state);
}

// Holds off the user's input to a main window's slot rows, buttons, menus
// and tool bars while it lives (its other windows stay responsive): a wait
// that processes events must not let a load, a paste or a click on the slot
// rows (which would switch the commands on again) replace the images that a
// command is working on.
class InputHold {
public:
    explicit InputHold(QWidget *window) {
        auto *main = qobject_cast<QMainWindow *>(window);
        if (main == nullptr) return;
        hold(main->centralWidget());
        hold(main->menuWidget());
        for (QToolBar *bar : main->findChildren<QToolBar *>(QString(), Qt::FindDirectChildrenOnly)) hold(bar);
    }
    ~InputHold() {
        for (const QPointer<QWidget> &w : held)
            if (w) w->setEnabled(true);
    }
    InputHold(const InputHold &) = delete;
    InputHold &operator=(const InputHold &) = delete;

private:
    void hold(QWidget *w) {
        if (w == nullptr || !w->isEnabled()) return;
        w->setEnabled(false);
        held.push_back(w);
    }
    std::vector<QPointer<QWidget>> held;
};

// Failure code of the shifted arithmetic when its result image can't be
// made (lengths beyond the 32-bit model, or no memory).
constexpr int kNoResultImage = -9;

}  // namespace

ZVekOp::ZVekOp(QWidget *parent) : dialogParent(parent) {}

bool ZVekOp::unary(int code, ZVEKHDR *&in, ZVEKHDR *&out) {
    ZVekUi &ui = zvekUi();
    if (in == nullptr) {
        ui.message(tr("Input empty"));
        return false;
    }
    // Nothing to do for a code without an operation, nor without an output
    // to write into.
    if (!isUnaryCode(code) || out == nullptr) return false;

    float s = 0.0f;
    if (const NumberDialog *d = numberDialogOf(code)) {
        double value = d->value;
        if (!ui.getDouble(dialogParent, tr(d->title), tr(d->label), d->value, d->min, d->max, d->decimals,
                          &value))
            return false;
        s = static_cast<float>(value);
    }

    int r = 0;
    switch (code) {
    case 1: r = flDoG(in, out, 1, 0, s); break;
    case 2: r = flDoG(in, out, 2, 0, s); break;
    case 3: r = flDoG(in, out, 1, 1, s); break;
    case 4: r = flDoG(in, out, 2, 1, s); break;
    case 5: r = flDoG(in, out, 2, 2, s); break;
    case 6: r = flcurv(in, out, s); break;
    case 7: r = flHarris(in, out, s); break;
    case 8: r = flexp(in, out, s); break;
    case 10: r = flinv(in, out); break;
    case 11:
    case 12:
        r = code == 11 ? flLaplace(in, out, s) : flqvar(in, out, s);
        if (r != 0) ui.message(tr("Function returned an error code."));
        break;
    case 13: return labelling(in, out);
    case 14: r = flabsolute(in, out); break;
    case 15: return equalise(in, out);
    case 16: r = flmarkmax(in, out, s); break;
    case 17: r = flln(in, out); break;
    case 18: return pseudoColour(in, out);
    case 19: r = flDoG(in, out, 0, 0, s); break;
    case 20: {
        ZVEKHDR *const before = out;
        r = flcolor2gray(in, &out);
        replaceInController(before, out);
        switch (r) {
        case 0: break;
        case -6: ui.message(tr("Input and output images have different number rows.")); break;
        case -5: ui.message(tr("Input and output images have different number cols.")); break;
        case -4: ui.message(tr("Output image must be 2d.")); break;
        case -2: ui.message(tr("Input image must be color.")); break;
        default: ui.message(tr("Color to gray function input error.")); break;
        }
        break;
    }
    case 21: r = HoGdescriptor(in, out); break;
    case 23: r = flgmag(in, out, s); break;
    case 24: r = flgdir(in, out, s); break;
    case 29:
    case 30:
    case 31:
    case 32: {
        static const char *const kNames[] = {"Zvekc2mag", "Zvekc2phase", "Zvekc2real", "Zvekc2imag"};
        static int (*const kParts[])(ZVEKHDR *, ZVEKHDR *) = {Zvekc2mag, Zvekc2phase, Zvekc2real,
                                                              Zvekc2imag};
        r = kParts[code - 29](in, out);
        if (r != 0) ui.message(tr("Error returned by ") + QLatin1String(kNames[code - 29]));
        break;
    }
    case 33: return fourier(in, out, -1);
    case 34: return fourier(in, out, 1);
    case 35: {
        // Pixel copy of the input's first plane.
        const Extent ei = extentOf(in), eo = extentOf(out);
        if (!hasPlanes(in, ei, 1) || !hasPlanes(out, eo, 1) || eo.cols < ei.cols || eo.rows < ei.rows)
            return false;
        for (int row = 0; row < ei.rows; ++row)
            for (int col = 0; col < ei.cols; ++col) Zvekfpp(out, row, col, Zvekfgp(in, row, col));
        break;
    }
    default: return false;
    }
    return r == 0;
}

bool ZVekOp::labelling(ZVEKHDR *in, ZVEKHDR *out) {
    ZVekUi &ui = zvekUi();
    const int64_t rows = Zvekdimen(in, 1);
    const int64_t cols = Zvekdimen(in, 0);
    if (rows * cols > 1000000) {
        ui.notice(tr("Sorry. This function cannot handle %1 pixels. Returning...").arg(rows * cols), 3000);
        return false;
    }
    if (out->vekndim == 3) {
        ui.notice(tr("CCL only works on grayscale images. Using it on a color image will produce strange "
                     "results."),
                  3000);
        InputHold hold(dialogParent);
        delay();
    }

    const QStringList labels = {tr("Thresh "),     tr("minval "),     tr("maxval "),
                                tr("EraseSmall "), tr("EraseLarge "), tr("filename of areas")};
    QStringList values = {"2.0", "10.0", "255.0", "1", "0", ""};
    if (!ui.form(dialogParent, tr("Parameters for CCL."), labels, values) || values.size() < 6) return false;

    const float thresh = static_cast<float>(realField(values[0]));
    float minval = static_cast<float>(realField(values[1]));
    float maxval = static_cast<float>(realField(values[2]));
    const int eraseSmall = integerField(values[3]);
    const int eraseLarge = integerField(values[4]);
    // The areas file's name: at most 255 bytes in the local encoding.
    const QByteArray name = values[5].toLocal8Bit();
    if (name.size() > 255) {
        ui.message(tr("The filename of areas is longer than 255 bytes. Returning..."));
        return false;
    }
    if (!name.isEmpty()) {
        std::printf("1: %s\n ", name.constData());
        std::fflush(stdout);
    }

    if (minval == 0.0f) minval = 1.0f;
    if (maxval == 0.0f) maxval = 256.0f;
    if (maxval - minval <= 0) {
        ui.notice(tr("Maxvalue and Minvalue don't make sense. Returning..."), 2000);
        return false;
    }

    int32_t ownCount = 0;
    int32_t *count = gZVektool ? &gZVektool->maxLabel : &ownCount;
    const int r = cclC4_2(in, eraseSmall, eraseLarge, count, name.constData(), out, thresh, minval, maxval);
    switch (r) {
    case -3: ui.notice(tr("Unable to access specifed list of areas file"), 3000); break;
    case -1: ui.notice(tr("Error returned by cclC4_2.  Must quit!"), 5000); break;
    case 0: ui.notice(tr("found %1 labels").arg(*count), 3000); break;
    case 1: ui.notice(tr("Image too big for this program: %1 labels").arg(*count), 5000); break;
    default: break;
    }
    return r == 0;
}

bool ZVekOp::equalise(ZVEKHDR *in, ZVEKHDR *out) {
    ZVekUi &ui = zvekUi();
    ui.notice(tr("This function takes a while on large images.\n"), 2000, tr("message"));
    const int r = flHistogramEq(in, out, 0);
    if (r == -1)
        ui.notice(tr("Hist:Cannot equalize histogram of an imagesmaller than the neighborhood"), 3000);
    return r == 0;
}

bool ZVekOp::pseudoColour(ZVEKHDR *in, ZVEKHDR *out) {
    ZVekUi &ui = zvekUi();
    int map = 0;
    if (!ui.getInt(dialogParent, tr("Pseudocolor"), tr("Color map number"), 0, 0, 6, 1, &map)) return false;
    int frame = 0;
    if (in->vekndim == 3 &&
        !ui.getInt(dialogParent, tr("Pseudocolor"), tr("Input Frame No"), 0, 0, 2, 1, &frame))
        return false;

    Image work = floatPlane(in, frame);
    if (!work) {
        ui.message(tr("Pseudocolor: frame %1 of the input image cannot be read.").arg(frame));
        return false;
    }
    const Extent e = extentOf(work.get());
    if (map == 6) {
        const Extent eo = extentOf(out);
        if (out->vekndim != 3 || !hasPlanes(out, eo, 3)) return false;
        colormap6(work.get(), out, gZVektool ? gZVektool->maxLabel : 0);
        return true;
    }
    Image bytes = makeImage("u8bit", 2, e.cols, e.rows);
    Image colour = makeImage("u8bit", 3, e.cols, e.rows, 3);
    if (!bytes || !colour) return false;
    float min = 0.0f, max = 0.0f;
    Zvekvidscale(work.get(), bytes.get(), &min, &max, 0);
    Zvekcolormap(bytes.get(), colour.get(), map);
    return Zvekany2any(colour.get(), out) == 0;
}

void ZVekOp::colormap6(ZVEKHDR *labels, ZVEKHDR *out, int n) {
    std::printf("processing a random color map");
    std::fflush(stdout);

    // The part both images cover; nothing is written unless out has the
    // three colour frames.
    const Extent el = extentOf(labels), eo = extentOf(out);
    const bool paint = hasPlanes(labels, el, 1) && out != nullptr && out->vekndim == 3 && hasPlanes(out, eo, 3);
    const int rows = paint ? std::min(el.rows, eo.rows) : 0;
    const int cols = paint ? std::min(el.cols, eo.cols) : 0;

    // The table holds entries 2 .. 3n - 1, one generator value each, label v
    // taking entries v, v + n and v + 2n. Only the labels 2 .. n - 1 that
    // occur get a colour; the entries between them are stepped over, so the
    // generator always moves on by 3n - 2 values, however large n is.
    std::vector<int> seen;
    seen.reserve(size_t(std::max(rows - 1, 0)) * size_t(std::max(cols - 1, 0)));
    for (int r = 1; r < rows; ++r)
        for (int c = 1; c < cols; ++c) seen.push_back(Zvekigp(labels, r, c));
    // The labels with a colour that occur, ascending. Labels below 2^22 are
    // found through a table indexed by label; larger ones by sorting.
    int top = 1;
    for (int v : seen)
        if (v > top && v < n) top = v;
    const bool direct = top < (1 << 22);
    std::vector<int32_t> index(direct ? size_t(top) + 1 : 0, -1);
    std::vector<int> used;
    for (int v : seen)
        if (v >= 2 && v < n) {
            if (!direct)
                used.push_back(v);
            else if (index[size_t(v)] < 0)
                index[size_t(v)] = 0;
        }
    if (direct) {
        for (int v = 2; v <= top; ++v)
            if (index[size_t(v)] == 0) {
                index[size_t(v)] = int32_t(used.size());
                used.push_back(v);
            }
    } else {
        std::sort(used.begin(), used.end());
        used.erase(std::unique(used.begin(), used.end()), used.end());
    }

    const int64_t count = std::max<int64_t>(n, 0);
    std::vector<unsigned char> colours(3 * used.size());
    int64_t entry = 2;  // the entry the next generator value belongs to
    for (int64_t channel = 0; channel < 3; ++channel)
        for (size_t i = 0; i < used.size(); ++i) {
            const int64_t wanted = channel * count + used[i];
            skipRandom(wanted - entry);
            colours[size_t(channel) * used.size() + i] =
                static_cast<unsigned char>(static_cast<int>(Zvekdrand48() * 255.0));
            entry = wanted + 1;
        }
    skipRandom(3 * count - entry);

    // Colour of every pixel: black for labels without an entry.
    const size_t m = used.size();
    auto paintPixel = [&](int r, int c, int64_t i) {
        for (int f = 0; f < 3; ++f) Zvekfpp3d(out, f, r, c, i < 0 ? 0 : colours[size_t(f) * m + size_t(i)]);
    };
    auto label = seen.cbegin();
    for (int r = 1; r < rows; ++r)
        for (int c = 1; c < cols; ++c) {
            const int v = *label++;
            if (v < 2 || v > top)
                paintPixel(r, c, -1);
            else if (direct)
                paintPixel(r, c, index[size_t(v)]);
            else
                paintPixel(r, c, std::lower_bound(used.begin(), used.end(), v) - used.begin());
        }
}

bool ZVekOp::fourier(ZVEKHDR *in, ZVEKHDR *out, int dir) {
    ZVekUi &ui = zvekUi();
    const Extent e = extentOf(in);
    const int64_t n = e.plane();
    Image t = hasPlanes(in, e, 1) ? makeImage("32cmp", 2, e.cols, e.rows) : Image();
    // The first plane of the input: complex values as they stand, anything
    // else as real parts with imaginary parts 0.
    bool filled = false;
    if (t && in->dtype == DT_32CMP) {
        std::memcpy(t->vekptr, in->vekptr, static_cast<size_t>(2 * n) * sizeof(float));
        filled = true;
    } else if (t) {
        if (Image plane = floatPlane(in, 0)) {
            const float *src = static_cast<const float *>(plane->vekptr);
            float *dst = static_cast<float *>(t->vekptr);
            for (int64_t i = 0; i < n; ++i) dst[2 * i] = src[i];
            filled = true;
        }
    }
    const int r = filled ? Zvekcfft2d(t.get(), dir) : -3;
    switch (r) {
    case 0: break;
    case -2: ui.message(tr("FFT:Image dimensions must be a power of 2")); return false;
    case -1: ui.message(tr("FFT:Image must be square")); return false;
    default: ui.message(tr("FFT:Image must be complex float")); return false;
    }
    // The transform goes into the first plane of a "32cmp" output of the
    // input's columns and rows; any other output keeps what it held.
    const Extent eo = extentOf(out);
    if (out->dtype != DT_32CMP || !hasPlanes(out, eo, 1) || eo.cols != e.cols || eo.rows != e.rows) return false;
    std::memcpy(out->vekptr, t->vekptr, static_cast<size_t>(2 * n) * sizeof(float));
    return true;
}

void ZVekOp::delay() {
    // A monotonic clock: the wait is two seconds whatever the time of day.
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        const qint64 left = 2000 - timer.elapsed();
        if (left <= 0) break;
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(left, 10)));
    }
}

bool ZVekOp::binary(int code, ZVEKHDR *&in1, ZVEKHDR *&in2, ZVEKHDR *&out, int outSlot) {
    ZVekUi &ui = zvekUi();
    if (in1 == nullptr) {
        ui.message(tr("Input1 empty"));
        return false;
    }
    if (in2 == nullptr) {
        ui.message(tr("Input2 empty"));
        return false;
    }
    int result = 0;
    switch (code) {
    case 22:
    case 25:
    case 26:
    case 27:
        if (in1->dtype == DT_32CMP)
            result = fladdv(in1, in2, out);
        else if (!shiftedArithmetic(code, in1, in2, out, outSlot, &result))
            return false;
        break;
    case 9:
        if (!correlate(in1, in2, out, &result)) return false;
        break;
    case 24: break;
    default: return false;
    }
    if (result != 0) {
        ui.message(tr("Function return error code") + QString::number(result));
        return false;
    }
    return true;
}

bool ZVekOp::shiftedArithmetic(int code, ZVEKHDR *in1, ZVEKHDR *in2, ZVEKHDR *&out, int outSlot, int *result) {
    int rowShift = 0, colShift = 0, status = -1;
    gettwonumbers(&rowShift, &colShift, &status);
    if (status == -1) return false;

    const Extent e1 = extentOf(in1), e2 = extentOf(in2);
    const int64_t cols = std::max<int64_t>(e1.cols + std::abs(int64_t(colShift)), e2.cols);
    const int64_t rows = std::max<int64_t>(e1.rows + std::abs(int64_t(rowShift)), e2.rows);
    Image made;
    if (cols <= std::numeric_limits<int32_t>::max() && rows <= std::numeric_limits<int32_t>::max())
        made = makeImage(in1->vekdt, in1->vekndim, int32_t(cols), int32_t(rows), 3);
    if (!made) {
        *result = kNoResultImage;
        return true;
    }
    int (*const operation)(ZVEKHDR *, ZVEKHDR *, ZVEKHDR *, int, int) =
        code == 22 ? fladdi : code == 25 ? flsubi : code == 26 ? flmuli : fldivi;
    *result = operation(in1, in2, made.get(), rowShift, colShift);
    if (*result != 0) return true;

    // The result replaces the caller's buffer: in the Output slot when the
    // buffer is the slot's image, else through out alone.
    ZVEKHDR *const buffer = out;
    out = made.release();
    if (gZVektool != nullptr && outSlot >= 0 && outSlot < 8 && buffer != nullptr &&
        gZVektool->images[outSlot] == buffer)
        gZVektool->images[outSlot] = out;
    if (buffer != nullptr) Zvekfree(buffer, 7);
    return true;
}

bool ZVekOp::correlate(ZVEKHDR *in1, ZVEKHDR *in2, ZVEKHDR *out, int *result) {
    ZVekUi &ui = zvekUi();
    if (in1->vekndim != in2->vekndim) {
        ui.message(tr("I can't correlate a gray scale image with a color image. Sorry."));
        return false;
    }
    if (extentOf(in2).plane() > 16384) {
        ui.message(tr("Image 2 needs to be small, like 64x64 or less. Sorry."));
        return false;
    }
    ui.notice(tr("This may take a long time, please be patient."), 1000);
    *result = flcorrelate(in1, in2, out);
    if (*result == -2) {
        ui.message(tr("Input images must be float or complex %d"));
        return false;
    }
    return true;
}

void ZVekOp::gettwonumbers(int *rowShift, int *colShift, int *status) {
    const QStringList labels = {tr("rows "), tr("cols ")};
    QStringList values = {"0", "0"};
    if (!zvekUi().form(dialogParent, tr("Translation of second image:"), labels, values) || values.size() < 2) {
        *status = -1;
        return;
    }
    *rowShift = truncatedField(values[0]);
    *colShift = truncatedField(values[1]);
    *status = 0;
}
