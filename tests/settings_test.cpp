// The settings file shared by every Veltrane program of a user: fresh reads, one write
// per flush, counts merged between programs, values read as the plain text they are.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "app/app.h"
#include "fakes.h"
#include "platform/ini_settings.h"
#include "synth.h"

namespace veltrane::test {
namespace {

namespace fs = std::filesystem;

class SettingsFileTest : public ::testing::Test {
  protected:
    SettingsFileTest() : dir(make_temp_folder()), file(dir / "Veltrane.conf") {}
    ~SettingsFileTest() override { fs::remove_all(dir); }

    IniSettingsStore store() { return IniSettingsStore(file, {"001"}); }
    std::string get(IniSettingsStore& s, const char* section, const char* key) {
        return s.read("Veltrane", section, key, "");
    }
    void set(IniSettingsStore& s, const char* section, const char* key, const std::string& v) {
        s.write("Veltrane", section, key, v);
    }

    fs::path dir, file;
};

TEST_F(SettingsFileTest, ProgramsSharingTheFileSeeEachOthersWritesAndLoseNoCount) {
    write_bytes(file, {});
    IniSettingsStore window = store(), tool = store();
    set(tool, "001", "001", "1000");
    tool.flush();
    EXPECT_EQ(get(window, "001", "001"), "1000");

    // Both add to the same counts at the same time.
    set(window, "001", "001", "1344");
    set(window, "001", "002", "1");
    EXPECT_EQ(get(tool, "001", "001"), "1000") << "not written before the flush";
    set(tool, "001", "001", "1344");
    tool.flush();
    EXPECT_EQ(get(window, "001", "001"), "1344") << "the window reads its own change";
    window.flush();
    EXPECT_EQ(get(tool, "001", "001"), "1688");
    EXPECT_EQ(get(tool, "001", "002"), "1");

    // A choice is not a count: the last one written stands.
    IniSettingsStore other = store();
    EXPECT_EQ(get(window, "Startup Values", "Sensitivity"), "");
    set(window, "Startup Values", "Sensitivity", "15");
    window.flush();
    EXPECT_EQ(get(window, "Startup Values", "Sensitivity"), "15");
    set(window, "Startup Values", "Sensitivity", "30");
    set(other, "Startup Values", "Sensitivity", "40");
    other.flush();
    window.flush();
    EXPECT_EQ(get(other, "Startup Values", "Sensitivity"), "30");
}

TEST_F(SettingsFileTest, ValuesAreThePlainTextTheyAreAndTheRestOfTheFileIsKept) {
    const std::string hand_written =
        "; written by hand\n"
        "[Startup%20Values]\n"
        "Method = 2 \n"
        "Odd=@Variant(\\0\\0)\n"
        "\n"
        "[001]\n"
        "020=yes, please\n"
        "002=1,000\n";
    write_bytes(file, {hand_written.begin(), hand_written.end()});
    IniSettingsStore s = store();
    EXPECT_EQ(get(s, "Startup Values", "Method"), "2");
    EXPECT_EQ(get(s, "Startup Values", "Odd"), "@Variant(\\0\\0)");
    EXPECT_EQ(get(s, "001", "020"), "yes, please");
    EXPECT_EQ(get(s, "001", "002"), "1,000");

    const std::string odd_ones[] = {" blanks around ", "two\nlines", "\"quoted\"", "", "a\\b"};
    for (std::size_t i = 0; i < std::size(odd_ones); ++i)
        set(s, "Mine", std::to_string(i).c_str(), odd_ones[i]);
    set(s, "Startup Values", "Log", "1");
    s.flush();
    IniSettingsStore again = store();
    for (std::size_t i = 0; i < std::size(odd_ones); ++i)
        EXPECT_EQ(get(again, "Mine", std::to_string(i).c_str()), odd_ones[i]);
    EXPECT_EQ(get(again, "Startup Values", "Log"), "1");
    const std::string text = read_text(file);
    EXPECT_EQ(text.rfind("; written by hand\n[Startup%20Values]\nMethod = 2 \n", 0), 0u) << text;
    EXPECT_NE(text.find("020=yes, please\n"), std::string::npos);
}

TEST_F(SettingsFileTest, NothingIsWrittenUntilAFlushAndAFlushWithoutChangesWritesNothing) {
    IniSettingsStore s = store();
    set(s, "001", "002", "1");
    EXPECT_FALSE(fs::exists(file));
    s.flush();
    struct stat first {};
    ASSERT_EQ(::stat(file.c_str(), &first), 0);
    EXPECT_EQ(get(s, "001", "002"), "1");
    s.flush();
    struct stat second {};
    ASSERT_EQ(::stat(file.c_str(), &second), 0);
    EXPECT_EQ(first.st_ino, second.st_ino);
}

// A store that cannot be read or written: the user hears of it once, naming the file and
// the cause, in the window's language, and the work goes on with the counts in memory.
TEST(SettingsFailure, AStoreThatCannotBeReadOrWrittenIsReportedOnceAndTheRunGoesOn) {
    const struct {
        const char* what;
        const char* place;  // the settings file, in the test's folder
        void (*make)(const fs::path& file);
        bool german;
        const char* says;
    } cases[] = {
        {"a folder in its place", "Veltrane.conf",
         [](const fs::path& f) { fs::create_directories(f); }, false, "is a directory"},
        {"a FIFO in its place, in German", "Veltrane.conf",
         [](const fs::path& f) { ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0); }, true,
         "lässt sich nicht öffnen"},
        {"readable, in a folder that cannot be made", "plain/Veltrane.conf",
         [](const fs::path& f) { write_bytes(f.parent_path(), {}); }, false, "Cannot write"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path dir = make_temp_folder();
        const fs::path store_path = dir / c.place;
        c.make(store_path);
        IniSettingsStore settings(store_path, {"001"});
        FakeBoxes boxes;
        FakeDialog dialog;
        FakeClock clock;
        FakeSound sound;
        FakeProcess process;
        process.folder = dir;
        FakeLoop loop;
        FakeWindows windows;
        App app(Platform{settings, boxes, dialog, clock, sound, process, loop, windows});
        bind_handlers(app);
        if (c.german) app.f().lan.caption = "2";

        write_bytes(dir / "take1.wav", worked_example());
        app.f().CommonDialog1.FileName = (dir / "take1.wav").string();
        app.f().CommonDialog1.FileTitle = "take1.wav";
        for (int run = 0; run < 2; ++run) dispatch(app, app.f().Command3.on_click);

        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_NE(boxes.shown[0].find(store_path.string()), std::string::npos) << boxes.shown[0];
        EXPECT_NE(boxes.shown[0].find(c.says), std::string::npos) << boxes.shown[0];
        EXPECT_TRUE(fs::exists(dir / "take1.gap"));
        EXPECT_EQ(app.setting("001", "002"), "2") << "the counts go on in memory";
        fs::remove_all(dir);
    }
}

}  // namespace
}  // namespace veltrane::test
