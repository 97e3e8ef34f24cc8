// diskhdr.h - the 256-byte header of an image file and the sizes shared by
// the file writer and the file reader. Internal to the image library.
//
// The disk header is the in-memory fixed part of ZVEKHDR with every pointer
// written as four zero bytes and the gaps of the in-memory record dropped.
// It is always serialised field by field from this table, never by writing
// the struct as it lies in memory.
#ifndef ZVEK_DISKHDR_H
#define ZVEK_DISKHDR_H

#include "zvek.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <sys/mman.h>

namespace zvek {

constexpr int kDiskHeaderSize = 256;
constexpr int kDimRecordSize = 64;

// One field of the disk header: where it lies in the file, how wide it is,
// where it lies in ZVEKHDR, and what it holds.
enum class FieldKind { Bytes, Text, Int32, Float32 };
struct DiskField {
    int disk;
    int size;
    size_t mem;
    FieldKind kind;
};

// Every non-pointer field of the disk header, in file order. The pointer
// slots at offsets 24, 240, 244 and 248 are not listed: they are zero in a
// file and ignored when one is read.
inline constexpr DiskField kDiskFields[] = {
    {0, 4, offsetof(ZVEKHDR, vekmagic), FieldKind::Bytes},
    {4, 4, offsetof(ZVEKHDR, vekblksize), FieldKind::Int32},
    {8, 4, offsetof(ZVEKHDR, vekhdrblk), FieldKind::Int32},
    {12, 4, offsetof(ZVEKHDR, vekdatblk), FieldKind::Int32},
    {16, 4, offsetof(ZVEKHDR, vektailblk), FieldKind::Int32},
    {20, 4, offsetof(ZVEKHDR, vektaillen), FieldKind::Int32},
    {28, 8, offsetof(ZVEKHDR, vekfclass), FieldKind::Text},
    {36, 8, offsetof(ZVEKHDR, vekctype), FieldKind::Text},
    {44, 32, offsetof(ZVEKHDR, vekcuser), FieldKind::Text},
    {76, 32, offsetof(ZVEKHDR, vekcdate), FieldKind::Text},
    {108, 32, offsetof(ZVEKHDR, vekcprog), FieldKind::Text},
    {140, 8, offsetof(ZVEKHDR, vekcprogver), FieldKind::Text},
    {148, 1, offsetof(ZVEKHDR, vekendian), FieldKind::Bytes},
    {149, 1, offsetof(ZVEKHDR, vekstamp), FieldKind::Bytes},
    {150, 38, offsetof(ZVEKHDR, vekres1), FieldKind::Bytes},
    {188, 16, offsetof(ZVEKHDR, vekunits), FieldKind::Text},
    {204, 4, offsetof(ZVEKHDR, vekscale), FieldKind::Float32},
    {208, 4, offsetof(ZVEKHDR, vekoffset), FieldKind::Float32},
    {212, 16, offsetof(ZVEKHDR, vekdt), FieldKind::Text},
    {228, 4, offsetof(ZVEKHDR, dtype), FieldKind::Int32},
    {232, 4, offsetof(ZVEKHDR, vekbpd), FieldKind::Int32},
    {236, 4, offsetof(ZVEKHDR, vekndim), FieldKind::Int32},
    {252, 3, offsetof(ZVEKHDR, vekres2), FieldKind::Bytes},
    {255, 1, offsetof(ZVEKHDR, vekcompress), FieldKind::Bytes},
};

// Disk offsets the writer patches.
constexpr int kDiskBlkSize = 4;
constexpr int kDiskTailLen = 20;
constexpr int kDiskCompress = 255;

// Each field must lie inside the disk header and inside its namesake.
constexpr bool diskFieldsFit() {
    for (const DiskField &f : kDiskFields)
        if (f.disk < 0 || f.disk + f.size > kDiskHeaderSize || f.mem + f.size > sizeof(ZVEKHDR)) return false;
    return true;
}
static_assert(diskFieldsFit(), "disk header table out of range");
static_assert(sizeof(ZVEKDIM) == kDimRecordSize, "dimension record is 64 bytes");

// Bytes of '.' padding that bring n up to a multiple of the block size.
inline int64_t blockPadding(int64_t n) {
    const int64_t r = n % ZVEK_BLKSIZE;
    return r == 0 ? 0 : ZVEK_BLKSIZE - r;
}

// Header padding between the dimension records and the data.
inline int64_t headerPadding(int ndim) { return blockPadding(kDiskHeaderSize + int64_t{kDimRecordSize} * ndim); }

// Data bytes of a header whose dimension records are valid (number of
// dimensions 1..3): bytes per datum times every length, in 64 bits. -1 when
// a length or the datum size is negative or the product leaves the 32-bit
// size model. The lengths are multiplied by dimension number (columns, rows,
// frames), whatever the order of the records, and every partial product is
// tested, as the writer and Zvekcreate test them: the partial products are
// the strides, so a length 0 in a later dimension does not let an earlier
// product overflow.
inline int64_t dataBytes(const ZVEKHDR *h) {
    const int nd = h->vekndim;
    if (nd < 1 || nd > ZVEK_MAXDIM || h->vekbpd < 0) return -1;
    int order[ZVEK_MAXDIM] = {0, 1, 2};
    for (int i = 1; i < nd; ++i)  // by storage order
        for (int j = i; j > 0 && h->vekdims[order[j]].dimnum < h->vekdims[order[j - 1]].dimnum; --j)
            std::swap(order[j], order[j - 1]);
    int64_t n = h->vekbpd < 1 ? 1 : h->vekbpd;
    for (int k = 0; k < nd; ++k) {
        const int32_t len = h->vekdims[order[k]].dimlen;
        if (len < 0) return -1;
        n *= len;
        if (n > INT32_MAX) return -1;
    }
    return h->vekbpd < 1 ? 0 : n;
}

// Asks for huge pages behind a large fresh data block, so that filling it
// costs a few page faults instead of one per 4 KB page. Only a hint.
inline void adviseLarge(void *p, size_t n) {
#ifdef MADV_HUGEPAGE
    constexpr size_t kHuge = size_t{2} << 20;
    if (n < 4 * kHuge) return;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(p) + n) & ~(kHuge - 1);
    if (end > begin) {
        // A refused hint must not show up as the system error of a report.
        const int saved = errno;
        madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
        errno = saved;
    }
#else
    (void)p;
    (void)n;
#endif
}

}  // namespace zvek

#endif  // ZVEK_DISKHDR_H
