// veltrane-cli preview and plot, and the reasons generate gives when it finds nothing,
// run as the user runs them.
#include <gtest/gtest.h>

#include <QImage>

#include "cli_run.h"
#include "fakes.h"
#include "synth.h"
#include "wav_build.h"

namespace veltrane::test {
namespace {

class PreviewCliTest : public CliTest {
  protected:
    std::string quoted(const std::string& name) { return test::quoted(dir / name); }
    // 8-bit mono at 8000 bytes/s: one silence of 100 ms, from 105 to 205 ms.
    std::string put_worked_example(const std::string& name) {
        write_bytes(dir / name, worked_example());
        return quoted(name);
    }
};

TEST_F(PreviewCliTest, PreviewComparesThePresetsAndCountsNothing) {
    const std::string wav = put_worked_example("take1.wav");
    ASSERT_EQ(run("preview --json " + wav), 0) << err;
    std::string rows;
    const std::pair<const char*, const char*> presets[] = {{"normal", "15, \"filter\": 50"},
                                                           {"noisy", "23, \"filter\": 75"},
                                                           {"accurate", "4, \"filter\": 25"}};
    for (const auto& [preset, sf] : presets)
        for (const char* fast : {"false", "true"})
            rows += std::string(rows.empty() ? "" : ", ") + "{\"preset\": \"" + preset +
                    "\", \"sensitivity\": " + sf + ", \"double_speed\": " + fast +
                    ", \"gaps\": 1, \"silence_ms\": 100, \"longest_ms\": 100}";
    EXPECT_EQ(out,
              "{\"path\": \"" + (dir / "take1.wav").string() + "\", \"rows\": [" + rows +
                  "], \"smallest_sensitivity\": {\"normal_speed\": 1, \"double_speed\": 1}}\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "settings.ini")) << "a look writes nothing";
    EXPECT_FALSE(std::filesystem::exists(dir / "take1.gap"));

    // At a Filter of 100 ms the one silence is not long enough, at any Sensitivity.
    ASSERT_EQ(run("preview --filter 100 " + wav), 0);
    EXPECT_TRUE(has(out, "  normal             15      50  normal     1         100         100\n"))
        << out;
    EXPECT_TRUE(has(out,
                    "Smallest Sensitivity that records a silence at Filter 100 ms: none at "
                    "normal speed, none at Double Speed\n"))
        << out;

    // Several files give an array; a file that cannot be read is named, the rest go on.
    put_worked_example("take2.wav");
    EXPECT_EQ(run("preview --json " + wav + " " + quoted("gone.wav") + " " + quoted("take2.wav")),
              1);
    EXPECT_TRUE(out.starts_with("[\n  {\"path\": ")) << out;
    EXPECT_TRUE(has(out, "take2.wav"));
    EXPECT_TRUE(has(err, "gone.wav"));
    EXPECT_EQ(run("preview --filter 19 " + wav), 2);
    EXPECT_EQ(run("preview"), 2);
}

TEST_F(PreviewCliTest, PlotDrawsThePictureAtExactlyItsSize) {
    const std::string wav = put_worked_example("take1.wav");
    ASSERT_EQ(run("plot --width 640 --height 200 --preset accurate --double-speed -o " +
                  quoted("b.png") + " " + wav),
              0)
        << err;
    EXPECT_EQ(QImage(QString::fromStdString((dir / "b.png").string())).size(), QSize(640, 200));
    EXPECT_FALSE(std::filesystem::exists(dir / "settings.ini"));

    EXPECT_EQ(run("plot " + wav), 2) << "no -o";
    EXPECT_EQ(run("plot --width 10 -o " + quoted("c.png") + " " + wav), 2);
    EXPECT_EQ(run("plot -o " + quoted("c.png") + " " + quoted("gone.wav")), 1);
    EXPECT_TRUE(has(err, "gone.wav"));
    EXPECT_FALSE(std::filesystem::exists(dir / "c.png"));
}

// preview and plot take a file as generate takes it: one Generate will not scan is refused
// with its reason, one with chunks before its data is warned about, and --find-chunks
// scans those.
TEST_F(PreviewCliTest, PreviewAndPlotRefuseAndWarnAsGenerateDoes) {
    std::vector<std::uint8_t> wide = worked_example();
    wide[34] = 24;  // bits per sample
    wide[32] = 3;   // block alignment
    write_bytes(dir / "wide.wav", wide);
    write_bytes(dir / "list.wav", inserted(worked_example(), 36, chunk("LIST", 26)));
    for (const std::string cmd : {"preview ", "plot -o out.png "}) {
        ASSERT_EQ(run("generate " + quoted("wide.wav")), 1) << err;
        const std::string refusal = err;
        EXPECT_EQ(run(cmd + quoted("wide.wav")), 1) << cmd << out;
        EXPECT_EQ(err, refusal) << cmd;
        EXPECT_TRUE(has(err, "Cannot scan \"")) << err;

        EXPECT_EQ(run(cmd + quoted("list.wav")), 0) << cmd << err;
        EXPECT_EQ(occurrences(err, "has other chunks before its data (at byte 78)"), 1) << err;
        EXPECT_TRUE(has(err, "--find-chunks scans its \"data\" chunk")) << err;
        const std::string plain = out;
        EXPECT_EQ(run(cmd + "--find-chunks " + quoted("list.wav")), 0) << cmd << err;
        EXPECT_EQ(err, "") << cmd;
        EXPECT_NE(out, plain) << cmd << "the located data are scanned";
    }
    EXPECT_TRUE(has(out, "1 silence")) << out;
}

TEST_F(PreviewCliTest, GenerateSaysWhyNothingWasFoundInTheWindowsLanguage) {
    // 16-bit mono: words and pauses with a hiss of a few dozen steps, which the byte reads
    // of normal speed never see as silent.
    write_bytes(dir / "hiss.wav", synth::wav_bytes({1, 16, 8000}, hissing_speech_samples()));
    const std::string wav = quoted("hiss.wav");
    ASSERT_EQ(run("generate --method single --preset normal --double-speed " + wav), 0) << err;
    ASSERT_TRUE(std::filesystem::exists(dir / "hiss.gap"));
    const std::string at_double_speed = std::to_string(read_bytes(dir / "hiss.gap").size() / 8);
    std::filesystem::remove(dir / "hiss.gap");

    ASSERT_EQ(run("generate --method single --preset normal --normal-speed " + wav), 0) << err;
    EXPECT_FALSE(std::filesystem::exists(dir / "hiss.gap"));
    const std::string path = (dir / "hiss.wav").string();
    // The facts behind these lines: FactsPass; the line on 16-bit stereo, on headers and on
    // files that are not scanned: PreviewWhy.
    EXPECT_EQ(err,
              path +
                  ": no silence recorded (Sensitivity 15, Filter 50 ms, normal speed).\n"
                  "  The smallest Sensitivity that records a silence at Filter 50 ms: 41 at "
                  "normal speed (as set), 1 at Double Speed.\n"
                  "  The quietest stretch of at least 50 ms: 0.302 s to 0.352 s, peak -58.3 "
                  "dBFS; the band at Sensitivity 15 reaches -18.6 dBFS.\n"
                  "  16-bit recording at normal speed: Double Speed finds " +
                  at_double_speed +
                  " silences.\nNo silences detected. No need to create file\nveltrane-cli: note: "
                  "1 16-bit mono recording was scanned at normal speed, where only pauses of "
                  "pure digital silence count; --double-speed reads every sample whole and finds "
                  "the pauses of microphone recordings\n");

    // Stored as the window stores it, the German window speaks German here too.
    std::ofstream(dir / "settings.ini") << "[Startup Values]\nLanguage=1\n";
    ASSERT_EQ(run("generate --method single --preset normal --normal-speed " + wav), 0) << err;
    EXPECT_TRUE(has(err, path + ": keine Pause aufgezeichnet (Sensitivität 15, Filter 50 ms, "
                                "normale Geschwindigkeit).\n"))
        << err;
    EXPECT_TRUE(has(err, " reicht bis -18,6 dBFS.\n")) << err;
}

}  // namespace
}  // namespace veltrane::test
