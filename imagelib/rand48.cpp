// The 48-bit linear congruential generator family (the rand48 definitions
// and constants), with the library's own state so that sequences do not
// depend on the platform's runtime.
#include "zvek.h"

#include <cstdint>

namespace {

[[maybe_unused]] const char *const rand48Version = "Zvekrand48 V1.1\t\t06 Dec 2026";

// X, a and c as 16-bit limbs, least significant first.
unsigned short gX[3] = {0x330E, 0xABCD, 0x1234};
const unsigned short kA[3] = {0xE66D, 0xDEEC, 0x0005};
const unsigned short kC = 0x000B;
unsigned short gA[3] = {kA[0], kA[1], kA[2]};
unsigned short gC = kC;

// X = (a x X + c) mod 2^48 on the limbs, with carries.
void step(unsigned short x[3]) {
    uint32_t acc = static_cast<uint32_t>(gA[0]) * x[0] + gC;
    const unsigned short y0 = static_cast<unsigned short>(acc);
    acc >>= 16;
    acc += static_cast<uint32_t>(gA[0]) * x[1];
    uint32_t acc2 = acc >> 16;
    acc = (acc & 0xFFFF) + static_cast<uint32_t>(gA[1]) * x[0];
    acc2 += acc >> 16;
    const unsigned short y1 = static_cast<unsigned short>(acc);
    acc2 += static_cast<uint32_t>(gA[0]) * x[2] + static_cast<uint32_t>(gA[1]) * x[1] +
            static_cast<uint32_t>(gA[2]) * x[0];
    x[0] = y0;
    x[1] = y1;
    x[2] = static_cast<unsigned short>(acc2);
}

double toDouble(const unsigned short x[3]) {
    return x[0] * (1.0 / 281474976710656.0) + x[1] * (1.0 / 4294967296.0) + x[2] * (1.0 / 65536.0);
}

long top31(const unsigned short x[3]) {
    return (static_cast<long>(x[2]) << 15) | (x[1] >> 1);
}

long top32(const unsigned short x[3]) {
    const uint32_t v = (static_cast<uint32_t>(x[2]) << 16) | x[1];
    return static_cast<long>(static_cast<int32_t>(v));
}

void resetMultiplier() {
    for (int i = 0; i < 3; ++i) gA[i] = kA[i];
    gC = kC;
}

}  // namespace

double Zvekdrand48() {
    step(gX);
    return toDouble(gX);
}

long Zveklrand48() {
    step(gX);
    return top31(gX);
}

long Zvekmrand48() {
    step(gX);
    return top32(gX);
}

double Zvekerand48(unsigned short xsubi[3]) {
    step(xsubi);
    return toDouble(xsubi);
}

long Zveknrand48(unsigned short xsubi[3]) {
    step(xsubi);
    return top31(xsubi);
}

long Zvekjrand48(unsigned short xsubi[3]) {
    step(xsubi);
    return top32(xsubi);
}

void Zveksrand48(long seed) {
    const uint32_t s = static_cast<uint32_t>(seed);
    gX[0] = 0x330E;
    gX[1] = static_cast<unsigned short>(s);
    gX[2] = static_cast<unsigned short>(s >> 16);
    resetMultiplier();
}

unsigned short *Zvekseed48(unsigned short xsubi[3]) {
    static unsigned short previous[3];
    for (int i = 0; i < 3; ++i) {
        previous[i] = gX[i];
        gX[i] = xsubi[i];
    }
    resetMultiplier();
    return previous;
}

void Zveklcong48(unsigned short param[7]) {
    for (int i = 0; i < 3; ++i) {
        gX[i] = param[i];
        gA[i] = param[3 + i];
    }
    gC = param[6];
}
