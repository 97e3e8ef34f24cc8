// Fuzz target of the image file reader: arbitrary bytes are read as an image
// file through an in-memory stream, with and without the tail. Every image
// the reader accepts must be written by the writer and read back unchanged.
#include "zvek.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Writes h to memory and reads it back; aborts when anything differs.
void roundTrip(ZVEKHDR *h, int withTail) {
    char *buf = nullptr;
    size_t len = 0;
    FILE *out = open_memstream(&buf, &len);
    if (out == nullptr) return;
    const int written = ZvekWrImg(h, out, withTail);
    std::fclose(out);
    if (written != -1) std::abort();
    FILE *in = fmemopen(buf, len, "rb");
    ZVEKHDR *r = in ? ZvekRdImg(in, withTail) : nullptr;
    if (r == nullptr) std::abort();
    int64_t bytes = h->vekbpd;
    for (int i = 0; i < h->vekndim; ++i) bytes *= h->vekdims[i].dimlen;
    if (r->dtype != h->dtype || r->vekbpd != h->vekbpd || r->vekndim != h->vekndim ||
        std::memcmp(r->vekdims, h->vekdims, sizeof(ZVEKDIM) * h->vekndim) != 0 ||
        (bytes > 0 && std::memcmp(r->vekptr, h->vekptr, static_cast<size_t>(bytes)) != 0))
        std::abort();
    if (withTail && h->vektail && h->vektaillen > 0 &&
        (r->vektaillen != h->vektaillen || std::memcmp(r->vektail, h->vektail, h->vektaillen) != 0))
        std::abort();
    Zvekfree(r, 7);
    std::fclose(in);
    std::free(buf);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    for (int readTail = 0; readTail < 2; ++readTail) {
        FILE *f = fmemopen(const_cast<uint8_t *>(data), size, "rb");
        if (f == nullptr) return 0;
        ZVEKHDR *h = ZvekRdImg(f, readTail);
        std::fclose(f);
        if (h) {
            roundTrip(h, readTail);
            Zvekfree(h, 7);
        }
    }
    return 0;
}
