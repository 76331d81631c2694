#pragma once
// Scans ahead of the generation procedures: worker threads open the files a run is about
// to process, scan them with the settings they will be generated with and write each GAP
// file. The procedures (doit) stay on the calling thread and take the finished scans in
// file order, so that the statistics, the log and the output come as when each file is
// scanned in turn. Only a stopped run differs: the files scanned ahead of the last one
// reported keep the GAP file written for them.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio/gap_file.h"
#include "audio/scan.h"
#include "audio/scan_settings.h"
#include "audio/wav_header.h"
#include "audio/wav_layout.h"
#include "base/byte_source.h"

namespace veltrane {

// One file scanned ahead: what it was scanned with, and how many silences its GAP file
// (already in place) holds.
struct FinishedScan {
    std::string path;
    ScanParams params;
    FileStamp stamp;  // the recording as it was scanned
    // Its header as the scan read it (without find_chunks, once the file is open).
    std::optional<WavInfo> header;
    bool scanned = false;        // false: nothing to scan (situation 0)
    std::size_t gaps = 0;        // the records written
    std::exception_ptr failure;  // set when the scan or the write did not go through
    // Without find_chunks, once the file is open: whether other chunks stand before its
    // data (chunk_note), looked at while the file is open anyway.
    bool chunks_looked_at = false;
    std::optional<ChunkNote> chunks;
    // Whether this scan is the one doit would make of `now` with `p`.
    bool fits(const FileStamp& now, const ScanParams& p) const;
};

class ScanAhead {
  public:
    // `jobs` scans at once (at least 1): the thread that takes the scans is one of them.
    // Rather than wait for the file it takes, it scans that file itself when no one has
    // started it, or another file no longer than `short_bytes`, which holds up the one
    // awaited for a moment only. At most four times `jobs` files are scanned ahead of the
    // one taken. `stopped` is asked once per block of every scan: a scan it answers true
    // for ends there, its temporary file removed, and no other scan starts. `watch`, when
    // given, may wrap each file before its scan, as App::watch_scan does (null: the file is
    // scanned as it is). `after`, when given, is called on the scanning thread with each
    // finished scan and the wrapper it was read through (null when none; the file still
    // open), for more work on the same file that should not wait for the procedures.
    using Watch = std::function<std::unique_ptr<ByteSource>(const std::string&, ByteSource&)>;
    using After = std::function<void(const FinishedScan&, ByteSource* watched)>;
    ScanAhead(unsigned jobs, ScanSettings settings, bool find_chunks, std::function<bool()> stopped,
              Watch watch = {}, After after = {}, std::int64_t short_bytes = kShortFile);
    // A file this long takes a millisecond or two to scan.
    static constexpr std::int64_t kShortFile = std::int64_t{8} << 20;
    ~ScanAhead();
    ScanAhead(const ScanAhead&) = delete;
    ScanAhead& operator=(const ScanAhead&) = delete;

    // Files that will be taken in this order; a path already waiting is not planned twice.
    void plan(const std::vector<std::string>& paths);
    // The finished scan of `path`, waited for; the planned files before it are dropped.
    // Null when `path` was not planned.
    std::unique_ptr<FinishedScan> take(const std::string& path);
    // The header of `path` as its finished scan read it, when that scan is done and the
    // file still is as it was then (`now`); not waited for.
    std::optional<WavInfo> header_of(const std::string& path, const FileStamp& now);

  private:
    struct Entry {
        std::string path;
        std::int64_t bytes = -1;  // the file's length once looked at; -1 before
        bool started = false, done = false;
        std::unique_ptr<FinishedScan> result;
    };
    void work();
    // The first planned file within the window that no one has started; null when none.
    std::shared_ptr<Entry> unstarted() const;
    // What the thread that waits for `awaited` may scan meanwhile: `awaited` itself, or
    // a short file; null when nothing.
    std::shared_ptr<Entry> meanwhile(const Entry& awaited);
    // Scans `e` with the lock let go meanwhile.
    void run(std::unique_lock<std::mutex>& lock, Entry& e);
    std::unique_ptr<FinishedScan> scan_one(const std::string& path) const;

    const ScanSettings settings_;
    const bool find_chunks_;
    const std::function<bool()> stopped_;
    const Watch watch_;
    const After after_;
    // How many planned files may be scanned ahead of the one the procedures wait for:
    // bounds the memory and the open temporary files.
    const std::size_t window_;
    const std::int64_t short_bytes_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Entry>> queue_;
    bool closing_ = false;
    std::vector<std::thread> workers_;
};

// The number of processors this process may run on (at least 1).
unsigned usable_processors();

}  // namespace veltrane
