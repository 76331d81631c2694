#include <gtest/gtest.h>

#include "app/feedback.h"
#include "app/startup.h"
#include "app/startup_values.h"
#include "fakes.h"

namespace veltrane::test {
namespace {

class StartupTest : public AppTest {
  protected:
    // Restarts the App so that it reads the (fake) command line.
    void start_with(const std::string& line) {
        process.line = line;
        app = std::make_unique<App>(platform(settings, windows));
        Main(*app);
    }
};

TEST_F(StartupTest, FirstStartShowsTheSplashAndComesUpInEnglish) {
    start_with("");
    EXPECT_EQ(windows.calls,
              (std::vector<std::string>{"show_splash", "unload_splash", "show_main"}));
    EXPECT_EQ(startup("Log"), "0");
    EXPECT_FALSE(std::filesystem::exists(process.folder / "log.txt"));
    EXPECT_EQ(f().Command5.caption, "German");
    EXPECT_TRUE(f().Option1.value()) << "Normal through the fallback";
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(StartupTest, CommandLineFileIsGeneratedOrOnlyLoaded) {
    const std::string wav = (dir / "take1.wav").string();
    write_bytes(wav, worked_example());
    boxes.answer = Answer::Cancel;
    start_with("\"" + wav + "\"");
    EXPECT_EQ(boxes.titles.at(0), "What to you wish to do?");
    EXPECT_EQ(f().Text1.caption, "take1.wav");
    EXPECT_TRUE(f().Command3.enabled);
    EXPECT_FALSE(std::filesystem::exists(dir / "take1.gap"));

    boxes.answer = Answer::Ok;
    start_with("\"" + wav + "\"");
    EXPECT_TRUE(std::filesystem::exists(dir / "take1.gap"));
    EXPECT_EQ(windows.calls.back(), "show_main");
}

TEST_F(StartupTest, ExitSavesTheChoicesAndTheNextStartRestoresThem) {
    start_with("");
    f().lg.set_value(1);
    dispatch(*app, f().Option4.on_focus);
    f().Option4.set_value(true);
    f().Slider1.set_value(30);
    f().Slider2.set_value(60);
    dispatch(*app, f().ch7.on_focus);
    for (CheckBox* box : {&f().ch7, &f().Fast, &f().multi}) box->set_value(1);
    dispatch(*app, f().Command5.on_click);  // German
    dispatch(*app, f().Command2.on_click);
    EXPECT_EQ(windows.calls.back(), "end_program");
    EXPECT_EQ((std::vector{startup("Selection"), startup("Filter"), startup("Method"),
                           startup("Language")}),
              (std::vector<std::string>{"4", "60", "3", "1"}));
    EXPECT_TRUE(has(log_text(), "     Finishing operation properly!\r\nActivity stopped at"));

    settings.values["Startup Values/Filter"] = "600";
    start_with("");
    EXPECT_TRUE(f().Option4.value() && f().Slider1.enabled);
    // The stored Filter of 600 is brought into the range.
    EXPECT_EQ((std::vector{f().lan.caption, f().Text9.caption, f().Text10.caption}),
              (std::vector<std::string>{"2", "30", "500"}));
    EXPECT_EQ((std::vector{f().ch5.value(), f().ch7.value(), f().Fast.value(), f().multi.value(),
                           f().lg.value()}),
              (std::vector{0, 1, 1, 1, 1}));
}

TEST_F(StartupTest, DebugWavSwitchesToTheWideWindowAndLeavingSwitchesBack) {
    start_with("");
    f().ch6.set_value(1);
    dialog.choices = {ChosenFile{"/any/DEBUG.WAV", "DEBUG.WAV"}};
    dispatch(*app, f().Command1.on_click);
    EXPECT_EQ(boxes.shown.back(), "OK. Veltrane will now reboot at Rook/Debug mode...");
    EXPECT_EQ(stat("020"), "1");
    EXPECT_EQ(f().set8.caption, "Raised");
    EXPECT_EQ(f().CommonDialog1.FileName, "");

    dispatch(*app, f().Command7.on_click);
    EXPECT_EQ(boxes.shown.back(), "OK. Veltrane will now reboot at normal mode...");
    EXPECT_EQ(stat("020"), "");
    EXPECT_TRUE(f().Option1.value());
}

TEST_F(StartupTest, AStoredLogOpensAPeriodAtStartAndGoesOnAcrossBothRestarts) {
    settings.values["Startup Values/Log"] = "1";
    start_with("");
    dialog.choices = {ChosenFile{"/any/rook.wav", "rook.wav"}};
    dispatch(*app, f().Command1.on_click);
    dispatch(*app, f().Command7.on_click);
    EXPECT_EQ(f().lg.value(), 1);

    const std::string log = log_text();
    // The period opens before the startup entries, saying it missed the start.
    EXPECT_EQ(log.rfind("Application log created on 04/12/26\r\n", 0), 0u);
    EXPECT_LT(log.find("Logging did not start at initialization... info left out !"),
              log.find("Attempting to read info stored in registry"));
    const std::string reopened =
        "Activity stopped at 01:02:03\r\n\r\n\r\n"
        "Application log created on 04/12/26\r\n"
        "Starting time is recorded on 01:02:03\r\n"
        "     Logging resumed from restarting procedure\r\n";
    const auto entered =
        log.find("     Logging stopped due to intentional program restart\r\n" + reopened +
                 "     File properly loaded\r\n     Current filename is \r\n");
    const auto left = log.find("     Logging terminated due to intentional restart\r\n" + reopened);
    EXPECT_NE(entered, std::string::npos) << log;
    EXPECT_NE(left, std::string::npos) << log;
    EXPECT_LT(entered, left);
    EXPECT_EQ(log.find("Logging did not start"), log.rfind("Logging did not start"))
        << "a restart does not say so again";
}

TEST_F(StartupTest, FeedbackMessagesComeOnceEachWhenTheirThresholdsPass) {
    settings.values["001/002"] = "10";
    feedback_messages(*app);
    EXPECT_TRUE(boxes.shown.empty());

    settings.values = {{"001/002", "20"}, {"001/001", "6299"}, {"001/003", "100"}};
    feedback_messages(*app);
    feedback_messages(*app);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].rfind("Well, you seem to like this thingy", 0), 0u);
    EXPECT_TRUE(has(boxes.shown[1], "Well, yours is around 62, and mine is 63KB/sec."));
    EXPECT_EQ(stat("010"), "1");
    EXPECT_EQ(stat("011"), "1");

    settings.values = {{"001/002", "20"}, {"001/001", "6300"}, {"001/003", "0"}, {"001/010", "1"}};
    feedback_messages(*app);  // no time recorded: no speed to compare, and no failure
    EXPECT_EQ(stat("011"), "1");
}

}  // namespace
}  // namespace veltrane::test
