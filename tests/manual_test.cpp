#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include "app/language.h"
#include "base/error.h"
#include "fakes.h"
#include "manual/launcher.h"
#include "platform/qt/qt_platform.h"

namespace veltrane::test {
namespace {

namespace fs = std::filesystem;
using manual::Language;

using ManualButtonTest = AppTest;

TEST_F(ManualButtonTest, StartsTheManualOfTheLanguageShownIfItIsThereOrSaysWhyNot) {
    const fs::path english = process.folder / "user's manual.exe";
    const fs::path german = process.folder / "handbuch.exe";  // any letter case
    write_bytes(english, {});  // empty: as good as missing, and the German one is no stand-in
    write_bytes(german, {1});
    dispatch(*app, f().Command6.on_click);
    write_bytes(english, {1});
    dispatch(*app, f().Command6.on_click);
    translate(*app);
    dispatch(*app, f().Command6.on_click);
    fs::remove(german);
    dispatch(*app, f().Command6.on_click);
    translate(*app);
    process.start_failure = "Permission denied";
    dispatch(*app, f().Command6.on_click);
    EXPECT_EQ(process.started, (std::vector<fs::path>{english, german}));
    EXPECT_EQ(boxes.shown, (std::vector<std::string>{
                               "User's Manual not located!", "Handbuch not located!",
                               "Cannot start \"" + english.string() + "\": Permission denied"}));
}

TEST(QtProcessTest, AProgramThatCannotBeStartedIsReportedWithTheSystemsReason) {
    const fs::path dir = make_temp_folder();
    write_bytes(dir / "not executable", {'#', '!'});
    QtProcess process;
    try {
        process.start(dir / "not executable");
        ADD_FAILURE() << "started";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), Errc::Start);
        EXPECT_EQ(e.file(), dir / "not executable");
        EXPECT_EQ(e.cause(), "Permission denied");
    }
    fs::remove_all(dir);
}

// A stand-in for xdg-open: records the page it was given and ends with `status`.
class LauncherTest : public ::testing::Test {
  protected:
    LauncherTest() : dir(make_temp_folder()) {
        fs::create_directories(dir / "bin");
        fs::create_directories(dir / "manual" / "en");
        write_bytes(dir / "manual" / "en" / "index.html", {'<'});
    }
    ~LauncherTest() override { fs::remove_all(dir); }

    std::string opener(int status) {
        const fs::path script = dir / "bin" / "xdg-open";
        const std::string text = "#!/bin/sh\nprintf '%s' \"$1\" > '" + (dir / "opened").string() +
                                 "'\nexit " + std::to_string(status) + "\n";
        write_bytes(script, {text.begin(), text.end()});
        fs::permissions(script, fs::perms::owner_all);
        return script.string();
    }
    std::string opened() { return read_text(dir / "opened"); }

    fs::path dir;
};

TEST_F(LauncherTest, SaysWhyThePageCannotBeOpened) {
    // Where each language's page lies is held by the built launchers' test below.
    const fs::path page = manual::manual_page(dir, Language::English);
    const std::string cannot = "Cannot open the manual \"" + page.string() + "\": ";
    EXPECT_EQ(manual::open_page(page, opener(3), Language::English),
              cannot + opener(3) +
                  " found no program that shows HTML pages. Please install a web browser.");
    EXPECT_EQ(manual::open_page(dir / "manual" / "de" / "index.html", opener(0), Language::German),
              "Das Handbuch \"" + (dir / "manual" / "de" / "index.html").string() +
                  "\" kann nicht geöffnet werden: Die Datei fehlt. Bitte Veltrane neu "
                  "installieren.");
}

// The built launchers beside the built program, each with its own manual.
TEST_F(LauncherTest, TheBuiltLaunchersOpenTheirOwnManualFromTheBuildFolder) {
    opener(0);
    const std::string path_variable = "PATH=" + (dir / "bin").string() + ":/usr/bin:/bin";
    for (const auto& [launcher, page] : {std::pair{"user's manual.exe", "manual/en/index.html"},
                                         std::pair{"Handbuch.exe", "manual/de/index.html"}}) {
        const fs::path program = fs::path(VELTRANE_BUILD_DIR) / launcher;
        ASSERT_TRUE(fs::is_regular_file(fs::path(VELTRANE_BUILD_DIR) / page)) << page;
        std::string arg0 = program.string(), env0 = path_variable;
        char* argv[] = {arg0.data(), nullptr};
        char* envp[] = {env0.data(), nullptr};  // no display: a failure would only be printed
        pid_t pid = 0;
        ASSERT_EQ(::posix_spawn(&pid, arg0.c_str(), nullptr, nullptr, argv, envp), 0) << launcher;
        int status = -1;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << launcher;
        EXPECT_EQ(opened(), (fs::path(VELTRANE_BUILD_DIR) / page).string());
    }
}

}  // namespace
}  // namespace veltrane::test
