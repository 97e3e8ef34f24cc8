// pendingview.h - library functions the view window and the conversion call
// whose implementations are not in this tree yet. Weak stand-ins answer
// failure until they land.
#ifndef PENDINGVIEW_H
#define PENDINGVIEW_H

#include "zvek.h"

ZVEKHDR *Zvekslice(ZVEKHDR *h, const char *dimName, int index);
int Zvekvidscale(ZVEKHDR *in, ZVEKHDR *out, float *min, float *max, int perFrame);
int Zvekpot(ZVEKHDR *h, const char *fileName);

#endif
