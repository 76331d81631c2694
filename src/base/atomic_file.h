#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "base/byte_source.h"
#include "base/error.h"

namespace veltrane {

// A file written whole or not at all. The bytes go to a nameless file in the target's
// folder, which gets a short hidden name (".veltrane-" and six letters or digits) and
// takes the target's place only on commit(); until then, and after any failure, the old
// file stays as it was and nothing is left behind, not even when the process is killed.
// Everything is made relative to the open folder, so any target name the system accepts
// will do, however long its path. Where the file system has no nameless files, the
// temporary is named from the start; such a temporary that a killed process left behind
// is removed by a later write in the same folder once no process holds it and it is a
// minute old. Nothing else is ever removed.
//
// What is never overwritten: a file the user may not write ("Permission denied"), a
// folder or anything else that is not a regular file, and the file `keep` (the
// recording a GAP file is made from, also when reached through a link). A symbolic
// link is followed and the file it leads to is replaced; but in a folder that others
// may write to, a link that belongs to neither the user nor root is not followed. The
// new file keeps the old one's permissions. Errors name the target and the cause; when
// the folder may not be written to, the cause names the folder.
//
// A target that already holds exactly the bytes written is left as it is: nothing is
// made, renamed or written, and its time of change stays.
class AtomicFile {
  public:
    explicit AtomicFile(std::filesystem::path target, std::optional<FileId> keep = {});
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Buffered; the temporary file is made once the bytes outgrow the buffer, or on
    // commit. The first write fails as the temporary's making would when the target or
    // its folder may not be written.
    void write(std::span<const std::uint8_t> bytes);
    // Puts everything written in the target's place.
    void commit();
    // Writes `bytes` and commits: the whole file at once, looked at only on commit.
    // `known_changed`: the caller knows the target holds other bytes, and it is not
    // compared.
    void commit_whole(std::span<const std::uint8_t> bytes, bool known_changed = false);

  private:
    void check() const;
    bool unchanged(const std::filesystem::path& file, const struct stat& st) const;
    void start();
    void start(const std::filesystem::path& file, const struct stat& st, bool exists);
    void flush();
    void discard() noexcept;
    [[noreturn]] void fail(Errc code, const std::string& cause);

    std::filesystem::path target_;
    std::optional<FileId> keep_;
    std::filesystem::path folder_;  // the folder the temporary is in
    int folder_fd_ = -1;
    std::string temp_;  // the temporary's name in that folder, once it has one
    int fd_ = -1;
    std::vector<std::uint8_t> buffer_;
    bool checked_ = false;
    bool known_changed_ = false;
    bool committed_ = false;
};

// Writes `bytes` as the whole file, atomically.
void write_file_atomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace veltrane
