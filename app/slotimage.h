// slotimage.h - making and measuring the images that go into the slots:
// toolkit pictures and library images of any type turned into "float"
// images, exact copies, and the statistics written to the console.
#ifndef SLOTIMAGE_H
#define SLOTIMAGE_H

#include <QString>
#include <cstdint>

#include "zvek.h"

class QImage;

// A new three-frame "float" image (red, green, blue; 0..255) of the picture,
// alpha dropped. Null when the picture is null or the image can't be made.
ZVEKHDR *pictureToFloat(const QImage &picture);

// A new "float" image of the shape of image holding its values. Null when
// the image is complex or can't be converted.
ZVEKHDR *convertToFloat(ZVEKHDR *image);

// A new image of the same data type and shape holding the same pixel bytes,
// whatever the type (complex and 1-D images included). Null on failure.
ZVEKHDR *duplicateImage(const ZVEKHDR *image);

// Statistics of a "float" image as the console shows them after a load:
// frames, rows, columns, then maximum, minimum, mean and population standard
// deviation (of each of the first three frames of a 3-D image). typeName,
// when not empty, is the data-type name of the file an own-format 3-D image
// was read from. *maxLabel receives the maximum of the first plane,
// truncated toward zero and kept within the int range.
QString imageStatistics(const ZVEKHDR *image, const QString &typeName, int32_t *maxLabel);

// Extremes, mean and standard deviation of n float values.
struct PlaneStats {
    float max;
    float min;
    float mean;
    float stdDev;
};
PlaneStats measurePlane(const float *values, int64_t n);

#endif  // SLOTIMAGE_H
