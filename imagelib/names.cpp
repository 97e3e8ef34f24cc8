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

FILE *zvek::openNamed(const char *fileName, const char *mode, const char *prompt, int retries,
                      const std::function<FILE *(const char *)> &tryOpen) {
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
            if (FILE *f = tryOpen(path)) {
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

FILE *ZvekOpen(const char *fileName, const char *mode, const char *prompt, int retries) {
    zvek::DepthGuard depth;
    if (!mode) mode = "";
    return zvek::openNamed(fileName, mode, prompt, retries,
                           [mode](const char *path) { return std::fopen(path, mode); });
}

int ZvekClose(FILE *stream) {
    zvek::DepthGuard depth;
    if (!stream) return -1;
    if (stream == stdin || stream == stdout || stream == stderr) return 0;
    return std::fclose(stream);
}

namespace zvek {

namespace {

// The type of the file that fd names: false (errno set, *notRegular told)
// for anything but a regular file.
bool regular(int fd, bool *notRegular) {
    struct stat st;
    if (fstat(fd, &st) != 0) return false;
    if (S_ISREG(st.st_mode)) return true;
    // A directory is refused as such, every other kind as a file that gives
    // and takes no data (never as a missing one).
    *notRegular = true;
    errno = S_ISDIR(st.st_mode) ? EISDIR : ENXIO;
    return false;
}

}  // namespace

OpenedFile openRegular(const char *path, int access) {
    OpenedFile result;
    if (path == nullptr) {
        errno = EFAULT;
        return result;
    }
    const int named = ::open(path, O_PATH | O_CLOEXEC);
    if (named < 0) return result;
    const bool isRegular = regular(named, &result.notRegular);
    keepingErrno([named] { close(named); });
    if (!isRegular) return result;
    // Opened without blocking in case it was swapped for a FIFO meanwhile.
    const int fd = ::open(path, access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        result.notRegular = errno == ENXIO || errno == EISDIR || errno == ENODEV;
        if (result.notRegular && errno == ENODEV) errno = ENXIO;
        return result;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (!regular(fd, &result.notRegular) || flags == -1 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) {
        keepingErrno([fd] { close(fd); });
        return result;
    }
    result.fd = fd;
    return result;
}

FILE *fopenRegular(const char *path, bool *notRegular) {
    const OpenedFile opened = openRegularForRead(path);
    if (notRegular != nullptr) *notRegular = opened.notRegular;
    if (opened.fd < 0) return nullptr;
    FILE *stream = fdopen(opened.fd, "rb");
    if (stream == nullptr) keepingErrno([&] { close(opened.fd); });
    return stream;
}

}  // namespace zvek
