#include "base/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

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

// The mode a new file gets from the process's umask. The program never changes its
// umask, so it is read once: reading it means setting it for a moment, which would
// give files other threads create meanwhile the wrong mode.
mode_t new_file_mode() {
    static const mode_t mode = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

// The temporaries of this class: ".veltrane-" and six letters or digits, nothing else.
constexpr std::string_view kTempPrefix = ".veltrane-";
constexpr std::size_t kTempLetters = 6;
// A leftover this old that no process holds is a leftover; a younger one may be a
// temporary just made, not yet locked by its writer.
constexpr std::int64_t kLeftoverSeconds = 60;

bool is_temp_name(std::string_view name) {
    if (name.size() != kTempPrefix.size() + kTempLetters || !name.starts_with(kTempPrefix))
        return false;
    for (char c : name.substr(kTempPrefix.size()))
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    return true;
}

std::string temp_name() {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::uint8_t noise[kTempLetters] = {};
    if (::getrandom(noise, sizeof noise, 0) != static_cast<ssize_t>(sizeof noise)) {
        static std::atomic<std::uint64_t> counter{0};
        std::uint64_t v = (static_cast<std::uint64_t>(::getpid()) << 20) ^ counter++ ^
                          static_cast<std::uint64_t>(::time(nullptr));
        for (auto& b : noise) b = static_cast<std::uint8_t>(v), v = v * 6364136223846793005u + 1;
    }
    std::string name(kTempPrefix);
    for (std::uint8_t b : noise) name += kLetters[b % (sizeof kLetters - 1)];
    return name;
}

// Removes from a folder the temporaries of killed writers: regular files named exactly
// as ours, belonging to the user (any, for root), unchanged for a minute and locked by
// no process (a writer holds a lock on its temporary until it is in place). Each folder
// is looked through once per process.
void remove_leftovers(int folder_fd, const fs::path& folder) {
    static std::mutex mutex;
    static std::set<std::string> done;
    {
        const std::lock_guard lock(mutex);
        if (!done.insert(folder.string()).second) return;
    }
    const int list_fd = ::openat(folder_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (list_fd < 0) return;
    // Read straight from the folder: a stream over it would cost three calls more.
    std::vector<std::string> names;
    alignas(dirent64) char entries[16 * 1024];
    for (ssize_t n; (n = ::getdents64(list_fd, entries, sizeof entries)) > 0;)
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const dirent64*>(entries + at);
            if (is_temp_name(e->d_name)) names.emplace_back(e->d_name);
            at += e->d_reclen;
        }
    ::close(list_fd);

    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const uid_t me = ::geteuid();
    for (const std::string& name : names) {
        struct stat st {};
        if (::fstatat(folder_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(st.st_mode) || (me != 0 && st.st_uid != me)) continue;
        if (now.tv_sec - st.st_mtim.tv_sec < kLeftoverSeconds) continue;
        const int fd = ::openat(folder_fd, name.c_str(),
                                O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat held {
        }, again{};
        if (::fstat(fd, &held) == 0 && held.st_dev == st.st_dev && held.st_ino == st.st_ino &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(folder_fd, name.c_str(), &again, AT_SYMLINK_NOFOLLOW) == 0 &&
            again.st_dev == st.st_dev && again.st_ino == st.st_ino)
            ::unlinkat(folder_fd, name.c_str(), 0);
        ::close(fd);
    }
}

// The cause for a failure to make or rename a file in `folder`: a folder that may not be
// written to is named, since the file itself may well be writable.
std::string cause_in(const fs::path& folder, int error) {
    if (error == EACCES || error == EPERM) return folder_cause(folder, std::strerror(error));
    return std::strerror(error);
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
    if (!temp_.empty()) ::unlinkat(folder_fd_, temp_.c_str(), 0);
    temp_.clear();
    if (folder_fd_ >= 0) ::close(folder_fd_);
    folder_fd_ = -1;
}

void AtomicFile::fail(Errc code, const std::string& cause) {
    discard();
    throw Error(code, target_, cause);
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

void AtomicFile::check() const {
    struct stat st {};
    bool exists = false;
    const fs::path folder = folder_of(checked_destination(target_, keep_, st, exists));
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        throw Error(Errc::Write, target_, cause_in(folder, errno));
}

// Whether the existing file the target leads to (`st` its status) holds exactly the
// buffered bytes, and so needs no new file.
bool AtomicFile::unchanged(const fs::path& file, const struct stat& st) const {
    if (st.st_size != static_cast<off_t>(buffer_.size())) return false;
    try {
        FileSource old(file);
        // One byte more than expected: a file that has grown meanwhile differs.
        std::vector<std::uint8_t> bytes(buffer_.size() + 1);
        return old.read_at(0, bytes) == buffer_.size() &&
               std::equal(buffer_.begin(), buffer_.end(), bytes.begin());
    } catch (const Error&) {
        return false;
    }
}

void AtomicFile::start() {
    struct stat st {};
    bool exists = false;
    const fs::path file = checked_destination(target_, keep_, st, exists);
    start(file, st, exists);
}

// The temporary for `file`, where the target leads (`st` its status when it `exists`).
void AtomicFile::start(const fs::path& file, const struct stat& st, bool exists) {
    folder_ = folder_of(file);
    folder_fd_ = ::open(folder_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder_fd_ < 0) fail(Errc::Write, errno_text());
    remove_leftovers(folder_fd_, folder_);
    // Nameless first: nothing to clear away if the process is killed.
    fd_ = ::openat(folder_fd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd_ < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        for (int tries = 0; fd_ < 0 && tries < 100; ++tries) {
            std::string name = temp_name();
            fd_ = ::openat(folder_fd_, name.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd_ >= 0) temp_ = std::move(name);
            if (fd_ < 0 && errno != EEXIST) break;
        }
    }
    if (fd_ < 0) fail(Errc::Write, cause_in(folder_, errno));
    // Held until the file is in place: while it is, no later run takes it for a leftover.
    (void)::flock(fd_, LOCK_EX | LOCK_NB);
    // The new file is what the old one was to its users: same permissions (and, when
    // root writes it, the same owner).
    if (::fchmod(fd_, exists ? st.st_mode & 07777 : new_file_mode()) != 0)
        fail(Errc::Write, errno_text());
    if (exists && ::geteuid() == 0) (void)!::fchown(fd_, st.st_uid, st.st_gid);
}

void AtomicFile::flush() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail(Errc::Write, errno_text());
        done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
}

void AtomicFile::write(std::span<const std::uint8_t> bytes) {
    if (!checked_) check();
    checked_ = true;
    if (buffer_.size() + bytes.size() > kBufferBytes) {
        if (fd_ < 0) start();
        flush();
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void AtomicFile::commit() {
    struct stat st {};
    bool exists = false;
    fs::path file;
    const bool started_before = fd_ >= 0;
    if (!started_before) {
        file = checked_destination(target_, keep_, st, exists);
        if (exists && !known_changed_ && unchanged(file, st)) {
            committed_ = true;
            return;
        }
        start(file, st, exists);
    }
    flush();
    // Looked at again: the target may have changed while the file was being written.
    // A file made and written just now in one go was looked at a moment ago.
    if (started_before) {
        try {
            file = checked_destination(target_, keep_, st, exists);
        } catch (...) {
            discard();
            throw;
        }
    }
    // A nameless file gets its name in the folder now that it is whole.
    if (temp_.empty()) {
        const std::string proc = "/proc/self/fd/" + std::to_string(fd_);
        for (int tries = 0; temp_.empty() && tries < 100; ++tries) {
            std::string name = temp_name();
            int rc = ::linkat(AT_FDCWD, proc.c_str(), folder_fd_, name.c_str(), AT_SYMLINK_FOLLOW);
            if (rc != 0 && errno == ENOENT)
                rc = ::linkat(fd_, "", folder_fd_, name.c_str(), AT_EMPTY_PATH);
            if (rc == 0) temp_ = std::move(name);
            if (rc != 0 && errno != EEXIST) fail(Errc::Write, cause_in(folder_, errno));
        }
        if (temp_.empty()) fail(Errc::Write, std::strerror(EEXIST));
    }
    // Marked as new: a named temporary that sat unchanged for a while is not taken for
    // a leftover in the moment between its closing and its renaming. One made just now
    // is new.
    if (started_before) (void)::futimens(fd_, nullptr);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail(Errc::Write, errno_text());
    const int rc = folder_of(file) == folder_
                       ? ::renameat(folder_fd_, temp_.c_str(), folder_fd_, file.filename().c_str())
                       : ::renameat(folder_fd_, temp_.c_str(), AT_FDCWD, file.c_str());
    if (rc != 0) fail(Errc::Replace, cause_in(folder_of(file), errno));
    temp_.clear();
    ::close(folder_fd_);
    folder_fd_ = -1;
    committed_ = true;
}

void AtomicFile::commit_whole(std::span<const std::uint8_t> bytes, bool known_changed) {
    // Looked at once, on commit: there is nothing to fail early for.
    checked_ = true;
    known_changed_ = known_changed;
    write(bytes);
    commit();
}

void write_file_atomically(const fs::path& path, std::span<const std::uint8_t> bytes) {
    AtomicFile(path).commit_whole(bytes);
}

}  // namespace veltrane
