// imagefile.cpp - image files at exactly the path given.
#include "imagefile.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

#include <unistd.h>

#include <cstdio>
#include <memory>

#include "zvekint.h"

namespace {

// Reports a path that could not be opened as the library's opener does.
void reportUnopened(const QByteArray &path) {
    zvek::DepthGuard open;
    Zvekerr = ZVEK_EOPEN;
    Zvekdie(QByteArray("ZvekOpen: Unable to open file `" + path + "'.").constData());
}

}  // namespace

ZVEKHDR *readImageFile(const QString &path, bool *notRegular) {
    const QByteArray name = QFile::encodeName(path);
    const auto open = [&] {
        FILE *stream = zvek::fopenRegular(name.constData(), notRegular);
        if (stream == nullptr) reportUnopened(name);
        return stream;
    };
    return zvek::getImage(open, std::fclose, 0);
}

int writeImageFile(ZVEKHDR *h, const QString &path, bool *notRegular) {
    if (notRegular != nullptr) *notRegular = false;
    const QByteArray name = QFile::encodeName(path);
    std::unique_ptr<zvek::FileReplacement> file;
    const auto open = [&] {
        file = std::make_unique<zvek::FileReplacement>(name.constData());
        if (notRegular != nullptr) *notRegular = file->notRegular();
        FILE *stream = file->stream();
        if (stream == nullptr) reportUnopened(name);
        return stream;
    };
    const auto finish = [&](FILE *, bool written) {
        if (written && file->commit()) return 0;
        file->discard();
        return EOF;
    };
    return zvek::putImage(h, open, finish, 0);
}

QImage loadPicture(const QString &path, bool *notRegular) {
    const zvek::OpenedFile opened = zvek::openRegularForRead(QFile::encodeName(path).constData());
    if (notRegular != nullptr) *notRegular = opened.notRegular;
    QFile file;
    if (opened.fd < 0) return QImage();
    if (!file.open(opened.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(opened.fd);
        return QImage();
    }
    // The format of the suffix is tried first and then the one the content
    // shows, as for a named file.
    QImageReader bySuffix(&file, QFileInfo(path).suffix().toLower().toLatin1());
    if (bySuffix.canRead()) return bySuffix.read();
    if (!file.seek(0)) return QImage();
    QImageReader byContent(&file);
    return byContent.read();
}

bool savePicture(const QImage &picture, const QString &path, bool *notRegular) {
    if (notRegular != nullptr) *notRegular = false;
    const QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    if (format.isEmpty() || !QImageWriter::supportedImageFormats().contains(format)) return false;
    // The toolkit's writer fills the replacement; a picture that it refuses
    // (too large for the format) leaves the file that was there.
    zvek::FileReplacement target(QFile::encodeName(path).constData());
    if (notRegular != nullptr) *notRegular = target.notRegular();
    QFile file;
    if (target.fd() < 0 || !file.open(target.fd(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) return false;
    QImageWriter writer(&file, format);
    const bool written = writer.write(picture) && file.flush();
    file.close();
    return written && file.error() == QFileDevice::NoError && target.commit();
}

QString notRegularMessage(const QString &path) {
    return QCoreApplication::translate("ZVektoolMainWindow", "%1 is not a regular file").arg(path);
}
