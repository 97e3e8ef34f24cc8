// The pixel accessors: one pixel of any non-struct type as double or int.
#include "zvek.h"
#include "zvekint.h"

#include <cstdio>

[[maybe_unused]] static const char *const accessVersion = "Zvekfgp V1.0\t\t06 Dec 2026";

namespace {

void report(const char *name, const char *what) {
    char msg[128];
    std::snprintf(msg, sizeof msg, "%s: %s", name, what);
    Zvekext(ZVEKSLV, msg);
}

// Checks the header (while ZVEKCHK is on) and works out the byte address of
// the pixel. Null when the pixel cannot be addressed; the report is made.
// threeD selects the frame/row/column members, which handle the interleaved
// types too.
unsigned char *locate(ZVEKHDR *h, bool threeD, int frame, int row, int col, const char *name) {
    if (ZVEKCHK) {
        if (h == nullptr) {
            Zvekerr = ZVEK_ENULL;
            report(name, "Image header is NULL");
            return nullptr;
        }
        if (!zvek::goodMagic(h)) {
            Zvekerr = ZVEK_EBADHDR;
            report(name, "Invalid image header (bad magic no.)");
            return nullptr;
        }
    }
    const int64_t columns = Zvekdimen(h, 0);
    if (threeD) (void)Zvekdimen(h, 1);
    // With the header check off a null header has been reported by the
    // size query only; there is nothing to address.
    if (h == nullptr) return nullptr;
    const int code = h->dtype;
    const bool handled = threeD ? (zvek::isPlainType(code) || zvek::typeLayout(code).channels > 1)
                                : zvek::isPlainType(code);
    if (!handled) {
        Zvekerr = ZVEK_EDTYPE;
        report(name, "unrecognized or illegal data type.");
        return nullptr;
    }
    if (h->vekptr == nullptr) {
        // A header made without pixel data has nothing to address.
        Zvekerr = ZVEK_EBADHDR;
        report(name, "image has no pixel data.");
        return nullptr;
    }
    const int channels = zvek::typeLayout(code).channels;
    int64_t index;
    if (!threeD)
        index = static_cast<int64_t>(row) * h->vekdln[1] + col;
    else if (channels > 1)
        index = (static_cast<int64_t>(row) * columns + col) * channels + frame;
    else
        index = static_cast<int64_t>(frame) * h->vekdln[2] + static_cast<int64_t>(row) * h->vekdln[1] + col;
    return static_cast<unsigned char *>(h->vekptr) + index * h->vekbpd;
}

template <typename R, typename Conv>
R getAs(ZVEKHDR *h, bool threeD, int frame, int row, int col, const char *name, Conv conv) {
    unsigned char *p = locate(h, threeD, frame, row, col, name);
    if (p == nullptr) return R(0);
    R result = R(0);
    zvek::dispatchType(h->dtype, [&](auto tag) {
        using T = typename decltype(tag)::type;
        T v;
        std::memcpy(&v, p, sizeof v);
        result = conv(v);
    });
    return result;
}

template <typename Store>
int putWith(ZVEKHDR *h, bool threeD, int frame, int row, int col, const char *name, Store store) {
    unsigned char *p = locate(h, threeD, frame, row, col, name);
    if (p == nullptr) return 0;
    zvek::dispatchType(h->dtype, [&](auto tag) {
        using T = typename decltype(tag)::type;
        const T v = store(tag);
        std::memcpy(p, &v, sizeof v);  // a complex datum: the real part only
    });
    return -1;
}

const auto toDouble = [](auto v) { return static_cast<double>(v); };
const auto toInt = [](auto v) { return zvek::intFromComponent(v); };

}  // namespace

double Zvekfgp(ZVEKHDR *h, int row, int col) {
    return getAs<double>(h, false, 0, row, col, "Zvekfgp", toDouble);
}

double Zvekfgp3d(ZVEKHDR *h, int frame, int row, int col) {
    return getAs<double>(h, true, frame, row, col, "Zvekfgp3d", toDouble);
}

int Zvekigp(ZVEKHDR *h, int row, int col) {
    return getAs<int>(h, false, 0, row, col, "Zvekigp", toInt);
}

int Zvekigp3d(ZVEKHDR *h, int frame, int row, int col) {
    return getAs<int>(h, true, frame, row, col, "Zvekigp3d", toInt);
}

int Zvekfpp(ZVEKHDR *h, int row, int col, double v) {
    return putWith(h, false, 0, row, col, "Zvekfpp", [v](auto tag) {
        return zvek::storeFromDouble<typename decltype(tag)::type>(v);
    });
}

int Zvekfpp3d(ZVEKHDR *h, int frame, int row, int col, double v) {
    return putWith(h, true, frame, row, col, "Zvekfpp3d", [v](auto tag) {
        return zvek::storeFromDouble<typename decltype(tag)::type>(v);
    });
}

int Zvekipp(ZVEKHDR *h, int row, int col, int v) {
    return putWith(h, false, 0, row, col, "Zvekipp", [v](auto tag) {
        return zvek::storeFromInt<typename decltype(tag)::type>(v);
    });
}

int Zvekipp3d(ZVEKHDR *h, int frame, int row, int col, int v) {
    return putWith(h, true, frame, row, col, "Zvekipp3d", [v](auto tag) {
        return zvek::storeFromInt<typename decltype(tag)::type>(v);
    });
}
