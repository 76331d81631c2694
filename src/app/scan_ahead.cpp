#include "app/scan_ahead.h"

#include <sched.h>
#include <sys/stat.h>

#include <algorithm>

#include "audio/wav_header.h"
#include "audio/wav_layout.h"
#include "base/error.h"

namespace veltrane {

namespace {

// Ends a scan from inside its block callback.
struct ScanStopped {};

}  // namespace

bool FinishedScan::fits(const FileStamp& now, const ScanParams& p) const {
    const ScanParams& q = params;
    return !failure && now == stamp && p.situation == q.situation &&
           p.sensitivity == q.sensitivity && p.filter_ms == q.filter_ms &&
           p.byte_rate == q.byte_rate && p.data_start == q.data_start && p.end_mark == q.end_mark;
}

ScanAhead::ScanAhead(unsigned jobs, ScanSettings settings, bool find_chunks,
                     std::function<bool()> stopped, Watch watch, After after,
                     std::int64_t short_bytes)
    : settings_(settings),
      find_chunks_(find_chunks),
      stopped_(std::move(stopped)),
      watch_(std::move(watch)),
      after_(std::move(after)),
      window_(4 * std::max(jobs, 1u)),
      short_bytes_(short_bytes) {
    for (unsigned i = 1; i < jobs; ++i) workers_.emplace_back([this] { work(); });
}

ScanAhead::~ScanAhead() {
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
        queue_.clear();
    }
    changed_.notify_all();
    for (std::thread& t : workers_) t.join();
}

void ScanAhead::plan(const std::vector<std::string>& paths) {
    {
        const std::lock_guard lock(mutex_);
        for (const std::string& path : paths) {
            const bool waiting = std::any_of(queue_.begin(), queue_.end(),
                                             [&](const auto& e) { return e->path == path; });
            if (waiting) continue;
            queue_.push_back(std::make_shared<Entry>());
            queue_.back()->path = path;
        }
    }
    changed_.notify_all();
}

std::unique_ptr<FinishedScan> ScanAhead::take(const std::string& path) {
    std::unique_lock lock(mutex_);
    const auto it =
        std::find_if(queue_.begin(), queue_.end(), [&](const auto& e) { return e->path == path; });
    if (it == queue_.end()) return nullptr;
    queue_.erase(queue_.begin(), it);  // planned but passed over: never taken
    const std::shared_ptr<Entry> entry = queue_.front();
    changed_.notify_all();  // the window has moved on
    // Waiting would leave a processor idle and cost a wake-up: a file is scanned here
    // meanwhile, when there is one that does not hold up the awaited one for long.
    while (!entry->done) {
        std::shared_ptr<Entry> next;
        changed_.wait(lock, [&] { return entry->done || (next = meanwhile(*entry)); });
        if (next) run(lock, *next);
    }
    queue_.pop_front();
    changed_.notify_all();
    return std::move(entry->result);
}

std::optional<WavInfo> ScanAhead::header_of(const std::string& path, const FileStamp& now) {
    const std::lock_guard lock(mutex_);
    for (const auto& e : queue_)
        if (e->path == path)
            return e->done && e->result && e->result->stamp == now ? e->result->header
                                                                   : std::nullopt;
    return std::nullopt;
}

std::shared_ptr<ScanAhead::Entry> ScanAhead::unstarted() const {
    const std::size_t reach = std::min(window_, queue_.size());
    for (std::size_t i = 0; i < reach; ++i)
        if (!queue_[i]->started) return queue_[i];
    return nullptr;
}

std::shared_ptr<ScanAhead::Entry> ScanAhead::meanwhile(const Entry& awaited) {
    std::shared_ptr<Entry> next = unstarted();
    if (!next || next.get() == &awaited) return next;
    if (next->bytes < 0) {
        struct stat st {};
        next->bytes = ::stat(next->path.c_str(), &st) == 0 ? st.st_size : short_bytes_ + 1;
    }
    return next->bytes <= short_bytes_ ? next : nullptr;
}

void ScanAhead::run(std::unique_lock<std::mutex>& lock, Entry& e) {
    e.started = true;
    lock.unlock();
    std::unique_ptr<FinishedScan> result;
    try {
        result = scan_one(e.path);
    } catch (...) {
        // Whatever went wrong around the scan (the work after it, memory) ends this file
        // alone, and whoever takes it is told.
        result = std::make_unique<FinishedScan>();
        result->path = e.path;
        result->failure = std::current_exception();
    }
    lock.lock();
    e.result = std::move(result);
    e.done = true;
    changed_.notify_all();
}

void ScanAhead::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        std::shared_ptr<Entry> next;
        changed_.wait(lock, [&] { return closing_ || (next = unstarted()); });
        if (closing_) return;
        run(lock, *next);
    }
}

std::unique_ptr<FinishedScan> ScanAhead::scan_one(const std::string& path) const {
    auto done = std::make_unique<FinishedScan>();
    done->path = path;
    std::unique_ptr<FileSource> file;
    std::unique_ptr<ByteSource> watched;
    try {
        if (stopped_ && stopped_()) throw ScanStopped{};
        file = open_recording(path);
        if (!file) throw Error(Errc::Open, path, "No such file or directory");
        done->stamp = file->stamp();
        if (find_chunks_) {
            done->params = planned_params(*file, settings_, true);
        } else {
            done->header = read_wav_header(*file);
            done->params = generate_params(*done->header, settings_);
            try {
                done->chunks = chunk_note(*file);
            } catch (const Error&) {
            }
            done->chunks_looked_at = true;
        }
        const ScanParams& p = done->params;
        if (p.situation == 0) return done;
        GapWriter gaps(gap_path(path), file->id());
        if (watch_) watched = watch_(path, *file);
        scan(
            watched ? *watched : *file, p,
            [&](const Silence& s) {
                gaps.add({mark_ms(s.start_mark, p.byte_rate), mark_ms(s.end_mark, p.byte_rate)});
            },
            [&](const ScanProgress&) {
                if (stopped_ && stopped_()) throw ScanStopped{};
            });
        gaps.commit();
        done->scanned = true;
        done->gaps = gaps.count();
    } catch (...) {
        done->failure = std::current_exception();
    }
    if (after_) after_(*done, watched.get());
    return done;
}

unsigned usable_processors() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) != 0) return 1;
    return static_cast<unsigned>(std::max(1, CPU_COUNT(&set)));
}

}  // namespace veltrane
