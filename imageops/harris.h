// harris.h - the per-pixel loop of the Harris corner response, declared
// apart so that tests and benchmarks can run it on chosen derivatives.
#ifndef HARRIS_H
#define HARRIS_H

namespace ops {

// From the derivative planes lx and ly (frames planes of cols x rows
// floats, row after row) the response of every interior pixel into out: the
// sums of lx lx, ly ly and lx ly over its 3 x 3 neighbourhood in double
// (neighbour rows outer, columns inner, from 0), each divided by 9, then
// det - (0.07 tr) tr stored as float, a NaN being the one x86 gives for the
// operations in the order written. The border pixels of out are left
// alone. 0 done, -1 no memory for the scratch rows.
int harrisLoop(const float *lx, const float *ly, float *out, int cols, int rows, int frames);

}  // namespace ops

#endif  // HARRIS_H
