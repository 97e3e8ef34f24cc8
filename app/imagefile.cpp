// imagefile.cpp - own-format image files at exactly the path given.
#include "imagefile.h"

#include <QByteArray>
#include <QFile>

#include <cstdio>
#include <cstring>

namespace {

// One call level of the library's error state, as its own entry points
// count them (a fatal severity ends the process only at the top level).
struct CallLevel {
    CallLevel() { ++ZVEKDEPTH; }
    ~CallLevel() { --ZVEKDEPTH; }
    CallLevel(const CallLevel &) = delete;
    CallLevel &operator=(const CallLevel &) = delete;
};

// Fails like the library: sets the code and reports.
void report(int32_t code, const char *msg) {
    if (code != 0) Zvekerr = code;
    Zvekdie(msg);
}

// Opens path as it stands; when it cannot be opened, reports it as the
// library's opener does.
FILE *openFile(const QByteArray &path, const char *mode) {
    FILE *stream = std::fopen(path.constData(), mode);
    if (stream == nullptr) {
        CallLevel open;
        report(ZVEK_EOPEN, QByteArray("ZvekOpen: Unable to open file `" + path + "'.").constData());
    }
    return stream;
}

// Pixel count of h, -1 when its lengths are negative or leave 64 bits.
int64_t pixelsOf(const ZVEKHDR *h) {
    int64_t n = 1;
    for (int i = 0; i < h->vekndim && i < ZVEK_MAXDIM && n >= 0; ++i) {
        const int32_t len = h->vekdims[i].dimlen;
        n = len < 0 || (len > 0 && n > INT64_MAX / len) ? -1 : n * len;
    }
    return n;
}

}  // namespace

ZVEKHDR *readImageFile(const QString &path) {
    CallLevel level;
    FILE *stream = openFile(QFile::encodeName(path), "rb");
    if (stream == nullptr) {
        report(0, "ZvekGetImg: couldn't open file.");
        return nullptr;
    }
    ZVEKHDR *h = ZvekRdImg(stream, 0);
    std::fclose(stream);
    if (h == nullptr) report(0, "ZvekGetImg: Error while reading image file.");
    return h;
}

int writeImageFile(ZVEKHDR *h, const QString &path) {
    CallLevel level;
    if (h == nullptr) {
        report(ZVEK_ENULL, "ZvekPutImg: Image header is NULL");
        return 0;
    }
    if (std::memcmp(h->vekmagic, "ZVE", 4) != 0) {
        report(ZVEK_EBADHDR, "ZvekPutImg: Invalid image header (bad magic no.)");
        return 0;
    }
    if (h->vekptr == nullptr) {
        report(ZVEK_EBADHDR, "ZvekPutImg: No data associated with header! (field 'vekptr' = 0)");
        return 0;
    }
    FILE *stream = openFile(QFile::encodeName(path), "wb");
    if (stream == nullptr) {
        report(0, "ZvekPutImg: couldn't open file.");
        return 0;
    }
    const int64_t pixels = pixelsOf(h);
    if (pixels >= 0 && pixels < 512) {
        std::printf("ZvekPutImg error msg: image has %d pixels so it will not be compressed\n",
                    static_cast<int>(pixels));
        std::fflush(stdout);
        h->vekcompress = 0;
    }
    const int written = ZvekWrImg(h, stream, 0);
    // A close that fails loses what was still buffered.
    const int closed = std::fclose(stream);
    if (!written || closed != 0) {
        report(written ? ZVEK_EIO : 0, "ZvekPutImg: Error while writing image file.");
        return 0;
    }
    return -1;
}
