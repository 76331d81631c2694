// The preview's look at a recording: the same silences as Generate, the waveform's
// buckets, the Sensitivity sweep held to one scan per Sensitivity (the quietest stretch
// and both ways of the sweep: FactsPass), and the reasons it gives when nothing was found.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "app/work.h"
#include "audio/gap_file.h"
#include "cli/format.h"
#include "fakes.h"
#include "preview/scene.h"
#include "preview/session.h"
#include "preview/sweep.h"
#include "preview/waveform.h"
#include "preview/why.h"
#include "preview/zoom.h"
#include "synth.h"
#include "wav_build.h"

namespace veltrane::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace preview;

constexpr Situation kSituations[] = {1, 2, 3, 4, 11, 12, 13, 14};

// A file in memory with its header read as the preview reads it.
struct Recording {
    explicit Recording(Bytes bytes) : file(std::move(bytes)) {}
    Recording(const Recording&) = delete;
    Bytes file;
    MemorySource source{file};
    WavInfo h = read_wav_header(source);
    HeaderShape shape = header_shape(source);
    SampleLayout l = sample_layout(h, shape, source.size());
};

// The sample of a channel in a frame of a plain 44-byte WAV file, scaled to 16 bits.
int sample_at(const Bytes& file, int channels, int bits, std::int64_t frame, int channel) {
    const auto at = static_cast<std::size_t>(44 + (frame * channels + channel) * (bits / 8));
    return bits == 8 ? (file[at] - 128) * 256
                     : static_cast<std::int16_t>(file[at] | file[at + 1] << 8);
}

TEST(PreviewSweep, SmallestSensitivityIsThatOfOneScanPerSensitivity) {
    std::mt19937 rng(977);
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    int found = 0;
    for (int round = 0; round < 500 && !::testing::Test::HasFailure(); ++round) {
        ScanParams p;
        p.situation = kSituations[uniform(0, 7)];
        const bool wide = p.situation % 10 == 2 || p.situation % 10 == 4;
        p.filter_ms = uniform(1, 100) <= 90 ? uniform(20, 200) : uniform(-3, 3);
        p.byte_rate = uniform(1, 100) <= 80 ? uniform(200, 6000) : uniform(1, 199);
        const int d = uniform(1, 100);
        p.data_start = d <= 60 ? 45 : d <= 80 ? uniform(-3000, 0) : uniform(1, 500);
        const auto size = static_cast<std::size_t>(uniform(0, 30000));
        const int e = uniform(1, 100);
        p.end_mark = e <= 50   ? static_cast<std::int64_t>(size) - 44
                     : e <= 70 ? static_cast<std::int64_t>(size) + uniform(-5, 3000)
                     : e <= 80 ? p.data_start - uniform(0, 4)
                               : uniform(-100, 40000);
        const Bytes file = stretches_of_loudness(rng, size, wide);
        MemorySource source(file);
        // Both ways of the sweep agree: FactsPass.AnswersAsTheSweepsAndTheScans...
        const auto want = smallest_sensitivity_by_scans(source, p);
        EXPECT_EQ(smallest_sensitivity(source, p), want)
            << "situation " << p.situation << " F " << p.filter_ms << " rate " << p.byte_rate
            << " start " << p.data_start << " L " << p.end_mark << " size " << size;
        if (want) ++found;
        // A smaller range of Sensitivities: the answer up to 10.
        EXPECT_EQ(smallest_sensitivity(source, p, 10),
                  smallest_sensitivity_by_scans(source, p, 10));
    }
    EXPECT_GT(found, 150) << "the material should give answers often";
}

TEST(PreviewWaveform, BucketsHoldTheExtremesOfTheirFramesWhicheverWayTheBytesCome) {
    std::mt19937 rng(5);
    for (int bits : {8, 16})
        for (int channels : {1, 2}) {
            Recording r(synth::wav_bytes({channels, bits, 8000},
                                         stretches_of_loudness(rng, 20011, bits == 16)));
            for (std::size_t buckets : {1u, 7u, 640u, 20000u}) {
                SCOPED_TRACE(::testing::Message() << bits << " " << channels << " " << buckets);
                const Waveform w = summarize(r.source, r.l, 3, r.l.frames - 5, buckets);
                ASSERT_EQ(w.buckets(), buckets);
                for (std::size_t b = 0; b < buckets; ++b) {
                    int lo = 32767, hi = -32768;
                    for (std::int64_t f = w.bucket_start(b); f < w.bucket_start(b + 1); ++f)
                        for (int c = 0; c < channels; ++c) {
                            lo = std::min(lo, sample_at(r.file, channels, bits, f, c));
                            hi = std::max(hi, sample_at(r.file, channels, bits, f, c));
                        }
                    ASSERT_EQ((std::pair<int, int>(w.lo[b], w.hi[b])), std::pair(lo, hi)) << b;
                }
                // The same from blocks of a scan-like reader: odd sizes, overlapping.
                Summarizer s(r.l, 3, r.l.frames - 5, buckets);
                for (std::size_t at = 0; at < r.file.size(); at += 997) {
                    const std::size_t n = std::min<std::size_t>(1061, r.file.size() - at);
                    s.take(static_cast<std::int64_t>(at), std::span(r.file).subspan(at, n));
                }
                const Waveform t = s.finish(r.source);
                EXPECT_TRUE(t.lo == w.lo && t.hi == w.hi);
            }
        }
}

// Generate, through the window, beside the preview, on the same files and settings.
class PreviewSessionTest : public RunTest {
  protected:
    Bytes generated(const std::filesystem::path& wav, const Settings& s) {
        std::filesystem::remove(gap_path(wav.string()));
        dispatch(*app, f().Option4.on_focus);
        f().Slider1.set_value(s.sensitivity);
        f().Slider2.set_value(s.filter_ms);
        f().Fast.set_value(s.double_speed ? 1 : 0);
        generate(wav);
        const auto gap = gap_path(wav.string());
        return std::filesystem::exists(gap) ? read_bytes(gap) : Bytes{};
    }
};

TEST_F(PreviewSessionTest, MatchesGenerateByteForByteOnVariedFilesInEveryLayoutAtBothSpeeds) {
    std::vector<std::pair<std::string, Bytes>> files;
    std::mt19937 rng(12);
    for (int bits : {8, 16})
        for (int channels : {1, 2}) {
            const synth::Format format{channels, bits, 11025};
            const std::string tag = std::to_string(bits) + "_" + std::to_string(channels);
            files.push_back({"speech" + tag + ".wav",
                             synth::wav_bytes(format, synth::speech_data(format, 4, bits))});
            files.push_back(
                {"steps" + tag + ".wav",
                 synth::wav_bytes(format, stretches_of_loudness(rng, 60001, bits == 16))});
        }
    const synth::Format mono16{1, 16, 8000};
    files.push_back(
        {"list.wav", inserted(synth::wav_bytes(mono16, synth::speech_data(mono16, 3, 9)), 36,
                              chunk("LIST", 31, 'x'))});
    Bytes odd = synth::wav_bytes({2, 8, 8000}, stretches_of_loudness(rng, 30001, false));
    odd[40] = odd[41] = 0xFF;  // a data length far past the end of the file
    files.push_back({"longclaim.wav", odd});
    odd[43] = 0xC0;  // past 2 GiB, which the window reads as less than nothing
    files.push_back({"big.wav", odd});

    const Settings settings[] = {
        {15, 50, false}, {23, 75, false}, {4, 25, false}, {40, 20, false}, {2, 300, false}};
    int nonempty = 0;
    for (const auto& [name, bytes] : files) {
        const auto wav = put(name, bytes);
        for (Settings s : settings)
            for (bool fast : {false, true}) {
                s.double_speed = fast;
                Session session(64);
                session.open(wav, s);
                const Bytes want = generated(wav, s);
                EXPECT_EQ(encode_gap(session.records()), want)
                    << name << " S " << s.sensitivity << " F " << s.filter_ms << " fast " << fast;
                if (!want.empty()) ++nonempty;
            }
    }
    EXPECT_GT(nonempty, 40);
}

TEST_F(PreviewSessionTest, LookingCountsNothingWritesNothingAndFollowsTheFile) {
    const synth::Format format{1, 8, 8000};
    const auto wav = dir / "take1.wav";
    write_bytes(wav, synth::wav_bytes(format, synth::speech_data(format, 3, 4)));
    const auto files_before = std::ranges::distance(std::filesystem::directory_iterator(dir));
    Session session(100);
    session.open(wav, {15, 50, false});
    ASSERT_FALSE(session.records().empty());
    EXPECT_FALSE(session.disk().exists);
    EXPECT_EQ(session.comparison().added, session.records().size());
    EXPECT_FALSE(session.update({15, 50, false})) << "nothing changed";
    EXPECT_EQ(std::ranges::distance(std::filesystem::directory_iterator(dir)), files_before);

    // A slider moves; then the recording is replaced by a quieter one. (A GAP file that
    // appears beside it: PreviewWindowTest.ShowsOnlyTheFileBeingReadAndTheGapFileBesideIt.)
    EXPECT_TRUE(session.update({30, 50, false}));
    write_bytes(wav, synth::wav_bytes(format, Bytes(16000, 128)));
    EXPECT_TRUE(session.update({30, 50, false}));
    EXPECT_TRUE(session.records().empty()) << "a silence to the end is never recorded";
}

// Why nothing is found in a file, in a language.
std::vector<std::string> why(const Bytes& file, Language lang,
                             const Settings& s = {15, 50, false}) {
    Recording r(file);
    return why_lines(explain_nothing(r.source, r.h, r.shape, r.l, s), lang);
}

// Quiet 16-bit stereo whose samples change sign: -1 beside 20 makes the byte pair FF 14,
// far past the band, so normal speed finds nothing although every sample lies inside it.
TEST(PreviewWhy, SixteenBitStereoInsideTheBandSaysWhyNormalSpeedFindsNothing) {
    Bytes data;
    for (int i = 0; i < 8000; ++i) data.insert(data.end(), {0xFF, 0xFF, 0x14, 0x00});
    Recording r(synth::wav_bytes({2, 16, 8000}, data));
    ASSERT_TRUE(records_of(r.source, generate_params(r.h, {15, 50, false})).empty());
    const auto en = why(r.file, Language::English);
    ASSERT_EQ(en.size(), 3u);
    EXPECT_TRUE(
        en[2].starts_with("16-bit stereo at normal speed: the quietest stretch lies "
                          "inside the band, but "))
        << en[2];
    // Double Speed judges other pairs: no such line.
    const Settings fast{15, 50, true};
    ASSERT_TRUE(records_of(r.source, generate_params(r.h, fast)).empty());
    EXPECT_EQ(why(r.file, Language::English, fast).size(), 2u);
}

TEST(PreviewWhy, OddHeadersAndFilesThatAreNotScanned) {
    const Bytes list =
        inserted(synth::wav_bytes({1, 8, 8000}, Bytes(4000, 0)), 36, chunk("LIST", 26, 'x'));
    const std::string header = why(list, Language::English).back();
    EXPECT_TRUE(has(header, "begin at byte 78, after a \"LIST\" chunk, but ")) << header;
    EXPECT_TRUE(has(header, "the number at byte 40 (26) as the data length.")) << header;

    Bytes wide = synth::wav_bytes({1, 16, 8000}, Bytes(3000, 0));
    wide[32] = 3;  // three bytes per frame
    const auto refused = why(wide, Language::English);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_TRUE(refused[0].ends_with("here a sample frame has 3 bytes for 1 channel."))
        << refused[0];
}

TEST(PreviewLists, RecordsThatMovedAreToldFromNewOnesAndTheLabelTrackAndTally) {
    const std::vector<GapRecord> now = {{100, 200}, {300, 420}, {500, 600}, {900, 950}};
    // Unsorted, as a hand-made file may be; one long record overlapping two.
    const std::vector<GapRecord> disk = {
        {880, 960}, {100, 200}, {100, 200}, {290, 610}, {2000, 2100}};
    const Comparison c = compare(now, disk);
    EXPECT_EQ(c.now,
              (std::vector<Match>{Match::Same, Match::Changed, Match::Changed, Match::Changed}));
    EXPECT_EQ(c.disk, (std::vector<Match>{Match::Changed, Match::Same, Match::OnlyOnDisk,
                                          Match::Changed, Match::OnlyOnDisk}));
    EXPECT_EQ((std::vector{c.same, c.changed, c.added, c.removed}),
              (std::vector<std::size_t>{1, 3, 0, 2}));

    const std::vector<GapRecord> records = {{105, 205}, {1000, 1500}, {-3, 40000}};
    EXPECT_EQ(label_track(records),
              "0.105\t0.205\tgap 1\n1.000\t1.500\tgap 2\n-0.003\t40.000\tgap 3\n");
    EXPECT_EQ(tally(records), (Tally{3, 600 + 40003, 40003}));
}

TEST_F(PreviewSessionTest, SpeedLineSaysWhatDoubleSpeedFindsBesideWhatNormalSpeedFinds) {
    // Hissing pauses, then one of pure digital silence, closed by a word: normal speed
    // finds that one alone, Double Speed the hissing ones too.
    Bytes samples = hissing_speech_samples();
    const Bytes word(samples.begin(), samples.begin() + 4800);
    samples.insert(samples.end(), 8000, 0);
    samples.insert(samples.end(), word.begin(), word.end());
    Recording r(synth::wav_bytes({1, 16, 8000}, samples));
    write_bytes(dir / "take.wav", r.file);
    const std::size_t fast = records_of(r.source, generate_params(r.h, {15, 50, true})).size();

    Session session(64);
    session.open(dir / "take.wav", {15, 50, false});
    ASSERT_EQ(session.records().size(), 1u);
    ASSERT_GT(fast, 1u);
    EXPECT_EQ(speed_line(session, Language::English),
              "16-bit recording at normal speed: Double Speed finds " + std::to_string(fast) +
                  " silences, now 1.");
    // Worked out afresh for new settings; nothing to say at Double Speed or for 8 bits.
    session.update({4, 50, false});
    EXPECT_EQ(session.double_speed_finds(),
              records_of(r.source, generate_params(r.h, {4, 50, true})).size());
    session.update({15, 50, true});
    EXPECT_EQ(speed_line(session, Language::English), "");
    write_bytes(dir / "stereo.wav", synth::wav_bytes({2, 16, 8000}, samples));
    session.open(dir / "stereo.wav", {15, 50, false});
    EXPECT_TRUE(session.double_speed_finds()) << "16-bit stereo is read in part too";
    write_bytes(dir / "eight.wav", worked_example());
    session.open(dir / "eight.wav", {15, 50, false});
    EXPECT_EQ(speed_line(session, Language::English), "");
}

// The view fits inside the recording, moved rather than cut, never under a millisecond or
// 16 frames; zooming keeps its point in place, scrolling moves by a share of the width.
TEST(PreviewZoom, ViewsStayInsideTheRecording) {
    using preview::View;
    const struct {
        View wanted;
        double total_ms, frame_ms;
        View fitted;
    } cases[] = {
        {{-50, 50}, 1000, 0, {0, 100}},       // moved in at the start
        {{950, 1100}, 1000, 0, {850, 1000}},  // and at the end
        {{-10, 5000}, 1000, 0, {0, 1000}},    // no wider than the recording
        {{100, 100.2}, 1000, 0, {100, 101}},  // never under a millisecond
        {{100, 101}, 1000, 0.5, {100, 108}},  // nor under 16 frames
        {{0, 0}, 0.25, 0, {0, 1}},            // a recording shorter than a millisecond
    };
    const auto ends = [](View v) { return std::pair{v.from_ms, v.to_ms}; };
    for (const auto& c : cases)
        EXPECT_EQ(ends(preview::fitted(c.wanted, c.total_ms, c.frame_ms)), ends(c.fitted))
            << c.wanted.from_ms << " " << c.wanted.to_ms;
    EXPECT_EQ(ends(preview::zoomed({100, 300}, 0.5, 150)), ends({125, 225}));  // 150 stays put
    EXPECT_EQ(ends(preview::scrolled({100, 300}, -0.1)), ends({80, 280}));
}

}  // namespace
}  // namespace veltrane::test
