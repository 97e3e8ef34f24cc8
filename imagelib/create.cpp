// Image creation and release, the allocation hooks and the size queries.
#include "zvek.h"
#include "zvekint.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

[[maybe_unused]] static const char *const createVersion = "Zvekcreate V7.0\t\t22 Dec 2017";

using zvek::DepthGuard;
using zvek::setField;

void *(*Zvek_alcptr)(size_t, size_t) = std::calloc;
void (*Zvek_freeptr)(void *) = std::free;
void *(*Zvek_realcptr)(void *, size_t) = std::realloc;

void *Zvekalc(uint32_t n) {
    void *p = Zvek_alcptr(1, n);
    if (p == nullptr) {
        char msg[120];
        std::snprintf(msg, sizeof msg, "Zvekalc: can't allocate storage (%d bytes requested)", static_cast<int>(n));
        Zvekdie(msg);
        Zvekerr = ZVEK_ENOMEM;
    }
    return p;
}

void Zvekcfree(void *p) { Zvek_freeptr(p); }

int32_t *Zvek_ao(ZVEKHDR *h) {
    int32_t *siz = Zveksiz(h);
    if (siz == nullptr) return nullptr;
    const int ndim = siz[0];
    // Always four entries, so that the 3-D accessors may use entries 1 and 2
    // of a 1-D image's array.
    auto *dln = static_cast<int32_t *>(Zvekalc(4 * sizeof(int32_t)));
    if (dln == nullptr) {
        std::free(siz);
        return nullptr;
    }
    dln[0] = 1;
    for (int i = 1; i <= ZVEK_MAXDIM; ++i) {
        const int64_t len = i <= ndim ? siz[i] : 1;
        dln[i] = static_cast<int32_t>(len * dln[i - 1]);
    }
    std::free(siz);
    return dln;
}

char *Zvektim(int) {
    tzset();
    std::time_t now = std::time(nullptr);
    return std::ctime(&now);
}

ZVEKHDR *Zvekcreate(const char *typeName, const int32_t *dims, int flags, int structSize) {
    DepthGuard depth;
    ZvekCPUEndian = zvek::hostEndian();
    if (dims == nullptr) {
        Zvekerr = ZVEK_ENULL;
        Zvekdie("Zvekcreate: NULL pointer passed as dimension-lengths array");
        std::fflush(stdout);
        return nullptr;
    }
    const int ndim = dims[0];
    if (ndim < 1) {
        Zvekerr = ZVEK_EDIM;
        Zvekdie("Zvekcreate: can't create image with number of dimensions < 1");
        std::fflush(stdout);
        return nullptr;
    }
    if (ndim > ZVEK_MAXDIM) {
        Zvekerr = ZVEK_EDIM;
        Zvekdie("Zvekcreate: This version of Zvek can't create image with more than 3 dimensions");
        return nullptr;
    }
    const ZVEKDTYP *t = Zvektype(typeName);
    if (t == nullptr) {
        Zvekerr = ZVEK_EDTYPE;
        Zvekdie("Zvekcreate: invalid data type");
        return nullptr;
    }
    const int bpd = t->dtcode == DT_STRUCT ? structSize : t->dtsize;
    if (bpd < 1) {
        Zvekerr = ZVEK_EDTYPE;
        Zvekdie("Zvekcreate: invalid record size for type struct");
        return nullptr;
    }
    // Sizes in 64 bits: the data of one image must stay below 2^31 bytes.
    int64_t bytes = bpd;
    for (int i = 1; i <= ndim; ++i) {
        if (dims[i] < 0) {
            Zvekerr = ZVEK_EDIM;
            Zvekdie("Zvekcreate: negative dimension length");
            return nullptr;
        }
        bytes *= dims[i];
        if (bytes > INT32_MAX) {
            Zvekerr = ZVEK_EDIM;
            Zvekdie("Zvekcreate: image too large (2 GB or more of data)");
            return nullptr;
        }
    }
    const int hdrblocks = (64 * ndim + 279) / ZVEK_BLKSIZE + 1;
    auto *h = static_cast<ZVEKHDR *>(Zvekalc(static_cast<uint32_t>(hdrblocks * ZVEK_BLKSIZE)));
    if (h == nullptr) {
        Zvekdie("Zvekcreate: can't allocate space for image header");
        return nullptr;
    }
    h->vekblksize = ZVEK_BLKSIZE;
    h->vekhdrblk = 0;
    h->vekdatblk = hdrblocks;
    h->vekscale = 1.0f;
    h->vekoffset = 0.0f;
    h->vekndim = ndim;
    h->vekbpd = bpd;
    h->dtype = t->dtcode;
    setField(h->vekfclass, "Vek is");
    setField(h->vekctype, "great!");
    h->vekcompress = 1;
    setField(h->vekcuser, "Ottmar Quelling");
    setField(h->vekcdate, Zvektim(0));
    setField(h->vekcprogver, "V7.0");
    h->vekendian = static_cast<uint8_t>(ZvekCPUEndian);
    h->vekstamp = 16;
    setField(h->vekmagic, "ZVE");
    setField(h->vekcprog, "Zvekcreate");
    setField(h->vekunits, "pixels");
    setField(h->vekdt, t->dtname);
    for (int i = 0; i < ndim; ++i) {
        ZVEKDIM &d = h->vekdims[i];
        d.dimlen = dims[i + 1];
        d.dimnum = i + 1;
        setField(d.dimdir, "fwd");
        setField(d.dimunits, "pixels");
        d.dimscale = 1.0f;
        d.dimoffset = 0.0f;
    }
    h->vekdln = Zvek_ao(h);
    if (h->vekdln == nullptr) {
        Zvekerr = ZVEK_ENOMEM;
        Zvekcfree(h);
        Zvekdie("Zvekcreate:  can't allocate space for 'vekdln' field");
        return nullptr;
    }
    // Block count in 64 bits: data bytes close to 2^31 must not wrap.
    const int32_t S = static_cast<int32_t>(bytes);
    h->vektailblk = -static_cast<int32_t>((bytes + ZVEK_BLKSIZE - 1) / ZVEK_BLKSIZE + hdrblocks);
    if (flags & ZVEK_ALLOC_DATA) {
        h->vekptr = Zvekalc(static_cast<uint32_t>(S));
        if (h->vekptr == nullptr) {
            Zvekdie("Zvekcreate:  can't allocate space for image data");
            Zvekcfree(h->vekdln);
            Zvekcfree(h);
            return nullptr;
        }
    }
    h->vektaillen = 0;
    h->vektail = nullptr;
    return h;
}

int Zvekfree(ZVEKHDR *h, int flags) {
    if (h == nullptr) {
        Zvekerr |= ZVEK_ENULL;
        return 0;
    }
    if (!Zvekchkhd(h, "Zvekfree: unable to free image")) {
        Zvekerr |= ZVEK_EBADHDR;
        return 0;
    }
    if (h->vekptr && (flags & ZVEK_FREE_DATA)) {
        Zvekcfree(h->vekptr);
        h->vekptr = nullptr;
    }
    if (h->vektail && (flags & ZVEK_FREE_TAIL)) {
        Zvekcfree(h->vektail);
        h->vektail = nullptr;
    }
    if (h->vekdln) Zvekcfree(h->vekdln);
    Zvekcfree(h);
    return 0;
}

int32_t Zvekdimen(const ZVEKHDR *h, int d) {
    DepthGuard depth;
    if (h == nullptr) {
        Zvekerr = ZVEK_ENULL;
        Zvekdie("Zvekdimen: NULL passed as image header.");
        return 0;
    }
    if (!zvek::goodMagic(h)) {
        Zvekerr = ZVEK_EBADHDR;
        Zvekdie("Zvekdimen: Bad image header.");
        return 0;
    }
    const int ndim = h->vekndim < 0 ? 0 : (h->vekndim > ZVEK_MAXDIM ? ZVEK_MAXDIM : h->vekndim);
    if (d < -2 || d >= h->vekndim) {
        Zvekerr = ZVEK_EDIM;
        Zvekdie("Zvekdimen: Invalid dimension to get length of.");
        return 0;
    }
    int64_t result = 0;
    if (d < 0) {
        result = 1;
        for (int i = 0; i < ndim; ++i) result *= h->vekdims[i].dimlen;
        if (d == ZVEK_NBYTES) result *= h->vekbpd;
        if (result < INT32_MIN || result > INT32_MAX) result = 0;
    } else {
        for (int i = 0; i < ndim; ++i) {
            if (h->vekdims[i].dimnum == d + 1) {
                result = h->vekdims[i].dimlen;
                break;
            }
        }
    }
    if (result == 0) {
        Zvekerr = ZVEK_EBADHDR;
        Zvekdie("Zvekdimen: found dimension of length zero; header presumed to be damaged.");
        return 0;
    }
    return static_cast<int32_t>(result);
}

int32_t *Zveksiz(const ZVEKHDR *h) {
    DepthGuard depth;
    if (!Zvekchkhd(h, "Zveksiz:  bad image header")) {
        Zvekerr = ZVEK_EBADHDR;
        return nullptr;
    }
    const int ndim = h->vekndim;
    if (ndim <= 0) {
        Zvekerr = ZVEK_ENDIM;
        Zvekdie("Zveksiz: number of dimensions not positive.");
        return nullptr;
    }
    if (ndim > ZVEK_MAXDIM) {
        Zvekerr = ZVEK_EDIM;
        Zvekdie("Zveksiz: too many dimensions.");
        return nullptr;
    }
    auto *len = static_cast<int32_t *>(Zvekalc((ndim + 1) * sizeof(int32_t)));
    auto *num = static_cast<int32_t *>(Zvekalc((ndim + 1) * sizeof(int32_t)));
    if (len == nullptr || num == nullptr) {
        std::free(len);
        std::free(num);
        Zvekdie("Zveksiz: can't allocate space for array");
        return nullptr;
    }
    for (int i = 0; i < ndim; ++i) {
        len[i + 1] = h->vekdims[i].dimlen;
        num[i + 1] = h->vekdims[i].dimnum;
    }
    for (int i = 1; i <= ndim - 1; ++i) {
        for (int j = i + 1; j <= ndim; ++j) {
            if (num[i] > num[j]) {
                std::swap(num[i], num[j]);
                std::swap(len[i], len[j]);
            }
        }
    }
    len[0] = ndim;
    std::free(num);
    return len;
}

int32_t Zveknc(const ZVEKHDR *h) {
    int32_t *s = Zveksiz(h);
    if (s == nullptr) return 0;
    const int32_t n = s[1];
    std::free(s);
    return n;
}

int32_t Zveknr(const ZVEKHDR *h) {
    int32_t *s = Zveksiz(h);
    if (s == nullptr) return 0;
    const int32_t n = s[0] >= 2 ? s[2] : 1;
    std::free(s);
    return n;
}
