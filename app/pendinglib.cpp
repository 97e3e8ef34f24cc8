// pendinglib.cpp - weak stand-ins, replaced by the library's own functions.
#include "pendinglib.h"

__attribute__((weak)) ZVEKHDR *Zvekplotcontour(const char *, int, int, int, float) {
    return nullptr;
}
