// imagefile.cpp - own-format image files at exactly the path given.
#include "imagefile.h"

#include <QByteArray>
#include <QFile>

#include <cstdio>

#include "zvekint.h"

namespace {

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
        zvek::DepthGuard open;
        report(ZVEK_EOPEN, QByteArray("ZvekOpen: Unable to open file `" + path + "'.").constData());
    }
    return stream;
}

}  // namespace

ZVEKHDR *readImageFile(const QString &path) {
    zvek::DepthGuard level;
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
    const QByteArray name = QFile::encodeName(path);
    return zvek::putImage(h, [&] { return openFile(name, "wb"); }, std::fclose, 0);
}
