// The preview's arithmetic for listening and for its keys: what a stretch of time is in
// bytes of the file, which silence stays selected when the settings change, the steps
// of the time axis.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "preview/listening.h"
#include "preview/scene.h"
#include "preview/selection.h"
#include "preview/why.h"

namespace veltrane::test {
namespace {

using preview::Language;

TEST(PreviewListening, PlaysEightAndSixteenBitMonoOrStereoInWholeFrames) {
    const preview::SampleLayout stereo16{44, 8000, 4, 2, 2, 8000};
    EXPECT_EQ(preview::play_format(stereo16), (PcmFormat{8000, 2, 2}));
    EXPECT_EQ(preview::play_format({44, 100, 1, 1, 1, 11025}), (PcmFormat{11025, 1, 1}));
    EXPECT_EQ(preview::unplayable_cause(stereo16, Language::English), "");
    // What Qt's output cannot be handed as it lies in the file.
    const preview::SampleLayout wide{44, 100, 3, 1, 3, 8000};
    const preview::SampleLayout many{44, 100, 6, 3, 2, 8000};
    const preview::SampleLayout none{44, 0, 2, 1, 2, 8000};
    for (const auto& l : {wide, many, none}) EXPECT_FALSE(preview::play_format(l));
    EXPECT_EQ(preview::unplayable_cause(wide, Language::English),
              "24-bit samples; 8 and 16 bits are played");
    EXPECT_EQ(preview::unplayable_cause(many, Language::German),
              "3 Kanäle, abgespielt werden Mono und Stereo");

    // 32 bytes a millisecond, frames of 4 bytes from byte 44: times round to a frame and
    // stay inside the frames. 10 ms is byte 320: frame 69 of (320 - 44) / 4; a second
    // before 1100 ms is 100 ms, byte 3200, and a second after runs past the end.
    using Bytes = std::pair<std::int64_t, std::int64_t>;
    const auto bytes = [](preview::ByteRange r) { return Bytes{r.from, r.to}; };
    const double per_ms = 32;
    EXPECT_EQ(bytes(preview::frames_between(stereo16, per_ms, 10, 20)),
              Bytes(44 + 69 * 4, 44 + 149 * 4));
    EXPECT_EQ(bytes(preview::frames_between(stereo16, per_ms, -5, 1e9)), Bytes(44, 44 + 8000 * 4));
    EXPECT_TRUE(preview::frames_between(stereo16, per_ms, 50, 40).empty());
    EXPECT_EQ(bytes(preview::around(stereo16, per_ms, {1100, 1200})),
              Bytes(44 + 789 * 4, 44 + 8000 * 4));
}

TEST(PreviewSelection, KeepsTheSilenceThatOverlapsMostAndStepsThroughThem) {
    const std::vector<GapRecord> before{{100, 200}, {500, 900}, {1500, 1600}};
    const struct {
        std::vector<GapRecord> now;
        int selected, kept;
    } cases[] = {
        {{{100, 200}, {500, 900}, {1500, 1600}}, 1, 1},  // nothing changed
        {{{520, 880}}, 1, 0},                            // the row number need not stay
        {{{450, 560}, {600, 880}}, 1, 1},                // the longer overlap wins
        {{{450, 600}, {800, 950}}, 1, 0},                // a tie: the earlier one
        {{{100, 200}, {950, 1400}}, 1, -1},              // gone: none
        {{{880, 1550}}, 2, 0},                           // merged into one
        {{{100, 200}}, -1, -1},                          // none before
        {{}, 0, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(preview::kept_selection(before, c.selected, c.now), c.kept)
            << "selected " << c.selected << ", " << c.now.size() << " now";
    EXPECT_EQ(preview::kept_selection(before, 7, before), -1);

    // None selected: from the given time (the cursor or the view's left edge).
    const struct {
        int selected, step;
        double at_ms;
        int want;
    } steps[] = {
        {0, 1, 0, 1},    {2, 1, 0, 2},     {0, -1, 0, 0},    {2, -1, 0, 1},
        {-1, 1, 300, 1}, {-1, -1, 300, 0}, {-1, 1, 5000, 2}, {-1, -1, 0, 0},
    };
    for (const auto& c : steps)
        EXPECT_EQ(preview::stepped_selection(before, c.selected, c.step, c.at_ms), c.want)
            << c.selected << " " << c.step << " " << c.at_ms;
    EXPECT_EQ(preview::stepped_selection({}, -1, 1, 0), -1);
}

// Ticks fall on round times: 1, 2, 5 times a power of ten seconds, then whole minutes
// (never 1:40, 3:20), then hours.
TEST(PreviewTicks, StepsAreRoundSecondsMinutesAndHours) {
    const struct {
        double at_least_ms, step_ms;
    } cases[] = {
        {0.3, 0.5},         {7, 10},           {10, 10},           {11, 20},
        {150, 200},         {1500, 2000},      {4000, 5000},       {15000, 20000},
        {21000, 60000},     {61000, 120000},   {100000, 120000},   {250000, 300000},
        {400000, 600000},   {700000, 1200000}, {1500000, 1800000}, {2000000, 3600000},
        {4000000, 7200000}, {9e6, 18e6},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(preview::tick_step(c.at_least_ms), c.step_ms) << c.at_least_ms;
    for (double wanted = 0.01; wanted < 1e8; wanted *= 1.37) {
        const double step = preview::tick_step(wanted);
        EXPECT_GE(step, wanted * (1 - 1e-9));
        EXPECT_LE(step, wanted * 3.01) << wanted;
        if (step >= 60000) {
            EXPECT_EQ(std::fmod(step, 60000), 0) << step;  // whole minutes
        } else {
            const double mantissa = step / std::pow(10, std::floor(std::log10(step) + 1e-9));
            EXPECT_TRUE(std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 ||
                        std::abs(mantissa - 5) < 1e-9)
                << step;
        }
    }
    // The labels of a long file's ticks.
    const double step = preview::tick_step(330000 / 8.0);
    EXPECT_EQ(preview::axis_time(step, step, Language::English), "1:00");
    EXPECT_EQ(preview::axis_time(5 * step, step, Language::English), "5:00");
}

}  // namespace
}  // namespace veltrane::test
