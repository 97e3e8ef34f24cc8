// imageops.h - the image operations: plain functions over ZVEKHDR images.
//
// Conventions shared by every operation:
//  - inputs first, then outputs, then scalar parameters;
//  - outputs are images the caller has already made (as a rule float, of the
//    input's size); only flcrcopy and flcolor2gray make images themselves;
//  - results are int: 0 on success, -1 when an image has the wrong type,
//    -2 when sizes disagree (every dimension of the first image must have
//    the same length in the other, and neither may have a dimension of
//    length 0), other codes as each operation says;
//  - the operations neither read nor set the image library's error state;
//    they report through their results and lines on standard output;
//  - an output may be the same image as an input;
//  - an image of an interleaved type that is not 3-D with at least a frame
//    per channel is refused as unusable (its channels would lie past its
//    data).
#ifndef IMAGEOPS_H
#define IMAGEOPS_H

#include "zvek.h"

// ---- Element-wise ----

// 1 when all three images are float or all three are complex, else 0.
int samefldtype3(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *c);
// 1 when both images are float or both are complex, else 0.
int samefldtype2(ZVEKHDR *a, ZVEKHDR *b);

// Float images only: -1 wrong type, -2 sizes disagree, else 0.
int flabsolute(ZVEKHDR *in, ZVEKHDR *out);
int fladds(ZVEKHDR *in, ZVEKHDR *out, float s);
int flmults(ZVEKHDR *in, ZVEKHDR *out, float s);
// out = exp(in / scale), values above 255 stored as 255.
int flexp(ZVEKHDR *in, ZVEKHDR *out, float scale);
// out = max - in; prints the range it found.
int flinv(ZVEKHDR *in, ZVEKHDR *out);
// out = ln(in) where in > 0, else 0.
int flln(ZVEKHDR *in, ZVEKHDR *out);
// out = sqrt(in); stops at the first sample that is not >= 0 and returns 1.
int flsqrt(ZVEKHDR *in, ZVEKHDR *out);

// Float or complex images (all of one kind).
int fladdv(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *out);
int flmultv(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *out);
int fldivv(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *out);
int flatan2(ZVEKHDR *y, ZVEKHDR *x, ZVEKHDR *out);
int flcp(ZVEKHDR *in, ZVEKHDR *out);

// New float image holding a copy of a float image; null for a non-float
// or missing input. The caller releases it with Zvekfree(copy, 7).
ZVEKHDR *flcrcopy(ZVEKHDR *in);
// Gray of a three-frame colour image into the 2-D image *out; a non-float
// *out is replaced by a float image of its size (the pointer is updated).
// -1 missing image or unreadable type (an interleaved one without a frame
// per channel included), -2 input not colour (three dimensions, at least
// three frames), -4 output not 2-D, -5 columns differ, -6 rows differ.
int flcolor2gray(ZVEKHDR *in, ZVEKHDR **out);

// ---- Shifted arithmetic ----

// out(r, c) = a op b with b placed dr rows and dc columns from a; out must be
// max(rows(a) + |dr|, rows(b)) rows by max(columns(a) + |dc|, columns(b))
// columns (and three frames or more for colour images). Results: 0 done,
// -1 out's size wrong or out without pixels (or an image of a type the
// pixel accessors don't read, or interleaved without a frame per channel),
// -2 a and b differ in their number of dimensions,
// -3 a colour input with fewer than three frames.
int fladdi(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *out, int dr, int dc);
int flsubi(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *out, int dr, int dc);
int flmuli(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *out, int dr, int dc);
// 255 where the divisor sample is 0.
int fldivi(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *out, int dr, int dc);

// ---- Derivative filter ----

// Derivative-of-Gaussian filter: order 0..3, dir 0 = x (columns), 1 = y
// (rows), 2 = mixed xy, 3 = Laplacian of Gaussian (order 0 only). Results:
// 0 done; -1 order above 3; -2 order 0 or 1 with dir xy; -3 order 3 with dir
// xy; -4 any other invalid order or direction; -5 image has fewer rows than
// twice the kernel side; -6 input not float; -7 sigma zero, so small that
// its square is 0 in single precision, or not finite; -8 output missing,
// smaller than the input, or interleaved without a frame per channel; -9 no
// memory for the padded rows; -10 an input without pixels. The output is
// untouched on every failure. The output may be the input itself.
int flDoG(ZVEKHDR *in, ZVEKHDR *out, int order, int dir, float sigma);
// Edge-replicated padded copy of one frame of a float image; the caller
// releases it with Zvekfree(image, 7). Null on bad arguments.
ZVEKHDR *padme1(ZVEKHDR *in, int padRows, int padCols, int frame);

// ---- Features ----

// All take a float input and a float output of the input's size: -1 wrong
// type (or no memory for the temporaries, which the image library
// reports), -10 an image without pixels, -2 sizes disagree; a failure of
// the inner derivative filter is returned as it stands. The output may be
// the input itself.
int flcurv(ZVEKHDR *in, ZVEKHDR *out, float sigma);
int flgmag(ZVEKHDR *in, ZVEKHDR *out, float sigma);
int flgdir(ZVEKHDR *in, ZVEKHDR *out, float sigma);
// sigma < 0: Lxx^2 + Lyy^2 at -sigma.
int flLaplace(ZVEKHDR *in, ZVEKHDR *out, float sigma);
int flqvar(ZVEKHDR *in, ZVEKHDR *out, float sigma);
// Harris response at interior pixels; the border of out is not written.
int flHarris(ZVEKHDR *in, ZVEKHDR *out, float sigma);
// Marks strict local maxima red in out, a float image of three frames or
// more with the input's columns and rows. A 3-D input needs three frames.
int flmarkmax(ZVEKHDR *in, ZVEKHDR *out, float sigma);
// 1 when some sample of a float image is below 0.
int ifneg(ZVEKHDR *image);

// ---- Correlation ----

// Template correlation of image A with template T into out (A's size; only
// positions where the template fits are written). Results: 0 done (also
// when nothing fits), -2 A or T not float, -3 a constant template (gray) or
// a constant image frame (colour) would divide by zero, -4 a colour image or
// template with fewer than three frames, -5 out missing, too small, or (for
// colour) not a float image of three frames, -6 not enough memory for the
// scratch images, -10 an image or template without pixels. The output may
// be the image or the template itself.
int flcorrelate(ZVEKHDR *A, ZVEKHDR *T, ZVEKHDR *out);
int corr1frame(ZVEKHDR *A, ZVEKHDR *T, ZVEKHDR *out);

// ---- Histogram equalisation ----

// Equalises the gray levels of in into out (out has in's shape). N <= 0: the
// whole image (all three frames of a three-frame image together) onto 0..255;
// N > 0: every pixel against its own (2N + 1) x (2N + 1) window, mapped back
// into that window's range (in and out float). Results: 0 done; -1 the image
// is not larger than the neighbourhood (or, for N > 0, has fewer than 2N + 1
// rows or columns); -2 all samples equal (whole image); -3 a window result
// fell outside 0..255 (out untouched); -4 out does not fit the input, or not
// float images for the window mode; -5 no memory for the scratch storage.
int flHistogramEq(ZVEKHDR *in, ZVEKHDR *out, int N);

// ---- Restoration ----

// Restores the noisy gray image g into f, which holds the starting estimate
// and receives the result (mean-field annealing: gradient descent on a data
// term and an edge-preserving smoothness term while the temperature falls
// from t1 by the factor dlt per round down to t2). g is never changed.
// Results: 0 done (also when the gradient vanishes: "magf=0 exiting", f is
// the fixed point); -12 f or g not float; -13 sizes differ; -14 parameters
// that would not finish, would divide by zero (t2 <= 0, dlt >= 1 with
// t1 >= t2, sigma 0, a value that is not finite) or would take more than
// 100,000 rounds (the line on standard output gives the count); -15 fewer
// than 3 rows or columns, or an image without pixels; -16 no memory for the
// temporaries. Nothing is changed on a failure.
int pconsub(ZVEKHDR *f, ZVEKHDR *g, float sigma, float r, float b, float t1, float t2, float dlt);
// Rounds of pconsub's schedule: the temperatures t1, dlt t1, dlt (dlt t1),
// ... in double, counted while not below t2 (one by one up to 10^8, beyond
// that by logarithms, within a few rounds); -1 for a schedule that would
// never end (t2 <= 0, dlt >= 1 with t1 >= t2, a value that is not finite).
long long pconRounds(float t1, float t2, float dlt);

// ---- Labelling ----

// Labels the regions of a gray image (or of the colour magnitude of a
// three-frame image): neighbours (up, left, up-left) whose values are at least
// minval and differ by no more than thresh share a class; pixels outside
// minval..maxval are background (0). Row 0 and column 0 stay -1 (the corner
// 0). With eraseSmall or eraseLarge non-zero the class areas are counted, an
// areas file (when the name is not empty) gets one line "label area" per
// label 0..count, and classes below eraseSmall or above eraseLarge pixels
// become background. The labels go into frame 0 of out (the input's columns
// and rows). Results: 0 done (*numLabels = the label count); 1 more than
// 499,999 labels needed (out and *numLabels untouched); -1 a label beyond the
// equivalence table; -2 unusable input or an output that does not fit;
// -3 the areas file could not be written (*numLabels set, out untouched);
// -4 a three-dimensional input with fewer than three frames; -5 no memory
// for the work images.
int cclC4_2(ZVEKHDR *in, int eraseSmall, int eraseLarge, int *numLabels, const char *areasFile, ZVEKHDR *out,
            float thresh, float minval, float maxval);

// ---- Gradient histograms ----

// Counts, per 8 x 8 cell of img, the pixels whose gradient direction (the
// derivative filter at sigma 1) falls into each of nine 40-degree sectors;
// hog is the caller's zero-filled float image of (columns / 8) x (rows / 8)
// x 9 frames, frame k for the sector [40k, 40k + 40). A 2-D image is taken
// as gray, a three-frame image as colour (gradients averaged over the
// frames); any other image leaves hog untouched. Results: 0 done (also for an
// image without a whole cell, hog untouched); -1 an unusable image or hog not
// float; -2 hog of the wrong size or a colour image with fewer than three
// frames; -3 no memory for the temporaries.
int HoGdescriptor(ZVEKHDR *img, ZVEKHDR *hog);
int HoGdescriptor2D(ZVEKHDR *img, ZVEKHDR *hog);
int HoGdescriptorCLR(ZVEKHDR *img, ZVEKHDR *hog);
// gx, gy = the averages of frames 0..2 of dx and dy (float images; gx and gy
// of their columns and rows). 0 done, -1 not float, -2 sizes do not fit (or
// an image without pixels).
int maxgrad(ZVEKHDR *dx, ZVEKHDR *dy, ZVEKHDR *gx, ZVEKHDR *gy);
// Draws a descriptor (9 frames) into picture, (9 x columns) x (9 x rows) of
// it, zero-filled: per cell one line per non-zero sector at the sector's
// angle, as bright as its count, smaller counts first. 0 done, -1 unusable
// images, -2 hog without 9 frames (picture untouched).
int ShowHoG(ZVEKHDR *hog, ZVEKHDR *picture);
// One line of 2 halfLength + 1 samples through (cy, cx) at angle (radians),
// three pixels thick; positions outside the picture are skipped. A
// half-length of 2^24 or more (no unit steps in single precision) is refused
// with a line on standard output.
void drawline(ZVEKHDR *picture, float cy, float cx, float angle, float value, float halfLength);
// Sorts (bin, value) pairs lo..hi ascending by value (quicksort, Hoare
// partitioning around the truncated middle value; moved entries truncated).
void qsort2(float (*pairs)[2], int lo, int hi);

#endif  // IMAGEOPS_H
