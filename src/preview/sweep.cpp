#include "preview/sweep.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "audio/scan_engine.h"
#include "audio/scan_kernels.h"

namespace veltrane::preview {

namespace {

using scan_engine::Layout;
using scan_engine::layout_of;

// Follows, for every Sensitivity below a cap at once, whether a step closes a silence
// long enough to record. A step's level is the least Sensitivity that makes it silent.
// A step k closes a record at Sensitivity S when it is loud at S (level > S) and the
// `need` steps before it are all silent at S (their loudest level <= S): the smallest
// such S is that loudest level, when it is below the step's own.
class Tracker {
  public:
    Tracker(std::int64_t need, int cap) : need_(need), best_(cap) {}

    // `may_record`: the step's mark lies after the start of the file. A closing mark at
    // or before it is never recorded (it is the first closing there can be, and a record
    // must end after the previous one, which starts at 0).
    void step(std::int64_t k, int level, bool may_record) {
        level = std::min(level, best_);  // no level at or above the best found can beat it
        while (size_ > 0 && q_[head_].k < k - need_) pop_front();
        if (may_record && size_ > 0 && k >= need_) {
            const int loudest = q_[head_].level;
            if (loudest < level) best_ = loudest;
        }
        while (size_ > 0 && q_[back()].level <= level) --size_;
        q_[(head_ + size_) & kMask] = {k, level};
        ++size_;
    }
    int best() const { return best_; }

  private:
    struct Entry {
        std::int64_t k;
        int level;
    };
    // The levels kept fall strictly from front to back and lie between 1 and the cap.
    static constexpr std::size_t kCapacity = 64;
    static constexpr std::size_t kMask = kCapacity - 1;
    std::size_t back() const { return (head_ + size_ - 1) & kMask; }
    void pop_front() {
        head_ = (head_ + 1) & kMask;
        --size_;
    }

    std::int64_t need_;
    int best_;
    std::array<Entry, kCapacity> q_{};
    std::size_t head_ = 0, size_ = 0;
};

// The least Sensitivity that makes a value silent, capped.
template <Situation S>
inline int level_of(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, int cap) {
    const std::int32_t v = scan_engine::value_of<S>(b0, b1, b2);
    const int above = layout_of(S).wide ? std::abs(v) >> 8 : std::abs(v - 128);
    return std::min(above + 1, cap);
}

template <Situation S>
std::optional<int> sweep(ByteSource& source, const ScanParams& p, int most) {
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

    Tracker t(need, cap);
    const auto mark = [&](std::int64_t k) { return first + k * step + L.mark; };
    const int zero_level = level_of<S>(0, 0, 0, cap);
    std::int64_t k = 0;
    // Steps that read before position 1 only all read zeros; of those, only the last
    // `need` can matter to a step after them.
    if (first <= -L.reach) {
        const std::int64_t before = std::min(total, (-L.reach - first) / step + 1);
        for (k = before - std::min(before, need); k < before; ++k)
            t.step(k, zero_level, mark(k) > 0);
    }
    // Steps that reach into the file, read a block at a time; bytes outside it read as 0.
    const std::int64_t inside = size >= first ? std::min(total, (size - first) / step + 1) : 0;
    constexpr std::int64_t kBlockSteps = std::int64_t{1} << 16;
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> levels;
    while (k < inside && t.best() > 1) {
        const std::int64_t n = std::min(kBlockSteps, inside - k);
        const std::int64_t from = first + k * step;  // 1-based position
        const std::int64_t span = (n - 1) * step + L.reach + 1;
        bytes.assign(static_cast<std::size_t>(span + 2), 0);
        const std::int64_t lo = std::max<std::int64_t>(from, 1);
        const std::int64_t hi = std::min(from + span - 1, size);
        if (lo <= hi)
            source.read_at(lo - 1, std::span(bytes).subspan(static_cast<std::size_t>(lo - from),
                                                            static_cast<std::size_t>(hi - lo + 1)));
        levels.resize(static_cast<std::size_t>(n));
        const std::uint8_t* b = bytes.data();
        for (std::int64_t i = 0; i < n; ++i, b += step)
            levels[static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(level_of<S>(b[0], b[1], b[2], cap));
        for (std::int64_t i = 0; i < n; ++i, ++k)
            t.step(k, levels[static_cast<std::size_t>(i)], mark(k) > 0);
    }
    // Steps past the end read only zeros: after the first of them nothing changes.
    if (k < total && t.best() > 1) t.step(k, zero_level, mark(k) > 0);
    if (t.best() <= most) return t.best();
    return std::nullopt;
}

// Header values lie within 32 bits; far beyond that the arithmetic of the pass could
// leave its range.
bool within_header_range(const ScanParams& p) {
    constexpr std::int64_t kFar = std::int64_t{1} << 40;
    return std::abs(p.data_start) < kFar && std::abs(p.end_mark) < kFar;
}

}  // namespace

std::optional<int> smallest_sensitivity(ByteSource& source, const ScanParams& params, int most) {
    most = std::clamp(most, 0, 62);
    if (most < 1 || params.byte_rate <= 0 || !known_situation(params.situation))
        return std::nullopt;
    if (!within_header_range(params)) return smallest_sensitivity_by_scans(source, params, most);
    switch (params.situation) {
        case 1:
            return sweep<1>(source, params, most);
        case 2:
            return sweep<2>(source, params, most);
        case 3:
            return sweep<3>(source, params, most);
        case 4:
            return sweep<4>(source, params, most);
        case 11:
            return sweep<11>(source, params, most);
        case 12:
            return sweep<12>(source, params, most);
        case 13:
            return sweep<13>(source, params, most);
        case 14:
            return sweep<14>(source, params, most);
        default:
            return std::nullopt;
    }
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

// The loudest sample of a frame, in 16-bit units without sign (0 to 32768).
template <int Bytes>
inline int frame_peak(const std::uint8_t* p, int channels) {
    int peak = 0;
    for (int c = 0; c < channels; ++c, p += Bytes) {
        int v;
        if constexpr (Bytes == 1)
            v = (p[0] - 128) * 256;
        else
            v = static_cast<std::int16_t>(
                static_cast<std::uint16_t>(p[Bytes - 2] | p[Bytes - 1] << 8));
        peak = std::max(peak, std::abs(v));
    }
    return peak;
}

template <int Bytes>
std::optional<QuietStretch> quietest(ByteSource& source, const SampleLayout& l, std::int64_t w) {
    // The loudest of the last w frames: a queue of falling peaks with their frame
    // numbers. Peaks are whole numbers up to 32768, so it never holds more than 32769.
    struct Entry {
        std::int64_t f;
        int peak;
    };
    std::size_t capacity = 1;
    while (capacity < static_cast<std::size_t>(std::min<std::int64_t>(w, 32769)) + 1) capacity *= 2;
    std::vector<Entry> q(capacity);
    const std::size_t mask = capacity - 1;
    std::size_t head = 0, size = 0;

    std::optional<QuietStretch> best;
    const std::int64_t block = std::max<std::int64_t>(1, (std::int64_t{1} << 20) / l.frame_bytes);
    std::vector<std::uint8_t> bytes;
    for (std::int64_t f = 0; f < l.frames;) {
        const std::int64_t n = std::min(block, l.frames - f);
        bytes.assign(static_cast<std::size_t>(n * l.frame_bytes), 0);
        const std::size_t got = source.read_at(l.first + f * l.frame_bytes, bytes);
        const std::int64_t whole = static_cast<std::int64_t>(got) / l.frame_bytes;
        const std::uint8_t* p = bytes.data();
        for (std::int64_t i = 0; i < whole; ++i, ++f, p += l.frame_bytes) {
            const int peak = frame_peak<Bytes>(p, l.channels);
            while (size > 0 && q[(head + size - 1) & mask].peak <= peak) --size;
            q[(head + size) & mask] = {f, peak};
            ++size;
            if (q[head].f <= f - w) {
                head = (head + 1) & mask;
                --size;
            }
            if (f >= w - 1 && (!best || q[head].peak < best->peak)) {
                best = QuietStretch{f - w + 1, w, q[head].peak};
                if (best->peak == 0) return best;  // nothing is quieter than digital silence
            }
        }
        if (whole < n) break;  // the file ends early
    }
    return best;
}

}  // namespace

std::optional<QuietStretch> quietest_stretch(ByteSource& source, const SampleLayout& layout,
                                             int filter_ms) {
    if (!layout.usable() || layout.sample_rate <= 0 || filter_ms < 0) return std::nullopt;
    const std::int64_t w =
        std::max<std::int64_t>(1, (std::int64_t{filter_ms} * layout.sample_rate + 999) / 1000);
    if (w > layout.frames) return std::nullopt;
    switch (layout.sample_bytes) {
        case 1:
            return quietest<1>(source, layout, w);
        case 2:
            return quietest<2>(source, layout, w);
        case 3:
            return quietest<3>(source, layout, w);
        default:
            return quietest<4>(source, layout, w);
    }
}

}  // namespace veltrane::preview
