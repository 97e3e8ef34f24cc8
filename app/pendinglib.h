// pendinglib.h - library functions the loader calls whose implementations
// are not in this tree yet. Weak stand-ins answer failure until they land.
#ifndef PENDINGLIB_H
#define PENDINGLIB_H

#include "zvek.h"

ZVEKHDR *Zvekpin(const char *fileName);
ZVEKHDR *Zvekplotcontour(const char *fileName, int rows, int cols, int precise, float scale);

#endif
