// The built command-line programs run as a user runs them, each test in a folder of its
// own with its own settings file.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "fakes.h"

namespace veltrane::test {

inline std::string quoted(const std::filesystem::path& p) {
    return "'" + p.string() + "'";
}

// Runs the built programs in a folder of their own, with their own settings file.
class CliTest : public ::testing::Test {
  protected:
    CliTest() : dir(make_temp_folder()) {}
    ~CliTest() override { std::filesystem::remove_all(dir); }

    // Runs veltrane-cli in `dir`; returns the exit status. Human messages follow the
    // locale, as the window's do; these tests read them in the plain one. Machine-readable
    // output never follows it: `any_locale` runs keep the locale the tests run in.
    int run(const std::string& args, bool any_locale = false) {
        return run_program(VELTRANE_CLI, args, any_locale ? "" : "LC_ALL=C.UTF-8");
    }
    int run_program(const char* program, const std::string& args, const std::string& env) {
        const std::string cmd = "cd " + quoted(dir) + " && " + env +
                                " VELTRANE_SETTINGS=" + quoted(dir / "settings.ini") + " " +
                                quoted(program) + " " + args + " >" + stdout_to + " 2>" +
                                quoted(dir / ".err");
        const int status = std::system(cmd.c_str());
        out = read_text(dir / ".out");
        err = read_text(dir / ".err");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void put(const std::filesystem::path& name, const std::vector<std::uint8_t>& bytes) {
        std::filesystem::create_directories((dir / name).parent_path());
        write_bytes(dir / name, bytes);
    }
    std::string settings() { return read_text(dir / "settings.ini"); }

    std::filesystem::path dir;
    std::string stdout_to = quoted(dir / ".out");
    std::string out, err;
};

}  // namespace veltrane::test
