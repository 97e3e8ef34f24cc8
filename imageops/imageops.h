// imageops.h - the image operations library.
#ifndef IMAGEOPS_H
#define IMAGEOPS_H

#include "zvek.h"

// ---- Histogram equalisation ----

// Equalises the gray levels of in into out (out has in's shape). N <= 0: the
// whole image (all three frames of a three-frame image together) onto 0..255;
// N > 0: every pixel against its own (2N + 1) x (2N + 1) window, mapped back
// into that window's range (in and out float). Results: 0 done; -1 the image
// is not larger than the neighbourhood; -2 all samples equal (whole image);
// -3 a window result fell outside 0..255 (out untouched); -4 out does not fit
// the input, or not float images for the window mode.
int flHistogramEq(ZVEKHDR *in, ZVEKHDR *out, int N);

// ---- Restoration ----

// ---- Labelling ----

// ---- Gradient histograms ----

#endif  // IMAGEOPS_H
