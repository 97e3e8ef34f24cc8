// imagefile.cpp - own-format image files at exactly the path given.
#include "imagefile.h"

#include <QByteArray>
#include <QFile>

#include <cstdio>

#include "zvekint.h"

namespace {

// Opens path as it stands; when it cannot be opened, reports it as the
// library's opener does.
FILE *openFile(const QByteArray &path, const char *mode) {
    FILE *stream = std::fopen(path.constData(), mode);
    if (stream == nullptr) {
        zvek::DepthGuard open;
        Zvekerr = ZVEK_EOPEN;
        Zvekdie(QByteArray("ZvekOpen: Unable to open file `" + path + "'.").constData());
    }
    return stream;
}

}  // namespace

ZVEKHDR *readImageFile(const QString &path) {
    const QByteArray name = QFile::encodeName(path);
    return zvek::getImage([&] { return openFile(name, "rb"); }, std::fclose, 0);
}

int writeImageFile(ZVEKHDR *h, const QString &path) {
    const QByteArray name = QFile::encodeName(path);
    return zvek::putImage(h, [&] { return openFile(name, "wb"); }, std::fclose, 0);
}
