#include "base/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/error.h"

namespace veltrane {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBufferBytes = 64 * 1024;
// As many links in a row as the system itself follows.
constexpr int kMostLinks = 40;

fs::path folder_of(const fs::path& p) {
    return p.has_parent_path() ? p.parent_path() : fs::path(".");
}

// The file that writing `target` replaces: `target` itself, or the file its chain of
// symbolic links leads to. `st` receives that file's status; false when it does not exist.
bool destination(const fs::path& target, fs::path& file, struct stat& st) {
    file = target;
    for (int links = 0;; ++links) {
        if (::lstat(file.c_str(), &st) != 0) {
            if (errno == ENOENT) return false;
            throw Error(Errc::Write, target, errno_text());
        }
        if (!S_ISLNK(st.st_mode)) return true;
        if (links == kMostLinks) throw Error(Errc::Write, target, std::strerror(ELOOP));
        // Someone who may write to the folder may have planted the link to redirect the
        // write: in such a folder only the user's own links (and root's) are followed.
        const fs::path folder = folder_of(file);
        struct stat dir {};
        if (::stat(folder.c_str(), &dir) != 0) throw Error(Errc::Write, target, errno_text());
        const bool shared = (dir.st_mode & (S_IWGRP | S_IWOTH)) != 0;
        if (shared && st.st_uid != ::geteuid() && st.st_uid != 0)
            throw Error(Errc::Write, target,
                        "it is a symbolic link in a folder that others may write to, and it "
                        "belongs to someone else; it is not followed");
        std::vector<char> text(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(file.c_str(), text.data(), text.size());
        if (n < 0) throw Error(Errc::Write, target, errno_text());
        const fs::path next(std::string(text.data(), static_cast<std::size_t>(n)));
        file = next.is_absolute() ? next : folder / next;
    }
}

mode_t new_file_mode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

AtomicFile::AtomicFile(fs::path target, std::optional<FileId> keep)
    : target_(std::move(target)), keep_(keep) {}

AtomicFile::~AtomicFile() {
    if (!committed_) discard();
}

void AtomicFile::discard() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

// Where the new file will go, and whether it may go there.
static fs::path checked_destination(const fs::path& target, const std::optional<FileId>& keep,
                                    struct stat& st, bool& exists) {
    fs::path file;
    exists = destination(target, file, st);
    if (!exists) return file;
    if (!S_ISREG(st.st_mode)) throw Error(Errc::Write, target, not_regular_cause(st.st_mode));
    if (keep && FileId{st.st_dev, st.st_ino} == *keep)
        throw Error(Errc::Write, target, "it is the recording being scanned; it is left as it is");
    if (::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0)
        throw Error(Errc::Write, target, errno_text());
    return file;
}

void AtomicFile::start() {
    struct stat st {};
    bool exists = false;
    const fs::path file = checked_destination(target_, keep_, st, exists);
    std::string name = (folder_of(file) / ".veltrane-XXXXXX").string();
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) throw Error(Errc::Write, target_, errno_text());
    temp_ = name;
    // The new file is what the old one was to its users: same permissions (and, when
    // root writes it, the same owner).
    if (::fchmod(fd_, exists ? st.st_mode & 07777 : new_file_mode()) != 0) {
        const std::string cause = errno_text();
        discard();
        throw Error(Errc::Write, target_, cause);
    }
    if (exists && ::geteuid() == 0) (void)!::fchown(fd_, st.st_uid, st.st_gid);
    buffer_.reserve(kBufferBytes);
}

void AtomicFile::flush() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const std::string cause = errno_text();
            discard();
            throw Error(Errc::Write, target_, cause);
        }
        done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
}

void AtomicFile::write(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0) start();
    if (buffer_.size() + bytes.size() > kBufferBytes) flush();
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void AtomicFile::commit() {
    if (fd_ < 0) start();
    flush();
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        const std::string cause = errno_text();
        discard();
        throw Error(Errc::Write, target_, cause);
    }
    // Looked at again: the target may have changed while the file was being written.
    struct stat st {};
    bool exists = false;
    fs::path file;
    try {
        file = checked_destination(target_, keep_, st, exists);
    } catch (...) {
        discard();
        throw;
    }
    if (::rename(temp_.c_str(), file.c_str()) != 0) {
        const std::string cause = errno_text();
        discard();
        throw Error(Errc::Replace, target_, cause);
    }
    temp_.clear();
    committed_ = true;
}

void write_file_atomically(const fs::path& path, std::span<const std::uint8_t> bytes) {
    AtomicFile file(path);
    file.write(bytes);
    file.commit();
}

}  // namespace veltrane
