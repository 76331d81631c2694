#pragma once
// One recording looked at with the main window's settings: its waveform, the silences
// Generate would record, the GAP file already beside it, and why nothing was found.
// A look, not a run: nothing is written, counted or logged.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audio/gap_file.h"
#include "audio/wav_header.h"
#include "base/byte_source.h"
#include "preview/recording.h"
#include "preview/waveform.h"
#include "preview/why.h"

namespace veltrane::preview {

// The records a scan gives, exactly as Generate writes them to the GAP file.
std::vector<GapRecord> records_of(ByteSource& source, const ScanParams& params,
                                  const ScanCallback& on_block = {});

struct Tally {
    std::size_t gaps = 0;
    std::int64_t silence_ms = 0;  // the lengths (end - start) added up
    std::int64_t longest_ms = 0;
    bool operator==(const Tally&) const = default;
};
Tally tally(std::span<const GapRecord> records);

// The three fixed presets at both speeds, in the order normal, noisy, accurate, each
// at normal speed and then at Double Speed. The file is read once for all six scans;
// `on_bytes` hears its bytes on the way.
struct PresetRow {
    const char* preset;  // "normal", "noisy", "accurate"
    Settings settings;
    Tally tally;
};
// With `find_chunks` the file is scanned by its located chunks, as Generate's --find-chunks.
std::vector<PresetRow> preset_table(ByteSource& source, const WavInfo& header,
                                    const BytesSink& on_bytes = {}, bool find_chunks = false);

// The records now beside those of the GAP file on disk. A record found in both is the
// same; one that overlaps a record of the other list without equalling it has changed
// (its ends moved); any other is new (only now) or only in the file.
enum class Match { Same, Changed, New, OnlyOnDisk };
struct Comparison {
    std::vector<Match> now;   // one per current record: Same, Changed or New
    std::vector<Match> disk;  // one per record on disk: Same, Changed or OnlyOnDisk
    std::size_t same = 0, changed = 0, added = 0, removed = 0;
};
Comparison compare(std::span<const GapRecord> now, std::span<const GapRecord> disk);

// The GAP file beside a recording as it stands on disk.
struct DiskGap {
    std::filesystem::path path;
    bool exists = false;
    std::vector<GapRecord> records;
    std::string problem;  // why it could not be read, empty when it could
};

class Session {
  public:
    // `buckets`: the columns of the waveform of the whole file.
    explicit Session(std::size_t buckets) : buckets_(buckets) {}

    // Opens the recording, draws its waveform and scans it with `settings` in a single
    // pass over the file. `on_progress` hears the share done now and then. Throws Error
    // when the file cannot be read.
    // With it, the recording is scanned as Generate scans it with --find-chunks: by its
    // located "fmt " and "data" chunks. Set before open().
    void set_find_chunks(bool find_chunks) { find_chunks_ = find_chunks; }
    void open(const std::filesystem::path& path, const Settings& settings,
              const std::function<void(double)>& on_progress = {});
    bool is_open() const { return file_ != nullptr; }

    // Brings the look up to date: the recording opened afresh when it changed on disk,
    // scanned again when the settings changed, the GAP file read again when it changed.
    // Returns whether anything is new.
    bool update(const Settings& settings);

    const std::filesystem::path& path() const { return path_; }
    const WavInfo& header() const { return header_; }
    const HeaderShape& shape() const { return shape_; }
    const SampleLayout& layout() const { return layout_; }
    const Settings& settings() const { return settings_; }
    const ScanParams& params() const { return params_; }
    std::int64_t file_size() const { return file_ ? file_->size() : 0; }
    double bytes_per_ms() const { return preview::bytes_per_ms(header_); }

    const Waveform& waveform() const { return waveform_; }
    // The waveform of frames [from, to) in `buckets` buckets, read afresh (for a zoom).
    Waveform detail(std::int64_t from, std::int64_t to, std::size_t buckets);

    const std::vector<GapRecord>& records() const { return records_; }
    const DiskGap& disk() const { return disk_; }
    const Comparison& comparison() const { return comparison_; }

    // A 16-bit recording at normal speed: the silences Double Speed records at the same
    // Sensitivity and Filter (worked out on first asking and kept while the settings
    // stay). None for any other recording or settings.
    std::optional<std::size_t> double_speed_finds();

    // Why nothing was found with the current settings (empty when something was).
    // Worked out on first asking and kept while the settings stay; throws Stopped, and
    // keeps nothing, when `keep_going` says so.
    std::vector<std::string> why(Language language, const KeepGoing& keep_going = {});

  private:
    bool find_chunks_ = false;
    bool read_disk();
    void rescan();
    // Scans `source` with the settings, gathering the reasons on the way in case the scan
    // records nothing.
    void scan_and_gather(ByteSource& source, const ScanCallback& on_block);

    std::size_t buckets_;
    std::filesystem::path path_;
    std::unique_ptr<FileSource> file_;
    std::optional<FileStamp> stamp_;
    WavInfo header_;
    HeaderShape shape_;
    SampleLayout layout_;
    Waveform waveform_;
    Settings settings_;
    ScanParams params_;
    std::vector<GapRecord> records_;
    DiskGap disk_;
    std::optional<FileStamp> disk_stamp_;
    Comparison comparison_;
    std::optional<FilterFacts> facts_;
    std::optional<PassAnswers> gathered_;  // along the last scan, when it recorded nothing
    std::optional<Explanation> explanation_;
    std::optional<std::optional<std::size_t>> double_speed_finds_;
};

}  // namespace veltrane::preview
