#include "preview/sweep.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "audio/level_kernels.h"
#include "audio/scan_engine.h"

namespace veltrane::preview {

namespace {

using scan_engine::Layout;
using scan_engine::layout_of;

// Windows longer than this are followed with a queue, so that memory stays small.
constexpr std::int64_t kLongestBlockWindow = std::int64_t{1} << 22;

// Values added at a time before a block pass, at least.
constexpr std::int64_t kBatch = std::int64_t{1} << 16;

constexpr std::uint8_t kZeros[3] = {0, 0, 0};

void check(const KeepGoing& keep_going) {
    if (keep_going && !keep_going()) throw Stopped{};
}

// The loudest of the `w` values before each value of a sequence that arrives in pieces
// (van Herk and Gil-Werman: running maxima forwards and backwards within blocks of w,
// so that any window is the larger of one backward and one forward maximum; no branch
// depends on the values). For every value at index i >= w (from 0, the first added),
// `eval(i0, values, maxima, n)` hears it with the maximum of values i - w .. i - 1.
template <class T>
class BeforeMax {
  public:
    explicit BeforeMax(std::int64_t w) : w_(w), batch_(std::max(w, kBatch)) {}

    template <class Eval>
    void add(const T* v, std::int64_t n, Eval&& eval) {
        while (n > 0) {
            const std::int64_t take = std::min(n, batch_ - pending_);
            a_.insert(a_.end(), v, v + take);
            pending_ += take;
            v += take;
            n -= take;
            if (pending_ == batch_) run(eval);
        }
    }
    template <class Eval>
    void flush(Eval&& eval) {
        if (pending_ > 0) run(eval);
    }

  private:
    template <class Eval>
    void run(Eval&& eval) {
        const auto len = static_cast<std::int64_t>(a_.size());
        g_.resize(a_.size());
        h_.resize(a_.size());
        // Plain pointers: stores through a byte pointer could reach the vectors' own
        // fields, which would keep every value in memory and every loop from vectorizing.
        const T* __restrict a = a_.data();
        T* __restrict g = g_.data();
        T* __restrict h = h_.data();
        for (std::int64_t b = 0; b < len; b += w_) {
            const std::int64_t e = std::min(b + w_, len);
            T run = a[b];
            for (std::int64_t i = b; i < e; ++i) g[i] = run = std::max(run, a[i]);
            run = a[e - 1];
            for (std::int64_t i = e - 1; i >= b; --i) h[i] = run = std::max(run, a[i]);
        }
        // a_ begins with min(fed, w) values of earlier pieces: the first value with w
        // values before it is at w either way.
        const std::int64_t from = w_;
        if (from < len) {
            m_.resize(static_cast<std::size_t>(len - from));
            T* __restrict m = m_.data();
            const T* __restrict early = h;
            const T* __restrict late = g + from - 1;
            const std::int64_t n = len - from;
            for (std::int64_t i = 0; i < n; ++i) m[i] = std::max(early[i], late[i]);
            eval(fed_ + pending_ - len + from, a + from, m, n);
        }
        fed_ += pending_;
        pending_ = 0;
        const std::int64_t keep = std::min(len, w_);
        a_.erase(a_.begin(), a_.end() - keep);
    }

    std::int64_t w_, batch_;
    std::int64_t fed_ = 0, pending_ = 0;
    std::vector<T> a_, g_, h_, m_;
};

// Where each step of a scan is silent from: its level, the least Sensitivity that makes
// it silent, capped. A step k closes a record at Sensitivity S when it is loud at S
// (level > S) and the `need` steps before it are all silent at S (their loudest level
// <= S): the smallest such S is that loudest level, when it is below the step's own.
// A closing mark at or before the start of the file is never recorded (it would be the
// first closing, and a record must end after the previous one, which starts at 0).
class Closings {
  public:
    Closings(std::int64_t need, int cap, std::int64_t record_from, Method method)
        : need_(need),
          best_(cap),
          record_from_(record_from),
          queue_(method == Method::Queue ||
                 (method == Method::Automatic && need > kLongestBlockWindow)),
          blocks_(queue_ ? 1 : need) {}

    // Levels of the steps k, k + 1, ...: every step from the first one added on.
    void add(std::int64_t k, const std::uint8_t* levels, std::int64_t n) {
        if (first_ < 0) first_ = k;
        if (queue_) {
            for (std::int64_t i = 0; i < n; ++i) queue_step(k + i, levels[i]);
        } else {
            blocks_.add(levels, n, [this](auto... a) { judge(a...); });
        }
    }
    // n steps from k with the same level. In the queue, the steps after the first change
    // nothing but how long the level stays: only the first and the last are followed.
    void add_same(std::int64_t k, std::uint8_t level, std::int64_t n) {
        if (n <= 0) return;
        if (!queue_) {
            const std::vector<std::uint8_t> same(static_cast<std::size_t>(n), level);
            return add(k, same.data(), n);
        }
        if (first_ < 0) first_ = k;
        queue_step(k, level);
        if (n > 1) queue_step(k + n - 1, level);
    }
    int best() {
        if (!queue_) blocks_.flush([this](auto... a) { judge(a...); });
        return best_;
    }
    bool done() const { return best_ <= 1; }

  private:
    void judge(std::int64_t i0, const std::uint8_t* level, const std::uint8_t* loudest,
               std::int64_t n) {
        const std::int64_t k0 = first_ + i0;
        const std::uint8_t* __restrict l = level;
        const std::uint8_t* __restrict m = loudest;
        std::uint8_t best = static_cast<std::uint8_t>(best_);
        for (std::int64_t i = std::clamp<std::int64_t>(record_from_ - k0, 0, n); i < n; ++i) {
            const std::uint8_t c = m[i] < l[i] ? m[i] : 255;
            best = std::min(best, c);
        }
        best_ = best;
    }

    // The queue holds falling levels with their step numbers, from 1 to the cap: never
    // more than 64.
    void queue_step(std::int64_t k, int level) {
        while (size_ > 0 && q_[head_].k < k - need_) {
            head_ = (head_ + 1) & kMask;
            --size_;
        }
        if (k >= record_from_ && size_ > 0 && k >= first_ + need_ && q_[head_].level < level)
            best_ = std::min(best_, q_[head_].level);
        while (size_ > 0 && q_[(head_ + size_ - 1) & kMask].level <= level) --size_;
        q_[(head_ + size_) & kMask] = {k, level};
        ++size_;
    }

    struct Entry {
        std::int64_t k;
        int level;
    };
    static constexpr std::size_t kMask = 63;

    std::int64_t need_;
    int best_;
    std::int64_t record_from_;
    bool queue_;
    std::int64_t first_ = -1;
    BeforeMax<std::uint8_t> blocks_;
    std::array<Entry, kMask + 1> q_{};
    std::size_t head_ = 0, size_ = 0;
};

template <Situation S>
std::optional<int> sweep(ByteSource& source, const ScanParams& p, int most,
                         const KeepGoing& keep_going, Method method) {
    constexpr Layout L = layout_of(S);
    constexpr int step = L.step;
    const int cap = most + 1;
    const std::int64_t size = source.size();
    const std::int64_t need =
        (scan_engine::shortest_recorded(p.filter_ms, p.byte_rate) + step - 1) / step;
    const std::int64_t first = p.data_start;
    // The scan ends after the first step whose end value reaches the end mark.
    const std::int64_t last_from = p.end_mark - L.end;
    const std::int64_t total = last_from > first ? (last_from - first + step - 1) / step + 1 : 1;
    if (total <= need) return std::nullopt;  // too few steps for a silence and its end
    // The first step whose mark lies after the start of the file.
    const std::int64_t record_from = first + L.mark > 0 ? 0 : -(first + L.mark) / step + 1;

    Closings c(need, cap, record_from, method);
    const std::uint8_t zero_level = scan_engine::level_at<S>(kZeros, cap);
    std::int64_t k = 0;
    // Steps that read before position 1 only all read zeros; of those, only the last
    // `need` can matter to a step after them.
    if (first <= -L.reach) {
        const std::int64_t before = std::min(total, (-L.reach - first) / step + 1);
        const std::int64_t kept = std::min(before, need);
        c.add_same(before - kept, zero_level, kept);
        k = before;
    }
    // Steps that reach into the file, read a block at a time; bytes outside it read as 0.
    const std::int64_t inside = size >= first ? std::min(total, (size - first) / step + 1) : 0;
    constexpr std::int64_t kBlockSteps = std::int64_t{1} << 16;
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> levels(static_cast<std::size_t>(kBlockSteps));
    while (k < inside && !c.done()) {
        check(keep_going);
        const std::int64_t n = std::min(kBlockSteps, inside - k);
        const std::int64_t from = first + k * step;  // 1-based position
        const std::int64_t span = (n - 1) * step + L.reach + 1;
        bytes.assign(static_cast<std::size_t>(span + 2), 0);
        const std::int64_t lo = std::max<std::int64_t>(from, 1);
        const std::int64_t hi = std::min(from + span - 1, size);
        if (lo <= hi)
            source.read_at(lo - 1, std::span(bytes).subspan(static_cast<std::size_t>(lo - from),
                                                            static_cast<std::size_t>(hi - lo + 1)));
        const std::uint8_t* b = bytes.data();
        for (std::int64_t i = 0; i < n; ++i, b += step)
            levels[static_cast<std::size_t>(i)] = scan_engine::level_at<S>(b, cap);
        c.add(k, levels.data(), n);
        k += n;
    }
    // Steps past the end read only zeros: after the first of them nothing changes.
    if (k < total && !c.done()) c.add(k, &zero_level, 1);
    const int best = c.best();
    if (best <= most) return best;
    return std::nullopt;
}

// Header values lie within 32 bits; far beyond that the arithmetic of the pass could
// leave its range.
bool within_header_range(const ScanParams& p) {
    constexpr std::int64_t kFar = std::int64_t{1} << 40;
    return std::abs(p.data_start) < kFar && std::abs(p.end_mark) < kFar;
}

}  // namespace

std::optional<int> smallest_sensitivity(ByteSource& source, const ScanParams& params, int most,
                                        const KeepGoing& keep_going, Method method) {
    most = std::clamp(most, 0, 62);
    if (most < 1 || params.byte_rate <= 0 || !known_situation(params.situation))
        return std::nullopt;
    if (!within_header_range(params)) return smallest_sensitivity_by_scans(source, params, most);
    return scan_engine::with_situation(
        params.situation,
        [&](auto situation) {
            return sweep<decltype(situation)::value>(source, params, most, keep_going, method);
        },
        [] { return std::optional<int>{}; });
}

std::optional<int> smallest_sensitivity_by_scans(ByteSource& source, const ScanParams& params,
                                                 int most) {
    for (int s = kLeastSensitivity; s <= most; ++s) {
        ScanParams p = params;
        p.sensitivity = s;
        bool found = false;
        scan(source, p, [&](const Silence&) { found = true; });
        if (found) return s;
    }
    return std::nullopt;
}

namespace {

// The quietest window of w frames: the windows' loudest peaks in blocks, or in a queue
// of falling peaks (never more than 32769: the peaks are whole numbers up to 32768).
class Quietest {
  public:
    Quietest(std::int64_t w, bool queue) : w_(w), queue_(queue), blocks_(queue ? 1 : w) {
        if (queue_) {
            std::size_t capacity = 1;
            while (capacity < static_cast<std::size_t>(std::min<std::int64_t>(w, 32769)) + 1)
                capacity *= 2;
            q_.resize(capacity);
        }
    }
    void add(const std::uint16_t* peaks, std::int64_t n) {
        if (queue_) {
            for (std::int64_t i = 0; i < n; ++i) queue_frame(peaks[i]);
        } else {
            blocks_.add(peaks, n, [this](auto... a) { judge(a...); });
        }
    }
    std::optional<QuietStretch> finish() {
        if (!queue_) {
            // One more value makes the last window's loudest known.
            const std::uint16_t after = 0;
            blocks_.add(&after, 1, [this](auto... a) { judge(a...); });
            blocks_.flush([this](auto... a) { judge(a...); });
        }
        return best_;
    }
    bool done() const { return best_ && best_->peak == 0; }

  private:
    // Frame i0 + i has the loudest of the window that ends just before it.
    void judge(std::int64_t i0, const std::uint16_t*, const std::uint16_t* loudest,
               std::int64_t n) {
        for (std::int64_t i = 0; i < n; ++i) {
            if (!best_ || loudest[i] < best_->peak)
                best_ = QuietStretch{i0 + i - w_, w_, loudest[i]};
        }
    }
    void queue_frame(int peak) {
        const std::size_t mask = q_.size() - 1;
        while (size_ > 0 && q_[(head_ + size_ - 1) & mask].peak <= peak) --size_;
        q_[(head_ + size_) & mask] = {frame_, peak};
        ++size_;
        if (q_[head_].f <= frame_ - w_) {
            head_ = (head_ + 1) & mask;
            --size_;
        }
        if (frame_ >= w_ - 1 && (!best_ || q_[head_].peak < best_->peak))
            best_ = QuietStretch{frame_ - w_ + 1, w_, q_[head_].peak};
        ++frame_;
    }

    struct Entry {
        std::int64_t f;
        int peak;
    };
    std::int64_t w_;
    bool queue_;
    BeforeMax<std::uint16_t> blocks_;
    std::vector<Entry> q_;
    std::size_t head_ = 0, size_ = 0;
    std::int64_t frame_ = 0;
    std::optional<QuietStretch> best_;
};

}  // namespace

std::optional<QuietStretch> quietest_stretch(ByteSource& source, const SampleLayout& l,
                                             int filter_ms, const KeepGoing& keep_going,
                                             Method method) {
    if (!l.usable() || l.sample_rate <= 0 || filter_ms < 0) return std::nullopt;
    const std::int64_t w =
        std::max<std::int64_t>(1, (std::int64_t{filter_ms} * l.sample_rate + 999) / 1000);
    if (w > l.frames) return std::nullopt;
    Quietest q(w,
               method == Method::Queue || (method == Method::Automatic && w > kLongestBlockWindow));
    const scan_engine::PeakFn peaks_of = scan_engine::peak_kernel(
        scan_engine::Kernel::portable, l.sample_bytes, l.channels, l.frame_bytes);
    const std::int64_t block = std::max<std::int64_t>(1, (std::int64_t{1} << 20) / l.frame_bytes);
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint16_t> peaks;
    for (std::int64_t f = 0; f < l.frames && !q.done();) {
        check(keep_going);
        const std::int64_t n = std::min(block, l.frames - f);
        bytes.resize(static_cast<std::size_t>(n * l.frame_bytes));
        const std::size_t got = source.read_at(l.first + f * l.frame_bytes, bytes);
        const std::int64_t whole = static_cast<std::int64_t>(got) / l.frame_bytes;
        peaks.resize(static_cast<std::size_t>(whole));
        peaks_of(bytes.data(), whole, l.channels, l.frame_bytes, peaks.data());
        q.add(peaks.data(), whole);
        f += whole;
        if (whole < n) break;  // the file ends early
    }
    return q.finish();
}

}  // namespace veltrane::preview
