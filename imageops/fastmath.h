// fastmath.h - exponent, natural logarithm and two-argument arc tangent of
// float runs, evaluated in double with short polynomials and stored as
// float. The stored value is always the one a double std::exp / std::log /
// std::atan2 call rounded to float gives:
// a sample whose polynomial value might round differently (it lies close to
// the midpoint between two floats) or that is special is handed to the
// library call instead.
#ifndef FASTMATH_H
#define FASTMATH_H

#include <cstdint>

namespace ops {

// dst[i] = e, e = float(std::exp(double(src[i] / scale))), 255 where e > 255,
// from the first sample to the last. src and dst are the same array or
// disjoint. level picks the instruction set (2 AVX-512, 1 AVX2, 0 baseline,
// -1 the best the processor has).
void expFloats(const float *src, float *dst, int64_t n, float scale, int level = -1);

// dst[i] = float(std::log(double(src[i]))) where src[i] > 0, else 0, from the
// first sample to the last; same arrays and levels as expFloats.
void lnFloats(const float *src, float *dst, int64_t n, int level = -1);

// dst[i] = float(std::atan2(double(y[i]), double(x[i]))) from the first
// sample to the last; dst is y, x or an array disjoint from both; levels as
// in expFloats.
void atan2Floats(const float *y, const float *x, float *dst, int64_t n, int level = -1);

}  // namespace ops

#endif  // FASTMATH_H
