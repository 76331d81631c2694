#include "base/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/error.h"

namespace veltrane {

std::size_t MemorySource::read_at(std::int64_t offset, std::span<std::uint8_t> dest) {
    if (offset < 0 || offset >= size()) return 0;
    const std::size_t n = std::min(dest.size(), bytes_.size() - static_cast<std::size_t>(offset));
    std::memcpy(dest.data(), bytes_.data() + offset, n);
    return n;
}

FileStamp stamp_of(const struct stat& st) {
    return {{st.st_dev, st.st_ino},
            st.st_size,
            std::int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec};
}

std::optional<FileStamp> file_stamp(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return stamp_of(st);
}

namespace {

// Read-ahead is doubled for a file read from start to end; a shorter file than this is
// read in a few calls anyway, and the hint would only cost a call.
constexpr std::int64_t kSequentialHintFrom = 1 << 20;

struct stat looked_at(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw Error(Errc::Open, path, errno_text());
    return st;
}

}  // namespace

FileSource::FileSource(const std::filesystem::path& path) : FileSource(path, looked_at(path)) {}

FileSource::FileSource(const std::filesystem::path& path, const struct stat& seen) : path_(path) {
    // Looked at before opening: opening a FIFO would wait for a writer.
    if (!S_ISREG(seen.st_mode)) throw Error(Errc::Open, path, not_regular_cause(seen.st_mode));
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd_ < 0) throw Error(Errc::Open, path, errno_text());
    // The path may have been replaced meanwhile: what counts is what was opened.
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        const std::string cause =
            S_ISREG(st.st_mode) ? errno_text() : not_regular_cause(st.st_mode);
        ::close(fd_);
        throw Error(Errc::Open, path, cause);
    }
    size_ = st.st_size;
    stamp_ = stamp_of(st);
    if (size_ >= kSequentialHintFrom) ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

FileSource::~FileSource() {
    if (fd_ >= 0) ::close(fd_);
}

std::size_t FileSource::read_at(std::int64_t offset, std::span<std::uint8_t> dest) {
    std::size_t done = 0;
    while (done < dest.size()) {
        const ssize_t n = ::pread(fd_, dest.data() + done, dest.size() - done,
                                  static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw Error(Errc::Read, path_, errno_text());
        if (n == 0) break;  // the end of the file, wherever it is now
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::unique_ptr<FileSource> open_recording(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return std::make_unique<FileSource>(path, st);
    if (errno == ENOENT || errno == ENOTDIR) return nullptr;
    throw Error(Errc::Open, path, errno_text());
}

}  // namespace veltrane
