#pragma once
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "base/atomic_file.h"

namespace veltrane {

// One recorded silence in a GAP file: two times in whole milliseconds, each written
// as a 32-bit signed little-endian integer filling its 4-byte half of the 8-byte
// record (for times up to 32,767 ms: the 16-bit value followed by a 16-bit zero).
struct GapRecord {
    std::int32_t start_ms = 0;
    std::int32_t end_ms = 0;
    bool operator==(const GapRecord&) const = default;
};
inline constexpr std::size_t kGapRecordSize = 8;

// The GAP file beside a WAV file: the path without its last four characters, + ".gap".
std::string gap_path(const std::string& wav_path);

std::vector<std::uint8_t> encode_gap(std::span<const GapRecord> records);
// Throws Error(BadGapFile) naming `file` when the length is not a multiple of 8.
std::vector<GapRecord> decode_gap(std::span<const std::uint8_t> bytes,
                                  const std::filesystem::path& file);

// A GAP file being made: records go out as they come, and the file takes the place of
// an older one only when committed with at least one record. The recording `scanned`
// is never written over.
class GapWriter {
  public:
    GapWriter(const std::filesystem::path& path, std::optional<FileId> scanned)
        : file_(path, scanned) {}
    void add(const GapRecord& record);
    std::size_t count() const { return count_; }
    // Puts the file in place; with no records, leaves any older file untouched.
    void commit();

  private:
    AtomicFile file_;
    std::size_t count_ = 0;
};

// The records as a label track that audio editors import: per record the start and the
// end in seconds with three decimals and a point (whatever the locale), then "gap N"
// counting from 1, separated by tabs, a line each.
std::string label_track(std::span<const GapRecord> records);

// Writes exactly these records as the whole file, atomically, also when there are none.
// The recording `keep` is never written over.
void write_gap_file(const std::filesystem::path& path, std::span<const GapRecord> records,
                    std::optional<FileId> keep = {});
std::vector<GapRecord> read_gap_file(const std::filesystem::path& path);

}  // namespace veltrane
