// Replacing a file that the user named or owns: the new bytes are written
// beside it and take its place only once all of them are on the disk.
#include "zvekint.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <vector>

namespace zvek {

namespace {

void closeIfOpen(int &fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// The file that path finally names: symbolic links followed one by one (a
// relative link from the folder of the link), so that the target may not
// exist yet. path itself when a link cannot be read.
std::string finalName(const std::string &path) {
    std::string name = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
        std::string link(PATH_MAX, '\0');
        const ssize_t n = readlink(name.c_str(), &link[0], link.size());
        if (n <= 0 || static_cast<size_t>(n) >= link.size()) return name;
        link.resize(static_cast<size_t>(n));
        const size_t slash = name.rfind('/');
        name = link[0] == '/' || slash == std::string::npos ? link : name.substr(0, slash + 1) + link;
    }
    return name;
}

// Sixteen characters that nobody can guess, from the kernel's generator;
// from the clock and the process when it has none to give.
std::string randomTag() {
    uint64_t bits[2] = {0, 0};
    if (getrandom(bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        static uint64_t counter = 0;
        bits[0] ^= static_cast<uint64_t>(t.tv_nsec) * 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(t.tv_sec);
        bits[1] ^= (static_cast<uint64_t>(getpid()) << 32) ^ ++counter;
    }
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz012345";
    std::string tag;
    for (uint64_t b : bits)
        for (int i = 0; i < 8; ++i, b >>= 5) tag += kDigits[b & 31];
    return tag;
}

// The errors of a folder that takes no new file, or does not let it take
// the target's place, while the target itself may be written.
bool folderRefuses(int err) { return err == EACCES || err == EPERM || err == EBUSY; }

}  // namespace

FileReplacement::FileReplacement(const char *path) {
    if (path == nullptr || path[0] == '\0') {
        errno = path == nullptr ? EFAULT : ENOENT;
        return;
    }
    // The target as it is, opened as a check that it is a regular file that
    // may be written; nothing is written to it unless it must be in place.
    const OpenedFile target = openRegular(path, O_WRONLY);
    notRegular_ = target.notRegular;
    if (target.fd < 0 && (notRegular_ || errno != ENOENT)) return;
    target_ = target.fd;
    struct stat st;
    if (target_ >= 0) {
        if (fstat(target_, &st) != 0) {
            keepingErrno([this] { closeIfOpen(target_); });
            return;
        }
        mode_ = st.st_mode & 07777;
        owner_ = st.st_uid;
        group_ = st.st_gid;
    }
    // The folder is held open, so that the names within it stay short
    // whatever the length of the path.
    const std::string full = finalName(path);
    const size_t slash = full.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : full.substr(0, slash);
    name_ = slash == std::string::npos ? full : full.substr(slash + 1);
    folder_ = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0) {
        keepingErrno([this] { closeIfOpen(target_); });
        return;
    }
    // A new file is made with the usual 0666 less the umask; one that
    // replaces a file is private until commit gives it the file's bits.
    const mode_t createMode = target_ >= 0 ? 0600 : 0666;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_ = "." + name_.substr(0, 200) + "." + randomTag() + ".part";
        fd_ = openat(folder_, temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, createMode);
        if (fd_ >= 0 || errno != EEXIST) break;
    }
    if (fd_ >= 0) return;
    temp_.clear();
    if (target_ >= 0 && folderRefuses(errno)) {
        inPlace_ = true;
        fd_ = target_;
        target_ = -1;
        return;
    }
    keepingErrno([this] { discard(); });
}

FileReplacement::~FileReplacement() { discard(); }

FILE *FileReplacement::stream() {
    if (stream_ == nullptr && fd_ >= 0) stream_ = fdopen(fd_, "wb");
    return stream_;
}

bool FileReplacement::commit() {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    bool ok = stream_ == nullptr || std::fflush(stream_) == 0;
    if (ok && inPlace_) {
        // What is left of the old bytes past the new ones goes.
        const off_t end = lseek(fd_, 0, SEEK_CUR);
        ok = end >= 0 && ftruncate(fd_, end) == 0;
    }
    ok = ok && fsync(fd_) == 0;
    if (ok && target_ >= 0) {
        // The owner is kept where the system allows it, else at least the
        // group; the bits always.
        if (fchown(fd_, static_cast<uid_t>(owner_), static_cast<gid_t>(group_)) != 0) {
            [[maybe_unused]] const int grouped = fchown(fd_, static_cast<uid_t>(-1), static_cast<gid_t>(group_));
        }
        ok = fchmod(fd_, static_cast<mode_t>(mode_)) == 0;
    }
    if (ok) {
        const int closed = stream_ != nullptr ? std::fclose(stream_) : close(fd_);
        stream_ = nullptr;
        fd_ = -1;
        ok = closed == 0;
    }
    if (ok && !inPlace_ && renameat(folder_, temp_.c_str(), folder_, name_.c_str()) != 0)
        ok = target_ >= 0 && folderRefuses(errno) && writeInPlace();
    if (!ok) {
        keepingErrno([this] { discard(); });
        return false;
    }
    temp_.clear();
    if (!inPlace_) {
        // The new name reaches the disk with its folder.
        const int dir = openat(folder_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            fsync(dir);
            close(dir);
        }
    }
    discard();
    return true;
}

// Copies the complete new file over the target's bytes, for a folder that
// does not let the new file take the target's place; the new file goes.
bool FileReplacement::writeInPlace() {
    const int in = openat(folder_, temp_.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    std::vector<char> buffer(1 << 20);
    off_t at = 0;
    bool ok = true;
    for (ssize_t n; ok && (n = read(in, buffer.data(), buffer.size())) != 0;) {
        ok = n > 0;
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = pwrite(target_, buffer.data() + done, static_cast<size_t>(n - done), at);
            ok = w > 0;
            done += ok ? w : 0;
            at += ok ? w : 0;
        }
    }
    keepingErrno([&] { close(in); });
    ok = ok && ftruncate(target_, at) == 0 && fsync(target_) == 0;
    inPlace_ = ok;
    if (ok) unlinkat(folder_, temp_.c_str(), 0);
    return ok;
}

void FileReplacement::discard() {
    keepingErrno([this] {
        if (stream_ != nullptr) {
            std::fclose(stream_);
            fd_ = -1;
        }
        stream_ = nullptr;
        closeIfOpen(fd_);
        if (!temp_.empty()) unlinkat(folder_, temp_.c_str(), 0);
        temp_.clear();
        closeIfOpen(target_);
        closeIfOpen(folder_);
    });
}

}  // namespace zvek
