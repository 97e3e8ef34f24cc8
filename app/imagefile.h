// imagefile.h - own-format image files at paths the user picked in a
// dialog. Such a path names exactly that file: unlike Zvekpin and Zvekpot,
// which expand $NAME, ${NAME} and a leading ~ in a name, these open the
// file themselves and hand the stream to the library's reader and writer.
// Reports, results and file bytes are those of Zvekpin and Zvekpot.
#ifndef IMAGEFILE_H
#define IMAGEFILE_H

#include <QString>

#include "zvek.h"

// Reads the image in the file path; null on failure, with the library's
// report. The caller releases the image with Zvekfree(h, 7).
ZVEKHDR *readImageFile(const QString &path);

// Writes h to the file path (images under 512 pixels uncompressed, their
// flag cleared): -1 written, 0 failed, with the library's report.
int writeImageFile(ZVEKHDR *h, const QString &path);

#endif  // IMAGEFILE_H
