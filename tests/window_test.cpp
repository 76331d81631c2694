#include <gtest/gtest.h>

#include "app/language.h"
#include "app/presets.h"
#include "base/error.h"
#include "fakes.h"

namespace veltrane::test {
namespace {

using WindowTest = AppTest;

// A check box set by code clicks only on a change: LogTest's ticking of the log box
// holds that.
TEST_F(WindowTest, CodeThatMovesASliderKeepsItInRangeAndRunsTheChangeHandlerOnlyOnAChange) {
    int moves = 0;
    f().Slider1.on_change = [&] { ++moves; };
    f().Slider1.set_value(15);  // where it already is
    f().Slider1.set_value(80);  // beyond the end: brought to 50
    EXPECT_EQ(f().Slider1.value(), 50);
    f().Slider1.set_value(-4);
    EXPECT_EQ(f().Slider1.value(), 1);
    EXPECT_EQ(moves, 2);
}

TEST_F(WindowTest, FocusOnAPresetMovesTheSlidersAndOnAMethodBoxSetsTheMethodWithoutTickingIt) {
    dispatch(*app, f().Option4.on_focus);
    f().Slider1.set_value(40);
    f().Slider2.set_value(300);

    dispatch(*app, f().Option2.on_focus);
    EXPECT_EQ(f().Text9.caption, "23");
    EXPECT_EQ(f().Text10.caption, "75");
    EXPECT_FALSE(f().Slider1.enabled || f().Slider2.enabled);

    dispatch(*app, f().Option4.on_focus);  // Custom keeps what the sliders show
    EXPECT_TRUE(f().Slider1.enabled && f().Slider2.enabled);
    EXPECT_EQ(f().Slider1.value(), 23);

    dispatch(*app, f().Option3.on_focus);
    EXPECT_EQ(f().Text9.caption, "4");
    EXPECT_EQ(f().Text10.caption, "25");

    // A method box's focus sets the method and clears the other marks; its own waits for
    // the click.
    dispatch(*app, f().ch6.on_focus);
    EXPECT_EQ(f().Text11.caption, "2");
    for (const CheckBox* box : {&f().ch5, &f().ch6, &f().ch7}) EXPECT_EQ(box->value(), 0);
}

TEST_F(WindowTest, LanguageSwitchesBackAndForthExactlyAndErrorsAreShownInIt) {
    const auto fail = [] { throw Error(Errc::Write, "/x/y.gap", "Read-only file system"); };
    dispatch(*app, fail);
    translate(*app);
    EXPECT_EQ((std::vector{f().lan.caption, f().Command5.caption, f().StatusBar1.caption}),
              (std::vector<std::string>{"2", "English", "Fertig..."}));
    dispatch(*app, fail);
    dispatch(*app, [] { throw std::runtime_error("odd"); });
    EXPECT_EQ(boxes.shown, (std::vector<std::string>{
                               "Cannot write \"/x/y.gap\": Read-only file system",
                               "„/x/y.gap“ lässt sich nicht schreiben: Read-only file system",
                               "Unerwarteter Fehler: odd"}));
    translate(*app);
    EXPECT_EQ(f().Command4.caption, "Play");
    f().lan.caption = "5";
    translate(*app);
    EXPECT_EQ(f().Command5.caption, "German");
}

}  // namespace
}  // namespace veltrane::test
