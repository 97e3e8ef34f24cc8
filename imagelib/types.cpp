// The data-type table and its lookups.
#include "zvek.h"

#include <cstring>

[[maybe_unused]] static const char *const typesVersion = "Zvektype V1.0\t\t06 Dec 2026";

const ZVEKDTYP Zvek_Dtyp[] = {
    {"byte", 0, 0},     {"char", 0, 0},      {"i1", 0, 0},       {"I1", 0, 0},
    {"8bit", 1, DT_8BIT},
    {"ubyte", 0, 0},    {"uchar", 0, 0},
    {"u8bit", 1, DT_U8BIT},
    {"short", 0, 0},    {"i2", 0, 0},        {"I2", 0, 0},
    {"16bit", 2, DT_16BIT},
    {"ushort", 0, 0},
    {"u16bit", 2, DT_U16BIT},
    {"int", 0, 0},      {"long", 0, 0},      {"i4", 0, 0},       {"I4", 0, 0},
    {"32bit", 4, DT_32BIT},
    {"float", 0, 0},    {"real", 0, 0},      {"real*4", 0, 0},   {"r4", 0, 0},
    {"R4", 0, 0},
    {"32flt", 4, DT_32FLT},
    {"double", 0, 0},   {"real*8", 0, 0},    {"r8", 0, 0},       {"R8", 0, 0},
    {"64flt", 8, DT_64FLT},
    {"complex", 0, 0},  {"c4", 0, 0},        {"C4", 0, 0},       {"complex*4", 0, 0},
    {"32cmp", 8, DT_32CMP},
    {"c8", 0, 0},       {"C8", 0, 0},        {"complex*8", 0, 0},
    {"64cmp", 16, DT_64CMP},
    {"Su8bit3", 1, DT_SU8BIT3},
    {"S8bit3", 1, DT_S8BIT3},
    {"Su8bit4", 1, DT_SU8BIT4},
    {"S8bit4", 1, DT_S8BIT4},
    {"Su16bit3", 2, DT_SU16BIT3},
    {"S16bit3", 2, DT_S16BIT3},
    {"Su16bit4", 2, DT_SU16BIT4},
    {"S16bit4", 2, DT_S16BIT4},
    {"S32bit3", 4, DT_S32BIT3},
    {"S32bit4", 4, DT_S32BIT4},
    {"S32flt3", 4, DT_S32FLT3},
    {"S32flt4", 4, DT_S32FLT4},
    {"S64flt3", 8, DT_S64FLT3},
    {"S64flt4", 8, DT_S64FLT4},
    {"struct", 1, DT_STRUCT},
};

const int Zvek_Ntyp = sizeof(Zvek_Dtyp) / sizeof(Zvek_Dtyp[0]);
static_assert(sizeof(Zvek_Dtyp) / sizeof(Zvek_Dtyp[0]) == 54, "the type table has 54 rows");

int32_t ZvekCPUEndian = 0;

const ZVEKDTYP *Zvektype(const char *name) {
    if (name) {
        for (int i = 0; i < Zvek_Ntyp; ++i) {
            if (std::strcmp(name, Zvek_Dtyp[i].dtname) != 0) continue;
            for (int j = i; j < Zvek_Ntyp; ++j)
                if (Zvek_Dtyp[j].dtcode != 0) return &Zvek_Dtyp[j];
        }
    }
    Zvekerr = ZVEK_EDTYPE;
    return nullptr;
}

int32_t Zvekntype(const char *name) {
    const ZVEKDTYP *t = Zvektype(name);
    return t ? t->dtcode : 0;
}
