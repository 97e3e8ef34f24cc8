// zvekint.h - helpers shared by the image library's own source files
// (and by the operations library): type dispatch, the call-depth guard and
// conversions that are defined for every input.
#ifndef ZVEKINT_H
#define ZVEKINT_H

#include "zvek.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <type_traits>
#include <utility>

namespace zvek {

// Tag carrying an element type through a generic lambda.
template <typename T>
struct TypeTag {
    using type = T;
};

// How the data of one type code is laid out.
struct TypeLayout {
    int channels;  // 1 planar, 3 or 4 interleaved
    bool complex;  // two components per datum, real first
};

inline TypeLayout typeLayout(int code) {
    switch (code) {
    case DT_32CMP:
    case DT_64CMP:
        return {1, true};
    case DT_S8BIT3: case DT_SU8BIT3: case DT_S16BIT3: case DT_SU16BIT3:
    case DT_S32BIT3: case DT_S32FLT3: case DT_S64FLT3:
        return {3, false};
    case DT_S8BIT4: case DT_SU8BIT4: case DT_S16BIT4: case DT_SU16BIT4:
    case DT_S32BIT4: case DT_S32FLT4: case DT_S64FLT4:
        return {4, false};
    default:
        return {1, false};
    }
}

// True when the data of h can be walked by its type's layout: a planar
// type, or an interleaved one of three dimensions with at least a frame per
// channel (with fewer frames, or in a 2-D image, the channels of the last
// pixels lie past the data).
inline bool layoutFits(const ZVEKHDR *h) {
    const int channels = typeLayout(h->dtype).channels;
    if (channels == 1) return true;
    if (h->vekndim != 3) return false;
    for (int i = 0; i < 3; ++i)
        if (h->vekdims[i].dimnum == 3) return h->vekdims[i].dimlen >= channels;
    return false;
}

// True for the nine plain (non-interleaved) types.
inline bool isPlainType(int code) {
    switch (code) {
    case DT_8BIT: case DT_16BIT: case DT_32BIT: case DT_32FLT: case DT_64FLT:
    case DT_U8BIT: case DT_U16BIT: case DT_32CMP: case DT_64CMP:
        return true;
    default:
        return false;
    }
}

// Calls fn(TypeTag<T>{}) with T the component type of the code: the element
// type of a plain type, the part type of a complex type (float or double),
// the channel type of an interleaved type. Returns false (fn not called) for
// "struct" and unknown codes. This is the one place that maps codes to types.
template <typename F>
bool dispatchType(int code, F &&fn) {
    switch (code) {
    case DT_8BIT: case DT_S8BIT3: case DT_S8BIT4:
        fn(TypeTag<int8_t>{}); return true;
    case DT_U8BIT: case DT_SU8BIT3: case DT_SU8BIT4:
        fn(TypeTag<uint8_t>{}); return true;
    case DT_16BIT: case DT_S16BIT3: case DT_S16BIT4:
        fn(TypeTag<int16_t>{}); return true;
    case DT_U16BIT: case DT_SU16BIT3: case DT_SU16BIT4:
        fn(TypeTag<uint16_t>{}); return true;
    case DT_32BIT: case DT_S32BIT3: case DT_S32BIT4:
        fn(TypeTag<int32_t>{}); return true;
    case DT_32FLT: case DT_S32FLT3: case DT_S32FLT4: case DT_32CMP:
        fn(TypeTag<float>{}); return true;
    case DT_64FLT: case DT_S64FLT3: case DT_S64FLT4: case DT_64CMP:
        fn(TypeTag<double>{}); return true;
    default:
        return false;
    }
}

// As dispatchType, restricted to the nine plain types.
template <typename F>
bool dispatchPlain(int code, F &&fn) {
    return isPlainType(code) && dispatchType(code, fn);
}

// Runs f, keeping errno as it was before: cleaning up after a failure
// leaves the failure's reason.
template <typename F>
void keepingErrno(F &&f) {
    const int err = errno;
    f();
    errno = err;
}

// Increments ZVEKDEPTH for the life of a library call.
struct DepthGuard {
    DepthGuard() { ++ZVEKDEPTH; }
    ~DepthGuard() { --ZVEKDEPTH; }
    DepthGuard(const DepthGuard &) = delete;
    DepthGuard &operator=(const DepthGuard &) = delete;
};

// ZvekGetImg's and ZvekPutImg's work on the stream that open makes: the same
// checks (made before anything is opened), reports, bytes and results. For
// callers that open the file themselves. The reader's stream is ended by
// close; the writer's by finish, told whether every byte went out, which
// answers 0 when the file is complete.
ZVEKHDR *getImage(const std::function<FILE *()> &open, int (*close)(FILE *), int readTail);
int putImage(ZVEKHDR *h, const std::function<FILE *()> &open, const std::function<int(FILE *, bool)> &finish,
             int writeTail);

// ZvekOpen's naming: the expansion of fileName (or the name asked for on
// the terminal under prompt, with retries), "-" and a null name for the
// standard streams, and its reports; tryOpen opens one expanded name.
FILE *openNamed(const char *fileName, const char *mode, const char *prompt, int retries,
                const std::function<FILE *(const char *)> &tryOpen);

// Opening a file that the user named, without ever blocking or touching
// anything but a regular file: the type is checked on a descriptor that
// only names the file (O_PATH, which opens no FIFO and no device) and again
// on the descriptor opened for access (O_NONBLOCK, O_NOCTTY, O_CLOEXEC),
// never on the name beforehand. access is O_RDONLY or O_WRONLY; nothing is
// created or truncated. The descriptor returned is blocking and owned by
// the caller.
struct OpenedFile {
    int fd = -1;              // -1: not opened (errno tells why)
    bool notRegular = false;  // refused: a FIFO, socket, device (errno ENXIO) or directory (EISDIR)
};
OpenedFile openRegular(const char *path, int access);
inline OpenedFile openRegularForRead(const char *path) { return openRegular(path, 0); }

// The same for reading as a stdio stream ("rb"); null when not opened, with
// *notRegular (when given) telling whether the path was refused for its type.
FILE *fopenRegular(const char *path, bool *notRegular = nullptr);

// Writing a file that the user named or owns so that no failure costs the
// file it replaces. The bytes go to a new file, made exclusively in the
// target's folder under a name nobody can guess; commit() flushes it to the
// disk, gives it the replaced file's owner (where the system allows) and
// permission bits (a new file has 0666 less the umask), closes it and
// renames it over the target. Until then the target is untouched, and a
// replacement that is not committed removes its file. A symbolic link is
// written through: the file it points to is replaced and the link stays.
// The target must be a regular file that may be written (it is opened for
// writing as a check, see openRegular) or a new name in an existing folder;
// anything else is refused and left as it is. Where the folder takes no new
// file or refuses it the target's place (EACCES, EPERM, EBUSY: a folder
// without write permission, a shared folder with the sticky bit, a mount
// point) while the target itself is writable, the target is written in
// place and cut to the new length: the one case that a failure midway can
// still damage.
class FileReplacement {
public:
    explicit FileReplacement(const char *path);
    ~FileReplacement();
    FileReplacement(const FileReplacement &) = delete;
    FileReplacement &operator=(const FileReplacement &) = delete;

    // The descriptor to write to; -1 when refused or failed (errno tells why).
    int fd() const { return fd_; }
    bool notRegular() const { return notRegular_; }
    // A stdio stream ("wb") on the descriptor, ended by commit or discard;
    // null when there is no descriptor.
    FILE *stream();
    // Puts the written bytes in the target's place: true when they are
    // there; false with errno telling why, the target as it was.
    bool commit();
    // Gives the write up: the new file goes, the target stays as it was.
    void discard();

private:
    bool writeInPlace();

    int fd_ = -1;      // the new file, or the target when written in place
    int target_ = -1;  // the target opened for writing, when it exists
    int folder_ = -1;  // the target's folder (O_PATH)
    FILE *stream_ = nullptr;
    bool notRegular_ = false;
    bool inPlace_ = false;
    unsigned mode_ = 0;
    long long owner_ = -1, group_ = -1;
    std::string name_, temp_;  // the target's and the new file's names in the folder
};

// Truncation toward zero to a 64-bit integer, defined for every double:
// NaN gives 0, values beyond the 64-bit range saturate.
inline int64_t truncToInt64(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
    if (v < -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(v);
}

// Truncation toward zero to int, defined for every double: NaN gives 0,
// values beyond the int range saturate.
inline int truncToInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483648.0) return std::numeric_limits<int>::max();
    if (v <= -2147483649.0) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

// Stores a double into a component of type T: integers keep the low bits of
// the value truncated toward zero (no clamping), floats are narrowed.
template <typename T>
inline T storeFromDouble(double v) {
    if constexpr (std::is_floating_point_v<T>) {
        return static_cast<T>(v);
    } else {
        return static_cast<T>(static_cast<uint64_t>(truncToInt64(v)));
    }
}

// Stores an int into a component of type T: integers keep the low bits.
template <typename T>
inline T storeFromInt(int v) {
    if constexpr (std::is_floating_point_v<T>) {
        return static_cast<T>(v);
    } else {
        return static_cast<T>(static_cast<uint32_t>(v));
    }
}

// Reads a component as int: integers widen, floats truncate toward zero.
template <typename T>
inline int intFromComponent(T v) {
    if constexpr (std::is_floating_point_v<T>) {
        return truncToInt(static_cast<double>(v));
    } else {
        return static_cast<int>(v);
    }
}

// Bounded copy into a fixed text field; the field stays NUL-terminated.
template <size_t N>
inline void setField(char (&field)[N], const char *text) {
    std::memset(field, 0, N);
    if (text) std::memcpy(field, text, strnlen(text, N - 1));
}

// Host byte order, worked out as the library does it: the bytes 'A' 'B' 'C'
// 'D' read back as one int32.
inline int32_t hostEndian() {
    unsigned char b[4] = {'A', 'B', 'C', 'D'};
    int32_t v;
    std::memcpy(&v, b, 4);
    return v == 0x44434241 ? ZVEK_LITEND : ZVEK_BIGEND;
}

// True when the magic text is one the library accepts.
inline bool goodMagic(const ZVEKHDR *h) {
    return std::memcmp(h->vekmagic, "ZVE", 4) == 0 || std::memcmp(h->vekmagic, "VEK", 4) == 0;
}

}  // namespace zvek


// ---- Image shapes (windows, scaling, zoom) ----
namespace zvek {

// Columns, rows and frames of an image, 1 for the dimensions it lacks.
struct Shape {
    int ndim = 0;
    int32_t cols = 1, rows = 1, frames = 1;
    int64_t pixels() const { return static_cast<int64_t>(cols) * rows * frames; }
    bool sameLengths(const Shape &o) const { return cols == o.cols && rows == o.rows && frames == o.frames; }
};

// Reads the shape through the size query (which reports a bad header).
// False when the query fails.
bool shapeOf(const ZVEKHDR *h, Shape &s);

}  // namespace zvek

// ---- Vector kernels (windows, scaling, zoom, FFT) ----
// Hot loops are built once per instruction set (ZVEK_TARGET) and chosen at
// run time by vectorLevel: 2 AVX-512, 1 AVX2, 0 the baseline. The
// arithmetic per sample is the same on every path (no contraction, no
// reassociation), so results are identical. GCC's loop vectoriser weighs
// costs in these functions as at -O3.
#if defined(__x86_64__) && defined(__GNUC__)
#define ZVEK_HAVE_TARGETS 1
#if defined(__clang__)
#define ZVEK_TARGET(isa) __attribute__((target(isa)))
#define ZVEK_BASELINE
#else
#define ZVEK_TARGET(isa) __attribute__((target(isa), optimize("vect-cost-model=dynamic")))
#define ZVEK_BASELINE __attribute__((optimize("vect-cost-model=dynamic")))
#endif
#else
#define ZVEK_HAVE_TARGETS 0
#define ZVEK_TARGET(isa)
#define ZVEK_BASELINE
#endif

// A region of a source file built for one instruction set: every function
// declared between ZVEK_REGION_AVX512 or ZVEK_REGION_AVX2 (AVX2 with FMA)
// and ZVEK_REGION_END, templates included.
#if ZVEK_HAVE_TARGETS && defined(__clang__)
#define ZVEK_REGION_AVX512 _Pragma("clang attribute push(__attribute__((target(\"avx512f\"))), apply_to = function)")
#define ZVEK_REGION_AVX2 _Pragma("clang attribute push(__attribute__((target(\"avx2,fma\"))), apply_to = function)")
#define ZVEK_REGION_END _Pragma("clang attribute pop")
#elif ZVEK_HAVE_TARGETS
#define ZVEK_REGION_AVX512 _Pragma("GCC push_options") _Pragma("GCC target(\"avx512f\")")
#define ZVEK_REGION_AVX2 _Pragma("GCC push_options") _Pragma("GCC target(\"avx2,fma\")")
#define ZVEK_REGION_END _Pragma("GCC pop_options")
#endif

// Helpers of the vector loops are always inlined, also in unoptimised
// builds, so that no vector crosses a call between instruction sets.
#define ZVEK_INLINE inline __attribute__((always_inline))

namespace zvek {

// Vectors of 4, 8 and 16 floats (one SSE, AVX or AVX-512 register);
// arithmetic on them is lane by lane, in single precision.
typedef float f4 __attribute__((vector_size(16)));
typedef float f8 __attribute__((vector_size(32)));
typedef float f16 __attribute__((vector_size(64)));

template <typename V>
constexpr int lanes() { return int(sizeof(V) / sizeof(float)); }

// Unaligned load and store. Vectors are passed by reference only, so that
// no function's calling convention depends on the instruction set.
template <typename V>
ZVEK_INLINE void loadV(V &v, const float *p) { __builtin_memcpy(&v, p, sizeof v); }
template <typename V>
ZVEK_INLINE void storeV(float *p, const V &v) { __builtin_memcpy(p, &v, sizeof v); }

// The widest path the processor has; asked once.
inline int detectedVectorLevel() {
#if ZVEK_HAVE_TARGETS
    static const int level = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") ? 2 : __builtin_cpu_supports("avx2") ? 1 : 0;
    }();
    return level;
#else
    return 0;
#endif
}

// Upper bound on the path taken, 2 unless lowered by limitVectorLevel.
inline int &vectorLevelCap() {
    static int cap = 2;
    return cap;
}

// The path the loops take: the detected one, at most the cap.
inline int vectorLevel() {
    const int d = detectedVectorLevel(), c = vectorLevelCap();
    return d < c ? d : c;
}

// Lets tests and benchmarks run the narrower paths on a wide machine: caps
// the path at level (clamped to 0..2) and returns the path now taken.
inline int limitVectorLevel(int level) {
    vectorLevelCap() = level < 0 ? 0 : level > 2 ? 2 : level;
    return vectorLevel();
}

// Runs f, inlined into a copy built for each instruction set, on the path
// vectorLevel picks. f is a lambda marked ZVEK_INLINE_LAMBDA, so that its
// loops are compiled for the instruction set of the copy that runs them.
#define ZVEK_INLINE_LAMBDA __attribute__((always_inline))
#if ZVEK_HAVE_TARGETS
template <typename F>
ZVEK_TARGET("avx512f") void onAvx512(const F &f) { f(); }
template <typename F>
ZVEK_TARGET("avx2") void onAvx2(const F &f) { f(); }
#endif
template <typename F>
ZVEK_BASELINE void onBaseline(const F &f) { f(); }

template <typename F>
void onWidestPath(const F &f) {
#if ZVEK_HAVE_TARGETS
    switch (vectorLevel()) {
    case 2: onAvx512(f); return;
    case 1: onAvx2(f); return;
    }
#endif
    onBaseline(f);
}

}  // namespace zvek

// Vectors never cross a call boundary (the helpers below are always
// inlined, also in unoptimised builds); the note about their
// argument-passing ABI does not concern us.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wunknown-warning-option"
#endif
#pragma GCC diagnostic ignored "-Wpsabi"

namespace zvek {

// ---- NaN results that no compiler can change ----
// A compiler may hand the operands of a floating + or * to the processor in
// either order, and when both are NaN x86 passes on the first one, quieted:
// the sign of such a result would depend on the build and the path. Nor do
// compilers keep to one NaN when they rewrite arithmetic on NaNs. Where two
// NaNs can meet, the loops combine with these instead, which give the result
// x86 gives for the operands in the order written: a's NaN, quieted, when a
// is NaN; else b's, quieted, when b is NaN; else the result itself (an
// invalid operation on two numbers gives the default NaN). The choice is
// made on the bits, where no compiler takes liberties. For float and
// double, scalars and vectors alike.

// The integer type of the bits of T (of each lane of a vector T), and the
// size of one of its floats.
template <typename T>
struct LaneBits {
    using type = decltype(T{} != T{});
    static constexpr bool scalar = false;
    static constexpr size_t size = sizeof(std::declval<T &>()[0]);
};
template <>
struct LaneBits<float> {
    using type = int32_t;
    static constexpr bool scalar = true;
    static constexpr size_t size = 4;
};
template <>
struct LaneBits<double> {
    using type = int64_t;
    static constexpr bool scalar = true;
    static constexpr size_t size = 8;
};

// a's NaN, quieted, where a is NaN; else b's, quieted, where b is NaN;
// else r.
template <typename T>
ZVEK_INLINE T firstNaN(const T &r, const T &a, const T &b) {
    using L = LaneBits<T>;
    using I = typename L::type;
    I q, ma, mb, ia, ib, ir;  // the quiet bit, the NaN masks, the bits
    if constexpr (L::size == 4) q = I{} + 0x00400000;
    else q = I{} + (int64_t(1) << 51);
    if constexpr (L::scalar) ma = -I(a != a), mb = -I(b != b);
    else ma = a != a, mb = b != b;
    __builtin_memcpy(&ia, &a, sizeof ia);
    __builtin_memcpy(&ib, &b, sizeof ib);
    __builtin_memcpy(&ir, &r, sizeof ir);
    const I bits = (ma & (ia | q)) | (~ma & ((mb & (ib | q)) | (~mb & ir)));
    T out;
    __builtin_memcpy(&out, &bits, sizeof out);
    return out;
}
template <typename T>
ZVEK_INLINE T nanAdd(const T &a, const T &b) { return firstNaN(a + b, a, b); }
template <typename T>
ZVEK_INLINE T nanSub(const T &a, const T &b) { return firstNaN(a - b, a, b); }
template <typename T>
ZVEK_INLINE T nanMul(const T &a, const T &b) { return firstNaN(a * b, a, b); }

// The plain operations (Exact false) or the ones above (Exact true): a loop
// whose data hold no NaN and make none on the way runs the plain ones, and
// takes the others once a NaN shows.
template <bool Exact>
struct Arith {
    template <typename T>
    static ZVEK_INLINE T add(const T &a, const T &b) {
        if constexpr (Exact) return nanAdd(a, b);
        else return a + b;
    }
    template <typename T>
    static ZVEK_INLINE T sub(const T &a, const T &b) {
        if constexpr (Exact) return nanSub(a, b);
        else return a - b;
    }
    template <typename T>
    static ZVEK_INLINE T mul(const T &a, const T &b) {
        if constexpr (Exact) return nanMul(a, b);
        else return a * b;
    }
};

// A vector of x in every lane.
template <typename V>
ZVEK_INLINE V splat(float x) {
    V v;
    for (int l = 0; l < int(sizeof(V) / sizeof(float)); ++l) v[l] = x;
    return v;
}

// True when some lane of the comparison result m is set.
template <typename M>
ZVEK_INLINE bool anyLane(const M &m) {
    uint64_t parts[sizeof m / 8], any = 0;
    __builtin_memcpy(parts, &m, sizeof m);
    for (uint64_t p : parts) any |= p;
    return any != 0;
}

// True when some lane of the vector v is NaN.
template <typename V>
ZVEK_INLINE bool anyNaN(const V &v) {
    return anyLane(v != v);
}

}  // namespace zvek

namespace zvek {
typedef float v16sf __attribute__((vector_size(64)));
typedef double v16df __attribute__((vector_size(128)));
typedef int32_t v16si __attribute__((vector_size(64)));
typedef int16_t v16hi __attribute__((vector_size(32)));
typedef uint8_t v16qu __attribute__((vector_size(16)));

__attribute__((always_inline)) inline v16sf splat16(float v) {
    v16sf r;
    for (int l = 0; l < 16; ++l) r[l] = v;
    return r;
}

// True when every lane of a comparison result is set.
__attribute__((always_inline)) inline bool allLanes(v16si m) {
    int32_t a = m[0];
    for (int l = 1; l < 16; ++l) a &= m[l];
    return a != 0;
}

// Sixteen components taken every S components from p (S = 2 picks the real
// parts of complex data), converted to float as a scalar cast would.
template <int S, typename T>
__attribute__((always_inline)) inline v16sf load16(const T *p) {
    typedef T vT __attribute__((vector_size(16 * sizeof(T))));
    if constexpr (S == 1) {
        vT v;
        std::memcpy(&v, p, sizeof v);
        // Narrow integers widen step by step, which the compiler lowers well.
        if constexpr (sizeof(T) == 1)
            return __builtin_convertvector(__builtin_convertvector(__builtin_convertvector(v, v16hi), v16si), v16sf);
        else if constexpr (sizeof(T) == 2)
            return __builtin_convertvector(__builtin_convertvector(v, v16si), v16sf);
        else
            return __builtin_convertvector(v, v16sf);
    } else {
        static_assert(S == 2 && std::is_floating_point_v<T>, "only complex parts are strided");
        vT a, b;
        std::memcpy(&a, p, sizeof a);
        std::memcpy(&b, p + 16, sizeof b);
        return __builtin_convertvector(
            __builtin_shufflevector(a, b, 0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30), v16sf);
    }
}
}  // namespace zvek

#endif  // ZVEKINT_H
