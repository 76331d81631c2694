// veltrane-cli processes over one settings file: many starting at once on a fresh file
// lose no count, a wait for another program's lock is told and Ctrl+C ends it, and a
// settings path that names the recording leaves the recording whole.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "fakes.h"
#include "synth.h"

namespace veltrane::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class SettingsProcessTest : public ::testing::Test {
  protected:
    SettingsProcessTest() : dir(make_temp_folder()), settings(dir / "settings.ini") {}
    ~SettingsProcessTest() override { fs::remove_all(dir); }

    // Starts veltrane-cli with `settings_file` as its settings file, in the plain locale;
    // its error stream goes to `err`. Returns its process id.
    pid_t start(const std::vector<std::string>& args, const fs::path& err,
                const fs::path& settings_file) {
        std::string cmd = "exec env LC_ALL=C.UTF-8 VELTRANE_SETTINGS='" + settings_file.string() +
                          "' '" VELTRANE_CLI "'";
        for (const std::string& arg : args) cmd += " '" + arg + "'";
        cmd += " >/dev/null 2>'" + err.string() + "'";
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return pid;
    }

    fs::path dir, settings;
};

// Eight programs read a file without counts, count, and then write one after the other
// (another program's lock holds them all at their first write): every count arrives. A
// ninth, stopped by Ctrl+C while it waits, ends at once and adds nothing.
TEST_F(SettingsProcessTest, ManyProcessesStartingOnAFreshFileLoseNoCountAndCtrlCEndsAWait) {
    const synth::Format format{1, 16, 22050};
    std::uintmax_t kb = 0;
    const auto recording = [&](const fs::path& path, double seconds, std::uint32_t seed) {
        fs::create_directories(path.parent_path());
        write_bytes(path, synth::wav_bytes(format, synth::speech_data(format, seconds, seed)));
        kb += fs::file_size(path) / 1024;
    };
    std::vector<std::vector<std::string>> runs;
    for (int i = 1; i <= 7; ++i) {
        const fs::path take = dir / ("take" + std::to_string(i) + ".wav");
        recording(take, 0.3 + 0.1 * i, static_cast<std::uint32_t>(i));
        runs.push_back({"generate", take.string()});
    }
    for (int i = 1; i <= 5; ++i)
        recording(dir / "set" / ("take" + std::to_string(i) + ".wav"), 0.4,
                  static_cast<std::uint32_t>(10 + i));
    runs.push_back({"generate", "--jobs", "3", "--method", "folder", (dir / "set").string()});
    write_bytes(dir / "stopped.wav", worked_example());
    runs.push_back({"generate", (dir / "stopped.wav").string()});

    // The lock another program writing the settings file holds on its folder.
    const int other = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    std::vector<pid_t> pids;
    std::vector<fs::path> errs;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        errs.push_back(dir / ("err" + std::to_string(i)));
        pids.push_back(start(runs[i], errs.back(), settings));
    }
    // Every one waits, and says so.
    EXPECT_TRUE(within(60s, [&] {
        return std::all_of(errs.begin(), errs.end(),
                           [](const fs::path& e) { return has(read_text(e), "Waiting for"); });
    }));
    ::kill(pids.back(), SIGINT);
    EXPECT_EQ(exit_status(pids.back(), 5s), 130);
    const std::string stopped = read_text(errs.back());
    EXPECT_EQ(occurrences(stopped, "Waiting for"), 1u) << stopped;
    EXPECT_TRUE(has(stopped, "\"" + dir.string() + "\"")) << stopped;
    ::close(other);
    for (std::size_t i = 0; i + 1 < pids.size(); ++i)
        EXPECT_EQ(exit_status(pids[i], 60s), 0) << read_text(errs[i]);

    const std::string text = read_text(settings);
    EXPECT_TRUE(has(text, "\n002=12\n")) << text;
    EXPECT_TRUE(has(text, "\n001=" + std::to_string(kb) + "\n")) << text;
    EXPECT_EQ(occurrences(text, "[001]"), 1u) << text;
}

TEST_F(SettingsProcessTest, ASettingsPathThatNamesTheRecordingLeavesItWhole) {
    const fs::path take = dir / "take.wav";
    const std::vector<std::uint8_t> wav = worked_example();
    write_bytes(take, wav);
    const pid_t pid = start({"generate", take.string()}, dir / "err", take);
    EXPECT_EQ(exit_status(pid, 60s), 0) << "the run's status is that of its work";
    EXPECT_EQ(read_bytes(take), wav);
    EXPECT_TRUE(fs::exists(dir / "take.gap"));
    const std::string err = read_text(dir / "err");
    EXPECT_EQ(occurrences(err, "\"" + take.string() + "\""), 1u) << err;
    EXPECT_TRUE(has(err, "RIFF")) << err;
}

}  // namespace
}  // namespace veltrane::test
