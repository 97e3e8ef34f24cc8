// ZvektoolMainWindow_commands.cpp - the command slots of the control panel:
// one-image and two-image commands through the operation dispatcher, the
// mode-1 commands done here (gradient histograms, their picture, crop,
// resize), restoration, script running, the about box and badMsg.
//
// A command computes its result beside the slots and stores it into the
// Output slot only when the operation ran: a cancelled or refused command
// leaves every slot, its image, name and view window, as it was.
#include <QAction>
#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "ZVekUi.h"
#include "ZVektool.h"
#include "ZvekOp.h"
#include "ZvektoolMainWindow.h"
#include "imagefile.h"
#include "imageops.h"
#include "zvek.h"

namespace {

ZVEKHDR *slotImageOf(int slot) {
    return gZVektool && slot >= 0 && slot < 8 ? gZVektool->images[slot] : nullptr;
}

void release(ZVEKHDR *&image) {
    if (image) Zvekfree(image, 7);
    image = nullptr;
}

// A zero image; null when a length is not positive (an image without pixels
// is not a valid image) or does not fit the header.
ZVEKHDR *makeImage(const char *type, int32_t ndim, int64_t cols, int64_t rows, int64_t frames = 0) {
    if (cols < 1 || rows < 1 || (ndim == 3 && frames < 1) || cols > INT32_MAX || rows > INT32_MAX ||
        frames > INT32_MAX)
        return nullptr;
    const int32_t dims[4] = {ndim, int32_t(cols), int32_t(rows), int32_t(frames)};
    return Zvekcreate(type, dims, 11, 0);
}

// Told when a result image could not be made (the library has reported
// why on standard error); the input images are as they were.
void tellNoResultImage() {
    zvekUi().message(QCoreApplication::translate("ZVektoolMainWindow", "Cannot make the result image."));
}

// A path as one word for the shell.
QByteArray shellQuoted(const QString &path) {
    QByteArray local = path.toLocal8Bit();
    local.replace('\'', "'\\''");
    return '\'' + local + '\'';
}

}  // namespace

// ---------------------------------------------------------------------------
// About and command messages

void ZVektoolMainWindow::about() {
    CommandScope scope(this);
    zvekUi().about(this, tr("About Application"),
                   "ZVektool " + VERSION +
                       " is an Vekstore tool which gives wide range of operations on images\n"
                       "Built under Yosemite");
}

void ZVektoolMainWindow::badMsg(int code) {
    switch (code) {
    case 2: zvekUi().message(tr("The crop funtion has  been implemented.")); break;
    case 3: zvekUi().message(tr("Function return error code.")); break;
    default: zvekUi().message(tr("No function has been defined for that button yet.")); break;
    }
}

// ---------------------------------------------------------------------------
// Buffers and hand-over

void ZVektoolMainWindow::storeOutput(int outSlot, ZVEKHDR *image) {
    if (gZVektool->images[outSlot] != image) release(gZVektool->images[outSlot]);
    gZVektool->images[outSlot] = image;
}

void ZVektoolMainWindow::storeBinaryOutput(int outSlot, ZVEKHDR *image) {
    deleteChildWindow(outSlot);
    storeOutput(outSlot, image);
}

void ZVektoolMainWindow::replaceBuffer(ZVEKHDR *&out, ZVEKHDR *image) {
    release(gZVektool->scratchImage);
    gZVektool->scratchImage = image;
    out = image;
}

void ZVektoolMainWindow::handOver(int outSlot, bool ok, bool copy) {
    ZVEKHDR *result = gZVektool->scratchImage;
    gZVektool->scratchImage = nullptr;
    if (!ok || !result) {
        // Nothing was computed: the Output slot keeps its image.
        release(result);
        return;
    }
    if (copy) {
        // flcrcopy takes float images only; any other result is moved.
        if (ZVEKHDR *copied = result->dtype == DT_32FLT ? flcrcopy(result) : nullptr) {
            release(result);
            result = copied;
        }
    }
    storeOutput(outSlot, result);
}

// ---------------------------------------------------------------------------
// One-image commands

void ZVektoolMainWindow::runUnary(const UnaryCommand &command) {
    ZVEKHDR *in = nullptr, *out = nullptr;
    int outSlot = -1;
    const int answer = getUnaryBuffers(in, out, outSlot, command.kind);
    if (command.keepBinary) {
        changeUnaryAccess(false);
        changeDisplayAccess(false);
    } else {
        disableButtons();
    }
    if (answer < 0) {
        // An empty Input 1 is told by the dispatcher.
        ZVEKHDR *none = nullptr;
        if (!slotImageOf(getRadioButtonStatus(INPUT_1)))
            dispatcher->unary(command.code, none, none);
        else
            tellNoResultImage();
        updateAccessability();
        return;
    }

    if (command.notComplex && in->dtype != DT_32CMP) {
        zvekUi().message(tr(command.notComplex));
        release(gZVektool->scratchImage);
        return;
    }

    // Colour results need a buffer of three frames of Input 1's plane.
    if ((command.threeFrames == 1 && !(out->vekndim == 3 && Zvekdimen(out, 2) == 3)) ||
        (command.threeFrames == 2 && out->vekndim != 3)) {
        // A one-dimensional input has no plane to colour.
        ZVEKHDR *colour =
            in->vekndim >= 2 ? makeImage("float", 3, Zvekdimen(in, 0), Zvekdimen(in, 1), 3) : nullptr;
        if (!colour) {
            zvekUi().message(tr("Cannot make a three-frame image of Input 1's columns and rows."));
            release(gZVektool->scratchImage);
            updateAccessability();
            return;
        }
        replaceBuffer(out, colour);
    }

    const bool ok = dispatcher->unary(command.code, in, out);
    handOver(outSlot, ok, answer == 1 && command.copyHandOver);
    updateAccessability();
}

void ZVektoolMainWindow::runModeZeroUnary(const UnaryCommand &command) {
    if (commandMode == 1)
        badMsg(1);
    else
        runUnary(command);
}

void ZVektoolMainWindow::dx() {
    CommandScope scope(this);
    if (commandMode == 1)
        hogDescriptor();
    else
        runUnary({1, FLOAT_OUT, true});
}

void ZVektoolMainWindow::dy() {
    CommandScope scope(this);
    if (commandMode == 1)
        showHog();
    else
        runUnary({3, FLOAT_OUT, true, 0, nullptr, true});
}

void ZVektoolMainWindow::dxx() {
    CommandScope scope(this);
    runUnary({commandMode == 1 ? 23 : 2, FLOAT_OUT, true});
}

void ZVektoolMainWindow::dyy() {
    CommandScope scope(this);
    runUnary({commandMode == 1 ? 24 : 4, FLOAT_OUT, true});
}

void ZVektoolMainWindow::dxdy() {
    CommandScope scope(this);
    if (commandMode == 1)
        runUnary({20, FLOAT_2D_OUT, true});
    else
        runUnary({5, FLOAT_OUT, true});
}

void ZVektoolMainWindow::curvature() {
    CommandScope scope(this);
    runUnary({commandMode == 1 ? 7 : 6, FLOAT_OUT, true});
}

void ZVektoolMainWindow::exponent() {
    CommandScope scope(this);
    if (commandMode == 1)
        crop();
    else
        runUnary({8, FLOAT_OUT, true});
}

void ZVektoolMainWindow::inverse() {
    CommandScope scope(this);
    if (commandMode == 1)
        resizeInput();
    else
        runUnary({10, FLOAT_OUT, true});
}

void ZVektoolMainWindow::natlog() {
    CommandScope scope(this);
    runModeZeroUnary({17, FLOAT_OUT, true});
}

void ZVektoolMainWindow::laplacian() {
    CommandScope scope(this);
    runUnary({commandMode == 1 ? 12 : 11, FLOAT_OUT, false});
}

void ZVektoolMainWindow::histeq() {
    CommandScope scope(this);
    if (commandMode == 1)
        runUnary({16, FLOAT_OUT, true, 1});
    else
        runUnary({15, FLOAT_OUT, true});
}

void ZVektoolMainWindow::pseudo() {
    CommandScope scope(this);
    runModeZeroUnary({18, FLOAT_OUT, false, 1});
}

void ZVektoolMainWindow::blur() {
    CommandScope scope(this);
    runModeZeroUnary({19, FLOAT_OUT, true});
}

void ZVektoolMainWindow::ccl() {
    CommandScope scope(this);
    runUnary({commandMode == 1 ? 14 : 13, FLOAT_OUT, true});
}

void ZVektoolMainWindow::c2mag() {
    CommandScope scope(this);
    runUnary({29, FLOAT_OUT, false, 0, QT_TR_NOOP("Input Image is not complex")});
}

void ZVektoolMainWindow::c2phase() {
    CommandScope scope(this);
    runUnary({30, FLOAT_OUT, false, 0, QT_TR_NOOP("Image is not complex")});
}

void ZVektoolMainWindow::c2real() {
    CommandScope scope(this);
    runUnary({31, FLOAT_OUT, false, 0, QT_TR_NOOP("Image is not complex")});
}

void ZVektoolMainWindow::c2imag() {
    CommandScope scope(this);
    runUnary({32, FLOAT_OUT, false, 0, QT_TR_NOOP("Image is not complex")});
}

void ZVektoolMainWindow::fft() {
    CommandScope scope(this);
    runUnary({33, COMPLEX_OUT, false});
}

void ZVektoolMainWindow::ifft() {
    CommandScope scope(this);
    runUnary({34, COMPLEX_OUT, false, 0, QT_TR_NOOP("Image is not complex")});
}

// ---------------------------------------------------------------------------
// Mode-1 commands done here

void ZVektoolMainWindow::hogDescriptor() {
    const int in1 = getRadioButtonStatus(INPUT_1);
    const int outSlot = getRadioButtonStatus(OUTPUT);
    ZVEKHDR *in = slotImageOf(in1);
    if (!in || outSlot < 0) {
        zvekUi().message(tr("Input empty"));
        return;
    }
    // One cell is 8 x 8 pixels: a smaller input has no cell to describe.
    if (in->vekndim < 2 || Zvekdimen(in, 0) < 8 || Zvekdimen(in, 1) < 8) {
        zvekUi().message(tr("To compute a HoG, input must have at least 8 rows and 8 columns"));
        return;
    }
    ZVEKHDR *hog = makeImage("float", 3, Zvekdimen(in, 0) / 8, Zvekdimen(in, 1) / 8, 9);
    if (!hog) {
        tellNoResultImage();
        return;
    }
    const int r = HoGdescriptor(in, hog);
    std::printf("HoG returned %d\n", r);
    std::fflush(stdout);
    if (r != 0)
        Zvekfree(hog, 7);  // refused: the Output slot keeps its image
    else
        storeOutput(outSlot, hog);
    updateAccessability();
}

void ZVektoolMainWindow::showHog() {
    changeDisplayAccess(false);
    changeUnaryAccess(false);
    const int in1 = getRadioButtonStatus(INPUT_1);
    const int outSlot = getRadioButtonStatus(OUTPUT);
    ZVEKHDR *in = slotImageOf(in1);
    if (!in || outSlot < 0) {
        zvekUi().message(tr("Input empty"));
        updateAccessability();
        return;
    }
    if (in->vekndim != 3 || Zvekdimen(in, 2) != 9) {
        zvekUi().message(tr("To view a HoG, input must have 9 frames"));
        updateAccessability();
        return;
    }
    ZVEKHDR *picture = makeImage("float", 2, 9 * int64_t(Zvekdimen(in, 0)), 9 * int64_t(Zvekdimen(in, 1)));
    if (picture) {
        if (ShowHoG(in, picture) != 0)
            Zvekfree(picture, 7);  // refused: the Output slot keeps its image
        else
            storeOutput(outSlot, picture);
    } else {
        tellNoResultImage();
    }
    updateAccessability();
}

void ZVektoolMainWindow::crop() {
    ZVEKHDR *input = slotImageOf(getRadioButtonStatus(INPUT_1));
    if (!input) {
        zvekUi().message(tr("Input empty"));
        return;
    }
    // The rectangle between the last two clicks; its larger corner is not
    // part of it. Clicks may come from a view window of any slot: the
    // rectangle must lie inside Input 1, else nothing changes.
    const ZVektool &c = *gZVektool;
    const int r0 = std::min(c.prevClickRow, c.lastClickRow), r1 = std::max(c.prevClickRow, c.lastClickRow);
    const int c0 = std::min(c.prevClickCol, c.lastClickCol), c1 = std::max(c.prevClickCol, c.lastClickCol);
    const bool threeD = input->vekndim == 3;
    const int width = input->vekndim >= 1 ? Zvekdimen(input, 0) : 0;
    const int height = input->vekndim >= 2 ? Zvekdimen(input, 1) : 1;
    const int frames = threeD ? std::min(3, int(Zvekdimen(input, 2))) : 1;
    if (r1 <= r0 || c1 <= c0) {
        zvekUi().message(tr("The crop rectangle is empty: click two of its corners in a view window."));
        return;
    }
    if (r0 < 0 || c0 < 0 || r1 > height || c1 > width || frames < 1) {
        zvekUi().message(tr("The crop rectangle lies outside the input image."));
        return;
    }

    // The crop is made before the buffers are requested: when it cannot be
    // made the Output slot keeps what it holds.
    ZVEKHDR *piece = makeImage("float", threeD ? 3 : 2, c1 - c0, r1 - r0, threeD ? frames : 0);
    if (!piece) {
        tellNoResultImage();
        return;
    }
    ZVEKHDR *in = nullptr, *out = nullptr;
    int outSlot = -1;
    const int answer = getUnaryBuffers(in, out, outSlot, FLOAT_OUT);
    if (answer < 0) {
        Zvekfree(piece, 7);
        tellNoResultImage();
        updateAccessability();
        return;
    }
    replaceBuffer(out, piece);
    for (int f = 0; f < frames; ++f)
        for (int r = 0; r < r1 - r0; ++r)
            for (int col = 0; col < c1 - c0; ++col)
                Zvekfpp3d(piece, f, r, col, Zvekfgp3d(in, f, r + r0, col + c0));
    handOver(outSlot, true, answer == 1);
    updateAccessability();
}

void ZVektoolMainWindow::resizeInput() {
    QStringList values = {QString(), QString(), QString()};
    if (!zvekUi().form(this, tr("rows and cols of target imge."),
                       {tr("rows "), tr("columns "), tr("Intermp mode ")}, values) ||
        values.size() < 3)
        return;
    const int rows = values[0].toInt();
    const int cols = values[1].toInt();
    const int mode = values[2].isEmpty() ? 0 : values[2].toInt();
    if (mode < 0 || mode > 2) {
        zvekUi().message(tr("Interpolation mode must be 0, 1, or 2"));
        return;
    }
    if (rows < 1 || cols < 1) {
        zvekUi().message(tr("Rows and columns of the target image must be at least 1."));
        return;
    }

    // The target has Input 1's data type, dimensions and frames. It is made
    // before the buffers are requested, so that a target that cannot be
    // made (too large) is told and leaves the Output slot as it was.
    ZVEKHDR *input = slotImageOf(getRadioButtonStatus(INPUT_1));
    ZVEKHDR *resized = nullptr;
    if (input) {
        const int ndim = input->vekndim;
        resized = makeImage(input->vekdt, ndim, cols, rows, ndim == 3 ? Zvekdimen(input, 2) : 0);
        if (!resized) {
            zvekUi().message(tr("Cannot make an image of %1 rows and %2 columns.").arg(rows).arg(cols));
            return;
        }
    }

    ZVEKHDR *in = nullptr, *out = nullptr;
    int outSlot = -1;
    const int answer = getUnaryBuffers(in, out, outSlot, FLOAT_OUT);
    if (answer < 0) {
        ZVEKHDR *none = nullptr;
        if (resized) {
            Zvekfree(resized, 7);
            tellNoResultImage();
        } else if (!input) {
            dispatcher->unary(10, none, none);
        }
        updateAccessability();
        return;
    }
    replaceBuffer(out, resized);
    disableButtons();
    const bool ok = Zvekzoomupdown(in, resized, mode) == 0;
    if (!ok) badMsg(3);  // a line cannot be zoomed
    handOver(outSlot, ok, answer == 1);
    updateAccessability();
}

// ---------------------------------------------------------------------------
// Two-image commands

void ZVektoolMainWindow::runBinary(int code, bool disableFirst) {
    if (disableFirst) disableButtons();
    ZVEKHDR *in1 = nullptr, *in2 = nullptr, *out = nullptr;
    int outSlot = -1;
    const int answer = getBinaryBuffers(in1, in2, out, outSlot);
    disableButtons();
    if (answer < 0) {
        // An empty input is told by the dispatcher; otherwise the buffer
        // could not be made (the library has reported why on standard error).
        ZVEKHDR *a = slotImageOf(getRadioButtonStatus(INPUT_1));
        ZVEKHDR *b = slotImageOf(getRadioButtonStatus(INPUT_2));
        ZVEKHDR *none = nullptr;
        if (!a || !b)
            dispatcher->binary(code, a, b, none, outSlot);
        else
            tellNoResultImage();
        updateAccessability();
        return;
    }
    if (dispatcher->binary(code, in1, in2, out, outSlot))
        storeBinaryOutput(outSlot, out);
    else
        release(out);  // the Output slot keeps its image
    updateAccessability();
}

void ZVektoolMainWindow::runModeZeroBinary(int code) {
    if (commandMode == 1)
        badMsg(1);
    else
        runBinary(code, false);
}

void ZVektoolMainWindow::add() {
    CommandScope scope(this);
    runModeZeroBinary(22);
}

void ZVektoolMainWindow::sub() {
    CommandScope scope(this);
    runModeZeroBinary(25);
}

void ZVektoolMainWindow::mul() {
    CommandScope scope(this);
    runModeZeroBinary(26);
}

void ZVektoolMainWindow::div() {
    CommandScope scope(this);
    runModeZeroBinary(27);
}

void ZVektoolMainWindow::correlate() {
    CommandScope scope(this);
    runModeZeroBinary(9);
}

void ZVektoolMainWindow::gdir() {
    CommandScope scope(this);
    if (commandMode != 1) runBinary(24, true);
}

void ZVektoolMainWindow::pcon() {
    CommandScope scope(this);
    if (commandMode == 1) {
        badMsg(1);
        return;
    }
    ZVEKHDR *in1 = nullptr, *in2 = nullptr, *out = nullptr;
    int outSlot = -1;
    const int answer = getBinaryBuffers(in1, in2, out, outSlot);
    if (answer < 0) {
        ZVEKHDR *a = slotImageOf(getRadioButtonStatus(INPUT_1));
        ZVEKHDR *b = slotImageOf(getRadioButtonStatus(INPUT_2));
        ZVEKHDR *none = nullptr;
        if (!a || !b)
            dispatcher->binary(0, a, b, none, outSlot);
        else
            tellNoResultImage();
        return;
    }
    // The restoration works in Input 1. The buffer goes into the Output
    // slot, when that is neither input, only once the restoration has run.
    ZvekImagePtr buffer(out);
    if (in1->vekndim == 3) {
        zvekUi().message(tr("This function cannot run on color images."));
        return;
    }

    struct Parameter {
        const char *label;
        const char *text;
        float empty;
    };
    static const Parameter kParameters[] = {
        {QT_TR_NOOP("sigma [2.0]"), "2.0", 3.0f}, {QT_TR_NOOP("r [.03]"), ".03", 0.03f},
        {QT_TR_NOOP("b [4]"), "4.0", 4.0f},       {QT_TR_NOOP("t1 [1.0]"), "1.0", 1.0f},
        {QT_TR_NOOP("t2 [.005]"), "0.005", 0.005f}, {QT_TR_NOOP("dlt [.99]"), ".99", 0.99f},
    };
    QStringList labels, values;
    for (const Parameter &p : kParameters) {
        labels << tr(p.label);
        values << QString::fromLatin1(p.text);
    }
    if (!zvekUi().form(this, tr("MFA parameters: if not filled in,\n default will be used"), labels,
                       values) ||
        values.size() < 6)
        return;
    float v[6];
    for (int i = 0; i < 6; ++i) v[i] = values[i].isEmpty() ? kParameters[i].empty : values[i].toFloat();

    disableButtons();
    // A refusal leaves Input 1 as it was; the operation has said why on
    // standard output, the user is told here.
    switch (pconsub(in1, in2, v[0], v[1], v[2], v[3], v[4], v[5])) {
    case 0:
        if (answer == 0)
            storeBinaryOutput(outSlot, buffer.release());
        else
            deleteChildWindow(outSlot);
        break;
    case -12: zvekUi().message(tr("Restoration works on float images only: convert both inputs to float.")); break;
    case -13: zvekUi().message(tr("Input 1 and Input 2 must have the same number of rows and columns.")); break;
    case -14:
        // Too long a schedule is told with its count of rounds.
        if (const long long rounds = pconRounds(v[3], v[4], v[5]); rounds > 100000)
            zvekUi().message(tr("The annealing schedule takes %1 rounds, more than the 100000 allowed.").arg(rounds));
        else
            zvekUi().message(tr("These annealing parameters would not let the restoration finish."));
        break;
    case -15: zvekUi().message(tr("Restoration needs images of at least 3 rows and 3 columns.")); break;
    default: badMsg(3); break;
    }
    updateAccessability();
}

// ---------------------------------------------------------------------------
// Script running

void ZVektoolMainWindow::runScript() {
    // ReRun has made this test itself before it calls here.
    if (commandRunning() && !rerunRequested) return;  // the running command's images must stay
    CommandScope scope(this);
    if (!rerunRequested) {
        const QString path = zvekUi().openFile(this, tr("Select Script"), QDir::homePath(), "");
        if (path.isEmpty()) {
            zvekUi().message(tr("ScriptName is empty"));
            return;
        }
        scriptPath = path;
        scriptDir = QFileInfo(path).absolutePath();
        scriptInputPath = scriptDir + "/ImgViewTempInput.Zvek";
    }
    rerunRequested = false;

    // An empty Output slot makes the writer refuse with its own report, as
    // does a FIFO, device or directory in the input file's place (which is
    // also told); the script runs all the same.
    bool notRegular = false;
    writeImageFile(slotImageOf(getRadioButtonStatus(OUTPUT)), scriptInputPath, &notRegular);
    if (notRegular) zvekUi().message(notRegularMessage(scriptInputPath));

    const QByteArray command = "(cd " + shellQuoted(scriptDir) + ";" + shellQuoted(scriptPath) + ")";
    addConsoleOutput("\nScript started...");
    std::fflush(stdout);
    const int status = std::system(command.constData());
    (void)status;  // the script's own business
    addConsoleOutput("Script completed\n");

    scriptOutputPath = scriptDir + "/ImgViewTempOutput.Zvek";
    const QByteArray output = scriptOutputPath.toLocal8Bit();
    if (!QFileInfo(scriptOutputPath).isFile()) {
        zvekUi().message(tr("Your script did not produce an output file that I know how to process"));
        return;
    }
    ZVEKHDR *result = readImageFile(scriptOutputPath);
    const int slot = getRadioButtonStatus(INPUT_2);
    if (result && slot >= 0) {
        release(gZVektool->images[slot]);
        gZVektool->images[slot] = result;
        gZVektool->imageNames[slot] = "ReturnedFromScript";
    } else if (result) {
        Zvekfree(result, 7);
    }
    // The result file is used up either way, and the script can be run again.
    const QByteArray remove = "rm " + shellQuoted(scriptOutputPath);
    if (std::system(remove.constData()) != 0) {
        std::printf("cannot remove %s\n", output.constData());
        std::fflush(stdout);
    }
    rerunAct->setEnabled(true);
    // An unreadable result (reported by the reader) leaves Input 2 as it was.
    if (!result) zvekUi().message(tr("Your script did not produce an output file that I know how to process"));
}

void ZVektoolMainWindow::rerunScript() {
    if (commandRunning()) return;  // the running command's images must stay
    CommandScope scope(this);
    if (scriptInputPath.isEmpty()) {
        zvekUi().message(tr("You must run a script before you can rerun it."));
        return;
    }
    rerunRequested = true;
    runScript();
}
