// The image file writer: the disk header, the file layout of header,
// dimension records, padding, raw or zlib-compressed data and tail.
#include "diskhdr.h"
#include "zvek.h"
#include "zvekint.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

static const char ZvekWrImgVersion[] = "ZvekWrImg V7.0\t\t22 Dec 2017";
const char *ZvekWrImgVer = ZvekWrImgVersion;

using zvek::DepthGuard;

namespace {

// Fills out with the disk header of h: every listed field copied at its full
// width, the pointer slots zero, the block size 512, and the given tail
// length and compression byte.
void serialiseHeader(const ZVEKHDR *h, unsigned char *out, int32_t tailLen, uint8_t compress) {
    std::memset(out, 0, zvek::kDiskHeaderSize);
    const auto *mem = reinterpret_cast<const unsigned char *>(h);
    for (const zvek::DiskField &f : zvek::kDiskFields) std::memcpy(out + f.disk, mem + f.mem, f.size);
    const int32_t blk = ZVEK_BLKSIZE;
    std::memcpy(out + zvek::kDiskBlkSize, &blk, 4);
    std::memcpy(out + zvek::kDiskTailLen, &tailLen, 4);
    out[zvek::kDiskCompress] = compress;
}

// Writes n '.' padding bytes; false when the stream refuses them.
bool writeDots(FILE *stream, int64_t n) {
    static const auto dots = [] {
        struct Block {
            char b[ZVEK_BLKSIZE];
        } blk;
        std::memset(blk.b, '.', sizeof blk.b);
        return blk;
    }();
    while (n > 0) {
        const size_t chunk = n < ZVEK_BLKSIZE ? static_cast<size_t>(n) : ZVEK_BLKSIZE;
        if (std::fwrite(dots.b, 1, chunk, stream) != chunk) return false;
        n -= static_cast<int64_t>(chunk);
    }
    return true;
}

// Pixel count of h by its size vector, or -1 when the size query fails or
// the data leave the 32-bit size model.
int64_t pixelCount(const ZVEKHDR *h) {
    int32_t *siz = Zveksiz(h);
    if (siz == nullptr) return -1;
    // Checked after every factor: three 32-bit lengths can overflow 64 bits.
    int64_t n = 1;
    for (int i = 1; i <= siz[0] && n >= 0; ++i) {
        n = siz[i] < 0 ? -1 : n * siz[i];
        if (n > INT32_MAX || n * (h->vekbpd < 1 ? 1 : h->vekbpd) > INT32_MAX) n = -1;
    }
    std::free(siz);
    return n;
}

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};

// Fails a write: sets the code, reports and answers 0.
int fail(int32_t code, const char *msg) {
    Zvekerr = code;
    Zvekdie(msg);
    return 0;
}

}  // namespace

unsigned char *CopyvekHdrtoDiskHeader(const ZVEKHDR *h) {
    static unsigned char buffer[zvek::kDiskHeaderSize];
    if (h == nullptr) return nullptr;
    serialiseHeader(h, buffer, h->vektaillen, h->vekcompress);
    return buffer;
}

int ZvekWrImg(ZVEKHDR *h, FILE *stream, int writeTail) {
    DepthGuard depth;
    if (h == nullptr) return fail(ZVEK_ENULL, "ZvekWrImg: Image header is NULL");
    if (!zvek::goodMagic(h)) return fail(ZVEK_EBADHDR, "ZvekWrImg: Invalid image header (bad magic no.)");
    if (h->vekptr == nullptr)
        return fail(ZVEK_EBADHDR, "ZvekWrImg: No data associated with header! (field 'vekptr' = 0)");
    const int64_t pixels = pixelCount(h);
    if (pixels < 0 || h->vekbpd < 0) {
        Zvekdie("ZvekWrImg: internal error! Call to 'veksiz' failed.");
        return 0;
    }
    // No stream to write to fails like a stream that takes nothing.
    if (stream == nullptr) return fail(ZVEK_EIO, "ZvekWrImg: I/O error when writing ZVEK  header.");
    const int32_t T = (h->vektail != nullptr && writeTail && h->vektaillen > 0) ? h->vektaillen : 0;
    const int64_t S = pixels * h->vekbpd;

    // Compress first, so that the header can say whether the data went out
    // compressed: a stream that fails or is not shorter than the data itself
    // could not be read back, so such data are written raw.
    std::unique_ptr<unsigned char, FreeDeleter> zbuf;
    uLongf zlen = 0;
    if (h->vekcompress != 0) {
        const uLong bound = compressBound(static_cast<uLong>(S));
        zbuf.reset(static_cast<unsigned char *>(std::calloc(bound, 1)));
        if (!zbuf) return fail(ZVEK_EZBUF, "ZvekWrimg: error allocating memory for compression.");
        zvek::adviseLarge(zbuf.get(), bound);
        zlen = bound;
        if (compress(zbuf.get(), &zlen, static_cast<const Bytef *>(h->vekptr), static_cast<uLong>(S)) != Z_OK ||
            static_cast<int64_t>(zlen) >= S)
            zbuf.reset();
    }

    unsigned char disk[zvek::kDiskHeaderSize];
    serialiseHeader(h, disk, T, zbuf ? h->vekcompress : 0);
    if (std::fwrite(disk, 1, sizeof disk, stream) != sizeof disk)
        return fail(ZVEK_EIO, "ZvekWrImg: I/O error when writing ZVEK  header.");
    const size_t dimBytes = static_cast<size_t>(zvek::kDimRecordSize) * h->vekndim;
    if (std::fwrite(h->vekdims, 1, dimBytes, stream) != dimBytes)
        return fail(ZVEK_EIO, "WrImg: I/O error when writing the dimensions sub headers.");
    if (!writeDots(stream, zvek::headerPadding(h->vekndim)))
        return fail(ZVEK_EIO, "WrImg: I/O error when writing padding after header.");

    const void *data = zbuf ? static_cast<const void *>(zbuf.get()) : h->vekptr;
    const size_t dataLen = zbuf ? static_cast<size_t>(zlen) : static_cast<size_t>(S);
    if (std::fwrite(data, 1, dataLen, stream) != dataLen)
        return fail(ZVEK_EIO, "ZvekWrImg: I/O error when writing ZVEK file header.");
    zbuf.reset();
    if (!writeDots(stream, zvek::blockPadding(S)))
        return fail(ZVEK_EIO, "ZvekWrImg: I/O error when writing padding after data.");

    if (T > 0) {
        h->vektail[T - 1] = 0;
        if (std::fwrite(h->vektail, 1, static_cast<size_t>(T), stream) != static_cast<size_t>(T))
            return fail(ZVEK_EIO, "ZvekWrImg: I/O error when writing file tail.");
        if (!writeDots(stream, zvek::blockPadding(T)))
            return fail(ZVEK_EIO, "ZvekWrImg: I/O error when writing padding after tail.");
    }
    // Buffered bytes that cannot reach the file (a full disk) fail the write.
    if (std::fflush(stream) != 0) return fail(ZVEK_EIO, "ZvekWrImg: I/O error when flushing the file.");
    return -1;
}

int zvek::putImage(ZVEKHDR *h, const std::function<FILE *()> &open, const std::function<int(FILE *, bool)> &finish,
                   int writeTail) {
    DepthGuard depth;
    if (h == nullptr) return fail(ZVEK_ENULL, "ZvekPutImg: Image header is NULL");
    if (std::memcmp(h->vekmagic, "ZVE", 4) != 0)
        return fail(ZVEK_EBADHDR, "ZvekPutImg: Invalid image header (bad magic no.)");
    if (h->vekptr == nullptr)
        return fail(ZVEK_EBADHDR, "ZvekPutImg: No data associated with header! (field 'vekptr' = 0)");
    FILE *stream = open();
    if (stream == nullptr) {
        Zvekdie("ZvekPutImg: couldn't open file.");
        return 0;
    }
    const int64_t pixels = pixelCount(h);
    if (pixels >= 0 && pixels < 512) {
        std::printf("ZvekPutImg error msg: image has %d pixels so it will not be compressed\n",
                    static_cast<int>(pixels));
        std::fflush(stdout);
        h->vekcompress = 0;
    }
    const int written = ZvekWrImg(h, stream, writeTail);
    // A file that cannot be completed (a close that loses what was still
    // buffered) fails the write.
    const int closed = finish(stream, written != 0);
    if (!written || closed != 0) {
        if (written) Zvekerr = ZVEK_EIO;
        Zvekdie("ZvekPutImg: Error while writing image file.");
        return 0;
    }
    return -1;
}

int ZvekPutImg(ZVEKHDR *h, const char *fileName, const char *prompt, int writeTail) {
    // A regular file is replaced only by a complete one; the standard
    // output ("-") and a device or FIFO that a caller names are streams,
    // written as they stand.
    std::unique_ptr<zvek::FileReplacement> file;
    const auto open = [&] {
        DepthGuard depth;
        return zvek::openNamed(fileName, "wb", prompt, 5, [&](const char *path) {
            file = std::make_unique<zvek::FileReplacement>(path);
            return file->notRegular() ? std::fopen(path, "wb") : file->stream();
        });
    };
    // A write that failed is given up before it is reported, which may end
    // the process.
    const auto finish = [&](FILE *stream, bool written) {
        if (!file || file->stream() != stream) return ZvekClose(stream);
        if (written && file->commit()) return 0;
        file->discard();
        return EOF;
    };
    return zvek::putImage(h, open, finish, writeTail);
}

int Zvekpot(ZVEKHDR *h, const char *fileName) {
    return ZvekPutImg(h, fileName, "Enter name of file to write ZVEK image to: ", 0);
}
