// slotimage.h - making and measuring the images that go into the slots:
// toolkit pictures and library images of any type turned into "float"
// images, exact copies, and the statistics written to the console.
#ifndef SLOTIMAGE_H
#define SLOTIMAGE_H

#include <QString>
#include <cstdint>

#include "zvek.h"

class QImage;

// Extremes, mean and standard deviation of one plane.
struct PlaneStats {
    float max;
    float min;
    float mean;
    float stdDev;
};

// A new three-frame "float" image (red, green, blue; 0..255) of the picture,
// alpha dropped. Null when the picture is null or the image can't be made.
// When stats is given, it receives the statistics of the three frames,
// measured on the way.
ZVEKHDR *pictureToFloat(const QImage &picture, PlaneStats *stats = nullptr);

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
// The same text from statistics already measured: one plane for an image
// that is not 3-D, else one per frame up to three.
QString statisticsText(const ZVEKHDR *image, const PlaneStats *planes, const QString &typeName,
                       int32_t *maxLabel);

// Statistics of n float values: extremes, mean and population standard
// deviation, sums in double.
PlaneStats measurePlane(const float *values, int64_t n);
// Statistics of n integer values from their minimum, maximum, sum and sum
// of squares.
PlaneStats planeFromSums(int64_t n, double min, double max, uint64_t sum, uint64_t squares);

#endif  // SLOTIMAGE_H
