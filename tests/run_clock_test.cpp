// generate's run time leaves out the reasons it gives for a file without silences: the
// completion message and statistic 003 come out as they would without them.
#include <gtest/gtest.h>

#include "cli/run_clock.h"
#include "cli/scan_reasons.h"
#include "fakes.h"

namespace veltrane::test {
namespace {

// The reasons take 1000 seconds whenever they are worked out: the clock moves on by that
// much at each reading made while the run's clock is stopped.
class SlowReasonsClock : public FakeClock {
  public:
    RunClock* run = nullptr;
    double monotonic_seconds() override {
        if (run && run->paused()) monotonic += 1000;
        return FakeClock::monotonic_seconds();
    }
};

class RunClockTest : public RunTest {
  protected:
    RunClockTest() {
        slow.run = &run_clock;
        app = std::make_unique<App>(
            Platform{settings, boxes, dialog, run_clock, sound, process, loop, windows});
        bind_handlers(*app);
        loop.during_yield = [this] { slow.monotonic += 1.25; };  // the run itself
    }
    SlowReasonsClock slow;
    RunClock run_clock{slow};
};

TEST_F(RunClockTest, TheReasonsForAnEmptyScanAreNoPartOfTheRunsTime) {
    const auto wav = put("take1.wav", worked_example());
    dispatch(*app, f().Option4.on_focus);
    f().Slider2.set_value(100);  // too long a Filter for its one silence
    // Gathered along with the scan (as for a long recording) and read again after it (as
    // for a short one): the same reasons, both worked out while the run's clock stood.
    std::string told[2];
    for (int again = 0; again < 2; ++again) {
        ScanReasons reasons(*app, run_clock, again ? kReadAgainUpTo : 0);
        app->on_file_done = [&](const App::FileResult& r) {
            if (r.gaps == 0) told[again] += reasons.text(r.path);
        };
        const double taken_out = run_clock.taken_out();
        generate(wav);
        EXPECT_GE(run_clock.taken_out() - taken_out, 1000) << again;
        EXPECT_EQ(f().Label13.caption, "Procedure completed in 1.25 seconds.");
        EXPECT_EQ(app->run_seconds, 1.25);
    }
    EXPECT_NE(told[0].find("smallest Sensitivity"), std::string::npos) << told[0];
    EXPECT_EQ(told[1], told[0]);
    EXPECT_EQ(stat("003"), "3") << "1 second of the screen's refresh and 1 of each run";
}

TEST(RunClock, StopsOnceForNestedPausesAndPassesTheRestOn) {
    FakeClock inner;
    RunClock clock(inner);
    EXPECT_EQ(clock.monotonic_seconds(), 100);
    inner.monotonic = 110;
    {
        const RunClock::Paused outer(clock);
        inner.monotonic = 150;
        {
            const RunClock::Paused nested(clock);
            inner.monotonic = 170;
        }
        EXPECT_EQ(clock.monotonic_seconds(), 110) << "still stopped";
        inner.monotonic = 200;
    }
    EXPECT_EQ(clock.taken_out(), 90);
    inner.monotonic = 205;
    EXPECT_EQ(clock.monotonic_seconds(), 115);
    EXPECT_EQ(clock.time_text(), inner.time_text());
}

}  // namespace
}  // namespace veltrane::test
