#include <gtest/gtest.h>

#include "app/examine.h"
#include "audio/wav_header.h"
#include "fakes.h"
#include "synth.h"

namespace veltrane::test {
namespace {

// A million bytes of 16-bit stereo; the header byte at `at`, when given, set to `value`.
std::vector<std::uint8_t> stereo16_file(std::size_t at = 0, std::uint8_t value = 0) {
    auto bytes = synth::wav_bytes({2, 16, 44100}, std::vector<std::uint8_t>(1'000'000, 0));
    if (at) bytes[at] = value;
    return bytes;
}

class ExamineTest : public RunTest {
  protected:
    void look(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        examine(*app, put(name, bytes).string(), name, 1);
    }
};

// Interactive mode shows every detail (as CliTest.InfoShows... reads them) and the sum of
// kilobytes; a refresh adds them to the total and leaves the buttons; the stored Log value
// gates the entry in both modes.
TEST_F(ExamineTest, CanonicalStereoFileShowsItsSumAndARefreshCountsIt) {
    settings.values["001/001"] = "24";
    settings.values["Startup Values/Log"] = "1";  // the box itself stays unticked
    const auto path = put("take1.wav", stereo16_file()).string();
    examine(*app, path, "take1.wav", 1);
    EXPECT_EQ(f().hid1.caption, "1000000") << "the data size, which info reads for itself";
    EXPECT_TRUE(f().Command3.enabled && f().Command4.enabled);
    EXPECT_EQ(f().StatusBar1.caption, "Ready...");
    EXPECT_EQ(f().Label14.caption, "1000");
    EXPECT_EQ(stat("001"), "24") << "interactive mode only shows the sum";

    f().Command3.enabled = f().Command4.enabled = false;
    examine(*app, path, "take1.wav", 0);
    EXPECT_EQ(stat("001"), "1000");
    EXPECT_FALSE(f().Command3.enabled || f().Command4.enabled);
    EXPECT_EQ(f().Text3.caption, "976 Kb");
    // Large totals are stored as plain digits.
    settings.values["001/001"] = "99024";  // + 976 Kb = 100000
    examine(*app, path, "take1.wav", 0);
    EXPECT_EQ(stat("001"), "100000");
    const std::string entry = "     File lenght checked and saved into registry\r\n";
    EXPECT_EQ(log_text(), entry + entry + entry);
}

TEST_F(ExamineTest, CompressedForeignMissingAndShortFilesAreNotProcessed) {
    look("a.wav", stereo16_file(wav::kFormatTag, 2));
    EXPECT_EQ((std::vector{f().Text1.caption, f().Text2.caption, f().comp1.caption,
                           f().Text8.caption, f().Label10.caption, f().hid1.caption}),
              (std::vector<std::string>{"a.wav", "Waveform", "Microsoft ADPCM", " ", "", ""}));
    EXPECT_TRUE(!f().Command3.enabled && f().Command4.enabled);

    const std::string text = "just some words, not a recording";
    look("notes.wav", {text.begin(), text.end()});  // its details: CliTest.InfoShows...
    EXPECT_FALSE(f().Command3.enabled || f().Command4.enabled);

    // Only the low byte of the format tag counts: 257 is PCM.
    look("t.wav", stereo16_file(wav::kFormatTag + 1, 1));
    EXPECT_EQ(f().comp1.caption, "PCM - Uncompressed");
    EXPECT_TRUE(f().Command3.enabled);

    // Missing and short files read as zero bytes, and nothing is created.
    examine(*app, (dir / "gone.wav").string(), "gone.wav", 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "gone.wav"));
    EXPECT_EQ(f().Text2.caption, "Unidentified");

    // A header cut after the format tag: the rest reads as zero, so no length is shown.
    auto cut = stereo16_file();
    cut.resize(24);
    look("cut.wav", cut);
    EXPECT_EQ((std::vector{f().Text5.caption, f().Label10.caption, f().hid1.caption}),
              (std::vector<std::string>{"0 Hz", "", "0"}))
        << "no byte rate, no length";
}

// Cut, not rounded (as CliTest.InfoShows... reads it), and an exact 0.29 s, where division in
// floating point falls just short, shows as 0.29.
TEST_F(ExamineTest, LengthIsCutToTwoDecimalsInShortestForm) {
    look("a.wav", synth::wav_bytes({2, 16, 44100}, std::vector<std::uint8_t>(51'156, 128)));
    EXPECT_EQ(f().Label10.caption, "0.29 seconds");
}

}  // namespace
}  // namespace veltrane::test
