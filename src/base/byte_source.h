#pragma once
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>

namespace veltrane {

// The bytes of a recording, read in blocks as a scan goes: memory use does not grow
// with the file, and a file that changes under the reader cannot bring it down.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // The length in bytes when the source was opened.
    virtual std::int64_t size() const = 0;
    // Reads up to dest.size() bytes from the 0-based `offset` and returns how many were
    // read: fewer only where the source ends, also when it has become shorter since it
    // was opened. Throws Error when reading fails.
    virtual std::size_t read_at(std::int64_t offset, std::span<std::uint8_t> dest) = 0;
    // All the bytes at once, when the source holds them in memory; empty otherwise.
    virtual std::span<const std::uint8_t> in_memory() const { return {}; }
    // The same bytes for a reader on another thread, at the same time as this one; null
    // when the source cannot serve one (or not yet: a source that watches what is read
    // may allow one once it has seen enough).
    virtual ByteSource* for_another_thread() { return nullptr; }
};

// Bytes already in memory.
class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::int64_t size() const override { return static_cast<std::int64_t>(bytes_.size()); }
    std::size_t read_at(std::int64_t offset, std::span<std::uint8_t> dest) override;
    std::span<const std::uint8_t> in_memory() const override { return bytes_; }
    ByteSource* for_another_thread() override { return this; }

  private:
    std::span<const std::uint8_t> bytes_;
};

// A source that shows every stretch its reader reads through it to seen() as well. A
// reader on another thread reads past it, unseen, where a subclass allows one.
class TappedSource : public ByteSource {
  public:
    explicit TappedSource(ByteSource& inner) : inner_(inner) {}
    std::int64_t size() const override { return inner_.size(); }
    std::size_t read_at(std::int64_t offset, std::span<std::uint8_t> dest) override {
        const std::size_t n = inner_.read_at(offset, dest);
        seen(offset, dest.first(n));
        return n;
    }

  protected:
    virtual void seen(std::int64_t offset, std::span<const std::uint8_t> bytes) = 0;
    ByteSource& inner_;
};

// Which file a path leads to: two paths with the same identity are one file.
struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId&) const = default;
};

// A file as it stands at one moment: which file, how long, when it last changed. Two
// equal stamps tell that nothing changed in between, as far as the system can tell.
struct FileStamp {
    FileId id;
    std::int64_t size = -1;  // -1: no file
    std::int64_t modified_ns = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp stamp_of(const struct stat& st);
// The stamp of the file a path leads to; empty when there is none.
std::optional<FileStamp> file_stamp(const std::filesystem::path& path);

// A regular file opened for reading. Opening never waits: a folder, a FIFO or a device
// is refused with an Error that names the path and what it is.
class FileSource final : public ByteSource {
  public:
    explicit FileSource(const std::filesystem::path& path);
    // `st`: the path's status, as just looked at.
    FileSource(const std::filesystem::path& path, const struct stat& st);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::int64_t size() const override { return size_; }
    std::size_t read_at(std::int64_t offset, std::span<std::uint8_t> dest) override;
    // Reads at a position of their own (pread) never get in each other's way.
    ByteSource* for_another_thread() override { return this; }
    FileId id() const { return stamp_.id; }
    // The file as it stood when it was opened.
    const FileStamp& stamp() const { return stamp_; }

  private:
    std::filesystem::path path_;
    int fd_ = -1;
    std::int64_t size_ = 0;
    FileStamp stamp_;
};

// The recording at `path` for reading; null when the path names nothing (such a path
// reads as an empty file, and nothing is created). Throws Error for anything else that
// cannot be read.
std::unique_ptr<FileSource> open_recording(const std::filesystem::path& path);

}  // namespace veltrane
