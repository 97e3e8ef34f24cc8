// pendingview.cpp - weak stand-ins, replaced by the library's own functions.
#include "pendingview.h"

__attribute__((weak)) ZVEKHDR *Zvekslice(ZVEKHDR *, const char *, int) { return nullptr; }
__attribute__((weak)) int Zvekvidscale(ZVEKHDR *, ZVEKHDR *, float *, float *, int) { return -2; }
__attribute__((weak)) int Zvekpot(ZVEKHDR *, const char *) { return 0; }
