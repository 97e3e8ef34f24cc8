// NaNs of given bits or of any sign and payload; x86's result r of a op b as written: a's NaN, else b's, quieted, else r.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstring>
inline float nanOf(uint32_t b) { float v; return std::memcpy(&v, &b, 4), v; }
template <typename G> float anyNaN(G &g) { return nanOf((g() & 0x807fffffu) | 0x7f800001u); }
template <typename T> T firstNaN(T r, T a, T b) {
    unsigned char q[sizeof(T)];  // picked by their bits; the quiet bit is the top bit of the significand
    std::memcpy(q, std::isnan(a) ? &a : std::isnan(b) ? &b : &r, sizeof q);
    q[sizeof(T) - 2] |= std::isnan(a) || std::isnan(b) ? (sizeof(T) == 4 ? 0x40 : 0x08) : 0;
    return std::memcpy(&r, q, sizeof q), r;
}
