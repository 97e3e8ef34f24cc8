// The image file reader: header, dimension records, raw or zlib data and
// tail, with the byte-order conversion of files from machines of the other
// byte order.
#include "diskhdr.h"
#include "zvek.h"
#include "zvekint.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

static const char ZvekRdImgVersion[] = "ZvekRdImg V7.0\t\t22 Dec 2017";
const char *ZvekRdImgVer = ZvekRdImgVersion;

using zvek::DepthGuard;

namespace {

// Reverses the bytes of every N-byte unit of a block.
template <size_t N>
void swapUnits(unsigned char *p, size_t count) {
    for (size_t i = 0; i < count; ++i, p += N) {
        if constexpr (N == 2) {
            uint16_t v;
            std::memcpy(&v, p, 2);
            v = __builtin_bswap16(v);
            std::memcpy(p, &v, 2);
        } else if constexpr (N == 4) {
            uint32_t v;
            std::memcpy(&v, p, 4);
            v = __builtin_bswap32(v);
            std::memcpy(p, &v, 4);
        } else if constexpr (N == 8) {
            uint64_t v;
            std::memcpy(&v, p, 8);
            v = __builtin_bswap64(v);
            std::memcpy(p, &v, 8);
        }
    }
}

// Forces the last byte of a text field to NUL, so that a damaged file
// cannot make a later reader of the field run past it.
template <size_t N>
void terminate(char (&field)[N]) {
    field[N - 1] = '\0';
}

void terminateTexts(ZVEKHDR *h) {
    terminate(h->vekfclass);
    terminate(h->vekctype);
    terminate(h->vekcuser);
    terminate(h->vekcdate);
    terminate(h->vekcprog);
    terminate(h->vekcprogver);
    terminate(h->vekunits);
    terminate(h->vekdt);
}

// The table row of a type code, or null.
const ZVEKDTYP *typeRow(int32_t code) {
    if (code == 0) return nullptr;
    for (int i = 0; i < Zvek_Ntyp; ++i)
        if (Zvek_Dtyp[i].dtcode == code) return &Zvek_Dtyp[i];
    return nullptr;
}

// Releases a header the reader has built, with whatever it holds.
void release(ZVEKHDR *h) {
    if (h == nullptr) return;
    if (h->vekptr) Zvekcfree(h->vekptr);
    if (h->vektail) Zvekcfree(h->vektail);
    if (h->vekdln) Zvekcfree(h->vekdln);
    Zvekcfree(h);
}

// Refuses a header: sets the code, reports, releases it.
ZVEKHDR *refuse(ZVEKHDR *h, int32_t code, const char *msg) {
    Zvekerr = code;
    Zvekdie(msg);
    release(h);
    return nullptr;
}

// Skips n bytes by single-character reads; false at end of file.
bool skipBytes(FILE *stream, int64_t n) {
    for (int64_t i = 0; i < n; ++i)
        if (std::getc(stream) == EOF) return false;
    return true;
}

// Inflates one zlib stream from the stream into out, reading at most
// outLen bytes of input. Answers the number of bytes produced when the
// zlib stream ends cleanly, -1 otherwise (damaged, cut short, or more than
// outLen bytes of output). Unused input read past the end of the zlib
// stream is given back to a seekable stream.
int64_t inflateInto(FILE *stream, unsigned char *out, size_t outLen) {
    z_stream zs;
    std::memset(&zs, 0, sizeof zs);
    if (inflateInit(&zs) != Z_OK) return -1;
    std::vector<unsigned char> in(std::min<size_t>(outLen, size_t{1} << 18));
    size_t budget = outLen;
    zs.next_out = out;
    zs.avail_out = static_cast<uInt>(outLen);
    bool ended = false;
    for (;;) {
        if (zs.avail_in == 0) {
            const size_t want = std::min(budget, in.size());
            const size_t got = want ? std::fread(in.data(), 1, want, stream) : 0;
            if (got == 0) break;
            budget -= got;
            zs.next_in = in.data();
            zs.avail_in = static_cast<uInt>(got);
        }
        const int r = inflate(&zs, Z_NO_FLUSH);
        if (r == Z_STREAM_END) {
            ended = true;
            break;
        }
        if (r == Z_OK) continue;
        // Needs more input than this chunk had: read on.
        if (r == Z_BUF_ERROR && zs.avail_in == 0 && zs.avail_out != 0) continue;
        break;
    }
    const int64_t produced = static_cast<int64_t>(zs.total_out);
    if (ended && zs.avail_in > 0) {
        // A pipe cannot give the bytes back; its failure is no error here.
        const int saved = errno;
        std::fseek(stream, -static_cast<long>(zs.avail_in), SEEK_CUR);
        errno = saved;
    }
    inflateEnd(&zs);
    return ended ? produced : -1;
}

}  // namespace

void swapcopy(void *p, int n) {
    if (p == nullptr || n < 2) return;
    auto *b = static_cast<unsigned char *>(p);
    std::reverse(b, b + std::min(n, 64));
}

int swaphdr(ZVEKHDR *h) {
    // The numbers of the header; its texts and bytes need no swapping.
    void *const numbers[] = {&h->vekblksize, &h->vekhdrblk, &h->vekdatblk, &h->vektailblk, &h->vektaillen,
                             &h->vekscale,   &h->vekoffset, &h->dtype,     &h->vekbpd,     &h->vekndim};
    for (void *field : numbers) swapcopy(field, 4);
    // A tail written on a machine of the other order is dropped.
    h->vektaillen = 0;
    h->vektail = nullptr;

    char name[sizeof h->vekdt + 1] = {0};
    std::memcpy(name, h->vekdt, sizeof h->vekdt);
    const ZVEKDTYP *row = Zvektype(name);
    char msg[512];
    if (row == nullptr) {
        Zvekerr = ZVEK_EBADHDR;
        std::snprintf(msg, sizeof msg, "%s\n%s (field 'vekdt' contains '%s')\n%s",
                      "ZvekRdHdr: WARNING!  Data Type Field 'vekdt' does not contain a data type",
                      "          recognized by this version of ZVEK", name, "          Image has damaged header?");
        Zvekdie(msg);
        return ZVEK_EBADHDR;
    }
    if (std::strcmp(name, row->dtname) != 0 || h->dtype != row->dtcode) {
        Zvekerr = ZVEK_EBADHDR;
        std::snprintf(msg, sizeof msg, "%s\n%s'%s',\n%s%x\n%s'%s',\n%s%x",
                      "ZvekRdHdr: WARNING!  File header fields 'vekdt', 'dtype' contain",
                      "          inconsistent information -- hdr->Zvekdt = ", name, "          hdr->dtype = $",
                      static_cast<unsigned>(h->dtype), "          Data type table shows 'vekdt' should be = ",
                      row->dtname, "          and 'dtype' should be $", static_cast<unsigned>(row->dtcode));
        Zvekwarn(msg);
        h->dtype = row->dtcode;
        zvek::setField(h->vekdt, row->dtname);
    }
    return 0;
}

ZVEKHDR *ZvekRdHdr(FILE *stream) {
    DepthGuard depth;
    auto *h = static_cast<ZVEKHDR *>(Zvekalc(ZVEK_BLKSIZE));
    if (h == nullptr) {
        Zvekext(ZVEKSLV, "ZvekRdHdr: ran out of memory.");
        return nullptr;
    }
    unsigned char disk[zvek::kDiskHeaderSize];
    if (stream == nullptr || std::fread(disk, 1, sizeof disk, stream) != sizeof disk)
        return refuse(h, ZVEK_EIO, "ZvekRdHdr: I/O error or EOF when reading header.");
    auto *mem = reinterpret_cast<unsigned char *>(h);
    for (const zvek::DiskField &f : zvek::kDiskFields) std::memcpy(mem + f.mem, disk + f.disk, f.size);
    terminateTexts(h);
    ZvekCPUEndian = zvek::hostEndian();

    if (h->vekblksize == 0x00020000) {
        if (swaphdr(h) != 0) {
            release(h);
            return nullptr;
        }
    } else if (h->vekblksize != ZVEK_BLKSIZE) {
        std::printf("input file blocksize not set to anything I recognize\n");
        std::fflush(stdout);
        Zvekerr = ZVEK_EBADHDR;
        release(h);
        return nullptr;
    }

    // The record block holds at most three dimension records, and the data
    // size follows from the type: a header that breaks either is damaged.
    if (h->vekndim < 1 || h->vekndim > ZVEK_MAXDIM)
        return refuse(h, ZVEK_EDIM, "ZvekRdHdr: number of dimensions in file header is not 1, 2 or 3.");
    const ZVEKDTYP *row = typeRow(h->dtype);
    if (row == nullptr) return refuse(h, ZVEK_EBADHDR, "ZvekRdHdr: unknown data type code in file header.");
    if (h->dtype == DT_STRUCT ? h->vekbpd < 1 : h->vekbpd != row->dtsize)
        return refuse(h, ZVEK_EBADHDR, "ZvekRdHdr: bytes per datum in file header disagree with the data type.");
    return h;
}

int ZvekConvertDims(ZVEKHDR *h) {
    DepthGuard depth;
    if (h == nullptr) return ZVEK_ENULL;
    const int ndim = std::clamp(h->vekndim, 0, ZVEK_MAXDIM);
    for (int i = 0; i < ndim; ++i) {
        swapcopy(&h->vekdims[i].dimlen, 4);
        swapcopy(&h->vekdims[i].dimnum, 4);
    }
    return 0;
}

ZVEKHDR *ZvekRdDims(ZVEKHDR *h, FILE *stream) {
    DepthGuard depth;
    if (h == nullptr) {
        Zvekext(ZVEKSLV, "ZvekRdDims: header passed was null.");
        return nullptr;
    }
    if (stream == nullptr) {
        Zvekext(ZVEKSLV, "ZvekRdDims: file pointer passed was NULL.");
        return nullptr;
    }
    const int ndim = h->vekndim;
    if (ndim < 1 || ndim > ZVEK_MAXDIM)
        return refuse(h, ZVEK_EDIM, "ZvekRdDims: number of dimensions in file header is not 1, 2 or 3.");
    // A short read leaves zero records, which the checks below refuse.
    (void)std::fread(h->vekdims, zvek::kDimRecordSize, static_cast<size_t>(ndim), stream);
    if (!skipBytes(stream, zvek::headerPadding(ndim))) {
        Zvekwarn("ZvekRdDims: WARNING!  There is no padding after the");
        Zvekwarn("          ZVEK file header.  File is probably damaged.");
    }
    if (h->vekendian == ZvekCPUEndian) {
        if (Zvekerr != 0) {
            Zvekerr = 0;
            Zvekwarn("ZvekRdDims: WARNING -- File dimensions are inconsistent\n");
        }
    } else {
        ZvekConvertDims(h);
    }

    bool seen[ZVEK_MAXDIM + 1] = {false, false, false, false};
    for (int i = 0; i < ndim; ++i) {
        ZVEKDIM &d = h->vekdims[i];
        terminate(d.dimdir);
        terminate(d.dimunits);
        if (d.dimnum < 1 || d.dimnum > ndim || seen[d.dimnum])
            return refuse(h, ZVEK_EDIM, "ZvekRdDims: dimension numbers in file are not 1 to the number of dimensions.");
        seen[d.dimnum] = true;
        if (d.dimlen < 0) return refuse(h, ZVEK_EBADHDR, "ZvekRdDims: negative dimension length in file.");
    }
    if (zvek::dataBytes(h) < 0)
        return refuse(h, ZVEK_EBADHDR, "ZvekRdDims: image in file is too large (2 GB or more of data).");
    h->vekdln = Zvek_ao(h);
    if (h->vekdln == nullptr) {
        release(h);
        return nullptr;
    }
    return h;
}

int ZvekConvertData(ZVEKHDR *h) {
    DepthGuard depth;
    if (h == nullptr || h->vekptr == nullptr) return ZVEK_ENULL;
    if (h->dtype == DT_STRUCT) {
        std::printf("This image was created on another type computer, and it is data type \"struct\".\n");
        std::printf("I cannot convert it to this platform because I dont know the format of the (user-defined) struct.\n");
        std::printf("Sorry\n");
        std::fflush(stdout);
        return ZVEK_EDTYPE;
    }
    const int64_t bytes = zvek::dataBytes(h);
    const ZVEKDTYP *row = typeRow(h->dtype);
    auto *p = static_cast<unsigned char *>(h->vekptr);
    // Every component is swapped on its own: a plain datum, each half of a
    // complex datum, each channel of an interleaved datum.
    const bool known = row != nullptr && bytes >= 0 && row->dtsize == h->vekbpd &&
                       zvek::dispatchType(h->dtype, [&](auto tag) {
                           using T = typename decltype(tag)::type;
                           swapUnits<sizeof(T)>(p, static_cast<size_t>(bytes) / sizeof(T));
                       });
    if (!known) {
        std::printf("convertdata: unknown data type in input image\n");
        std::fflush(stdout);
        return ZVEK_EDTYPE;
    }
    return 0;
}

int ZvekRdData(ZVEKHDR *h, FILE *stream) {
    DepthGuard depth;
    Zvekerr = 0;
    if (h == nullptr) {
        Zvekext(ZVEKSLV, "ZvekRdData: header passed was null.");
        return ZVEK_ENULL;
    }
    if (stream == nullptr) {
        Zvekext(ZVEKSLV, "ZvekRdData: file pointer passed was NULL.");
        return ZVEK_ENULL;
    }
    const int64_t S = zvek::dataBytes(h);
    if (S < 0) {
        refuse(h, ZVEK_EBADHDR, "ZvekRdData: image in file is too large (2 GB or more of data).");
        return ZVEK_EBADHDR;
    }
    // At least one byte, so that an empty image still has a data block.
    auto *data = static_cast<unsigned char *>(Zvekalc(static_cast<uint32_t>(S > 0 ? S : 1)));
    if (data == nullptr) {
        Zvekdie("ZvekRdData: couldn't allocate space to store image data.");
        release(h);
        return ZVEK_ENOMEM;
    }
    zvek::adviseLarge(data, static_cast<size_t>(S));
    int64_t got;
    if (h->vekcompress == 0)
        got = static_cast<int64_t>(std::fread(data, 1, static_cast<size_t>(S), stream));
    else
        got = inflateInto(stream, data, static_cast<size_t>(S));
    if (got != S) {
        Zvekcfree(data);
        refuse(h, ZVEK_EIO, "ZvekRdData: I/O error on read of data [file damaged?]");
        return ZVEK_EIO;
    }
    h->vekptr = data;
    if (h->vekendian != ZvekCPUEndian) {
        if (ZvekConvertData(h) != 0) {
            Zvekerr = ZVEK_EDTYPE;
            Zvekdie("ZvekRdData: failed to convert data.");
            release(h);
            return -1;
        }
        if (Zvekerr != 0) {
            Zvekerr = 0;
            Zvekwarn("ZvekRdData: WARNING -- File data is inconsistent\n");
        }
    }
    return 0;
}

int ZvekRdTail(ZVEKHDR *h, FILE *stream) {
    DepthGuard depth;
    Zvekerr = 0;
    if (h == nullptr || stream == nullptr) return ZVEK_ENULL;
    const int32_t T = h->vektaillen;
    if (T == 0) return -1;
    // The tail follows the padding after the data.
    const int64_t S = zvek::dataBytes(h);
    if (T < 0 || S < 0 || !skipBytes(stream, zvek::blockPadding(S))) {
        Zvekerr = ZVEK_EIO;
        h->vektaillen = 0;
        Zvekdie("ZvekRdTail: I/O error on read of tail [file damaged?]\n");
        return ZVEK_EIO;
    }
    auto *tail = static_cast<unsigned char *>(Zvekalc(static_cast<uint32_t>(T)));
    if (tail == nullptr) {
        Zvekdie("ZvekRdTail: can't allocate space to store tail.");
        return ZVEK_ENOMEM;
    }
    h->vektail = tail;
    if (std::fread(tail, 1, static_cast<size_t>(T), stream) != static_cast<size_t>(T)) {
        Zvekerr = ZVEK_EIO;
        Zvekdie("ZvekRdTail: I/O error on read of tail [file damaged?]\n");
        Zvekcfree(tail);
        h->vektaillen = 0;
        h->vektail = nullptr;
        return ZVEK_EIO;
    }
    if (!skipBytes(stream, zvek::blockPadding(T))) {
        Zvekerr = ZVEK_EIO;
        Zvekdie("ZvekRdTail: WARNING -- I/O error or EOF encountered when reading\n"
                "          padding after tail information [file damaged?]");
    }
    if (h->vekendian != ZvekCPUEndian) {
        std::printf("Caution: the form of the tail is under user control and not known to Zvek\n");
        std::printf("This file has a tail which was written on another computer. I will all single bytes, \n");
        std::printf("and no byte swapping is needed. If this is not the case, you may get unexpected results\n");
        std::fflush(stdout);
    }
    return 0;
}

ZVEKHDR *ZvekRdImg(FILE *stream, int readTail) {
    DepthGuard depth;
    Zvekerr = 0;
    ZVEKHDR *h = ZvekRdHdr(stream);
    if (h == nullptr) {
        Zvekdie("ZvekRdImg: failed to get header from file");
        return nullptr;
    }
    if (Zvekerr != 0) {
        Zvekerr = 0;
        Zvekwarn("ZvekRdImg: WARNING -- File header is inconsistent\n");
    }
    // Each step releases the header itself when it fails.
    if (ZvekRdDims(h, stream) == nullptr) {
        Zvekdie("ZvekRdImg: failed to get dimension headers from file");
        return nullptr;
    }
    if (Zvekerr != 0) {
        Zvekerr = 0;
        Zvekwarn("ZvekRdImg: WARNING -- File dimension hdrs are inconsistent\n");
    }
    if (ZvekRdData(h, stream) != 0) {
        Zvekdie("ZvekRdImg: failed to get data from file");
        return nullptr;
    }
    if (Zvekerr != 0) {
        Zvekerr = 0;
        Zvekwarn("ZvekRdImg: WARNING -- File data inconsistent\n");
    }
    if (readTail) {
        // -1 only says that the file has no tail.
        const int r = ZvekRdTail(h, stream);
        if (r != 0 && r != -1) {
            release(h);
            Zvekdie("ZvekRdImg: failed to get tail data from file");
            return nullptr;
        }
        if (Zvekerr != 0) {
            Zvekerr = 0;
            Zvekwarn("ZvekRdImg: WARNING -- File tail data inconsistent\n");
        }
    }
    h->vekendian = static_cast<uint8_t>(ZvekCPUEndian);
    h->vekstamp = 16;
    return h;
}

ZVEKHDR *zvek::getImage(const std::function<FILE *()> &open, int (*close)(FILE *), int readTail) {
    DepthGuard depth;
    FILE *stream = open();
    if (stream == nullptr) {
        Zvekdie("ZvekGetImg: couldn't open file.");
        return nullptr;
    }
    ZVEKHDR *h = ZvekRdImg(stream, readTail);
    close(stream);
    if (h == nullptr) {
        Zvekdie("ZvekGetImg: Error while reading image file.");
        return nullptr;
    }
    return h;
}

ZVEKHDR *ZvekGetImg(const char *fileName, const char *prompt, int readTail) {
    return zvek::getImage([&] { return ZvekOpen(fileName, "rb", prompt, 5); }, ZvekClose, readTail);
}

ZVEKHDR *Zvekpin(const char *fileName) {
    return ZvekGetImg(fileName, "Enter name of ZVEK image file to read in: ", 0);
}
