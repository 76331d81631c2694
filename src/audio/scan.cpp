#include "audio/scan.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <exception>
#include <limits>
#include <memory>
#include <new>
#include <optional>

#include "audio/scan_engine.h"
#include "audio/scan_kernels.h"

// The C library's header is plain C (its _Bool), which only GCC takes in C++.
#if defined(__SSE2__) && !defined(__clang__) && __has_include(<sys/platform/x86.h>)
#include <sys/platform/x86.h>
#endif

namespace veltrane {

namespace scan_engine {

namespace {

// Step counts and positions far outside the file can leave the 64-bit range.
__extension__ using Wide = __int128;

// A wide value reduced to 64 bits the way a 64-bit sum would wrap.
std::int64_t wrap(Wide x) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(x));
}

std::int64_t add_saturated(std::int64_t a, std::int64_t b) {
    std::int64_t r = 0;
    if (__builtin_add_overflow(a, b, &r))
        return b > 0 ? std::numeric_limits<std::int64_t>::max()
                     : std::numeric_limits<std::int64_t>::min();
    return r;
}

double length_ms(std::int64_t distance, std::int32_t byte_rate) {
    return std::floor(static_cast<double>(distance) / byte_rate * 1000.0);
}

// The scan state between steps.
struct Run {
    bool in = false;         // the last step was silent
    std::int64_t start = 0;  // mark of the step that opened the current or last silence
    std::int64_t end = 0;    // mark of the step that closed the last silence
    std::int64_t need = 0;   // the least closing mark that records the open silence
};

// Folds `words` masks into the run; `base` is the mark of the first step. When `Coarse`,
// a silence that opens and closes inside one word is known to be too short to record, so
// only the silence carried into a word and the one carried out of it matter.
template <int Step, bool Coarse>
void take_words(const std::uint64_t* masks, std::size_t words, std::int64_t base,
                std::int64_t shortest, Run& run, std::vector<Silence>& out) {
    constexpr std::uint64_t all = ~std::uint64_t{0};
    for (std::size_t i = 0; i < words; ++i, base += 64 * Step) {
        const std::uint64_t w = masks[i];
        if constexpr (Coarse) {
            // Branch-free but for the rare record: voiced sound turns words over and over.
            const bool closes = run.in && w != all;
            const std::int64_t close_mark = base + std::countr_one(w) * Step;
            if (closes && close_mark >= run.need) out.push_back({run.start, close_mark});
            run.end = closes ? close_mark : run.end;
            const bool ends_silent = w >> 63;
            const bool opens = ends_silent && !(run.in && w == all);
            const std::int64_t open_mark = base + (64 - std::countl_one(w)) * Step;
            run.start = opens ? open_mark : run.start;
            run.need = opens ? open_mark + shortest : run.need;
            run.in = ends_silent;
        } else {
            std::uint64_t turns = w ^ (w << 1 | std::uint64_t{run.in});
            while (turns != 0) {
                const int j = std::countr_zero(turns);
                turns &= turns - 1;
                const std::int64_t m = base + j * Step;
                if (w >> j & 1) {
                    run.start = m;
                    run.need = m + shortest;
                } else {
                    if (m >= run.need) out.push_back({run.start, m});
                    run.end = m;
                }
            }
            run.in = w >> 63;
        }
    }
}

// take_words<Step, true> for scans whose shortest recorded silence spans more than two
// words less two steps: such a silence holds a word that is silent throughout. A silence
// that opens and closes between two such words is too short to record, so only the first
// word of the masks (which closes the silence they came in with), each run of silent words
// with the word on either side, and the last word (which opens the one they pass on) are
// taken word by word. (Closings in between are not noted in run.end; only a closing at the
// step that reads it looks at it again.)
template <int Step>
void take_words_long(const std::uint64_t* masks, std::size_t words, std::int64_t base,
                     std::int64_t shortest, Run& run, std::vector<Silence>& out) {
    constexpr std::uint64_t all = ~std::uint64_t{0};
    if (words == 0 || words > 64)
        return take_words<Step, true>(masks, words, base, shortest, run, out);
    std::uint64_t silent = 0;  // bit i: word i is silent throughout
    for (std::size_t i = 0; i < words; ++i) silent |= std::uint64_t{masks[i] == all} << i;
    const std::uint64_t every = words == 64 ? all : (std::uint64_t{1} << words) - 1;
    // Silence throughout, going on or beginning with the first step.
    if (silent == every && run.in) return;
    take_words<Step, true>(masks, 1, base, shortest, run, out);
    if (silent == every) return;
    std::size_t next = 1;  // the first word not taken yet
    for (std::uint64_t rest = silent; rest != 0;) {
        const auto first = static_cast<std::size_t>(std::countr_zero(rest));
        const auto last = first + static_cast<std::size_t>(std::countr_one(rest >> first)) - 1;
        const std::size_t from = std::max(next, first > 0 ? first - 1 : 0);
        const std::size_t to = std::min(words - 1, last + 1);
        // A silence open after the words taken closed, too short, in the words passed over.
        if (from > next) run.in = false;
        take_words<Step, true>(masks + from, to - from + 1,
                               base + static_cast<std::int64_t>(from) * 64 * Step, shortest, run,
                               out);
        next = to + 1;
        rest = last >= 63 ? 0 : rest & ~((std::uint64_t{2} << last) - 1);
    }
    if (next < words) {
        const std::uint64_t w = masks[words - 1];
        run.in = w >> 63;
        if (run.in) {
            run.start = base + static_cast<std::int64_t>(words - 1) * 64 * Step +
                        (64 - std::countl_one(w)) * Step;
            run.need = run.start + shortest;
        }
    }
}

using TakeFn = void (*)(const std::uint64_t*, std::size_t, std::int64_t, std::int64_t, Run&,
                        std::vector<Silence>&);

// Masks made at a time; they stay in the first-level cache.
constexpr std::size_t batch_words = 64;
// Bytes a batch of masks may read past its last step (a step reads up to 2 bytes on).
constexpr std::size_t lookahead = 64;

template <Situation S>
class Scanner {
  public:
    Scanner(ByteSource& source, const ScanParams& params, const SilenceSink& sink)
        : source_(source),
          memory_(source.in_memory()),
          size_(source.size()),
          params_(params),
          band_(params.sensitivity, layout.wide),
          shortest_(shortest_recorded(params.filter_ms, params.byte_rate)),
          sink_(sink) {}

    void run(MaskFn masks, const ScanCallback& on_block, SecondCore* second);

    // run() in parts, for scans that go over a file side by side: start(), then
    // next_block() while blocks_left(), then finish().
    void start(MaskFn masks);
    bool blocks_left() const { return words_left_ > 0; }
    // The bytes the next block reads: from position next_position(), next_bytes() of them.
    std::int64_t next_position() const { return p_; }
    std::size_t next_bytes() const {
        return static_cast<std::size_t>(std::min(words_left_, block_words) * word_bytes) +
               lookahead;
    }
    void next_block(const ScanCallback& on_block);
    void finish(const ScanCallback& on_block);
    // next_block() with masks made elsewhere: block_words_next() words, taken in batches
    // (take_batch()), then end_block().
    std::int64_t block_words_next() const { return std::min(words_left_, block_words); }
    void take_batch(const std::uint64_t* bits, std::size_t n) {
        if (following_) note_first_close(bits, n);
        take_(bits, n, p_ + layout.mark, shortest_, run_, out_);
        drain();
        p_ += static_cast<std::int64_t>(n) * word_bytes;
    }
    void end_block(std::int64_t block, const ScanCallback& on_block) {
        words_left_ -= block;
        k_ += Wide{block} * 64;
        if (words_left_ > 0) report(on_block, p_ - step, k_, total_);  // the last ends the scan
    }
    // The bytes of the next block and its lookahead.
    const std::uint8_t* next_view() { return view(p_, next_bytes()); }
    const Band& band() const { return band_; }
    // Two scans go in step: the same blocks at the same positions, every step judged
    // against a band of its own.
    bool in_step_with(const Scanner& other) const {
        return band_.partial() && other.band_.partial() && p_ == other.p_ &&
               words_left_ == other.words_left_;
    }
    // Bytes held in memory that a view may use in place: positions from..from+size-1.
    void share(std::span<const std::uint8_t> bytes, std::int64_t from) {
        shared_ = bytes;
        shared_from_ = from;
    }

  private:
    static constexpr Layout layout = layout_of(S);
    static constexpr int step = layout.step;
    static constexpr std::int64_t word_bytes = 64 * step;
    static constexpr std::int64_t block_words = block_bytes / word_bytes;

    // Scans the next `mine` whole words here while `second` scans the rest from `other`,
    // and carries on from the end of both; from the end of its own part when the other
    // gave up.
    void split(SecondCore& second, ByteSource& other, std::int64_t mine,
               const ScanCallback& on_block);
    // Makes this scanner the second part of `lead`'s scan: the words after its next
    // `skip`. Whatever the first part ends in, a silence is taken to go on into this one:
    // it is never recorded here, and where it ends is noted (first_close_).
    void follow(const Scanner& lead, std::int64_t skip);
    void note_first_close(const std::uint64_t* bits, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            if (bits[i] == ~std::uint64_t{0}) continue;
            first_close_ = p_ + layout.mark + static_cast<std::int64_t>(i) * word_bytes +
                           std::countr_one(bits[i]) * step;
            following_ = false;
            return;
        }
    }

    // The bytes at positions p .. p + n - 1 (n at most a block and its lookahead), read
    // from the source as needed; zero outside the file and where the file has ended.
    const std::uint8_t* view(std::int64_t p, std::size_t n) {
        const auto end = p + static_cast<std::int64_t>(n);
        if (!memory_.empty() && p >= 1 && end - 1 <= size_) return memory_.data() + (p - 1);
        if (p >= shared_from_ && end <= shared_from_ + static_cast<std::int64_t>(shared_.size()))
            return shared_.data() + (p - shared_from_);
        if (p >= window_start_ && end <= window_start_ + static_cast<std::int64_t>(window_.size()))
            return window_.data() + (p - window_start_);
        // A block and its lookahead; less for a smaller file, which needs no more.
        if (window_.empty())
            window_.resize(
                static_cast<std::size_t>(std::clamp<std::int64_t>(size_, 0, block_bytes)) +
                lookahead);
        window_start_ = p;
        // Positions before the file, in it (as far as it still goes) and after it.
        const std::int64_t first = std::max<std::int64_t>(p, 1);
        const std::int64_t last =
            std::min(p + static_cast<std::int64_t>(window_.size()), size_ + 1);
        std::size_t from = static_cast<std::size_t>(first - p), got = 0;
        if (first < last)
            got = source_.read_at(first - 1, std::span(window_).subspan(
                                                 from, static_cast<std::size_t>(last - first)));
        else
            from = window_.size();
        std::fill(window_.begin(), window_.begin() + static_cast<std::ptrdiff_t>(from),
                  std::uint8_t{0});
        std::fill(window_.begin() + static_cast<std::ptrdiff_t>(from + got), window_.end(),
                  std::uint8_t{0});
        return window_.data();
    }

    // One step at position p, exactly as the scan defines it, for the edges of the file.
    void step_at(std::int64_t p) {
        std::uint8_t b[3] = {0, 0, 0};
        if (p <= size_ && p >= 1 - layout.reach) {
            const std::uint8_t* q = view(p, layout.reach + 1);
            std::copy(q, q + layout.reach + 1, b);
        }
        const bool silent = band_.silent(value_of<S>(b[0], b[1], b[2]));
        const std::int64_t mark = wrap(Wide{p} + layout.mark);
        const std::int64_t last_end = run_.end;
        if (silent && !run_.in) run_.start = mark;
        if (!silent && run_.in) run_.end = mark;
        run_.in = silent;
        const double length = length_ms(wrap(Wide{run_.end} - run_.start), params_.byte_rate);
        if (length > params_.filter_ms && run_.end > run_.start && run_.end > last_end)
            out_.push_back({run_.start, run_.end});
        drain();
    }

    void drain() {
        for (const Silence& s : out_) sink_(s);
        out_.clear();
    }

    void report(const ScanCallback& on_block, Wide last_p, Wide steps_done, Wide total) {
        if (on_block)
            on_block({wrap(last_p + layout.progress),
                      static_cast<double>(steps_done) / static_cast<double>(total)});
    }

    ByteSource& source_;
    std::span<const std::uint8_t> memory_;
    std::int64_t size_;
    ScanParams params_;
    Band band_;
    std::int64_t shortest_;
    const SilenceSink& sink_;
    Run run_;
    std::vector<Silence> out_;
    std::vector<std::uint8_t> window_;
    std::int64_t window_start_ = 0;
    std::span<const std::uint8_t> shared_;
    std::int64_t shared_from_ = 0;
    // Where run() stands between its parts.
    MaskFn masks_ = nullptr;
    TakeFn take_ = nullptr;
    Wide total_ = 1, last_ = 0, k_ = 0;  // steps in all, the last step's position, steps made
    std::int64_t p_ = 0;                 // the position of the next step
    std::int64_t words_left_ = 0;        // whole words still to scan a block at a time
    bool done_ = false;
    // As the second part of a scan: the first step that is not silent, once seen.
    bool following_ = false;
    std::optional<std::int64_t> first_close_;
};

template <Situation S>
void Scanner<S>::start(MaskFn masks) {
    const Wide first = params_.data_start;
    // The scan ends after the first step whose end value reaches the end mark.
    const Wide last_from = Wide{params_.end_mark} - layout.end;
    total_ = last_from > first ? (last_from - first + step - 1) / step + 1 : 1;
    last_ = first + (total_ - 1) * step;
    masks_ = masks;

    if (!band_.partial()) {
        // Every step is silent, or none is: nothing after the first step changes the state.
        step_at(params_.data_start);
        k_ = total_;
        done_ = true;
        return;
    }
    // Steps that read before position 1 only all read zeros; after the first of them the
    // state cannot change until a step reaches into the file.
    if (first <= -layout.reach) {
        step_at(params_.data_start);
        k_ = std::min(total_, (-layout.reach - first) / step + 1);
    }
    p_ = k_ < total_ ? wrap(first + k_ * step) : 0;
    // Steps reaching from before the file into it.
    for (; k_ < total_ && p_ < 1; ++k_, p_ += step) step_at(p_);

    // Whole words of steps inside the file, a block read at a time between progress reports.
    if (k_ < total_ && p_ >= 1 && p_ <= size_ - 64 * step) {
        words_left_ = static_cast<std::int64_t>(
            std::min<Wide>((total_ - k_) / 64, (size_ - p_) / word_bytes));
        take_ = shortest_ > 127 * step  ? take_words_long<step>
                : shortest_ > 63 * step ? take_words<step, true>
                                        : take_words<step, false>;
        run_.need = add_saturated(run_.start, shortest_);
    }
}

template <Situation S>
void Scanner<S>::next_block(const ScanCallback& on_block) {
    const std::int64_t block = block_words_next();
    const std::uint8_t* q = next_view();
    std::uint64_t bits[batch_words];
    for (std::int64_t done = 0; done < block;) {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(batch_words, block - done));
        masks_(q + done * word_bytes, n, bits, band_);
        take_batch(bits, n);
        done += static_cast<std::int64_t>(n);
    }
    end_block(block, on_block);
}

template <Situation S>
void Scanner<S>::finish(const ScanCallback& on_block) {
    if (!done_) {
        // Steps reaching past the end of the file, and those too few to fill a word.
        for (; k_ < total_ && p_ <= size_; ++k_, p_ += step) step_at(p_);
        // Steps past the end all read zeros: after the first the state cannot change.
        if (k_ < total_) {
            step_at(p_);
            k_ = total_;
        }
    }
    done_ = true;
    report(on_block, last_, total_, total_);
}

template <Situation S>
void Scanner<S>::run(MaskFn masks, const ScanCallback& on_block, SecondCore* second) {
    start(masks);
    // The source may let another thread read only once it has seen enough itself.
    while (second && words_left_ >= 2 && words_left_ * word_bytes >= second->least_bytes) {
        if (ByteSource* other = source_.for_another_thread()) {
            split(*second, *other, words_left_ / 2, on_block);
            break;
        }
        next_block(on_block);
    }
    while (words_left_ > 0) next_block(on_block);
    finish(on_block);
}

template <Situation S>
void Scanner<S>::follow(const Scanner& lead, std::int64_t skip) {
    masks_ = lead.masks_;
    take_ = lead.take_;
    p_ = lead.p_ + skip * word_bytes;
    words_left_ = lead.words_left_ - skip;
    run_ = {true, p_ + layout.mark, 0, std::numeric_limits<std::int64_t>::max()};
    following_ = true;
}

template <Situation S>
void Scanner<S>::split(SecondCore& second, ByteSource& other, std::int64_t mine,
                       const ScanCallback& on_block) {
    struct TooMany {};
    std::vector<Silence> held;
    const std::size_t most = second.most_held;
    const SilenceSink hold = [&](const Silence& s) {
        if (held.size() >= most) throw TooMany{};
        held.push_back(s);
    };
    Scanner part(other, params_, hold);
    part.follow(*this, mine);
    std::atomic<bool> quit{false};
    std::exception_ptr failure;
    try {
        second.start([&] {
            try {
                while (part.blocks_left() && !quit.load(std::memory_order_relaxed))
                    part.next_block({});
            } catch (const TooMany&) {
            } catch (const std::bad_alloc&) {  // gives up too: this thread scans on alone
            } catch (...) {
                failure = std::current_exception();
            }
        });
    } catch (...) {
        return;  // no other processor after all: this one scans on alone
    }
    // However this part ends, the other stops at its next block before `part` goes.
    struct Join {
        SecondCore& second;
        std::atomic<bool>& quit;
        bool waited = false;
        void wait() {
            if (!waited) second.wait();
            waited = true;
        }
        ~Join() {
            quit = true;
            wait();
        }
    } join{second, quit};
    const std::int64_t theirs = words_left_ - mine;
    words_left_ = mine;
    while (words_left_ > 0) next_block(on_block);
    join.wait();
    words_left_ = theirs;
    if (failure) std::rethrow_exception(failure);
    if (part.blocks_left()) return;  // it gave up

    // The silence this part passes on, or else one that opens with the other's first step,
    // ends where the other saw its first step that is not silent (if anywhere).
    const std::int64_t from = p_ + layout.mark;
    if (!run_.in) run_ = {true, from, run_.end, add_saturated(from, shortest_)};
    if (part.first_close_) {
        if (run_.in && *part.first_close_ >= run_.need)
            out_.push_back({run_.start, *part.first_close_});
        run_ = part.run_;
    }
    drain();
    for (const Silence& s : held) sink_(s);
    p_ = part.p_;
    k_ += Wide{theirs} * 64;
    words_left_ = 0;
}

template <Situation S>
MaskFn mask_fn(Kernel kernel) {
#if defined(__SSE2__)
    if (kernel == Kernel::avx512) return avx512::masks<S>;
    if (kernel == Kernel::avx2) return avx2::masks<S>;
    if (kernel == Kernel::sse2) return sse2::masks<S>;
#endif
    (void)kernel;
    return masks_portable<S>;
}

template <Situation S>
void scan_as(Kernel kernel, ByteSource& source, const ScanParams& params, const SilenceSink& sink,
             const ScanCallback& on_block, SecondCore* second) {
    Scanner<S>(source, params, sink).run(mask_fn<S>(kernel), on_block, second);
}

// One of several scans that go over a file side by side.
class Side {
  public:
    virtual ~Side() = default;
    virtual bool blocks_left() const = 0;
    virtual std::int64_t next_position() const = 0;
    virtual std::size_t next_bytes() const = 0;
    virtual void share(std::span<const std::uint8_t> bytes, std::int64_t from) = 0;
    virtual void next_block() = 0;
    virtual void finish() = 0;
};

// Bands one kernel call judges at most.
constexpr int most_bands = 4;

// One scan, or scans of one situation that go in step at Sensitivities of their own (the
// presets of a preview): each block's values are read once for all of them.
template <Situation S>
class SideGroup final : public Side {
  public:
    SideGroup(Kernel kernel, std::vector<std::unique_ptr<Scanner<S>>> scanners)
        : kernel_(kernel), scanners_(std::move(scanners)) {
        for (const auto& s : scanners_) bands_.push_back(s->band());
    }
    bool blocks_left() const override { return scanners_[0]->blocks_left(); }
    std::int64_t next_position() const override { return scanners_[0]->next_position(); }
    std::size_t next_bytes() const override { return scanners_[0]->next_bytes(); }
    void share(std::span<const std::uint8_t> bytes, std::int64_t from) override {
        for (auto& s : scanners_) s->share(bytes, from);
    }
    void next_block() override {
        constexpr std::int64_t word_bytes = 64 * layout_of(S).step;
        const std::int64_t block = scanners_[0]->block_words_next();
        const std::uint8_t* q = scanners_[0]->next_view();
        const int k = static_cast<int>(scanners_.size());
        std::uint64_t bits[most_bands][batch_words];
        std::uint64_t* out[most_bands] = {bits[0], bits[1], bits[2], bits[3]};
        for (std::int64_t done = 0; done < block;) {
            const auto n =
                static_cast<std::size_t>(std::min<std::int64_t>(batch_words, block - done));
            masks(q + done * word_bytes, n, out, bands_.data(), k);
            for (int b = 0; b < k; ++b)
                scanners_[static_cast<std::size_t>(b)]->take_batch(out[b], n);
            done += static_cast<std::int64_t>(n);
        }
        for (auto& s : scanners_) s->end_block(block, {});
    }
    void finish() override {
        for (auto& s : scanners_) s->finish({});
    }

  private:
    void masks(const std::uint8_t* q, std::size_t n, std::uint64_t* const* out, const Band* bands,
               int k) const {
#if defined(__SSE2__)
        if (kernel_ == Kernel::avx512) {
            switch (k) {
                case 2:
                    return avx512::masks_bands<S, 2>(q, n, out, bands);
                case 3:
                    return avx512::masks_bands<S, 3>(q, n, out, bands);
                case 4:
                    return avx512::masks_bands<S, 4>(q, n, out, bands);
                default:
                    break;
            }
        }
#endif
        const MaskFn one = mask_fn<S>(kernel_);
        for (int b = 0; b < k; ++b) one(q, n, out[b], bands[b]);
    }

    Kernel kernel_;
    std::vector<std::unique_ptr<Scanner<S>>> scanners_;
    std::vector<Band> bands_;  // the scanners' own, in their order
};

// The jobs of situation S, in groups of those that go in step (a scan alone is a group).
template <Situation S>
void add_sides(Kernel kernel, ByteSource& source, std::span<const ScanJob> jobs,
               std::vector<std::unique_ptr<Side>>& sides) {
    std::vector<std::unique_ptr<Scanner<S>>> scanners;
    for (const ScanJob& job : jobs) {
        if (job.params.situation != S || job.params.byte_rate <= 0) continue;
        scanners.push_back(std::make_unique<Scanner<S>>(source, job.params, job.on_silence));
        scanners.back()->start(mask_fn<S>(kernel));
    }
    while (!scanners.empty()) {
        std::vector<std::unique_ptr<Scanner<S>>> group, rest;
        group.push_back(std::move(scanners.front()));
        for (std::size_t i = 1; i < scanners.size(); ++i) {
            if (group.size() < most_bands && scanners[i]->in_step_with(*group.front()))
                group.push_back(std::move(scanners[i]));
            else
                rest.push_back(std::move(scanners[i]));
        }
        sides.push_back(std::make_unique<SideGroup<S>>(kernel, std::move(group)));
        scanners = std::move(rest);
    }
}

// Blocks of the scans read at a time when they go side by side: the stretch stays in the
// second-level cache while every scan takes its blocks from it.
constexpr std::int64_t together_blocks = 1;

}  // namespace

void scan_together_with(Kernel kernel, ByteSource& source, std::span<const ScanJob> jobs,
                        const BytesSink& on_bytes) {
    if (!available(kernel)) kernel = Kernel::portable;
    std::vector<std::unique_ptr<Side>> sides;
    add_sides<1>(kernel, source, jobs, sides);
    add_sides<2>(kernel, source, jobs, sides);
    add_sides<3>(kernel, source, jobs, sides);
    add_sides<4>(kernel, source, jobs, sides);
    add_sides<11>(kernel, source, jobs, sides);
    add_sides<12>(kernel, source, jobs, sides);
    add_sides<13>(kernel, source, jobs, sides);
    add_sides<14>(kernel, source, jobs, sides);
    const std::int64_t size = source.size();
    std::vector<std::uint8_t> buffer;
    for (;;) {
        std::int64_t from = std::numeric_limits<std::int64_t>::max();
        for (const auto& side : sides)
            if (side->blocks_left()) from = std::min(from, side->next_position());
        if (from == std::numeric_limits<std::int64_t>::max()) break;
        // Positions from .. from + buffer.size() - 1; zero where the file does not reach.
        if (buffer.empty())
            buffer.resize(static_cast<std::size_t>(std::min(size, together_blocks * block_bytes)) +
                          lookahead);
        const std::int64_t first = std::max<std::int64_t>(from, 1);
        const std::int64_t last =
            std::min(from + static_cast<std::int64_t>(buffer.size()), size + 1);
        std::size_t at = static_cast<std::size_t>(first - from), got = 0;
        if (first < last)
            got = source.read_at(
                first - 1, std::span(buffer).subspan(at, static_cast<std::size_t>(last - first)));
        else
            at = buffer.size();
        std::fill(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(at),
                  std::uint8_t{0});
        std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(at + got), buffer.end(),
                  std::uint8_t{0});
        if (got > 0 && on_bytes) on_bytes(first - 1, std::span(buffer).subspan(at, got));
        const std::int64_t end = from + static_cast<std::int64_t>(buffer.size());
        for (const auto& side : sides) {
            side->share(buffer, from);
            while (side->blocks_left() && side->next_position() >= from &&
                   side->next_position() + static_cast<std::int64_t>(side->next_bytes()) <= end)
                side->next_block();
            side->share({}, 0);
        }
    }
    for (const auto& side : sides) side->finish();
}

std::int64_t shortest_recorded(std::int32_t filter_ms, std::int32_t byte_rate) {
    std::int64_t d =
        std::max<std::int64_t>(1, ((std::int64_t{filter_ms} + 1) * byte_rate + 999) / 1000);
    while (d > 1 && length_ms(d - 1, byte_rate) > filter_ms) --d;
    while (!(length_ms(d, byte_rate) > filter_ms)) ++d;
    return d;
}

bool available(Kernel kernel) {
    switch (kernel) {
        case Kernel::portable:
            return true;
#if defined(__SSE2__)
        case Kernel::sse2:
            return true;
#if defined(CPU_FEATURE_ACTIVE)
        // What the C library found when the program was loaded: asking the processor
        // again costs several microseconds a question under a hypervisor.
        case Kernel::avx2:
            return CPU_FEATURE_ACTIVE(AVX2);
        case Kernel::avx512:
            return CPU_FEATURE_ACTIVE(AVX512BW) && CPU_FEATURE_ACTIVE(BMI2);
#else
        case Kernel::avx2:
            return __builtin_cpu_supports("avx2");
        case Kernel::avx512:
            return __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("bmi2");
#endif
#endif
        default:
            return false;
    }
}

std::vector<Kernel> available_kernels() {
    std::vector<Kernel> out;
    for (Kernel k : {Kernel::portable, Kernel::sse2, Kernel::avx2, Kernel::avx512})
        if (available(k)) out.push_back(k);
    return out;
}

Kernel fastest() {
    static const Kernel best = available(Kernel::avx512) ? Kernel::avx512
                               : available(Kernel::avx2) ? Kernel::avx2
                               : available(Kernel::sse2) ? Kernel::sse2
                                                         : Kernel::portable;
    return best;
}

void scan_with(Kernel kernel, ByteSource& source, const ScanParams& params,
               const SilenceSink& on_silence, const ScanCallback& on_block, SecondCore* second) {
    if (params.byte_rate <= 0) return;
    if (!available(kernel)) kernel = Kernel::portable;
    with_situation(
        params.situation,
        [&](auto situation) {
            scan_as<decltype(situation)::value>(kernel, source, params, on_silence, on_block,
                                                second);
        },
        [] {});
}

std::vector<Silence> scan_with(Kernel kernel, std::span<const std::uint8_t> file,
                               const ScanParams& params, const ScanCallback& on_block) {
    MemorySource source(file);
    std::vector<Silence> found;
    scan_with(
        kernel, source, params, [&](const Silence& s) { found.push_back(s); }, on_block);
    return found;
}

}  // namespace scan_engine

void scan_together(ByteSource& source, std::span<const ScanJob> jobs, const BytesSink& on_bytes) {
    scan_engine::scan_together_with(scan_engine::fastest(), source, jobs, on_bytes);
}

void scan(ByteSource& source, const ScanParams& params, const SilenceSink& on_silence,
          const ScanCallback& on_block, SecondCore* second) {
    scan_engine::scan_with(scan_engine::fastest(), source, params, on_silence, on_block, second);
}

std::vector<Silence> scan(std::span<const std::uint8_t> file, const ScanParams& params,
                          const ScanCallback& on_block) {
    return scan_engine::scan_with(scan_engine::fastest(), file, params, on_block);
}

std::int32_t mark_ms(std::int64_t mark, std::int32_t byte_rate) {
    constexpr std::int32_t most = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t least = std::numeric_limits<std::int32_t>::min();
    if (byte_rate == 0) return mark > 0 ? most : mark < 0 ? least : 0;
    const double ms = std::floor(static_cast<double>(mark) / byte_rate * 1000.0);
    if (ms >= most) return most;
    if (ms <= least) return least;
    return static_cast<std::int32_t>(ms);
}

bool known_situation(Situation s) {
    return scan_engine::layout_of(s).step != 0;
}

}  // namespace veltrane
