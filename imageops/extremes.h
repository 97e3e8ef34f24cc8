// extremes.h - the extremes scan over the finite values of a float array,
// shared by the operations (equalisation) and the view window (its working
// copy), and the choice of instruction set for such whole-array passes. Built
// for AVX-512, AVX2 and any x86-64; every build gives the bits of the plain
// loop.
#ifndef EXTREMES_H
#define EXTREMES_H

#include <cstdint>

namespace ops {

// Extremes of the finite values among n floats, as a plain scan from the
// start values mn and mx makes them (a value beyond an extreme replaces it,
// so a zero extreme keeps the sign of the first zero that reached it).
// Answers whether every value was finite.
bool finiteExtremes(const float *p, int64_t n, float &mn, float &mx);

// Limits the scan, and equalisation's passes over the whole image, to an
// instruction set: 0 any x86-64, 1 AVX2, 2 AVX-512 (the default: the widest
// the machine has). Answers the one now in use.
int limitScanInstructionSet(int level);

// The instruction set the scans use now (as above).
int scanInstructionSet();

}  // namespace ops

#endif  // EXTREMES_H
