// The one pass behind the reasons, held to the sweeps it replaces (both of their ways),
// to one scan per Sensitivity and to a plain count of the silences, on random sound; fed
// as a whole, in ragged blocks and along with a scan.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

#include "audio/level_kernels.h"
#include "audio/scan.h"
#include "preview/facts_pass.h"
#include "preview/sweep.h"
#include "preview/why.h"
#include "synth.h"
#include "wav_build.h"

namespace veltrane::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace preview;

// What the sweeps of sweep.cpp and a scan answer to the same questions.
PassAnswers the_old_way(ByteSource& source, const PassQuestions& q, Method method) {
    PassAnswers a;
    if (q.normal.situation != 0)
        a.smallest_normal = smallest_sensitivity(source, q.normal, kMostSensitivity, {}, method);
    if (q.fast.situation != 0) {
        a.smallest_fast = smallest_sensitivity(source, q.fast, kMostSensitivity, {}, method);
        if (q.count_fast_at) {
            ScanParams at = q.fast;
            at.sensitivity = *q.count_fast_at;
            a.fast_finds = 0;
            scan(source, at, [&a](const Silence&) { ++*a.fast_finds; });
        }
    }
    a.quietest = quietest_stretch(source, q.layout, q.filter_ms, {}, method);
    return a;
}

// The answers as one value that compares and prints.
auto answers(const PassAnswers& a) {
    std::optional<std::tuple<int, std::int64_t, std::int64_t>> quietest;
    if (a.quietest) quietest = {a.quietest->peak, a.quietest->first_frame, a.quietest->frames};
    return std::tuple(a.smallest_normal, a.smallest_fast, a.fast_finds, quietest);
}

// The bytes handed over in blocks of random lengths that overlap now and then and
// sometimes leave a gap (which the gatherer reads for itself at the end).
PassAnswers in_ragged_blocks(ByteSource& source, const PassQuestions& q, std::mt19937& rng) {
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    FactsGatherer g(q, source.size());
    Bytes block;
    for (std::int64_t at = 0; at < source.size();) {
        block.resize(static_cast<std::size_t>(uniform(1, 5000)));
        const std::size_t got = source.read_at(at, block);
        g.take(at, std::span(block).first(got));
        const int r = uniform(1, 100);
        at += static_cast<std::int64_t>(got) + (r <= 10 ? -uniform(0, 3) : r <= 13 ? 7 : 0);
        at = std::max<std::int64_t>(at, 1);
    }
    return g.finish(source);
}

PassQuestions questions(const Bytes& file, const Settings& s) {
    MemorySource source(file);
    const WavInfo h = read_wav_header(source);
    return reasons_questions(h, sample_layout(h, header_shape(source), source.size()), s);
}

TEST(FactsPass, AnswersAsTheSweepsAndTheScansOnRandomSound) {
    std::mt19937 rng(4242);
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    int answered = 0, counted = 0;
    for (int round = 0; round < 300 && !::testing::Test::HasFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const int channels = uniform(1, 2);
        const int bits = uniform(0, 1) ? 16 : 8;
        const synth::Format format{channels, bits, uniform(1, 10) <= 8 ? 1000 : uniform(50, 3000)};
        // Now and then long enough for the pass to go in batches.
        const int size = round % 25 == 7 ? uniform(300000, 1200000) : uniform(0, 40000);
        Bytes file = synth::wav_bytes(
            format, stretches_of_loudness(rng, static_cast<std::size_t>(size), bits == 16, 1500));
        // Now and then a header that says more or less data than there is.
        if (uniform(1, 10) == 1 && file.size() >= 44) {
            const auto claim = static_cast<std::uint32_t>(uniform(0, 50000));
            for (int i = 0; i < 4; ++i) file[40 + i] = static_cast<std::uint8_t>(claim >> (8 * i));
        }
        const Settings s{uniform(1, 50), uniform(20, 300), uniform(0, 3) == 0};
        PassQuestions q = questions(file, s);
        MemorySource source(file);
        const PassAnswers want = the_old_way(source, q, Method::Queue);
        EXPECT_EQ(answers(gather_facts(source, q)), answers(want)) << "whole";
        EXPECT_EQ(answers(in_ragged_blocks(source, q, rng)), answers(want)) << "ragged";
        if (round % 10 == 0) {
            EXPECT_EQ(answers(the_old_way(source, q, Method::Blocks)), answers(want)) << "blocks";
            EXPECT_EQ(want.smallest_normal, smallest_sensitivity_by_scans(source, q.normal));
        }
        if (want.smallest_normal) ++answered;
        if (want.fast_finds && *want.fast_finds > 0) ++counted;
    }
    EXPECT_GT(answered, 60) << "the material should give answers often";
    EXPECT_GT(counted, 10) << "and Double Speed should find something now and then";
}

// Loud sound with one quiet stretch a little longer than the Filter, handed over in
// blocks that overlap as a scan's do: the stretch at every position about a block's edge,
// after blocks in which nothing can matter and which the pass therefore only glances at
// (once it has judged a batch of values, so that it knows how loud is loud).
TEST(FactsPass, FindsTheQuietStretchWhereverTheBlocksBeginAndEnd) {
    std::mt19937 rng(11);
    // Blocks shorter and longer than the Filter of 50 ms (400 frames).
    for (const auto& [format, block] :
         {std::pair{synth::Format{2, 16, 8000}, 1024}, std::pair{synth::Format{2, 16, 8000}, 4096},
          std::pair{synth::Format{1, 8, 8000}, 4096}}) {
        const int frame = format.channels * format.bits / 8;
        const int stretch = 420;
        const std::int64_t frames = 340000;
        Bytes loud(static_cast<std::size_t>(frames * frame));
        for (std::size_t i = 0; i < loud.size(); ++i) {
            const bool high = format.bits == 8 || i % 2 == 1;
            loud[i] =
                static_cast<std::uint8_t>(high ? (rng() % 2 ? 0xC0 : 0x10) + rng() % 48 : rng());
            // Full scale now and then, so that every window is as loud as can be.
            if (i / frame % 16 == 0) loud[i] = format.bits == 16 && high ? 0x80 : 0;
        }
        const std::int64_t edge = (frames - 10 * block / frame) / (block / frame) * block / frame -
                                  44 / frame;  // a frame a block begins in
        for (std::int64_t first = edge - stretch - 70; first < edge + 70; first += 11) {
            Bytes data = loud;
            for (std::int64_t f = first; f < first + stretch; ++f)
                for (int c = 0; c < format.channels; ++c) {
                    const int v = static_cast<int>(f - first) % 5 - 2;
                    std::uint8_t* at =
                        &data[static_cast<std::size_t>(f * frame + c * frame / format.channels)];
                    at[0] = static_cast<std::uint8_t>(format.bits == 8 ? 128 + v : v & 0xFF);
                    if (format.bits == 16) at[1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
                }
            const Bytes file = synth::wav_bytes(format, data);
            MemorySource source(file);
            const PassQuestions q = questions(file, {15, 50, false});
            FactsGatherer g(q, source.size());
            for (std::int64_t at = 0; at < source.size(); at += block)
                g.take(at, std::span(file).subspan(static_cast<std::size_t>(at),
                                                   static_cast<std::size_t>(std::min<std::int64_t>(
                                                       block + 8, source.size() - at))));
            EXPECT_EQ(answers(g.finish(source)), answers(the_old_way(source, q, Method::Blocks)))
                << format.bits << " bits, blocks of " << block << ", stretch from " << first - edge;
            if (::testing::Test::HasFailure()) return;
        }
    }
}

TEST(FactsPass, RidesAlongWithTheScanAndStopsEarlyOrWhenTold) {
    const synth::Format format{2, 16, 44100};
    const Bytes file = synth::wav_bytes(format, synth::speech_data(format, 20, 3));
    MemorySource memory(file);
    // A source that is no memory, so that the scan reads in blocks, and counts them.
    struct Reader final : TappedSource {
        using TappedSource::TappedSource;
        void seen(std::int64_t, std::span<const std::uint8_t> b) override { read += std::ssize(b); }
        std::int64_t read = 0;
    } reader(memory);
    const Settings s{1, 500, false};
    const PassQuestions q = questions(file, s);
    FactsGatherer g(q, reader.size());
    GatheringSource both(reader, g);
    ScanParams p = q.normal;
    p.sensitivity = s.sensitivity;
    scan(both, p, [](const Silence&) {});
    const std::int64_t by_scan = reader.read;
    EXPECT_EQ(answers(g.finish(reader)), answers(gather_facts(memory, q))) << "along with the scan";
    EXPECT_LT(reader.read - by_scan, reader.size() / 100) << "nothing read twice";

    // Silence from the start: every answer is known at once, the rest is not read.
    Bytes quiet = synth::wav_bytes(format, Bytes(12 * 44100 * 4, 0));
    for (std::size_t i = 44 + 4 * 44100; i < quiet.size(); ++i) quiet[i] = (i * 7919) & 0xFF;
    MemorySource q_source(quiet);
    FactsGatherer early(questions(quiet, {5, 50, true}), q_source.size());
    early.take(0, std::span(quiet).first(44 + 8 * 44100 * 4));
    EXPECT_TRUE(early.done());
    EXPECT_EQ(early.finish(q_source).quietest->peak, 0);

    // The pass and the sweeps it falls back on stop when told to.
    int asked = 0;
    const KeepGoing stop_at_second = [&] { return ++asked < 2; };
    EXPECT_THROW(gather_facts(memory, q, stop_at_second), Stopped);
    asked = 0;
    EXPECT_THROW(smallest_sensitivity(memory, q.normal, 50, stop_at_second), Stopped);
    asked = 0;
    EXPECT_THROW(quietest_stretch(memory, q.layout, 50, stop_at_second), Stopped);
}

namespace se = scan_engine;

// What the level kernel of `k` gives for `n` steps of `in`.
Bytes levels(se::Kernel k, Situation s, const Bytes& in, std::int64_t n) {
    Bytes out(static_cast<std::size_t>(n));
    se::level_kernel(k, s)(in.data(), n, 51, out.data());
    return out;
}

// What the peak kernel of `k` gives for `n` frames of `channels` samples of `size` bytes.
std::vector<std::uint16_t> peaks(se::Kernel k, int size, int channels, const Bytes& in,
                                 std::int64_t n) {
    const int frame = size * channels;
    std::vector<std::uint16_t> out(static_cast<std::size_t>(n));
    se::peak_kernel(k, size, channels, frame)(in.data(), n, channels, frame, out.data());
    return out;
}

// The loudest of each whole group of 64 values.
template <typename T>
std::vector<T> group_loudest(const std::vector<T>& values) {
    std::vector<T> out(values.size() / 64);
    for (std::size_t g = 0; g < out.size(); ++g)
        out[g] = *std::max_element(values.begin() + 64 * g, values.begin() + 64 * g + 64);
    return out;
}

// A bound from below lies between a group's first value and its loudest.
template <typename T>
void expect_bounds(const std::vector<T>& got, const std::vector<T>& values) {
    const std::vector<T> loudest = group_loudest(values);
    ASSERT_EQ(got.size(), loudest.size());
    for (std::size_t g = 0; g < got.size(); ++g) {
        EXPECT_LE(got[g], loudest[g]) << g;
        EXPECT_GE(got[g], values[64 * g]) << g;
    }
}

// Every kernel behind the pass gives what the plain loops give, at lengths around the
// widths they work in (and around eight groups of 64, the group kernels' width), and
// reads no byte past the last value it needs (ASan).
TEST(LevelKernels, EachKernelGivesWhatThePlainLoopsGive) {
    constexpr se::Kernel plain = se::Kernel::portable;
    std::mt19937 random(5);
    const auto bytes = [&](std::size_t n) {
        Bytes b(n);
        for (auto& x : b) x = static_cast<std::uint8_t>(random() % 3 == 0 ? random() : 128);
        return b;
    };
    for (se::Kernel k : se::available_kernels()) {
        for (std::int64_t n : {1, 31, 32, 33, 63, 64, 65, 200, 511, 512, 513, 1100}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(k)) + " " + std::to_string(n));
            for (Situation s : {1, 2, 3, 4, 11, 12, 13, 14}) {
                SCOPED_TRACE(s);
                // Just the bytes n steps of the situation read.
                const auto layout = se::layout_of(s);
                const Bytes in =
                    bytes(static_cast<std::size_t>((n - 1) * layout.step + layout.reach + 1));
                const Bytes all = levels(plain, s, in, n);
                EXPECT_EQ(levels(k, s, in, n), all);
                Bytes got(static_cast<std::size_t>(n / 64));
                se::group_level_kernel(k, s)(in.data(), n, 51, got.data());
                EXPECT_EQ(got, group_loudest(all));
                if (const auto bound = se::group_level_bound_kernel(k, s)) {
                    bound(in.data(), n, 51, got.data());
                    expect_bounds(got, all);
                }
            }
            for (int channels : {1, 2, 3})
                for (int size : {1, 2, 3}) {
                    SCOPED_TRACE(std::to_string(channels) + "x" + std::to_string(size));
                    const int frame = size * channels;
                    const Bytes in = bytes(static_cast<std::size_t>(n * frame));
                    const std::vector<std::uint16_t> all = peaks(plain, size, channels, in, n);
                    EXPECT_EQ(peaks(k, size, channels, in, n), all);
                    std::vector<std::uint16_t> got(static_cast<std::size_t>(n / 64));
                    se::group_peak_kernel(k, size, channels, frame)(in.data(), n, channels, frame,
                                                                    got.data());
                    EXPECT_EQ(got, group_loudest(all));
                    if (const auto bound = se::group_peak_bound_kernel(k, size, channels, frame)) {
                        bound(in.data(), n, channels, frame, got.data());
                        expect_bounds(got, all);
                    }
                }
            const Bytes in = bytes(static_cast<std::size_t>(2 * n - 1));
            Bytes got(n), want(n);
            se::every_other_kernel(k)(in.data(), n, got.data());
            se::every_other_portable(in.data(), n, want.data());
            EXPECT_EQ(got, want);
            const Bytes groups = bytes(static_cast<std::size_t>(64 * n));
            Bytes loud(n), loud_plain(n);
            se::group_loudest_kernel<std::uint8_t>(k)(groups.data(), n, loud.data());
            se::group_loudest_portable<std::uint8_t>(groups.data(), n, loud_plain.data());
            EXPECT_EQ(loud, loud_plain);
            const std::vector<std::uint16_t> wide(groups.begin(), groups.end());
            for (int c = 0; c <= 64; c += 7)
                for (const std::uint16_t lim : {0, 1, 128, 129, 255, 256, 65535}) {
                    std::uint64_t want_bits = 0, want_bits16 = 0;
                    for (int j = 0; j < c; ++j) {
                        want_bits |= std::uint64_t{groups[j] < std::min<int>(lim, 255)} << j;
                        want_bits16 |= std::uint64_t{wide[j] < lim} << j;
                    }
                    EXPECT_EQ(se::below_bits<std::uint8_t>(groups.data(), c,
                                                           std::min<std::uint16_t>(lim, 255)),
                              want_bits);
                    EXPECT_EQ(se::below_bits(wide.data(), c, lim), want_bits16);
                }
            // 16-bit stereo's bounds for all three at once, chunks of 256 bytes in eights.
            if (const auto all = se::stereo16_bounds_kernel(k); all && n >= 512) {
                const std::int64_t chunks = n / 512 * 8;
                // Samples of every size, the largest different from group to group.
                Bytes in16(static_cast<std::size_t>(256 * chunks + 1));
                int largest = 1;
                for (std::size_t i = 0; i + 1 < in16.size(); i += 2) {
                    if (i % 128 == 0) largest = 1 << (random() % 16);
                    const int v = static_cast<int>(random() % largest) * (random() % 2 ? 1 : -1);
                    in16[i] = static_cast<std::uint8_t>(v & 0xFF);
                    in16[i + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
                }
                Bytes normal(2 * chunks), fast(chunks);
                std::vector<std::uint16_t> frames(chunks);
                all(in16.data(), chunks, 51, normal.data(), fast.data(), frames.data());
                const Bytes each = levels(plain, 4, in16, 128 * chunks);
                Bytes even;
                for (std::size_t i = 0; i < each.size(); i += 2) even.push_back(each[i]);
                expect_bounds(normal, each);
                expect_bounds(fast, even);
                expect_bounds(frames, peaks(plain, 2, 2, in16, 64 * chunks));
            }
        }
    }
}

}  // namespace
}  // namespace veltrane::test
