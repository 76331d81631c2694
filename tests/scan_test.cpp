#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "app/second_core.h"
#include "audio/scan.h"
#include "audio/scan_engine.h"
#include "base/error.h"
#include "scan_reference.h"
#include "synth.h"

namespace veltrane {

void PrintTo(const Silence& s, std::ostream* os) {
    *os << "{" << s.start_mark << ", " << s.end_mark << "}";
}

namespace {

using scan_engine::Kernel;
using Bytes = std::vector<std::uint8_t>;

using I32 = std::numeric_limits<std::int32_t>;
using I64 = std::numeric_limits<std::int64_t>;
constexpr Situation kSituations[] = {1, 2, 3, 4, 11, 12, 13, 14};
constexpr std::int64_t kFarEnd = std::numeric_limits<std::int32_t>::max();

struct Outcome {
    std::vector<Silence> silences;
    std::vector<ScanProgress> reports;
};

std::vector<Silence> read_through(const Bytes& file, std::size_t end, const ScanParams& p) {
    ReadSource source(file, end);
    std::vector<Silence> found;
    scan_engine::scan_with(scan_engine::fastest(), source, p,
                           [&](const Silence& s) { found.push_back(s); }, {});
    return found;
}

Outcome run(Kernel kernel, const Bytes& file, const ScanParams& p) {
    Outcome o;
    o.silences = scan_engine::scan_with(kernel, file, p,
                                        [&](const ScanProgress& r) { o.reports.push_back(r); });
    return o;
}

std::string describe(const ScanParams& p, std::size_t size, Kernel k) {
    return "situation " + std::to_string(p.situation) + " S " + std::to_string(p.sensitivity) +
           " F " + std::to_string(p.filter_ms) + " rate " + std::to_string(p.byte_rate) +
           " start " + std::to_string(p.data_start) + " L " + std::to_string(p.end_mark) +
           " size " + std::to_string(size) + " kernel " + std::to_string(static_cast<int>(k));
}

// Every kernel gives the reference's silences, from memory and read from a file. Its
// last report is on the reference's last step.
void expect_as_reference(const Bytes& file, const ScanParams& p) {
    const reference::Result want = reference::scan(file, p);
    EXPECT_EQ(read_through(file, file.size(), p), want.silences)
        << describe(p, file.size(), scan_engine::fastest());
    for (Kernel k : scan_engine::available_kernels()) {
        SCOPED_TRACE(describe(p, file.size(), k));
        const Outcome got = run(k, file, p);
        EXPECT_EQ(got.silences, want.silences);
        if (!want.scanned) continue;
        ASSERT_FALSE(got.reports.empty());
        EXPECT_EQ(got.reports.back().progress, want.last_progress);
        EXPECT_EQ(got.reports.back().done, 1.0);
    }
}

// Sample bytes in stretches of one kind each: inside the band, loud, on or near the
// band's edges, digital zero. Stretches run from one sample to a few thousand.
class Material {
  public:
    explicit Material(std::uint32_t seed) : rng_(seed) {}

    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(int percent) { return uniform(1, 100) <= percent; }

    Bytes make(std::size_t size, bool wide, int sensitivity, bool quiet_ends) {
        const int s = std::clamp(sensitivity, 1, 128);
        Bytes out;
        int kind = quiet_ends ? 0 : uniform(0, 3);
        while (out.size() < size) {
            const int r = uniform(1, 100);
            const int length = r <= 50   ? uniform(1, 8)
                               : r <= 85 ? uniform(9, 300)
                                         : uniform(301, 6000);
            for (int i = 0; i < length; ++i) put(out, wide, sample(kind, wide, s));
            kind = uniform(0, 3);
            if (quiet_ends && out.size() + 400 >= size) kind = 0;
        }
        out.resize(size);
        return out;
    }

  private:
    // One sample as stored: 0..255 for 8-bit, -32768..32767 for 16-bit.
    int sample(int kind, bool wide, int s) {
        const int unit = wide ? 256 : 1;
        const int centre = wide ? 0 : 128;
        switch (kind) {
            case 0:
                return centre + uniform(1 - unit * s, unit * s - 1);  // inside the band
            case 1:
                return wide ? uniform(-32768, 32767) : uniform(0, 255);  // loud
            case 2:  // on the band's edges or near them
                return centre + (chance(50) ? 1 : -1) * (chance(50) ? unit * s - uniform(0, 1)
                                                                    : uniform(0, unit * s + unit));
            default:
                return 0;  // digital zero: silent for 16-bit, far off for 8-bit
        }
    }
    static void put(Bytes& out, bool wide, int v) {
        if (!wide) return out.push_back(static_cast<std::uint8_t>(std::clamp(v, 0, 255)));
        v = std::clamp(v, -32768, 32767);
        out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    }
    std::mt19937 rng_;
};

Bytes speech(Situation situation, int channels, int bits, double seconds) {
    return synth::wav_bytes({channels, bits, 8000},
                            synth::speech_data({channels, bits, 8000}, seconds, situation));
}

// Bytes made of stretches of one value: {count, value}, ...
Bytes stretches(std::initializer_list<std::pair<std::size_t, std::uint8_t>> parts) {
    Bytes out;
    for (const auto& [count, value] : parts) out.resize(out.size() + count, value);
    return out;
}

// Sample bytes that make exactly the given steps silent (S = 15) for a scan starting at
// the first byte: 8-bit 128 or 0, 16-bit high bytes 0 or 0x40.
Bytes encode_steps(Situation s, const std::vector<bool>& silent) {
    // A step's bytes: 'n' an 8-bit sample, 'h' a 16-bit high byte, '0' a zero. With
    // 16-bit mono at normal speed the high byte of step k is the low byte of step k + 1.
    const std::string_view pattern = s == 1              ? "n"
                                     : s == 3 || s == 11 ? "nn"
                                     : s == 13           ? "nnnn"
                                     : s == 2            ? "h"
                                     : s == 14           ? "0h00"
                                                         : "0h";
    Bytes out;
    if (s == 2) out.push_back(0);  // the low byte of the first step
    for (const bool quiet : silent)
        for (const char c : pattern)
            out.push_back(static_cast<std::uint8_t>(c == 'n'             ? (quiet ? 128 : 0)
                                                    : c == 'h' && !quiet ? 0x40
                                                                         : 0));
    return out;
}

TEST(ScanMarkMs, RoundsDownAndSaturates) {
    EXPECT_EQ(mark_ms(-1, 8000), -1);
    EXPECT_EQ(mark_ms(176400, 176400), 1000);
    EXPECT_EQ(mark_ms(I64::max(), 1), I32::max());
    EXPECT_EQ(mark_ms(I64::min(), 1), I32::min());
    EXPECT_EQ(mark_ms(5, 0), I32::max());
}

// 201 bytes at 200 bytes/s come to 1004.9999... ms in double, not 1005: not above 1004.
TEST(ScanBand, LengthIsJudgedInDouble) {
    const Bytes file = stretches({{44, 200}, {201, 128}, {50, 200}, {202, 128}, {50, 200}});
    const ScanParams p{1, 15, 1004, 200, 45, static_cast<std::int64_t>(file.size())};
    EXPECT_EQ(scan(file, p), (std::vector<Silence>{{297, 499}}));
    expect_as_reference(file, p);
}

// Silences about one word and about two words long, starting at every step of a 64-step
// word, with the shortest recordable silence just below, at and just over a word's and two
// words' reach; and silences over whole batches of words, from a batch's first step and
// from its middle.
TEST(ScanWords, SilencesAboutOneAndTwoWordsLong) {
    constexpr std::size_t batch = 64 * 64;
    for (int around : {64, 128}) {
        std::vector<bool> steps;
        for (int length = around - 3; length <= around + 3; ++length) {
            for (int offset = 0; offset < 64; ++offset) {
                std::vector<bool> block(static_cast<std::size_t>(around) + 128, false);
                std::fill(block.begin() + offset, block.begin() + offset + length, true);
                steps.insert(steps.end(), block.begin(), block.end());
            }
        }
        steps.resize((steps.size() / batch + 1) * batch, false);
        steps.insert(steps.end(), 3 * batch, true);
        steps.insert(steps.end(), batch + 100, false);
        steps.insert(steps.end(), 2 * batch, true);
        steps.insert(steps.end(), 500, false);
        for (Situation s : kSituations) {
            const int step = (s % 10 >= 3 ? 2 : 1) * (s > 10 ? 2 : 1);
            const Bytes file = encode_steps(s, steps);
            for (int shortest = around - 1; shortest <= around + 1; ++shortest) {
                // At 1000 bytes/s a silence lasts its mark distance in ms.
                const ScanParams p{s,    15, shortest * step - 1,
                                   1000, 1,  static_cast<std::int64_t>(file.size())};
                EXPECT_EQ(scan(file, p).size(), (around + 4u - shortest) * 64 + 2)
                    << s << " " << shortest;
                expect_as_reference(file, p);
            }
        }
    }
}

// Situations outside their range find nothing (byte rates outside theirs: the random
// inputs). Header values at the ends of their ranges: the scan settles at once and ends
// its reports.
TEST(ScanEdges, NothingToScanAndExtremeHeaderValues) {
    const Bytes speaking = speech(1, 1, 8, 1.0);
    for (Situation s : {0, 5, 10, 15, -1})
        EXPECT_TRUE(scan(speaking, {s, 15, 50, 8000, 45, 8000}).empty());

    const Bytes file = stretches({{3000, 0x40}, {3000, 0}, {3000, 0x40}});
    for (Situation s : kSituations)
        for (std::int64_t start : {I64::min(), std::int64_t{-1}, I64::max()})
            for (std::int64_t end : {I64::min(), I64::max()})
                for (std::int32_t filter : {I32::min(), I32::max()})
                    for (std::int32_t rate : {1, I32::max()}) {
                        const Outcome o =
                            run(scan_engine::fastest(), file, {s, 15, filter, rate, start, end});
                        ASSERT_FALSE(o.reports.empty());
                        EXPECT_EQ(o.reports.back().done, 1.0);
                    }
}

TEST(ScanMatchesReference, RandomInputs) {
    Material m(20240611);
    constexpr int kOutsideS[] = {0, -1, 128, 129, 200};
    constexpr std::int32_t kRates[] = {8000, 11025, 22050, 44100, 88200, 176400};
    for (int round = 0; round < 2500 && !::testing::Test::HasFailure(); ++round) {
        ScanParams p;
        p.situation = kSituations[m.uniform(0, 7)];
        const int step = (p.situation % 10 >= 3 ? 2 : 1) * (p.situation > 10 ? 2 : 1);
        p.sensitivity = m.chance(85) ? m.uniform(1, 50) : kOutsideS[m.uniform(0, 4)];
        p.filter_ms = m.chance(95) ? m.uniform(20, 500) : m.uniform(-5, 5);
        const int r = m.uniform(1, 100);
        p.byte_rate = r <= 40   ? m.uniform(1, 50)
                      : r <= 70 ? m.uniform(51, 12000)
                      : r <= 98 ? kRates[m.uniform(0, 5)]
                                : m.uniform(-2, 0);
        const int d = m.uniform(1, 100);
        p.data_start = d <= 70 ? 45 : d <= 85 ? m.uniform(-200, 0) : m.uniform(1, 200);

        const int z = m.uniform(1, 100);
        const std::int64_t size =
            z <= 40   ? m.uniform(0, 6000)
            : z <= 65 ? std::max<std::int64_t>(
                            0, p.data_start - 1 + 64 * step * m.uniform(0, 6) + m.uniform(-3, 3))
                      : m.uniform(6000, 40000);
        const int e = m.uniform(1, 100);
        p.end_mark = e <= 50   ? size - 44
                     : e <= 65 ? size + m.uniform(-10, 10)
                     : e <= 75 ? p.data_start - m.uniform(0, 5)
                     : e <= 85 ? kFarEnd
                               : m.uniform(-50, static_cast<int>(size) + 300);

        const bool wide = p.situation % 10 == 2 || p.situation % 10 == 4;
        const Bytes file =
            m.make(static_cast<std::size_t>(size), wide, p.sensitivity, m.chance(25));
        expect_as_reference(file, p);
    }
}

TEST(ScanMatchesReference, SpeechInEveryFormat) {
    for (Situation s : kSituations) {
        const int channels = s % 10 >= 3 ? 2 : 1;
        const int bits = s % 2 == 0 ? 16 : 8;
        const Bytes file = speech(s, channels, bits, 3.0);
        const ScanParams p{
            s, 15, 50, 8000 * channels * bits / 8, 45, static_cast<std::int64_t>(file.size()) - 44};
        expect_as_reference(file, p);
        EXPECT_FALSE(scan(file, p).empty()) << s;
    }
}

// Two blocks and more, with a silence across the block boundary and silences at both
// ends; and the same file read from a disk where it shrinks during the scan: what is gone
// reads as zero.
TEST(ScanMatchesReference, LongFileAcrossBlocks) {
    Material m(7);
    constexpr auto block = static_cast<std::size_t>(scan_engine::block_bytes);
    for (Situation s : kSituations) {
        const bool wide = s % 10 == 2 || s % 10 == 4;
        Bytes file = m.make(block + 150001, wide, 15, true);
        const std::size_t boundary = block + 44;
        std::fill(file.begin() + boundary - 3001, file.begin() + boundary + 2999, wide ? 0 : 128);
        for (std::int32_t rate : {8000, 40}) {
            const ScanParams p{s, 15, 50, rate, 45, static_cast<std::int64_t>(file.size())};
            expect_as_reference(file, p);
            for (std::size_t end : {block / 2 + 7, block + 44 + 1000}) {
                const Bytes shorter(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(end));
                EXPECT_EQ(read_through(file, end, p), reference::scan(shorter, p).silences)
                    << s << " " << end;
            }
        }
    }
}

// A file that lets another thread read it after `shut` reads of its own, as a source that
// watches the scan does once it has seen enough. The other thread's reads fail from `bad`
// on (never when it is -1).
class HalvingSource final : public ByteSource {
  public:
    HalvingSource(const Bytes& file, int shut, std::int64_t bad = -1)
        : file_(file, file.size()), other_(file, bad), shut_(shut) {}
    std::int64_t size() const override { return file_.size(); }
    std::size_t read_at(std::int64_t offset, std::span<std::uint8_t> dest) override {
        if (shut_ > 0) --shut_;
        return file_.read_at(offset, dest);
    }
    ByteSource* for_another_thread() override { return shut_ > 0 ? nullptr : &other_; }

  private:
    class Other final : public ByteSource {
      public:
        Other(const Bytes& file, std::int64_t bad) : file_(file, file.size()), bad_(bad) {}
        std::int64_t size() const override { return file_.size(); }
        std::size_t read_at(std::int64_t offset, std::span<std::uint8_t> dest) override {
            if (bad_ >= 0 && offset + static_cast<std::int64_t>(dest.size()) > bad_)
                throw Error(Errc::Read, "take.wav", "Input/output error");
            return file_.read_at(offset, dest);
        }

      private:
        ReadSource file_;
        const std::int64_t bad_;
    };
    ReadSource file_;
    Other other_;
    int shut_;
};

// A scan in two halves at once gives the silences of one scan, in the same order, whether
// the second half runs on a thread or at once, whatever silence spans the halves' meeting
// point (or the whole second half), and when the second half gives up for holding too
// many silences. Its last report is that of the scan.
TEST(ScanInHalves, AsOneScan) {
    Material m(4242);
    constexpr auto block = static_cast<int>(scan_engine::block_bytes);
    for (int round = 0; round < 300 && !::testing::Test::HasFailure(); ++round) {
        ScanParams p;
        p.situation = kSituations[m.uniform(0, 7)];
        const bool wide = p.situation % 10 == 2 || p.situation % 10 == 4;
        p.sensitivity = m.uniform(1, 50);
        p.filter_ms = m.uniform(0, 400);
        p.byte_rate = m.chance(50) ? m.uniform(40, 2000) : 8000 * (wide ? 2 : 1);
        const auto size = static_cast<std::size_t>(m.chance(80) ? m.uniform(5000, 40000)
                                                                : m.uniform(2 * block, 3 * block));
        p.end_mark = m.chance(90) ? static_cast<std::int64_t>(size) - 44 : kFarEnd;
        Bytes file = m.make(size, wide, p.sensitivity, m.chance(30));
        // A long file may be split only after a block read here; the halves then meet in
        // the middle of the rest.
        const int shut = size > static_cast<std::size_t>(block) && m.chance(50) ? 1 : 0;
        const std::size_t meet = (44 + static_cast<std::size_t>(shut * block) + size) / 2;
        // Quiet about where the halves meet, or from there to the end.
        const int quiet = m.uniform(0, 3);
        if (quiet > 0)
            std::fill(
                file.begin() + static_cast<std::ptrdiff_t>(meet - 2000 * (quiet == 1)),
                quiet == 3 ? file.end() : file.begin() + static_cast<std::ptrdiff_t>(meet + 1500),
                wide ? 0 : 128);
        const std::vector<Silence> want = read_through(file, size, p);

        InlineCore at_once;
        ThreadCore threaded;
        SecondCore& second = m.chance(50) ? static_cast<SecondCore&>(at_once) : threaded;
        second.least_bytes = 0;
        second.most_held = m.chance(80) ? std::size_t{1} << 20 : std::size_t(m.uniform(0, 3));
        HalvingSource source(file, shut);
        std::vector<Silence> got;
        ScanProgress last;
        const std::thread::id here = std::this_thread::get_id();
        bool elsewhere = false;  // a callback called on the other thread
        scan(
            source, p,
            [&](const Silence& s) {
                elsewhere |= std::this_thread::get_id() != here;
                got.push_back(s);
            },
            [&](const ScanProgress& r) {
                elsewhere |= std::this_thread::get_id() != here;
                last = r;
            },
            &second);
        EXPECT_EQ(got, want) << "round " << round << " " << describe(p, size, Kernel::avx512);
        EXPECT_FALSE(elsewhere);
        const reference::Result ref = reference::scan(file, p);
        if (ref.scanned) {
            EXPECT_EQ(last.progress, ref.last_progress) << "round " << round;
            EXPECT_EQ(last.done, 1.0);
        }
    }
}

// Silences just long enough to record, and one step short, that end about where the
// halves meet.
TEST(ScanInHalves, ShortestSilencesAboutTheMeetingPoint) {
    constexpr int kSteps = 64 * 40;
    const ScanParams p{1, 15, 99, 1000, 1, kSteps};  // records silences of 100 steps and more
    InlineCore second;
    std::size_t recorded = 0;
    for (int end = kSteps / 2 - 70; end <= kSteps / 2 + 70; ++end) {
        for (int length : {99, 100}) {
            std::vector<bool> silent(kSteps, false);
            std::fill(silent.begin() + end - length, silent.begin() + end, true);
            const Bytes file = encode_steps(1, silent);
            MemorySource source(file);
            std::vector<Silence> got;
            scan(
                source, p, [&](const Silence& s) { got.push_back(s); }, {}, &second);
            EXPECT_EQ(got, read_through(file, file.size(), p)) << end << " " << length;
            recorded += got.size();
        }
    }
    EXPECT_EQ(recorded, 141u);
}

// A read that fails on the other thread fails the scan (rather than this thread reading
// that half again), and a scan stopped by its first half's report stops the second as
// well: either ends the scan with that exception once the other processor is done.
TEST(ScanInHalves, AFailureOnEitherSideEndsTheScan) {
    Material m(5);
    const Bytes file =
        m.make(4 * static_cast<std::size_t>(scan_engine::block_bytes), true, 15, false);
    const ScanParams p{4, 15, 50, 176400, 45, static_cast<std::int64_t>(file.size()) - 44};
    ThreadCore second;
    second.least_bytes = 0;
    HalvingSource failing(file, 0, static_cast<std::int64_t>(file.size()) * 3 / 4);
    EXPECT_THROW(scan(
                     failing, p, [](const Silence&) {}, {}, &second),
                 Error);
    struct Stop {};
    HalvingSource stopped(file, 0);
    EXPECT_THROW(
        scan(
            stopped, p, [](const Silence&) {}, [](const ScanProgress&) { throw Stop{}; }, &second),
        Stop);
}

// Scans side by side give each the silences it gives alone: mixed layouts and settings,
// scans in step judged together, starts out of step with each other, files across several
// shared reads, and a file that shrinks while it is read.
TEST(ScanTogether, EachAsAlone) {
    Material m(99);
    constexpr auto block = static_cast<std::size_t>(scan_engine::block_bytes);
    for (int round = 0; round < 30 && !::testing::Test::HasFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const bool wide = m.chance(50);
        const std::size_t size = round % 3 == 0
                                     ? static_cast<std::size_t>(m.uniform(0, 6000))
                                     : 6 * block + static_cast<std::size_t>(m.uniform(0, 999));
        const Bytes file = m.make(size, wide, 15, m.chance(50));
        const std::size_t end =
            m.chance(25) ? static_cast<std::size_t>(m.uniform(0, static_cast<int>(size))) : size;
        std::vector<ScanJob> jobs;
        std::vector<std::vector<Silence>> got(static_cast<std::size_t>(m.uniform(1, 7)));
        // Most scans of a round share a layout, as a preview's do: those in step go together.
        const Situation common = kSituations[m.uniform(0, 7)];
        for (std::size_t i = 0; i < got.size(); ++i) {
            ScanParams p;
            p.situation = m.chance(70) ? common : kSituations[m.uniform(0, 7)];
            p.sensitivity = m.chance(90) ? m.uniform(1, 50) : 0;
            p.filter_ms = m.uniform(20, 500);
            p.byte_rate = m.chance(95) ? m.uniform(40, 176400) : 0;
            const int d = m.uniform(1, 10);
            p.data_start = d <= 6   ? 45
                           : d <= 8 ? m.uniform(-300, 0)
                                    : m.uniform(1, 3 * static_cast<int>(block));
            p.end_mark = m.chance(80) ? static_cast<std::int64_t>(size) - 44 : kFarEnd;
            jobs.push_back({p, [&got, i](const Silence& s) { got[i].push_back(s); }});
        }
        std::vector<bool> heard(size, false);
        ReadSource source(file, end);
        scan_together(source, jobs, [&](std::int64_t offset, std::span<const std::uint8_t> bytes) {
            for (std::size_t j = 0; j < bytes.size(); ++j) {
                const auto at = static_cast<std::size_t>(offset) + j;
                ASSERT_EQ(bytes[j], file[at]);
                heard[at] = true;
            }
        });
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_EQ(got[i], read_through(file, end, jobs[i].params))
                << describe(jobs[i].params, size, scan_engine::fastest());
        // Scans that read from the start of the data bring every byte of it on the way.
        const bool from_start = std::ranges::all_of(jobs, [](const ScanJob& j) {
            return j.params.data_start == 45 && j.params.sensitivity >= 1 && j.params.byte_rate > 0;
        });
        if (from_start && end == size && size > 4096) {
            EXPECT_EQ(std::count(heard.begin() + 44, heard.end() - 64, false), 0);
        }
    }
}

}  // namespace
}  // namespace veltrane
