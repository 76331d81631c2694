// The window program asked to end by the system: it ends as its close box ends it, with
// status 0, whether the signal comes while it waits for an answer or sits idle.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "fakes.h"

namespace veltrane::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Whether process `pid` has a handler of its own for `signal` (its SigCgt mask).
bool catches(pid_t pid, int signal) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

// Starts the window program on the offscreen platform, sends `signal` once it catches
// it and `settle` has passed, and returns its exit status (-1: it did not end in time or
// ended by the signal).
int signalled_status(const fs::path& dir, const std::vector<std::string>& args, int signal,
                     std::chrono::milliseconds settle) {
    std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen",
                                    "VELTRANE_SETTINGS=" + (dir / "settings.ini").string(),
                                    "HOME=" + dir.string(), "XDG_RUNTIME_DIR=" + dir.string()};
    for (const std::string name : {"ASAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* value = std::getenv(name.c_str())) env.push_back(name + "=" + value);
    std::vector<std::string> argv = {VELTRANE_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    auto argp = c_strings(argv);
    auto envp = c_strings(env);
    pid_t pid = 0;
    if (posix_spawn(&pid, VELTRANE_PROGRAM, nullptr, nullptr, argp.data(), envp.data()) != 0)
        return -2;
    within(10s, [&] { return catches(pid, signal); });  // sent after 10 s in any case
    std::this_thread::sleep_for(settle);
    kill(pid, signal);
    return exit_status(pid, 30s);  // long, for slow builds
}

TEST(SignalTest, TermHupAndIntEndTheWindowProgramWithStatusZero) {
    const fs::path dir = make_temp_folder();
    write_bytes(dir / "take1.wav", worked_example());
    EXPECT_EQ(signalled_status(dir, {}, SIGTERM, 0ms), 0) << "at start, the splash shown";
    EXPECT_EQ(signalled_status(dir, {(dir / "take1.wav").string()}, SIGHUP, 500ms), 0)
        << "while the command-line question waits";
    EXPECT_EQ(signalled_status(dir, {}, SIGINT, 2500ms), 0) << "later, idle";
    EXPECT_FALSE(fs::exists(dir / "take1.gap")) << "the question was not answered with OK";
    fs::remove_all(dir);
}

}  // namespace
}  // namespace veltrane::test
