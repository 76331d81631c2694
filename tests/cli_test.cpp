#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "cli/format.h"
#include "fakes.h"
#include "synth.h"

namespace veltrane::test {
namespace {

// Runs the built veltrane-cli with its own settings file; returns the exit status.
class CliTest : public ::testing::Test {
  protected:
    CliTest() : dir(make_temp_folder()) {}
    ~CliTest() override { std::filesystem::remove_all(dir); }

    // Human messages follow the locale, as the window's do; these tests read them in the
    // plain one. Machine-readable output never follows it: `any_locale` runs keep the
    // locale the tests run in.
    int run(const std::string& args, bool any_locale = false) {
        const std::string cmd = std::string(any_locale ? "" : "LC_ALL=C.UTF-8 ") +
                                "VELTRANE_SETTINGS='" + (dir / "settings.ini").string() + "' '" +
                                VELTRANE_CLI + "' " + args + " >'" + (dir / "out").string() +
                                "' 2>'" + (dir / "err").string() + "'";
        const int status = std::system(cmd.c_str());
        out = read_text(dir / "out");
        err = read_text(dir / "err");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string put_worked_example(const std::string& name) {
        std::vector<std::uint8_t> data(2401, 0);
        std::fill(data.begin() + 800, data.begin() + 1600, 128);
        write_bytes(dir / name, synth::wav_bytes({1, 8, 8000}, data));
        return "'" + (dir / name).string() + "'";
    }

    std::filesystem::path dir;
    std::string out, err;
};

TEST_F(CliTest, WorkedExampleThroughGenerateAndDump) {
    const std::string wav = put_worked_example("take1.wav");
    const std::vector<std::uint8_t> record = {0x69, 0, 0, 0, 0xCD, 0, 0, 0};
    for (const char* speed : {"--normal-speed", "--double-speed"}) {
        std::filesystem::remove(dir / "take1.gap");
        ASSERT_EQ(run(std::string("generate --method single --preset normal ") + speed + " " + wav),
                  0)
            << err;
        EXPECT_EQ(read_bytes(dir / "take1.gap"), record) << speed;
        EXPECT_EQ(out.substr(out.find(": ")),
                  ": 1 gaps\nProcedure completed in " + out.substr(out.find(" in ") + 4));
    }
    const std::string gap = "'" + (dir / "take1.gap").string() + "'";
    ASSERT_EQ(run("dump " + gap, true), 0);
    EXPECT_EQ(out, "105 205\n");
    ASSERT_EQ(run("dump --csv " + gap, true), 0);
    EXPECT_EQ(out, "start_ms,end_ms\n105,205\n");
    ASSERT_EQ(run("dump --json " + gap, true), 0);
    EXPECT_EQ(out, "[{\"start_ms\": 105, \"end_ms\": 205}]\n");
    ASSERT_EQ(run("dump --labels " + gap, true), 0);
    EXPECT_EQ(out, "0.105\t0.205\tgap 1\n");
}

TEST_F(CliTest, TwoSilencesGiveTheSixteenByteFile) {
    // 8-bit mono at 8000 bytes/s: silent data bytes 800-1599 and 7954-11953 open and close
    // at the marks 846/1646 and 8000/12000, that is 105-205 ms and 1000-1500 ms.
    std::vector<std::uint8_t> data(12100, 0);
    std::fill(data.begin() + 800, data.begin() + 1600, 128);
    std::fill(data.begin() + 7954, data.begin() + 11954, 128);
    write_bytes(dir / "two.wav", synth::wav_bytes({1, 8, 8000}, data));
    ASSERT_EQ(run("generate --method single --preset normal --normal-speed '" +
                  (dir / "two.wav").string() + "'"),
              0);
    EXPECT_EQ(read_bytes(dir / "two.gap"),
              (std::vector<std::uint8_t>{0x69, 0, 0, 0, 0xCD, 0, 0, 0, 0xE8, 0x03, 0, 0, 0xDC, 0x05,
                                         0, 0}));
    ASSERT_EQ(run("dump '" + (dir / "two.gap").string() + "'"), 0);
    EXPECT_EQ(out, "105 205\n1000 1500\n");
}

TEST_F(CliTest, FilterOf100RecordsNothingAndSaysSo) {
    const std::string wav = put_worked_example("take1.wav");
    ASSERT_EQ(run("generate --method single --filter 100 " + wav), 0) << err;
    EXPECT_FALSE(std::filesystem::exists(dir / "take1.gap"));
    EXPECT_EQ(err.substr(0, err.find('\n') + 1), "No silences detected. No need to create file\n");
    EXPECT_EQ(out.substr(out.find(": ")).substr(0, 9), ": 0 gaps\n");
}

TEST_F(CliTest, GenerateKeepsTheStatisticsLikeTheWindow) {
    const std::string wav = put_worked_example("take1.wav");
    ASSERT_EQ(run("generate --method single " + wav), 0);
    ASSERT_EQ(run("generate --method single --json " + wav), 0);
    EXPECT_EQ(out.rfind("{\"files\": [{\"path\": ", 0), 0u) << out;
    EXPECT_NE(out.find("\"gaps\": 1"), std::string::npos);
    const std::string ini = read_text(dir / "settings.ini");
    EXPECT_NE(ini.find("002=2"), std::string::npos) << ini;
    EXPECT_NE(ini.find("004=2"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("Startup"), std::string::npos) << "a run saves no start-up values";
}

TEST_F(CliTest, UsageErrorsAndUnreadableFilesHaveTheirOwnStatus) {
    const std::string wav = put_worked_example("take1.wav");
    EXPECT_EQ(run("generate --sensitivity 51 " + wav), 2);
    EXPECT_EQ(run("generate --filter 19 " + wav), 2);
    EXPECT_EQ(run("generate --method sometimes " + wav), 2);
    EXPECT_EQ(run("frobnicate"), 2);
    EXPECT_EQ(run("generate --method single '" + (dir / "none.wav").string() + "'"), 1);
    EXPECT_NE(err.find("none.wav"), std::string::npos);

    write_bytes(dir / "odd.gap", std::vector<std::uint8_t>(12, 0));
    EXPECT_EQ(run("dump '" + (dir / "odd.gap").string() + "'"), 1);
    EXPECT_NE(err.find("odd.gap"), std::string::npos);
    EXPECT_NE(err.find("not a multiple of 8"), std::string::npos);
}

TEST_F(CliTest, InfoPrintsTheWindowsDetails) {
    write_bytes(dir / "take1.wav",
                synth::wav_bytes({2, 16, 44100}, std::vector<std::uint8_t>(1'000'000)));
    const std::string text = "just words";
    write_bytes(dir / "notes.wav", {text.begin(), text.end()});
    ASSERT_EQ(run("info '" + (dir / "take1.wav").string() + "' '" + (dir / "notes.wav").string() +
                  "' '" + (dir / "gone.wav").string() + "'"),
              1);
    EXPECT_EQ(out,
              "File Name: take1.wav\nFile Type: Waveform\nCompression: PCM - Uncompressed\n"
              "File Size: 976 Kb\nChannels Used: Stereo\nSample Rate: 44100 Hz\n"
              "Bytes Per Second: 172 Kb/sec\nBytes Per Sample: 4\nBits per Sample: 16\n"
              "Length: 5.66 seconds\n"
              "\n"
              "File Name: notes.wav\nFile Type: Unidentified\nCompression: Unknown Compression\n"
              "File Size:\nChannels Used:\nSample Rate:\nBytes Per Second:\nBytes Per Sample:\n"
              "Bits per Sample:\nLength:\n");
    EXPECT_NE(err.find("gone.wav"), std::string::npos);

    ASSERT_EQ(run("info --json '" + (dir / "take1.wav").string() + "'"), 0);
    EXPECT_NE(
        out.find("\"data_size\": 1000000, \"generate_enabled\": true, \"play_enabled\": true"),
        std::string::npos)
        << out;
}

TEST(CliFormat, JsonStringsAreEscaped) {
    EXPECT_EQ(json_string("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
}

}  // namespace
}  // namespace veltrane::test
