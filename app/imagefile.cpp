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

#include "zvekint.h"

namespace {

// Opens path as it stands; when it cannot be opened, reports it as the
// library's opener does.
FILE *openFile(const QByteArray &path, bool write, bool *notRegular) {
    FILE *stream = zvek::fopenRegular(path.constData(), write, notRegular);
    if (stream == nullptr) {
        zvek::DepthGuard open;
        Zvekerr = ZVEK_EOPEN;
        Zvekdie(QByteArray("ZvekOpen: Unable to open file `" + path + "'.").constData());
    }
    return stream;
}

// The descriptor as a toolkit file that closes it; false (the descriptor
// closed) when it cannot be taken over.
bool adopt(QFile &file, int fd, QIODevice::OpenMode mode) {
    if (file.open(fd, mode, QFileDevice::AutoCloseHandle)) return true;
    ::close(fd);
    return false;
}

}  // namespace

ZVEKHDR *readImageFile(const QString &path, bool *notRegular) {
    const QByteArray name = QFile::encodeName(path);
    return zvek::getImage([&] { return openFile(name, false, notRegular); }, std::fclose, 0);
}

int writeImageFile(ZVEKHDR *h, const QString &path, bool *notRegular) {
    if (notRegular != nullptr) *notRegular = false;
    const QByteArray name = QFile::encodeName(path);
    return zvek::putImage(h, [&] { return openFile(name, true, notRegular); }, std::fclose, 0);
}

QImage loadPicture(const QString &path, bool *notRegular) {
    const zvek::OpenedFile opened = zvek::openRegularForRead(QFile::encodeName(path).constData());
    if (notRegular != nullptr) *notRegular = opened.notRegular;
    QFile file;
    if (opened.fd < 0 || !adopt(file, opened.fd, QIODevice::ReadOnly)) return QImage();
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
    const zvek::OpenedFile opened = zvek::openRegularForWrite(QFile::encodeName(path).constData());
    if (notRegular != nullptr) *notRegular = opened.notRegular;
    QFile file;
    if (opened.fd < 0 || !adopt(file, opened.fd, QIODevice::WriteOnly)) return false;
    QImageWriter writer(&file, format);
    const bool written = writer.write(picture) && file.flush();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

QString notRegularMessage(const QString &path) {
    return QCoreApplication::translate("ZVektoolMainWindow", "%1 is not a regular file").arg(path);
}
