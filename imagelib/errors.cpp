// The library's error state and its reporting functions.
#include "zvek.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

[[maybe_unused]] static const char *const errorsVersion = "Zvekwarn V1.0\t\t06 Dec 2026";

int32_t Zvekerr = 0;
int32_t ZVEKDEPTH = 0;
int32_t ZVEKSLV = ZVEK_WARN;
int32_t ZVEKTRACE = 1;
int32_t ZVEKCHK = 1;

namespace {
// What stood at the last report, so that a run of reports of one failure
// prints its code lines once.
int32_t lastCode = 0;
int lastErrno = 0;
}  // namespace

int Zvekwarn(const char *msg) {
    const int err = errno;
    if (ZVEKSLV != ZVEK_SILENT) {
        std::fprintf(stderr, "\n%s\n", msg ? msg : "");
        if (ZVEKTRACE) {
            if (Zvekerr != 0 && Zvekerr != lastCode)
                std::fprintf(stderr, "\tVEK error code:    $%08x = %d\n", static_cast<unsigned>(Zvekerr), Zvekerr);
            if (err != 0 && err != lastErrno)
                std::fprintf(stderr, "\tSystem error code: $%08x = %d\n", static_cast<unsigned>(err), err);
        }
        std::fflush(stderr);
    }
    lastCode = Zvekerr;
    lastErrno = err;
    return 0;
}

int Zvekdie(const char *msg) {
    Zvekwarn(msg);
    if (ZVEKDEPTH < 0) ZVEKDEPTH = 0;
    if (ZVEKSLV == ZVEK_FATAL && ZVEKDEPTH < 2) std::exit(Zvekerr);
    return 0;
}

void Zvekext(int level, const char *msg) {
    if (level != ZVEK_SILENT) std::fprintf(stderr, "%s\n", msg ? msg : "");
    if (level == ZVEK_FATAL) std::exit(Zvekerr);
}

int Zvekchkhd(const ZVEKHDR *h, const char *msg) {
    if (h == nullptr) {
        if (ZVEKSLV != ZVEK_SILENT) {
            std::fprintf(stderr, "\nZvekchkhd:  Null ZVEK image header encountered.\n");
            std::fprintf(stderr, "%s\n", msg ? msg : "");
        }
        if (ZVEKSLV == ZVEK_FATAL) std::exit(ZVEK_ENULL);
        return 0;
    }
    if (std::memcmp(h->vekmagic, "VEK", 4) == 0 || std::memcmp(h->vekmagic, "ZVE", 4) == 0) return -1;
    char magic[5] = {0};
    std::memcpy(magic, h->vekmagic, 4);
    std::printf("chk:%s\n", magic);
    std::fflush(stdout);
    if (ZVEKSLV == ZVEK_WARN || ZVEKSLV == ZVEK_FATAL) {
        std::fprintf(stderr, "\nZvekchkhd:  Bad ZVEK image header encountered.\n");
        std::fprintf(stderr, "%s\n", msg ? msg : "");
    }
    if (ZVEKSLV != ZVEK_WARN && ZVEKSLV != ZVEK_SILENT) std::exit(ZVEK_EBADHDR);
    return 0;
}
