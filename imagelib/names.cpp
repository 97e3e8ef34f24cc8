// File names and streams: expansion of environment variables and a leading
// tilde, the interactive name prompt, and opening and closing of the streams
// that the reader and the writer use.
#include "zvek.h"
#include "zvekint.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static const char ZvekNamesVersion[] = "ZvekOpen V3.1\t\t14 Mar 2016";
const char *ZvekNamesVer = ZvekNamesVersion;

namespace {

// Characters of a plain $NAME, of a braced ${NAME}, and of a user name after
// a leading tilde.
const char kPlainSet[] = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
const char kBracedSet[] =
    "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ._/+=-_[]?~:*,%#";
const char kUserSet[] = "abcdefghijklmnopqrstuvwxyz0123456789_ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// A typed name holds at most this many characters; the 255th is refused.
constexpr size_t kMaxTypedName = 254;
// An expanded name holds at most this many characters.
constexpr size_t kMaxExpandedName = 511;

// Reports a formatted message through Zvekdie.
void reportf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void reportf(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    va_list ap2;
    va_copy(ap2, ap);
    const int n = std::vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) std::vsnprintf(&text[0], text.size() + 1, fmt, ap2);
    va_end(ap2);
    Zvekdie(text.c_str());
}

// A heap copy of s from Zvekalc (released by the caller with free), or null.
char *heapCopy(const std::string &s) {
    char *p = static_cast<char *>(Zvekalc(static_cast<uint32_t>(s.size() + 1)));
    if (p) std::memcpy(p, s.c_str(), s.size() + 1);
    return p;
}

// Whether standard input is a terminal; the answer leaves errno alone, so a
// later report does not show the ENOTTY of the question.
bool stdinIsTerminal() {
    const int saved = errno;
    const bool tty = isatty(fileno(stdin)) != 0;
    errno = saved;
    return tty;
}

// The standard stream that a mode names: output for writing, input for
// reading, none otherwise.
FILE *standardStream(const char *mode) {
    if (std::strchr(mode, 'w')) return stdout;
    if (std::strchr(mode, 'r')) return stdin;
    return nullptr;
}

// Home directory of the named user, or of the current user when the name is
// empty ($HOME first). Empty when there is none.
std::string homeOf(const std::string &user) {
    if (user.empty()) {
        const char *home = std::getenv("HOME");
        if (home && *home) return home;
        const passwd *pw = getpwuid(getuid());
        return pw && pw->pw_dir ? pw->pw_dir : "";
    }
    const passwd *pw = getpwnam(user.c_str());
    return pw && pw->pw_dir ? pw->pw_dir : "";
}

const char kTooLong[] = "%s: expanded name longer than 511 characters.";

}  // namespace

const char *strspan(const char *s, const char *set) {
    while (*s && std::strchr(set, *s)) ++s;
    return s;
}

char *ZvekEnv(const char *name, int *status) {
    zvek::DepthGuard depth;
    int ignored;
    if (!status) status = &ignored;
    *status = 0;
    if (!name) name = "";
    std::string out;
    const char *p = name;
    while (*p) {
        if (*p != '$') {
            out += *p++;
        } else {
            ++p;
            const bool braced = *p == '{';
            if (braced) ++p;
            const char *end = strspan(p, braced ? kBracedSet : kPlainSet);
            const std::string var(p, end);
            if (braced && *end != '}') {
                *status = 1;
                Zvekdie("ZvekEnv: no closing '}' in env. var. name.");
                return nullptr;
            }
            const char *value = std::getenv(var.c_str());
            if (!value) {
                *status = 1;
                reportf("ZvekEnv: no environment variable `%s'.", var.c_str());
                return nullptr;
            }
            out += value;
            p = braced ? end + 1 : end;
        }
        if (out.size() > kMaxExpandedName) {
            *status = 1;
            reportf(kTooLong, "ZvekEnv");
            return nullptr;
        }
    }
    char *result = heapCopy(out);
    if (!result) {
        *status = 2;
        Zvekerr = ZVEK_ENOMEM;
        Zvekdie("ZvekEnv: couldn't allocate memory to store name in.");
    }
    return result;
}

char *ZvekPrsFN(const char *name, int *status) {
    zvek::DepthGuard depth;
    int ignored;
    if (!status) status = &ignored;
    *status = 0;
    char *expanded = ZvekEnv(name, status);
    if (!expanded) {
        Zvekdie("ZvekPrsFN: Error while expanding environment variables in name.");
        return nullptr;
    }
    if (expanded[0] != '~') return expanded;
    const char *end = strspan(expanded + 1, kUserSet);
    if (*end != '\0' && *end != '/') return expanded;

    const std::string user(static_cast<const char *>(expanded) + 1, end);
    const std::string home = homeOf(user);
    if (home.empty()) {
        *status = 1;
        reportf("ZvekPrsFN: no home directory for `~%s'.", user.c_str());
        std::free(expanded);
        return nullptr;
    }
    const std::string full = home + end;
    std::free(expanded);
    if (full.size() > kMaxExpandedName) {
        *status = 1;
        reportf(kTooLong, "ZvekPrsFN");
        return nullptr;
    }
    char *result = heapCopy(full);
    if (!result) {
        *status = 2;
        Zvekerr = ZVEK_ENOMEM;
        Zvekdie("ZvekPrsFN: can't allocate memory to store filename in.");
    }
    return result;
}

char *ZvekGetFN(const char *prompt, FILE *stream) {
    zvek::DepthGuard depth;
    if (prompt && stdinIsTerminal()) {
        std::fputs(prompt, stderr);
        std::fflush(stderr);
    }
    std::string name;
    for (;;) {
        int c = stream ? std::getc(stream) : EOF;
        bool escaped = false;
        if (c == '\\') {
            c = std::getc(stream);
            escaped = true;
        }
        if (c == EOF) {
            Zvekerr = ZVEK_EIO;
            Zvekdie("ZvekGetFN: I/O error or EOF when reading filename.");
            return nullptr;
        }
        if (!escaped && (c < 33 || c >= 127)) {
            if (name.empty()) continue;
            break;
        }
        name += static_cast<char>(c);
        if (name.size() > kMaxTypedName) {
            // Drop the rest of the over-long line so that a retry starts on
            // the next one.
            while (c != '\n' && c != EOF) c = std::getc(stream);
            Zvekdie("ZvekGetFN: Buffer Overflow (Filename too long).");
            return nullptr;
        }
    }
    int status;
    return ZvekPrsFN(name.c_str(), &status);
}

FILE *ZvekOpen(const char *fileName, const char *mode, const char *prompt, int retries) {
    zvek::DepthGuard depth;
    if (!mode) mode = "";
    if (!fileName) return standardStream(mode);
    const bool interactive = fileName[0] == '\0' && prompt != nullptr && stdinIsTerminal();
    if (!interactive) retries = 0;
    static const char kGiveUp[] = "ZvekOpen:  Error count exceeded.  I give up.\n";

    for (;;) {
        int status;
        char *path = fileName[0] ? ZvekPrsFN(fileName, &status) : ZvekGetFN(prompt, stdin);
        if (path) {
            if (std::strcmp(path, "-") == 0) {
                std::free(path);
                return standardStream(mode);
            }
            if (FILE *f = std::fopen(path, mode)) {
                std::free(path);
                return f;
            }
            if (interactive && retries > 0) {
                --retries;
                errno = 0;
                std::fprintf(stderr, "Couldn't open file `%s' -- please enter another name --\n", path);
                std::free(path);
                continue;
            }
            Zvekerr = ZVEK_EOPEN;
            if (interactive) std::fputs(kGiveUp, stderr);
            const std::string shown = path;
            std::free(path);
            reportf("ZvekOpen: Unable to open file `%s'.", shown.c_str());
            return nullptr;
        }
        if (interactive && retries > 0) {
            std::fputs("Invalid filename(?) -- please enter another name --\n", stderr);
            --retries;
            continue;
        }
        if (interactive) std::fputs(kGiveUp, stderr);
        Zvekerr = ZVEK_EFNAME;
        Zvekdie("ZvekOpen: Bad filename or error in filename expansion.");
        return nullptr;
    }
}

int ZvekClose(FILE *stream) {
    zvek::DepthGuard depth;
    if (!stream) return -1;
    if (stream == stdin || stream == stdout || stream == stderr) return 0;
    return std::fclose(stream);
}

namespace zvek {

namespace {

// Checks the type of the descriptor that open gave and makes it blocking
// again; a descriptor of another type than a regular file is closed.
OpenedFile keepRegular(int fd) {
    OpenedFile result;
    if (fd < 0) {
        // ENXIO: a FIFO with no reader (opened for writing without
        // blocking) or a device without its unit; EISDIR: a directory.
        result.notRegular = errno == ENXIO || errno == EISDIR || errno == ENODEV;
        return result;
    }
    struct stat st;
    const bool statted = fstat(fd, &st) == 0;
    result.notRegular = statted && !S_ISREG(st.st_mode);
    if (statted && !result.notRegular) {
        const int flags = fcntl(fd, F_GETFL);
        if (flags != -1 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != -1) {
            result.fd = fd;
            return result;
        }
    }
    const int err = errno;
    close(fd);
    errno = err;
    return result;
}

constexpr int kUserOpenFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

}  // namespace

OpenedFile openRegularForRead(const char *path) {
    if (path == nullptr) return {};
    return keepRegular(::open(path, O_RDONLY | kUserOpenFlags));
}

OpenedFile openRegularForWrite(const char *path) {
    if (path == nullptr) return {};
    // Truncated only now that it is known to be a regular file.
    OpenedFile result = keepRegular(::open(path, O_WRONLY | O_CREAT | kUserOpenFlags, 0666));
    if (result.fd >= 0 && ftruncate(result.fd, 0) != 0) {
        const int err = errno;
        close(result.fd);
        errno = err;
        result.fd = -1;
    }
    return result;
}

FILE *fopenRegular(const char *path, bool write, bool *notRegular) {
    const OpenedFile opened = write ? openRegularForWrite(path) : openRegularForRead(path);
    if (notRegular != nullptr) *notRegular = opened.notRegular;
    if (opened.fd < 0) return nullptr;
    FILE *stream = fdopen(opened.fd, write ? "wb" : "rb");
    if (stream == nullptr) {
        const int err = errno;
        close(opened.fd);
        errno = err;
    }
    return stream;
}

}  // namespace zvek
