#include "preview/facts_pass.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <limits>
#include <optional>
#include <vector>

#include "audio/level_kernels.h"
#include "audio/scan_engine.h"

namespace veltrane::preview {

namespace {

using scan_engine::Layout;
using scan_engine::layout_of;

// Values taken in between two looks at the windows, at least.
constexpr std::int64_t kBatch = std::int64_t{1} << 18;
// Values per group whose loudest decides whether a window can matter at all, at most.
constexpr std::int64_t kGroup = 64;
// Windows worked out at a time, at least; the limit is looked at again between them.
constexpr std::int64_t kPiece = std::int64_t{1} << 15;
// Longer windows are left to the sweeps of sweep.cpp (they keep memory small).
constexpr std::int64_t kLongestWindow = std::int64_t{1} << 22;
// Bytes read at a time when the gatherer reads for itself.
constexpr std::int64_t kReadBytes = std::int64_t{1} << 20;

void check(const KeepGoing& keep_going) {
    if (keep_going && !keep_going()) throw Stopped{};
}

// The loudest of the `w` values before each value of a sequence that arrives in pieces,
// worked out only where it can matter: a caller's limit says that windows holding a
// value at or above it are of no interest, and the values are looked at in groups, so
// that a stretch of loud groups costs a pass over its values and nothing more. Where
// it does matter, the window maxima come from log2(w) passes of pairwise maxima over
// plain arrays (each pass doubles the span), which the compiler turns into vector code.
// For each value j (counted from 0, the first added) that has w values before it and
// that lies in a stretch of interest, `judge(j0, maxima, values, n)` hears j0 .. j0 + n - 1
// with the loudest of the w values before each and the value itself.
template <class T>
class Windows {
  public:
    // Every window holds a whole group: a window of w values holds one of g when w >= 2g - 1.
    // `records_only`: the judge has no use for a value that is not louder than every value
    // of its window, so that a group whose loudest does not exceed the loudest of the
    // groups surely inside the windows of its values is passed over.
    Windows(std::int64_t w, bool records_only)
        : w_(w),
          group_(std::clamp<std::int64_t>((w + 1) / 2, 1, kGroup)),
          records_only_(records_only && w >= 2 * kGroup) {}

    template <class Limit, class Judge>
    void add(const T* v, std::int64_t n, Limit&& limit, Judge&& judge) {
        std::copy(v, v + n, space(n));
        commit(n, limit, judge);
    }
    // Room for the next n values, to be written there and then committed.
    T* space(std::int64_t n) {
        if (size_ + n > capacity_) {
            capacity_ = std::max(2 * capacity_, size_ + n);
            auto bigger = std::make_unique_for_overwrite<T[]>(static_cast<std::size_t>(capacity_));
            std::copy(a_.get(), a_.get() + size_, bigger.get());
            a_ = std::move(bigger);
        }
        return a_.get() + size_;
    }
    template <class Limit, class Judge>
    void commit(std::int64_t n, Limit&& limit, Judge&& judge) {
        size_ += n;
        if (size_ >= w_ + kBatch) run(limit, judge);
    }
    template <class Limit, class Judge>
    void flush(Limit&& limit, Judge&& judge) {
        run(limit, judge);
    }
    std::int64_t added() const { return base_ + size_; }
    // Values written to space() that only make up the windows of later ones.
    void hold(std::int64_t n) { size_ += n; }
    // Forgets the values held: the next value added is value `first`, and no value before
    // `judged` is judged (the caller passed over them).
    void restart(std::int64_t first, std::int64_t judged) {
        base_ = first;
        size_ = 0;
        judged_ = std::max(judged_, judged);
    }

  private:
    template <class Limit, class Judge>
    void run(Limit& limit, Judge& judge) {
        const std::int64_t len = size_;
        const T* a = a_.get();
        std::int64_t next = std::max(w_, judged_) - base_;  // the first value still to judge
        if (next < len) {
            const std::int64_t groups = (len + group_ - 1) / group_;
            loudest_.resize(static_cast<std::size_t>(groups));
            const std::int64_t whole = group_ == kGroup ? len / group_ : 0;
            group_loudest_(a, whole, loudest_.data());
            for (std::int64_t g = whole; g < groups; ++g) {
                const T* p = a + g * group_;
                T m = 0;
                const std::int64_t n = std::min(group_, len - g * group_);
                for (std::int64_t i = 0; i < n; ++i) m = std::max(m, p[i]);
                loudest_[static_cast<std::size_t>(g)] = m;
            }
            if (records_only_) {
                records(next, len, limit, judge);
                next = len;
            }
            std::int64_t g = std::max<std::int64_t>(0, (next - w_) / group_);
            const std::int64_t piece = std::max(kPiece, 2 * w_);
            while (g < groups && next < len) {
                const T lim = limit();
                if (loudest_[static_cast<std::size_t>(g)] >= lim) {
                    ++g;
                    continue;
                }
                // A run of quiet groups; a window of interest lies within it and at most
                // a group less one on either side.
                const std::int64_t gs = g;
                while (g < groups && loudest_[static_cast<std::size_t>(g)] < lim) ++g;
                if ((g - gs) * group_ + 2 * (group_ - 1) < w_) continue;
                const std::int64_t from = std::max<std::int64_t>(0, (gs - 1) * group_);
                const std::int64_t to = std::min(len, (g + 1) * group_);
                const std::int64_t jb = std::max(next, from + w_);
                const std::int64_t stretch_end = std::min(len, to + 1);
                const std::int64_t je = std::min(stretch_end, jb + piece);
                if (jb >= je) continue;
                evaluate(jb, je, judge);
                next = je;
                // Cut short: look again from here, with the limit as it is now.
                if (je < stretch_end) g = std::max(gs, (next - w_) / group_);
            }
        }
        judged_ = base_ + len;
        const std::int64_t drop = len - std::min(len, w_);
        std::copy(a_.get() + drop, a_.get() + len, a_.get());
        size_ -= drop;
        base_ += drop;
    }

    // The loudest of groups lo .. hi (none when lo > hi), from the table of runs of groups.
    T loudest_of(std::int64_t lo, std::int64_t hi) const {
        if (lo > hi) return 0;
        const int k = std::bit_width(static_cast<std::uint64_t>(hi - lo + 1)) - 1;
        const std::vector<T>& t = table_[static_cast<std::size_t>(k)];
        return std::max(t[static_cast<std::size_t>(lo)],
                        t[static_cast<std::size_t>(hi - (std::int64_t{1} << k) + 1)]);
    }

    // Only the values louder than their window can matter: a group whose loudest is no
    // louder than the groups inside every window of its values is passed over, and the
    // rest are worked out a value at a time from the suffix of the group the window
    // starts in, the whole groups after it and the prefix of the value's own group.
    template <class Limit, class Judge>
    void records(std::int64_t next, std::int64_t len, Limit& limit, Judge& judge) {
        const std::int64_t G = group_;
        const auto groups = static_cast<std::int64_t>(loudest_.size());
        const T* a = a_.get();
        // table_[k][i]: the loudest of groups i .. i + 2^k - 1.
        table_.resize(1);
        table_[0] = loudest_;
        for (std::int64_t span = 1; 2 * span <= groups; span *= 2) {
            std::vector<T> t(static_cast<std::size_t>(groups - 2 * span + 1));
            // Plain pointers, so that the loop runs in vector registers.
            const T* __restrict from = table_.back().data();
            T* __restrict to = t.data();
            const auto n = static_cast<std::int64_t>(t.size());
            for (std::int64_t i = 0; i < n; ++i) to[i] = std::max(from[i], from[i + span]);
            table_.push_back(std::move(t));
        }
        // The groups inside the window of every value of group g are the `d` before it:
        // their loudest, for every group at once, and whether the group can matter.
        const std::int64_t g0 = next / G;
        const std::int64_t d = (w_ - G + 1) / G;
        const int k = std::bit_width(static_cast<std::uint64_t>(d)) - 1;
        const std::int64_t sk = std::int64_t{1} << k;
        worth_.assign(static_cast<std::size_t>(std::max<std::int64_t>(0, groups - g0)), 0);
        {
            const T* __restrict tk = table_[static_cast<std::size_t>(k)].data();
            const T* __restrict gm = loudest_.data();
            std::uint8_t* __restrict worth = worth_.data();
            const T lim = limit();
            for (std::int64_t g = g0; g < groups; ++g) {
                const T inside = std::max(tk[g - d], tk[g - sk]);
                worth[g - g0] = (gm[g] > inside) & (inside < lim);
            }
        }
        for (std::int64_t g = g0; g < groups; ++g) {
            if (!worth_[static_cast<std::size_t>(g - g0)]) continue;
            const std::int64_t gb = g * G;
            const std::int64_t jlo = std::max(gb, next), jhi = std::min(gb + G, len);
            if (jlo >= jhi) continue;
            const T inside = loudest_of(g - d, g - 1);
            if (inside >= limit()) continue;
            // Suffix maxima within the groups the windows start in.
            const std::int64_t sb = (jlo - w_) / G * G;
            const std::int64_t se = ((jhi - 1 - w_) / G + 1) * G;
            suffix_.resize(static_cast<std::size_t>(se - sb));
            for (std::int64_t p = se - 1; p >= sb; --p)
                suffix_[static_cast<std::size_t>(p - sb)] =
                    (p + 1) % G == 0
                        ? a[p]
                        : std::max(a[p], suffix_[static_cast<std::size_t>(p + 1 - sb)]);
            T prefix = 0;
            for (std::int64_t p = gb; p < jlo; ++p) prefix = std::max(prefix, a[p]);
            maxima_.resize(static_cast<std::size_t>(jhi - jlo));
            for (std::int64_t j = jlo; j < jhi; ++j) {
                const std::int64_t s = j - w_;
                const std::int64_t hs = (s + G - 1) / G;
                const T head = s % G != 0 ? suffix_[static_cast<std::size_t>(s - sb)] : T{0};
                maxima_[static_cast<std::size_t>(j - jlo)] =
                    std::max({head, loudest_of(hs, g - 1), prefix});
                prefix = std::max(prefix, a[j]);
            }
            judge(base_ + jlo, static_cast<const T*>(maxima_.data()), a + jlo, jhi - jlo);
        }
    }

    // The window maxima for the values jb .. je - 1 (indices into a_).
    template <class Judge>
    void evaluate(std::int64_t jb, std::int64_t je, Judge& judge) {
        std::int64_t m = je - jb + w_ - 1;
        t_.resize(static_cast<std::size_t>(m));
        u_.resize(static_cast<std::size_t>(m));
        std::copy(a_.get() + (jb - w_), a_.get() + (je - 1), t_.begin());
        T* __restrict cur = t_.data();
        T* __restrict nxt = u_.data();
        std::int64_t span = 1;
        while (2 * span <= w_) {
            const std::int64_t n = m - span;
            for (std::int64_t i = 0; i < n; ++i) nxt[i] = std::max(cur[i], cur[i + span]);
            std::swap(cur, nxt);
            m = n;
            span *= 2;
        }
        // cur[i] is the loudest of the `span` values from i on.
        const std::int64_t n = je - jb;
        maxima_.resize(static_cast<std::size_t>(n));
        T* __restrict out = maxima_.data();
        const T* __restrict late = cur + (w_ - span);
        for (std::int64_t i = 0; i < n; ++i) out[i] = std::max(cur[i], late[i]);
        judge(base_ + jb, static_cast<const T*>(out), a_.get() + jb, n);
    }

    std::int64_t w_, group_;
    bool records_only_;
    scan_engine::GroupLoudestFn<T> group_loudest_ =
        scan_engine::group_loudest_kernel<T>(scan_engine::fastest());
    std::vector<std::vector<T>> table_;
    std::vector<T> suffix_;
    std::vector<std::uint8_t> worth_;
    std::int64_t base_ = 0;    // the index of a_[0]
    std::int64_t judged_ = 0;  // every value before this has been judged or passed over
    std::unique_ptr<T[]> a_;   // the values kept and added: size_ of capacity_
    std::int64_t size_ = 0, capacity_ = 0;
    std::vector<T> t_, u_, maxima_, loudest_;
};

// Passes over the blocks of a file in which no value can matter, so that most of a long
// file costs one look at the loudest of each group of 64 values. A window can matter only
// when it is quieter than the limit, and then so is every group wholly inside it; a window
// of w values holds at least (w - 63) / 64 whole groups. So a block is passed over unless a
// run of that many quiet groups ends in it or was running when it began. The windows hold
// the values of the blocks that matter; the bytes of the last w units are kept, so that a
// block that matters after some that did not has the values before it.
template <class T>
class Gate {
  public:
    // Units (steps, frames) `step` bytes apart, each reading `span` bytes; windows of w.
    Gate(std::int64_t w, int step, int span)
        : w_(w), step_(step), span_(span), least_(w >= 127 ? (w - 63) / 64 : 0) {}
    // Whether the gate can pass anything over (long enough windows, not too many bytes
    // to keep).
    bool usable() const { return least_ > 0 && w_ * step_ + span_ <= kKeptBytes; }

    // Units k0 .. k0 + n - 1 from b, each wholly in the block: `values(b, n, out)` makes
    // the values of n units from b, `groups(b, n, out)` the loudest of each whole group of
    // 64 (n / 64 of them), and `bounds` a bound from below on it, at less cost (when
    // `bounded`; a block the bounds cannot pass over is looked at again with `groups`).
    template <class Values, class Groups, class Bounds, class Limit, class Judge>
    void take(Windows<T>& windows, const std::uint8_t* b, std::int64_t k0, std::int64_t n,
              Values&& values, Groups&& groups, Bounds&& bounds, bool bounded, Limit&& limit,
              Judge&& judge) {
        if (n <= 0) return;
        windows_ = &windows;
        const T lim = limit();
        const std::int64_t run = run_;
        const T partial = partial_;
        bool matters = bounded ? walk(b, k0, n, values, bounds, lim) : true;
        if (matters) {
            run_ = run;
            partial_ = partial;
            matters = walk(b, k0, n, values, groups, lim);
        }

        if (matters) {
            if (!live_) wake(values);
            for (std::int64_t fed = 0; fed < n;) {
                const std::int64_t m = std::min(kChunk, n - fed);
                values(b + fed * step_, m, windows.space(m));
                windows.commit(m, limit, judge);
                fed += m;
            }
        } else if (live_) {
            windows.flush(limit, judge);
            live_ = false;
        }
        keep(b, k0, n);
        next_ = k0 + n;
    }

    // Before values are added to the windows otherwise (at the end of the file): the
    // windows take back the values they need of those passed over.
    template <class Values>
    void wake(Values&& values) {
        if (live_) return;
        const std::int64_t first = std::max<std::int64_t>(0, next_ - w_);
        windows_->restart(first, next_);
        const std::int64_t n = next_ - first;
        values(kept_.data() + (first - kept_first_) * step_, n, windows_->space(n));
        windows_->hold(n);
        live_ = true;
    }

  private:
    static constexpr std::int64_t kKeptBytes = std::int64_t{1} << 20;
    static constexpr std::int64_t kChunk = std::int64_t{1} << 16;

    // Follows the groups that become whole among units k0 .. k0 + n - 1 (their loudest
    // from `groups`): whether a window of a unit among them can matter.
    template <class Values, class Groups>
    bool walk(const std::uint8_t* b, std::int64_t k0, std::int64_t n, Values& values,
              Groups& groups, T lim) {
        bool matters = run_ >= least_;
        // The group k0 lies in, as far as this block goes.
        std::int64_t k = k0;
        const std::int64_t head = std::min(n, (64 - k0 % 64) % 64);
        if (head > 0) {
            partial_ = std::max(partial_, loudest_of(b, head, values));
            k += head;
            if (k % 64 == 0) {
                look(&partial_, 1, lim, matters);
                partial_ = 0;
            }
        }
        const std::int64_t whole = (k0 + n - k) / 64;
        if (whole > 0) {
            loudest_.resize(static_cast<std::size_t>(whole));
            groups(b + (k - k0) * step_, k0 + n - k, loudest_.data());
            look(loudest_.data(), whole, lim, matters);
            k += 64 * whole;
        }
        if (k < k0 + n) partial_ = loudest_of(b + (k - k0) * step_, k0 + n - k, values);
        return matters;
    }
    // Follows the run of quiet groups over n more, 64 at a time as bits.
    void look(const T* m, std::int64_t n, T lim, bool& matters) {
        for (std::int64_t i = 0; i < n; i += 64) {
            const int c = static_cast<int>(std::min<std::int64_t>(64, n - i));
            const std::uint64_t quiet = scan_engine::below_bits(m + i, c, lim);
            const int on = std::countr_one(quiet);  // the run goes on for these
            if (on >= c) {
                run_ += c;
                matters |= run_ >= least_;
                continue;
            }
            matters |= run_ + on >= least_ || holds_run(quiet);
            run_ = std::countl_one(quiet << (64 - c));
        }
    }
    // Whether `bits` has a run of least_ ones.
    bool holds_run(std::uint64_t bits) const {
        if (least_ > 64) return false;
        for (std::int64_t r = 1; r < least_;) {  // a bit stands for a run of r from it
            const std::int64_t s = std::min(r, least_ - r);
            bits &= bits >> s;
            r += s;
        }
        return bits != 0;
    }
    template <class Values>
    T loudest_of(const std::uint8_t* b, std::int64_t n, Values& values) {
        T v[64];
        values(b, n, v);
        return *std::max_element(v, v + n);
    }
    // The bytes of the last w units up to k0 + n.
    void keep(const std::uint8_t* b, std::int64_t k0, std::int64_t n) {
        const std::int64_t first = std::max<std::int64_t>(0, k0 + n - w_);
        if (first >= k0) {
            kept_.assign(b + (first - k0) * step_, b + (n - 1) * step_ + span_);
        } else {
            // What is kept already, less the bytes the next unit reads again.
            kept_.erase(kept_.begin(), kept_.begin() + (first - kept_first_) * step_);
            kept_.resize(static_cast<std::size_t>((k0 - first) * step_));
            kept_.insert(kept_.end(), b, b + (n - 1) * step_ + span_);
        }
        kept_first_ = first;
    }

    std::int64_t w_;
    int step_, span_;
    std::int64_t least_;  // whole groups in a window, at least
    std::int64_t run_ = 0;
    T partial_ = 0;          // the loudest so far of the group not yet whole
    bool live_ = true;       // the windows hold every value so far
    std::int64_t next_ = 0;  // the units taken
    std::vector<T> loudest_;
    std::vector<std::uint8_t> kept_;
    std::int64_t kept_first_ = 0;
    Windows<T>* windows_ = nullptr;
};

// The bounds of 16-bit stereo's three parts, worked out once per block for all three from
// the same bytes (one read of them instead of three): for normal speed two groups per
// chunk of 256 bytes, for Double Speed and the frames one.
struct SharedBounds {
    scan_engine::Stereo16BoundsFn kernel = nullptr;
    std::int64_t first = 0;   // the offset of frame 0 and of every part's first step
    std::int64_t from = 0;    // the offset of this block's first chunk
    std::int64_t chunks = 0;  // worked out in this block
    std::vector<std::uint8_t> normal, fast;
    std::vector<std::uint16_t> frames;

    void take(std::int64_t offset, const std::uint8_t* bytes, std::int64_t n) {
        from = first + std::max<std::int64_t>(0, (offset - first + 255) / 256) * 256;
        const std::int64_t room = offset + n - from - 193;  // a chunk reads 193 bytes
        chunks = room < 0 ? 0 : (room / 256 + 1) / 8 * 8;
        if (chunks == 0) return;
        normal.resize(static_cast<std::size_t>(2 * chunks));
        fast.resize(static_cast<std::size_t>(chunks));
        frames.resize(static_cast<std::size_t>(chunks));
        kernel(bytes + (from - offset), chunks, kMostSensitivity + 1, normal.data(), fast.data(),
               frames.data());
    }

    // Copies the bounds of the g groups `group_bytes` wide from offset `at` that this block
    // has, from `table`: groups lo .. hi - 1 of them (none when lo >= hi).
    template <class T>
    std::pair<std::int64_t, std::int64_t> copy(std::int64_t at, std::int64_t group_bytes,
                                               std::int64_t g, const std::vector<T>& table,
                                               T* out) const {
        const std::int64_t size = chunks * (256 / group_bytes);
        const std::int64_t i = (at - from) / group_bytes;  // exact: both lie on group edges
        const std::int64_t lo = std::clamp<std::int64_t>(-i, 0, g);
        const std::int64_t hi = std::clamp<std::int64_t>(size - i, 0, g);
        if (lo < hi) std::copy(table.begin() + (i + lo), table.begin() + (i + hi), out + lo);
        return {lo, hi};
    }
};

// Bounds from the shared ones where the block has them, from `own(b, n, out)` elsewhere.
template <class T, class Own>
void bounds_from(const SharedBounds* shared, const std::vector<T> SharedBounds::*table,
                 std::int64_t at, int step, const std::uint8_t* b, std::int64_t n, T* out,
                 Own&& own) {
    const std::int64_t g = n / 64;
    const auto [lo, hi] = shared && shared->chunks > 0
                              ? shared->copy(at, 64 * step, g, shared->*table, out)
                              : std::pair<std::int64_t, std::int64_t>{0, 0};
    if (lo >= hi) return own(b, n, out);
    // (One unit more than the groups, so that a kernel that reads past a group's units may.)
    if (lo > 0) own(b, 64 * lo + 1, out);
    if (hi < g) own(b + 64 * hi * step, n - 64 * hi, out + hi);
}

using scan_engine::LevelFn;

// Something the pass follows: units (steps, frames) of bytes at evenly spaced offsets.
class Part {
  public:
    virtual ~Part() = default;
    // The offset of the next unit wanted, and the end of the bytes any unit reads.
    virtual std::int64_t next_offset() const = 0;
    virtual std::int64_t end_offset() const = 0;
    // Bytes [offset, offset + n) of the file; `end` is where the file's bytes end
    // (beyond it they read as zero).
    virtual void take(std::int64_t offset, const std::uint8_t* bytes, std::int64_t n,
                      std::int64_t end) = 0;
    virtual bool done() const = 0;
    // Every unit has been taken in.
    virtual bool read_all() const = 0;
    bool wants_more() const { return !done() && !read_all(); }
};

// One sweep over the Sensitivity values at one speed: the smallest that records a
// silence, and, when asked, the silences recorded at one Sensitivity.
class SweepPart final : public Part {
  public:
    SweepPart(const ScanParams& p, std::int64_t size, std::int64_t need, std::optional<int> count)
        : layout_(layout_of(p.situation)),
          levels_of_(scan_engine::level_kernel(scan_engine::fastest(), p.situation)),
          first_(p.data_start - 1),
          need_(need),
          count_at_(count),
          windows_(need, true) {
        const Layout l = layout_of(p.situation);
        if (Gate<std::uint8_t> g(need, l.step, l.reach + 1); g.usable()) {
            gate_.emplace(g);
            groups_of_ = scan_engine::group_level_kernel(scan_engine::fastest(), p.situation);
            bounds_of_ = scan_engine::group_level_bound_kernel(scan_engine::fastest(), p.situation);
        }
        const std::int64_t last_from = p.end_mark - layout_.end;
        total_ = last_from > p.data_start
                     ? (last_from - p.data_start + layout_.step - 1) / layout_.step + 1
                     : 1;
        inside_ =
            size >= p.data_start ? std::min(total_, (size - p.data_start) / layout_.step + 1) : 0;
        zero_level_ = level_at_zero();
    }

    // The levels of n steps from b.
    auto levels() {
        return [this](const std::uint8_t* b, std::int64_t n, std::uint8_t* out) {
            levels_of_(b, n, kCap, out);
        };
    }
    std::int64_t next_offset() const override { return first_ + k_ * layout_.step; }
    std::int64_t end_offset() const override {
        return inside_ > 0 ? first_ + (inside_ - 1) * layout_.step + layout_.reach + 1 : 0;
    }
    bool done() const override { return best_ <= 1 && !count_at_; }

    void take(std::int64_t offset, const std::uint8_t* bytes, std::int64_t n,
              std::int64_t end) override {
        const int step = layout_.step;
        const int span = layout_.reach + 1;
        std::int64_t at = next_offset();
        if (k_ >= inside_ || at < offset || done()) return;
        const std::int64_t block_end = offset + n;
        // Steps whose bytes all lie in the block.
        if (at + span <= block_end) {
            const std::int64_t whole = std::min(inside_ - k_, (block_end - at - span) / step + 1);
            if (gate_) {
                gate_->take(
                    windows_, bytes + (at - offset), k_, whole, levels(),
                    [this](const std::uint8_t* b, std::int64_t n, std::uint8_t* out) {
                        groups_of_(b, n, kCap, out);
                    },
                    [&](const std::uint8_t* b, std::int64_t n, std::uint8_t* out) {
                        bounds_from(shared_, shared_table_, offset + (b - bytes), layout_.step, b,
                                    n, out,
                                    [this](const std::uint8_t* q, std::int64_t m, std::uint8_t* o) {
                                        bounds_of_(q, m, kCap, o);
                                    });
                    },
                    bounds_of_ != nullptr, [this] { return limit(); },
                    [this](auto... a) { judge(a...); });
                k_ += whole;
                at += whole * step;
            } else {
                for (std::int64_t fed = 0; fed < whole && !done();) {
                    const std::int64_t m = std::min<std::int64_t>(kChunk, whole - fed);
                    std::uint8_t* levels = windows_.space(m);
                    levels_of_(bytes + (at - offset), m, kCap, levels);
                    if (follower_) follower_->follow(k_, levels, m);
                    windows_.commit(
                        m, [this] { return limit(); }, [this](auto... a) { judge(a...); });
                    k_ += m;
                    fed += m;
                    at += m * step;
                }
            }
        }
        if (block_end < end || done()) return;
        if (gate_) gate_->wake(levels());
        // The block ends the file's bytes: the steps that reach past them read zeros there.
        while (k_ < inside_ && at < end && !done()) {
            std::uint8_t b[4] = {0, 0, 0, 0};
            for (int i = 0; i < std::min(span, 4); ++i)
                if (at + i < end) b[i] = bytes[at - offset + i];
            std::uint8_t l = 0;
            levels_of_(b, 1, kCap, &l);
            feed(&l, 1);
            ++k_;
            at += step;
        }
        // Steps that read nothing of the file: all zeros, of which `need` + 1 tell all.
        if (k_ < inside_ && !done()) {
            const std::int64_t zeros = std::min(inside_ - k_, need_ + 1);
            const std::vector<std::uint8_t> z(static_cast<std::size_t>(zeros), zero_level_);
            feed(z.data(), zeros);
        }
        k_ = inside_;
    }
    bool read_all() const override { return k_ >= inside_; }

    void answer(std::optional<int>& smallest, std::optional<std::size_t>* finds) {
        if (gate_) gate_->wake(levels());
        // Steps that read past the end of the file (or all of theirs beyond it) read zeros;
        // after the first such step nothing changes.
        if (!done() && k_ < total_) {
            const std::int64_t zeros = std::min(total_ - k_, need_ + 1);
            const std::vector<std::uint8_t> z(static_cast<std::size_t>(zeros), zero_level_);
            feed(z.data(), zeros);
        }
        windows_.flush([this] { return limit(); }, [this](auto... a) { judge(a...); });
        if (best_ <= kMost) smallest = best_;
        if (finds && count_at_) *finds = found_;
    }
    std::size_t found() const { return found_; }

    // Bounds from those worked out for all parts at once, where the block has them.
    void share(const SharedBounds* shared, std::vector<std::uint8_t> SharedBounds::*table) {
        if (gated()) {
            shared_ = shared;
            shared_table_ = table;
        }
    }
    bool gated() const { return gate_ && bounds_of_; }
    // Double Speed takes every other step of normal speed (the same bytes, read the same
    // way): the steps of `follower` are taken from the levels this part works out, as far
    // as they go, and the follower reads for itself what is left.
    void lead(SweepPart& follower) {
        if (!gate_ && !follower.gate_) follower_ = &follower;
    }
    void follow(std::int64_t k, const std::uint8_t* levels, std::int64_t n) {
        const std::int64_t j0 = (k + 1) / 2;
        const std::int64_t j1 = std::min((k + n + 1) / 2, inside_);
        if (j0 != k_ || j1 <= j0 || done()) return;
        every_other_(levels + (2 * j0 - k), j1 - j0, windows_.space(j1 - j0));
        windows_.commit(
            j1 - j0, [this] { return limit(); }, [this](auto... a) { judge(a...); });
        k_ = j1;
    }
    // Whether `fast` takes every other step of this part.
    bool leads(const ScanParams& normal, const ScanParams& fast) const {
        return fast.data_start == normal.data_start &&
               layout_of(fast.situation).step == 2 * layout_.step &&
               layout_of(fast.situation).reach == layout_.reach &&
               fast.situation == normal.situation + 10;
    }

  private:
    static constexpr int kMost = kMostSensitivity;
    static constexpr int kCap = kMostSensitivity + 1;
    static constexpr std::int64_t kChunk = std::int64_t{1} << 16;

    std::uint8_t level_at_zero() const {
        const std::uint8_t zeros[3] = {0, 0, 0};
        std::uint8_t l = 0;
        levels_of_(zeros, 1, kCap, &l);
        return l;
    }

    void feed(const std::uint8_t* levels, std::int64_t n) {
        windows_.add(
            levels, n, [this] { return limit(); }, [this](auto... a) { judge(a...); });
    }
    std::uint8_t limit() const {
        return static_cast<std::uint8_t>(count_at_ ? std::max(best_, *count_at_ + 1) : best_);
    }
    void judge(std::int64_t, const std::uint8_t* loudest, const std::uint8_t* level,
               std::int64_t n) {
        const std::uint8_t* __restrict m = loudest;
        const std::uint8_t* __restrict l = level;
        std::uint8_t best = static_cast<std::uint8_t>(best_);
        for (std::int64_t i = 0; i < n; ++i) {
            const std::uint8_t c = m[i] < l[i] ? m[i] : 255;
            best = std::min(best, c);
        }
        best_ = best;
        if (count_at_) {
            const auto s = static_cast<std::uint8_t>(*count_at_);
            std::size_t found = 0;
            for (std::int64_t i = 0; i < n; ++i) found += (m[i] <= s) & (l[i] > s);
            found_ += found;
        }
    }

    Layout layout_;
    LevelFn levels_of_;
    scan_engine::EveryOtherFn every_other_ =
        scan_engine::every_other_kernel(scan_engine::fastest());
    std::int64_t first_;  // offset of step 0
    std::int64_t need_;
    std::optional<int> count_at_;
    std::int64_t total_ = 0, inside_ = 0;
    std::int64_t k_ = 0;  // the next step
    std::uint8_t zero_level_ = 0;
    int best_ = kCap;
    std::size_t found_ = 0;
    Windows<std::uint8_t> windows_;
    std::optional<Gate<std::uint8_t>> gate_;
    scan_engine::GroupLevelFn groups_of_ = nullptr, bounds_of_ = nullptr;
    const SharedBounds* shared_ = nullptr;
    std::vector<std::uint8_t> SharedBounds::*shared_table_ = nullptr;
    SweepPart* follower_ = nullptr;
};

// The quietest stretch of w frames.
class QuietPart final : public Part {
  public:
    QuietPart(const SampleLayout& l, std::int64_t w)
        : l_(l),
          peaks_of_(scan_engine::peak_kernel(scan_engine::fastest(), l.sample_bytes, l.channels,
                                             l.frame_bytes)),
          w_(w),
          windows_(w, false) {
        if (Gate<std::uint16_t> g(w, l.frame_bytes, l.frame_bytes); g.usable()) {
            gate_.emplace(g);
            groups_of_ = scan_engine::group_peak_kernel(scan_engine::fastest(), l.sample_bytes,
                                                        l.channels, l.frame_bytes);
            bounds_of_ = scan_engine::group_peak_bound_kernel(
                scan_engine::fastest(), l.sample_bytes, l.channels, l.frame_bytes);
        }
    }

    // The peaks of n frames from b.
    auto peaks() {
        return [this](const std::uint8_t* b, std::int64_t n, std::uint16_t* out) {
            peaks_of_(b, n, l_.channels, l_.frame_bytes, out);
        };
    }
    std::int64_t next_offset() const override { return l_.first + f_ * l_.frame_bytes; }
    std::int64_t end_offset() const override { return l_.first + l_.frames * l_.frame_bytes; }
    bool done() const override { return best_ == 0; }

    void take(std::int64_t offset, const std::uint8_t* bytes, std::int64_t n,
              std::int64_t end) override {
        const std::int64_t at = next_offset();
        if (f_ >= l_.frames || at < offset || done()) return;
        const std::int64_t whole =
            std::min(l_.frames - f_, std::max<std::int64_t>(0, offset + n - at) / l_.frame_bytes);
        if (whole > 0 && gate_) {
            gate_->take(
                windows_, bytes + (at - offset), f_, whole, peaks(),
                [this](const std::uint8_t* b, std::int64_t n, std::uint16_t* out) {
                    groups_of_(b, n, l_.channels, l_.frame_bytes, out);
                },
                [&](const std::uint8_t* b, std::int64_t n, std::uint16_t* out) {
                    bounds_from(shared_, &SharedBounds::frames, offset + (b - bytes),
                                l_.frame_bytes, b, n, out,
                                [this](const std::uint8_t* q, std::int64_t m, std::uint16_t* o) {
                                    bounds_of_(q, m, l_.channels, l_.frame_bytes, o);
                                });
                },
                bounds_of_ != nullptr, [this] { return limit(); },
                [this](auto... a) { judge(a...); });
            f_ += whole;
        } else if (whole > 0) {
            peaks_of_(bytes + (at - offset), whole, l_.channels, l_.frame_bytes,
                      windows_.space(whole));
            windows_.commit(
                whole, [this] { return limit(); }, [this](auto... a) { judge(a...); });
            f_ += whole;
        }
        if (offset + n >= end && next_offset() + l_.frame_bytes > end)
            f_ = l_.frames;  // ends early
    }
    bool read_all() const override { return f_ >= l_.frames; }

    void share(const SharedBounds* shared) {
        if (gated()) shared_ = shared;
    }
    bool gated() const { return gate_ && bounds_of_; }

    std::optional<QuietStretch> answer() {
        if (!done() && gate_) gate_->wake(peaks());
        if (!done()) {
            // One more value makes the last window's loudest known.
            const std::uint16_t after = 0;
            if (windows_.added() >= w_) {
                windows_.add(
                    &after, 1, [this] { return limit(); }, [this](auto... a) { judge(a...); });
                windows_.flush([this] { return limit(); }, [this](auto... a) { judge(a...); });
            }
        }
        if (best_ == kNone) return std::nullopt;
        return QuietStretch{best_at_, w_, best_};
    }

  private:
    static constexpr int kNone = 65536;
    std::uint16_t limit() const { return static_cast<std::uint16_t>(std::min(best_, 65535)); }
    void judge(std::int64_t j0, const std::uint16_t* loudest, const std::uint16_t*,
               std::int64_t n) {
        std::uint16_t least = 65535;
        for (std::int64_t i = 0; i < n; ++i) least = std::min(least, loudest[i]);
        if (least >= best_) return;
        for (std::int64_t i = 0; i < n; ++i) {
            if (loudest[i] == least) {
                best_ = least;
                best_at_ = j0 + i - w_;
                return;
            }
        }
    }

    SampleLayout l_;
    scan_engine::PeakFn peaks_of_;
    std::int64_t w_;
    std::int64_t f_ = 0;  // the next frame
    int best_ = kNone;
    std::int64_t best_at_ = 0;
    Windows<std::uint16_t> windows_;
    std::optional<Gate<std::uint16_t>> gate_;
    scan_engine::GroupPeakFn groups_of_ = nullptr, bounds_of_ = nullptr;
    const SharedBounds* shared_ = nullptr;
};

// Header values lie within 32 bits; the sweeps of sweep.cpp take what lies beyond.
bool plain_enough(const ScanParams& p, std::int64_t need) {
    constexpr std::int64_t kFar = std::int64_t{1} << 40;
    return p.data_start >= 1 && p.data_start < kFar && std::abs(p.end_mark) < kFar &&
           need <= kLongestWindow;
}

std::int64_t steps_needed(const ScanParams& p) {
    const int step = layout_of(p.situation).step;
    return (scan_engine::shortest_recorded(p.filter_ms, p.byte_rate) + step - 1) / step;
}

bool asks(const ScanParams& p) {
    return p.situation != 0 && known_situation(p.situation) && p.byte_rate > 0;
}

}  // namespace

struct FactsGatherer::Parts {
    PassQuestions q;
    std::int64_t size = 0;
    std::int64_t end = 0;  // where the file's bytes end as read so far
    std::unique_ptr<SweepPart> normal, fast;
    std::unique_ptr<QuietPart> quiet;
    // Answers the pass leaves to the sweeps of sweep.cpp.
    bool normal_apart = false, fast_apart = false, quiet_apart = false;
    // The part that follows the scan being explained, and whether it recorded a silence.
    SweepPart* watched = nullptr;
    bool recorded = false;
    SharedBounds shared;

    std::vector<Part*> all() const {
        std::vector<Part*> v;
        for (Part* p : {static_cast<Part*>(normal.get()), static_cast<Part*>(fast.get()),
                        static_cast<Part*>(quiet.get())})
            if (p) v.push_back(p);
        return v;
    }
};

FactsGatherer::FactsGatherer(const PassQuestions& q, std::int64_t file_size)
    : parts_(std::make_unique<Parts>()) {
    Parts& p = *parts_;
    p.q = q;
    p.size = p.end = std::max<std::int64_t>(0, file_size);
    if (asks(q.normal)) {
        const std::int64_t need = steps_needed(q.normal);
        const bool watch = q.give_up_at && !q.give_up_fast;
        if (plain_enough(q.normal, need)) {
            p.normal = std::make_unique<SweepPart>(q.normal, p.size, need,
                                                   watch ? q.give_up_at : std::nullopt);
            if (watch) p.watched = p.normal.get();
        } else {
            p.normal_apart = true;
        }
    }
    if (asks(q.fast)) {
        const std::int64_t need = steps_needed(q.fast);
        if (plain_enough(q.fast, need) &&
            (!q.count_fast_at || (*q.count_fast_at >= 1 && *q.count_fast_at <= 50)))
            p.fast = std::make_unique<SweepPart>(q.fast, p.size, need, q.count_fast_at);
        else
            p.fast_apart = true;
    }
    if (p.normal && p.fast && p.normal->leads(q.normal, q.fast)) p.normal->lead(*p.fast);
    const SampleLayout& l = q.layout;
    if (l.usable() && l.sample_rate > 0 && q.filter_ms >= 0) {
        const std::int64_t w =
            std::max<std::int64_t>(1, (std::int64_t{q.filter_ms} * l.sample_rate + 999) / 1000);
        if (w > kLongestWindow)
            p.quiet_apart = true;
        else if (w <= l.frames && l.first >= 0)
            p.quiet = std::make_unique<QuietPart>(l, w);
    }
    // 16-bit stereo with every part gated: their bounds from one read of each block.
    if (p.normal && p.fast && p.quiet && p.normal->gated() && p.fast->gated() && p.quiet->gated() &&
        q.normal.situation == 4 && q.fast.situation == 14 &&
        q.fast.data_start == q.normal.data_start && q.layout.sample_bytes == 2 &&
        q.layout.channels == 2 && q.layout.frame_bytes == 4 &&
        q.layout.first == q.normal.data_start - 1) {
        p.shared.kernel = scan_engine::stereo16_bounds_kernel(scan_engine::fastest());
        p.shared.first = q.layout.first;
        if (p.shared.kernel) {
            p.normal->share(&p.shared, &SharedBounds::normal);
            p.fast->share(&p.shared, &SharedBounds::fast);
            p.quiet->share(&p.shared);
        }
    }
}

FactsGatherer::~FactsGatherer() = default;

void FactsGatherer::take(std::int64_t offset, std::span<const std::uint8_t> bytes) {
    if (offset < 0) return;
    const auto n = static_cast<std::int64_t>(bytes.size());
    Parts& p = *parts_;
    if (p.recorded) return;
    if (p.shared.kernel) p.shared.take(offset, bytes.data(), n);
    for (Part* part : p.all())
        if (part->wants_more()) part->take(offset, bytes.data(), n, p.end);
    p.recorded = p.watched && p.watched->found() > 0;
}

bool FactsGatherer::done() const {
    const Parts& p = *parts_;
    if (p.recorded) return true;
    if (p.normal_apart || p.fast_apart || p.quiet_apart) return false;
    for (Part* part : p.all())
        if (!part->done()) return false;
    return true;
}

PassAnswers FactsGatherer::finish(ByteSource& source, const KeepGoing& keep_going) {
    Parts& p = *parts_;
    std::vector<std::uint8_t> buffer;
    while (!p.recorded) {
        std::int64_t from = std::numeric_limits<std::int64_t>::max(), to = 0;
        for (Part* part : p.all()) {
            if (!part->wants_more()) continue;
            from = std::min(from, part->next_offset());
            to = std::max(to, part->end_offset());
        }
        to = std::min(to, p.end);
        if (from >= to) {
            // Only what lies past the end of the file is left.
            for (Part* part : p.all())
                if (part->wants_more() && part->next_offset() >= p.end)
                    part->take(part->next_offset(), nullptr, 0, p.end);
            break;
        }
        check(keep_going);
        buffer.resize(static_cast<std::size_t>(std::min(kReadBytes, to - from)));
        const std::size_t got = source.read_at(from, buffer);
        if (got < buffer.size()) p.end = from + static_cast<std::int64_t>(got);  // it ends early
        take(from, std::span(buffer).first(got));
        if (got == 0) {
            for (Part* part : p.all())
                if (part->wants_more()) part->take(part->next_offset(), nullptr, 0, p.end);
            break;
        }
    }
    PassAnswers a;
    if (p.recorded) {
        a.recorded = true;
        return a;
    }
    if (p.normal) p.normal->answer(a.smallest_normal, nullptr);
    if (p.fast) p.fast->answer(a.smallest_fast, p.q.count_fast_at ? &a.fast_finds : nullptr);
    if (p.watched && p.watched->found() > 0) {
        // Recorded in the steps that only the end of the pass took in.
        PassAnswers r;
        r.recorded = true;
        return r;
    }
    if (p.quiet) a.quietest = p.quiet->answer();
    if (p.normal_apart)
        a.smallest_normal = smallest_sensitivity(source, p.q.normal, kMostSensitivity, keep_going);
    if (p.fast_apart) {
        a.smallest_fast = smallest_sensitivity(source, p.q.fast, kMostSensitivity, keep_going);
        if (p.q.count_fast_at) {
            ScanParams at = p.q.fast;
            at.sensitivity = *p.q.count_fast_at;
            std::size_t n = 0;
            scan(
                source, at, [&n](const Silence&) { ++n; },
                [&](const ScanProgress&) { check(keep_going); });
            a.fast_finds = n;
        }
    }
    if (p.quiet_apart) a.quietest = quietest_stretch(source, p.q.layout, p.q.filter_ms, keep_going);
    return a;
}

PassAnswers gather_facts(ByteSource& source, const PassQuestions& questions,
                         const KeepGoing& keep_going) {
    FactsGatherer g(questions, source.size());
    return g.finish(source, keep_going);
}

}  // namespace veltrane::preview
