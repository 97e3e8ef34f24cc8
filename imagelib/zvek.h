// zvek.h - the image file library: image header, data types, errors,
// creation, pixel access, files, and the utilities built on them.
//
// Everything here is plain functions over ZVEKHDR pointers with integer
// results and a global error state; nothing throws.
#ifndef ZVEK_H
#define ZVEK_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

// ---- Byte order ----
#define ZVEK_BIGEND 1
#define ZVEK_LITEND 2

// ---- Data-type codes ----
#define DT_8BIT 257
#define DT_U8BIT 1025
#define DT_16BIT 258
#define DT_U16BIT 1026
#define DT_32BIT 260
#define DT_32FLT 516
#define DT_64FLT 520
#define DT_32CMP 4612
#define DT_64CMP 4616
#define DT_SU8BIT3 1041
#define DT_S8BIT3 273
#define DT_SU8BIT4 1057
#define DT_S8BIT4 289
#define DT_SU16BIT3 1042
#define DT_S16BIT3 274
#define DT_SU16BIT4 1058
#define DT_S16BIT4 290
#define DT_S32BIT3 276
#define DT_S32BIT4 292
#define DT_S32FLT3 532
#define DT_S32FLT4 548
#define DT_S64FLT3 25
#define DT_S64FLT4 41
#define DT_STRUCT 8192

// ---- Severity levels ----
#define ZVEK_SILENT 1
#define ZVEK_WARN 8
#define ZVEK_FATAL 64

// ---- Error codes ----
#define ZVEK_ENULL 8
#define ZVEK_EBADHDR 24
#define ZVEK_EOPEN 64
#define ZVEK_EFNAME 256
#define ZVEK_EIO 448
#define ZVEK_ENOMEM 512
#define ZVEK_EDTYPE 1024
#define ZVEK_ERANGE 4096
#define ZVEK_EDIM 8192
#define ZVEK_EZBUF 9
#define ZVEK_ENDIM (-1)

// ---- Create and free flags, size selectors ----
#define ZVEK_ALLOC_DATA 2
#define ZVEK_FREE_DATA 2
#define ZVEK_FREE_TAIL 4
#define ZVEK_NPIXELS (-1)
#define ZVEK_NBYTES (-2)

// Largest number of dimensions an image may have.
#define ZVEK_MAXDIM 3
// Block size of the file layout.
#define ZVEK_BLKSIZE 512

// ---- Header and dimension records ----

// One dimension: 64 bytes, the same bytes in memory and in a file.
struct ZVEKDIM {
    int32_t dimlen;      // length
    int32_t dimnum;      // 1 = columns, 2 = rows, 3 = frames
    char dimdir[8];      // "fwd"
    char dimunits[8];    // "pixels"
    float dimscale;      // 1.0
    float dimoffset;     // 0.0
    char dimres[32];     // reserved
};
static_assert(sizeof(ZVEKDIM) == 64, "ZVEKDIM must be 64 bytes");

// The in-memory image header. The file form of the header is written and
// read field by field; this struct is never written as it stands.
struct ZVEKHDR {
    char vekmagic[4];          // "ZVE" (or "VEK")
    int32_t vekblksize;        // 512
    int32_t vekhdrblk;         // 0
    int32_t vekdatblk;         // number of header blocks
    int32_t vektailblk;        // -(data blocks + header blocks)
    int32_t vektaillen;        // tail bytes, 0 = none
    unsigned char *vektail;    // the tail, or null
    char vekfclass[8];
    char vekctype[8];
    char vekcuser[32];
    char vekcdate[32];
    char vekcprog[32];
    char vekcprogver[8];
    uint8_t vekendian;         // ZVEK_BIGEND or ZVEK_LITEND
    uint8_t vekstamp;          // 16
    uint8_t vekres1[38];
    char vekunits[16];
    float vekscale;
    float vekoffset;
    char vekdt[16];            // canonical type name
    int32_t dtype;             // type code
    int32_t vekbpd;            // bytes per datum
    int32_t vekndim;           // 1..3
    void *vekptr;              // pixel data or null
    int32_t *vekdln;           // cumulative dimension products
    void *vekuptr;             // user pointer, never used by the library
    uint8_t vekres2[3];
    uint8_t vekcompress;       // 1 = compress with zlib when written
    ZVEKDIM vekdims[ZVEK_MAXDIM];
};
static_assert(sizeof(ZVEKHDR) <= ZVEK_BLKSIZE, "header must fit one block");

// One row of the data-type table. Alias rows carry size 0 and code 0 and
// stand directly before their canonical row.
struct ZVEKDTYP {
    const char *dtname;
    int32_t dtsize;
    int32_t dtcode;
};

extern const ZVEKDTYP Zvek_Dtyp[];
extern const int Zvek_Ntyp;  // 54
extern int32_t ZvekCPUEndian;

// Looks a type name up; an alias answers its canonical row. Unknown: null,
// Zvekerr = ZVEK_EDTYPE.
const ZVEKDTYP *Zvektype(const char *name);
int32_t Zvekntype(const char *name);

// ---- Error state and reporting ----
extern int32_t Zvekerr;
extern int32_t ZVEKDEPTH;
extern int32_t ZVEKSLV;
extern int32_t ZVEKTRACE;
extern int32_t ZVEKCHK;

int Zvekwarn(const char *msg);
int Zvekdie(const char *msg);
void Zvekext(int level, const char *msg);
int Zvekchkhd(const ZVEKHDR *h, const char *msg);

// ---- Creation, release, allocation hooks, size queries ----
extern void *(*Zvek_alcptr)(size_t count, size_t size);
extern void (*Zvek_freeptr)(void *p);
extern void *(*Zvek_realcptr)(void *p, size_t size);

void *Zvekalc(uint32_t n);
void Zvekcfree(void *p);
int32_t *Zvek_ao(ZVEKHDR *h);
ZVEKHDR *Zvekcreate(const char *typeName, const int32_t *dims, int flags, int structSize);
int Zvekfree(ZVEKHDR *h, int flags);
int32_t Zvekdimen(const ZVEKHDR *h, int d);
int32_t *Zveksiz(const ZVEKHDR *h);
int32_t Zveknc(const ZVEKHDR *h);
int32_t Zveknr(const ZVEKHDR *h);
char *Zvektim(int ignored);

// ---- Pixel accessors ----
double Zvekfgp(ZVEKHDR *h, int row, int col);
double Zvekfgp3d(ZVEKHDR *h, int frame, int row, int col);
int Zvekfpp(ZVEKHDR *h, int row, int col, double v);
int Zvekfpp3d(ZVEKHDR *h, int frame, int row, int col, double v);
int Zvekigp(ZVEKHDR *h, int row, int col);
int Zvekigp3d(ZVEKHDR *h, int frame, int row, int col);
int Zvekipp(ZVEKHDR *h, int row, int col, int v);
int Zvekipp3d(ZVEKHDR *h, int frame, int row, int col, int v);

// ---- File format: writer ----

// The 256-byte disk header of h (pointer slots zero, block size 512, the
// tail length and compression byte as in memory) in a static buffer that
// each call overwrites. Null for a null header.
unsigned char *CopyvekHdrtoDiskHeader(const ZVEKHDR *h);
// Writes h to an open binary stream from its current position, with its
// tail when writeTail is set and h has one. -1 written, 0 failed (Zvekerr
// and a report). Data whose zlib stream would not be shorter than the data
// are written raw, with 0 in the file's compression byte.
int ZvekWrImg(ZVEKHDR *h, FILE *stream, int writeTail);
// Opens fileName through ZvekOpen, writes h and closes the file. Images under
// 512 pixels are written uncompressed and keep their flag cleared. -1 written
// (the close included), 0 failed.
int ZvekPutImg(ZVEKHDR *h, const char *fileName, const char *prompt, int writeTail);
// ZvekPutImg without a tail; the caller keeps h.
int Zvekpot(ZVEKHDR *h, const char *fileName);

// ---- File format: reader ----

// Reads an image from the named file (no tail); the caller frees it with
// Zvekfree(h, 7). Null on failure, with a report.
ZVEKHDR *Zvekpin(const char *fileName);
// Opens fileName through ZvekOpen, reads an image and closes the file.
ZVEKHDR *ZvekGetImg(const char *fileName, const char *prompt, int readTail);
// Reads an image from an open stream, in the host's byte order whatever
// order the file was written in. Null on failure; nothing stays allocated.
ZVEKHDR *ZvekRdImg(FILE *stream, int readTail);
// The four steps of ZvekRdImg. ZvekRdHdr answers a new header without
// dimensions or data; ZvekRdDims and ZvekRdData release the header they were
// given when they fail; ZvekRdTail answers -1 when the file has no tail.
ZVEKHDR *ZvekRdHdr(FILE *stream);
ZVEKHDR *ZvekRdDims(ZVEKHDR *h, FILE *stream);
int ZvekRdData(ZVEKHDR *h, FILE *stream);
int ZvekRdTail(ZVEKHDR *h, FILE *stream);
// Swaps the numbers of a header read from a file of the other byte order and
// checks its type name: 0 kept, ZVEK_EBADHDR for an unknown type name.
int swaphdr(ZVEKHDR *h);
// Byte-swap the dimension records and the pixel data in place: 0 done.
int ZvekConvertDims(ZVEKHDR *h);
int ZvekConvertData(ZVEKHDR *h);
// Reverses the order of n bytes (at most 64) at p.
void swapcopy(void *p, int n);

// ---- File names and streams ----

// Opens a file for the reader or the writer. The name has environment
// variables ($NAME, ${NAME}) and a leading ~ or ~user expanded; a null name
// or "-" gives standard input or output by mode. An empty name with a prompt
// asks for a name on a terminal, up to retries more times. Null on failure
// (Zvekerr ZVEK_EOPEN or ZVEK_EFNAME, with a report).
FILE *ZvekOpen(const char *fileName, const char *mode, const char *prompt, int retries);
// Closes what ZvekOpen opened: 0 for a standard stream (left open), -1 for
// null, else fclose's result.
int ZvekClose(FILE *stream);
// Reads one name from stream (backslash escapes the next character) and
// expands it. Heap text owned by the caller, or null.
char *ZvekGetFN(const char *prompt, FILE *stream);
// Expands variables and a leading tilde. Heap text, or null; status 0 fine,
// 1 bad or unknown variable or user, or a name too long, 2 no memory.
char *ZvekPrsFN(const char *name, int *status);
// Expands the environment variables of a name (at most 511 characters
// after expansion). Heap text, or null; status as ZvekPrsFN.
char *ZvekEnv(const char *name, int *status);
// The first character of s not in set (the terminating NUL if all are).
const char *strspan(const char *s, const char *set);

// ---- Windows and slices ----
// Rows r1..r2 and columns c1..c2 of a 2-D image as a new image (1-D when
// the window is one row or one column wide). Each pair may come in either
// order. Outside the image: null with Zvekerr ZVEK_ERANGE and no message.
ZVEKHDR *Zvekexwin(ZVEKHDR *h, int r1, int c1, int r2, int c2);
// Frames f1..f2, rows r1..r2, columns c1..c2 of a 3-D image; extents of 1
// are dropped from the result's dimensions.
ZVEKHDR *Zvekexwin3d(ZVEKHDR *h, int f1, int r1, int c1, int f2, int r2, int c2);
// Column ("c", "col", "column"), row ("r", "row") or frame ("f", "frame")
// number index. Returns h ITSELF for a 1-D image and for a frame of a 2-D
// image: compare the result with h before releasing it.
ZVEKHDR *Zvekslice(ZVEKHDR *h, const char *dimName, int index);


// ---- Type conversion and complex parts ----

// Converts the pixels of in into out (same columns, rows and, for a 3-D
// input, frames; a 1-D image has one row). Each value passes through a
// 32-bit float and is stored as a pixel put stores it. 0 converted, -1 sizes
// differ, -2 either image is complex, -3 data that cannot be converted
// ("struct", an interleaved image with fewer frames than channels, no data).
int Zvekany2any(ZVEKHDR *in, ZVEKHDR *out);
// Real part, imaginary part, magnitude and phase of the first frame of a
// "32cmp" image into out. 0 done, -1 rows or columns differ, -2 a "64cmp"
// image or an input that is not "32cmp", -3 a target of a type without plain
// elements or without data.
int Zvekc2real(ZVEKHDR *in, ZVEKHDR *out);
int Zvekc2imag(ZVEKHDR *in, ZVEKHDR *out);
int Zvekc2mag(ZVEKHDR *in, ZVEKHDR *out);
int Zvekc2phase(ZVEKHDR *in, ZVEKHDR *out);

// ---- FFT ----
// In-place 2-D FFT of a square "32cmp" image: dir -1 forward, +1 inverse
// (divided by N per direction), other values change nothing. 0 done, -1 not
// square, -2 side not a power of two, -3 not "32cmp".
int Zvekcfft2d(ZVEKHDR *h, int dir);


// ---- Video scaling and colour maps ----
// Maps the values of in linearly onto 0..255 in the existing "u8bit" image
// out of the same size, over the whole image or (perFrame) frame by frame;
// complex types by their real parts. min and max receive the range used.
// 0 done (also for a constant image, which leaves out alone); -1 argument
// error (null images, out not "u8bit", 3-D switch on a non-3-D image,
// different dimensions or sizes); -2 data type not handled.
int Zvekvidscale(ZVEKHDR *in, ZVEKHDR *out, float *min, float *max, int perFrame);
// Colours the 2-D image in through map mapNo (0..6) into the three frames
// (red, green, blue) of the "u8bit" image out. Values are clamped to 0..255.
// 0 done, -1 out not "u8bit", -2 in not 2-D, -3 out not 3-D with at least
// three frames, -4 rows or columns differ.
int Zvekcolormap(ZVEKHDR *in, ZVEKHDR *out, int mapNo);
// Fills the 768-byte planar map (red 0..255, green, blue) for mapNo 0..6;
// other numbers leave it untouched. in is not used.
void CreateColorMap(unsigned char *map, ZVEKHDR *in, int mapNo);


// ---- Zoom ----
// Resamples in into the size of the existing image out: mode 0 bilinear,
// 1 pixel replication, 2 averaging of 2 x 2 neighbours. A 3-D input needs
// an output of as many frames. 0 done; -1 frame counts differ, in is
// neither 2-D nor 3-D, an image has no pixels, or an image of an
// interleaved type is not 3-D with a frame per channel (with a line on
// standard output).
int Zvekzoomupdown(ZVEKHDR *in, ZVEKHDR *out, int mode);
// Bilinear value of in at the fractional position (row, col) of a frame.
// 0 (with a line on standard output) for an interleaved image that is not
// 3-D with a frame per channel, and for a position whose integer part is
// not an int (beyond +-2^31, or NaN).
float bilininterp1(ZVEKHDR *in, int frame, float row, float col);


// ---- Point lists ----
// Draws the x y points of a point-list file into a new three-frame "ubyte"
// image (first point red, last green, others white). rows and cols force
// the size when non-zero; precise 1 takes the coordinates as they stand,
// else they are shifted to the bounding box and multiplied by scale.
// Null (with a line on standard error) when the file cannot be opened,
// holds no point or would give an empty or oversized image.
ZVEKHDR *Zvekplotcontour(const char *fileName, int rows, int cols, int precise, float scale);


// ---- Random numbers ----
// The 48-bit linear congruential family of rand48, with its own state.
double Zvekdrand48();
long Zveklrand48();
long Zvekmrand48();
double Zvekerand48(unsigned short xsubi[3]);
long Zveknrand48(unsigned short xsubi[3]);
long Zvekjrand48(unsigned short xsubi[3]);
void Zveksrand48(long seed);
unsigned short *Zvekseed48(unsigned short xsubi[3]);
void Zveklcong48(unsigned short param[7]);


#endif  // ZVEK_H
