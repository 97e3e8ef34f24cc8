// extremes.h - the extremes scan over the finite values of a float array,
// shared by the operations (equalisation) and the view window (its working
// copy). Built for AVX-512, AVX2 and any x86-64 and chosen by
// zvek::vectorLevel; every build gives the bits of the plain loop.
#ifndef EXTREMES_H
#define EXTREMES_H

#include <cstdint>

namespace ops {

// Extremes of the finite values among n floats, as a plain scan from the
// start values mn and mx makes them (a value beyond an extreme replaces it,
// so a zero extreme keeps the sign of the first zero that reached it).
// Answers whether every value was finite.
bool finiteExtremes(const float *p, int64_t n, float &mn, float &mx);

}  // namespace ops

#endif  // EXTREMES_H
