// ZvekOp.h - the operation dispatcher of the control panel.
//
// The command slots of the main window prepare the input and output images
// and hand the work to one ZVekOp object with an operation code. The
// dispatcher asks for the command's parameters, calls the library
// operation and reports failures itself (message boxes and self-closing
// notices, all through the ZVekUi object in use). It keeps no state between
// calls and releases no image of the caller's except where binary() says so.
#ifndef ZVEKOP_H
#define ZVEKOP_H

#include <QCoreApplication>

#include "zvek.h"

class QWidget;

class ZVekOp {
    Q_DECLARE_TR_FUNCTIONS(ZVekOp)

public:
    // parent becomes the parent of every dialog the dispatcher opens.
    explicit ZVekOp(QWidget *parent);

    // Runs one-image operation code (1..36) on in, writing into out, an image
    // of in's columns and rows of the kind the operation needs ("float";
    // "32cmp" for the Fourier transforms; two-dimensional for colour to gray;
    // three frames for pseudo-colour and mark-maxima). Colour to gray (20)
    // may replace out by a new image; a controller slot or the scratch image
    // that held the old one is updated with it.
    //
    // Answers true when the operation ran and out holds its result, false
    // when nothing was computed: an empty input, a code without an
    // operation, Cancel, a refusal, or an operation that failed and left out
    // as it was. A caller whose out is a temporary that would replace the
    // input can keep the input on false.
    bool unary(int code, ZVEKHDR *&in, ZVEKHDR *&out);

    // Runs two-image operation code (9 correlation, 22 add, 25 sub, 26 mul,
    // 27 div, 24 nothing) on in1 and in2. out is the caller's "float" buffer
    // of Input 1's size: either the image of controller slot outSlot or an
    // unstored temporary.
    //
    // Answers true when out is what the Output slot gets. Shifted arithmetic
    // makes a result of its own size: the dispatcher releases the buffer and
    // hands the result back through out, and when the buffer was the slot's
    // image it has already put the result into slot outSlot. So after true:
    // when images[outSlot] != out, release images[outSlot] and store out
    // there; otherwise the slot is settled. Answers false when the command
    // was refused, cancelled or failed: out is the caller's buffer as given
    // (a temporary is the caller's to release) and the Output slot should
    // keep what it holds.
    bool binary(int code, ZVEKHDR *&in1, ZVEKHDR *&in2, ZVEKHDR *&out, int outSlot);

    // The modal translation form of the shifted arithmetic: on Ok the two
    // shifts (rows first) and status 0, on Cancel status -1 with the shifts
    // untouched.
    void gettwonumbers(int *rowShift, int *colShift, int *status);

    // Random colour map: frames 0..2 of out at every (r, c) with r, c >= 1
    // receive the colour of label Zvekigp(labels, r, c) from a table of n
    // colours drawn from the library's 48-bit generator. Labels 0 and 1, and
    // labels without an entry in the table (negative, n or more), are black.
    // out must be three-dimensional with three frames or more; only the part
    // that both images cover is written.
    static void colormap6(ZVEKHDR *labels, ZVEKHDR *out, int n);

    // Waits two seconds while processing events.
    static void delay();

private:
    bool labelling(ZVEKHDR *in, ZVEKHDR *out);
    bool equalise(ZVEKHDR *in, ZVEKHDR *out);
    bool pseudoColour(ZVEKHDR *in, ZVEKHDR *out);
    bool fourier(ZVEKHDR *in, ZVEKHDR *out, int dir);
    bool shiftedArithmetic(int code, ZVEKHDR *in1, ZVEKHDR *in2, ZVEKHDR *&out, int outSlot,
                           int *result);
    bool correlate(ZVEKHDR *in1, ZVEKHDR *in2, ZVEKHDR *out, int *result);

    QWidget *dialogParent;
};

#endif  // ZVEKOP_H
