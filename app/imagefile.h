// imagefile.h - image files at paths the user picked in a dialog. Such a
// path names exactly that file: unlike Zvekpin and Zvekpot, which expand
// $NAME, ${NAME} and a leading ~ in a name, these open the file themselves
// and hand the stream to the library's reader and writer, or the opened
// file to the toolkit's picture reader and writer. Opening never blocks:
// reading takes a regular file only, writing a regular file or a new name;
// anything else (a FIFO, socket, device or directory) is refused, with
// *notRegular (when given) set. A write replaces the file that was there
// only once it is complete (zvek::FileReplacement): a failed one leaves it
// as it was. Reports, results and file bytes are otherwise those of
// Zvekpin, Zvekpot, QImage::load and QImage::save.
#ifndef IMAGEFILE_H
#define IMAGEFILE_H

#include <QImage>
#include <QString>

#include "zvek.h"

// Reads the image in the file path; null on failure, with the library's
// report. The caller releases the image with Zvekfree(h, 7).
ZVEKHDR *readImageFile(const QString &path, bool *notRegular = nullptr);

// Writes h to the file path (images under 512 pixels uncompressed, their
// flag cleared): -1 written, 0 failed, with the library's report.
int writeImageFile(ZVEKHDR *h, const QString &path, bool *notRegular = nullptr);

// Reads the picture in the file path, its format guessed by the toolkit as
// QImage::load does; a null image on failure.
QImage loadPicture(const QString &path, bool *notRegular = nullptr);

// Writes picture to the file path in the format of the path's suffix, with
// the default quality, as QImage::save does; false on failure. A suffix
// that names no format the toolkit writes fails before anything is created.
bool savePicture(const QImage &picture, const QString &path, bool *notRegular = nullptr);

// The message that refuses path for its type.
QString notRegularMessage(const QString &path);

#endif  // IMAGEFILE_H
