#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "base/byte_source.h"

namespace veltrane {

// The sample layout that selects the scan variant: 1 8-bit mono, 2 16-bit mono,
// 3 8-bit stereo, 4 16-bit stereo; 11 to 14 the same with Double Speed.
using Situation = int;

struct ScanParams {
    Situation situation = 0;
    std::int32_t sensitivity = 15;  // S: half-width of the silent band
    std::int32_t filter_ms = 50;    // F: a silence must last longer than this
    std::int32_t byte_rate = 0;     // bytes per second from the header
    std::int64_t data_start = 45;   // 1-based position of the first sample byte
    std::int64_t end_mark = 0;      // L: the data length, compared with positions
};

// One recorded silence: the mark positions of the step that opened it and of the
// step that closed it. Positions count from the start of the file (1-based).
struct Silence {
    std::int64_t start_mark = 0;
    std::int64_t end_mark = 0;
    bool operator==(const Silence&) const = default;
};

// Reported once per block of scanning work. `progress` is the progress value of the
// last step of the block (as the layout defines it); `done` is the share of steps made.
struct ScanProgress {
    std::int64_t progress = 0;
    double done = 0;
};
using ScanCallback = std::function<void(const ScanProgress&)>;
// Receives each silence that is long enough to record, as soon as it has ended.
using SilenceSink = std::function<void(const Silence&)>;

// Another processor that a scan of a long file may give the second half of it to: start()
// runs `task` there, wait() returns once it has ended. Only a caller that may use more
// than one thread passes one; the window keeps to its own.
class SecondCore {
  public:
    virtual ~SecondCore() = default;
    virtual void start(std::function<void()> task) = 0;
    virtual void wait() = 0;
    // A scan over fewer bytes than this stays on one processor: handing over costs about
    // what copying a few megabytes does.
    std::int64_t least_bytes = std::int64_t{32} << 20;
    // The silences the second half may hold until the first is done. One that finds more
    // gives up, and the first processor scans on alone: memory stays bounded.
    std::size_t most_held = std::size_t{1} << 20;
};

// Scans the samples of a whole WAV file, read from `source` a block at a time (bytes
// before position 1 or past the end read as zero), and hands on the silences that are
// long enough to record, in the order they end. No scan (and no records) for an unknown
// situation or a byte rate of 0 or below. Memory use does not grow with the file.
// With `second`, a long file whose source may be read from another thread
// (ByteSource::for_another_thread) is scanned in two halves at once; the silences, their
// order and the reports' last value are the same. Every call of the callbacks stays on
// the calling thread.
void scan(ByteSource& source, const ScanParams& params, const SilenceSink& on_silence,
          const ScanCallback& on_block = {}, SecondCore* second = nullptr);

// The same over a file held in memory, the silences collected.
std::vector<Silence> scan(std::span<const std::uint8_t> file, const ScanParams& params,
                          const ScanCallback& on_block = {});

// Several scans of one source, the file read once for all of them: each job's silences
// go to its own sink, exactly as scan() would hand them on. `on_bytes` hears the bytes of
// the file as they are read (0-based offset; stretches may overlap a little).
struct ScanJob {
    ScanParams params;
    SilenceSink on_silence;
};
using BytesSink = std::function<void(std::int64_t offset, std::span<const std::uint8_t> bytes)>;
void scan_together(ByteSource& source, std::span<const ScanJob> jobs,
                   const BytesSink& on_bytes = {});

// A mark position as whole milliseconds: position / byte_rate * 1000, rounded down
// (in double precision), saturated to the 32-bit range.
std::int32_t mark_ms(std::int64_t mark, std::int32_t byte_rate);

// Whether a situation code names a scan variant (1-4, 11-14).
bool known_situation(Situation s);

}  // namespace veltrane
