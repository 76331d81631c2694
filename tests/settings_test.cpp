// The settings file shared by every Veltrane program of a user: fresh reads, one write
// per flush, counts merged between programs, values read as the plain text they are, the
// file's shape kept, and files that are no settings file left alone.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "app/app.h"
#include "base/byte_source.h"
#include "fakes.h"
#include "platform/ini_settings.h"

namespace veltrane::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

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
    // A flush that must be refused, naming the file and a cause that holds `says`.
    void expect_flush_refused(IniSettingsStore& s, const std::string& says) {
        try {
            s.flush();
            ADD_FAILURE() << "written";
        } catch (const Error& e) {
            EXPECT_EQ(e.file(), file);
            EXPECT_TRUE(has(e.cause(), says)) << e.cause();
        }
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

    // A flush without changes writes nothing, nor one whose changes leave the text as it is.
    const FileStamp before = file_stamp(file).value();
    tool.flush();
    set(tool, "001", "002", "1");
    tool.flush();
    EXPECT_EQ(file_stamp(file), before);

    // A choice is not a count, nor is text that is no number: the last write stands.
    IniSettingsStore d = store(), e = store();
    for (IniSettingsStore* s : {&d, &e}) EXPECT_EQ(get(*s, "Startup Values", "Method"), "");
    set(d, "Startup Values", "Method", "2");
    set(e, "Startup Values", "Method", "3");
    set(d, "001", "020", "yes");
    set(e, "001", "020", "7");
    for (IniSettingsStore* s : {&d, &e}) s->flush();
    EXPECT_EQ(get(d, "Startup Values", "Method"), "3");
    EXPECT_EQ(get(d, "001", "020"), "7");
}

TEST_F(SettingsFileTest, AByteOrderMarkAndCrlfLineEndsAreReadPastAndKept) {
    write_text(file, "\xEF\xBB\xBF[001]\r\n002=5\r\n");
    IniSettingsStore s = store();
    EXPECT_EQ(get(s, "001", "002"), "5");
    set(s, "001", "002", "6");
    set(s, "Startup Values", "Log", "1");
    s.flush();
    EXPECT_EQ(read_text(file), "\xEF\xBB\xBF[001]\r\n002=6\r\n\r\n[Startup Values]\r\nLog=1\r\n");
}

// A file the store would not have written: nothing is read from it and it is left as it
// is; the program hears why, naming the file, and its values stay in memory.
TEST_F(SettingsFileTest, AFileThatIsNoSettingsFileIsNeitherReadNorWritten) {
    // (A recording: SettingsProcessTest.ASettingsPathThatNamesTheRecording...)
    const struct {
        const char* what;
        std::string bytes;
        const char* says;
    } cases[] = {
        {"a NUL byte", std::string("[001]\n002=1\0\n", 13), "NUL"},
        {"not UTF-8", "[001]\n002=1\n\xC0\xAF=2\n", "UTF-8"},
        {"a line of prose", "[001]\n002=1\nDear diary, today\n", "line 3"},
        {"a section not closed", "\xEF\xBB\xBF[001\r\n002=1\r\n", "line 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        write_text(file, c.bytes);
        IniSettingsStore s = store();
        EXPECT_EQ(get(s, "001", "002"), "");
        ASSERT_TRUE(s.read_failure().has_value());
        EXPECT_TRUE(has(describe(*s.read_failure()), file.string()));
        EXPECT_TRUE(has(s.read_failure()->cause(), c.says)) << s.read_failure()->cause();
        set(s, "001", "002", "1");
        expect_flush_refused(s, c.says);
        EXPECT_EQ(read_text(file), c.bytes);
        EXPECT_EQ(get(s, "001", "002"), "1") << "the value stays in memory";
    }
}

TEST_F(SettingsFileTest, AFileWithSeveralHardLinksIsNotPartedFromItsOtherNames) {
    write_text(file, "[001]\n002=5\n");
    ASSERT_EQ(::link(file.c_str(), (dir / "copy.conf").c_str()), 0);
    IniSettingsStore s = store();
    EXPECT_EQ(get(s, "001", "002"), "5");
    set(s, "001", "002", "6");
    expect_flush_refused(s, "2 hard links");
    EXPECT_EQ(read_text(dir / "copy.conf"), "[001]\n002=5\n");
    EXPECT_TRUE(fs::equivalent(file, dir / "copy.conf"));
    // Its only name again: the change kept in memory is written.
    fs::remove(dir / "copy.conf");
    s.flush();
    EXPECT_EQ(read_text(file), "[001]\n002=6\n");
}

// Another program holds the lock: the wait says so once after a second, and ends when the
// program is asked to stop, with the change kept for a later flush.
TEST_F(SettingsFileTest, AWaitForAnotherProgramsLockIsToldOnceAndCanBeStopped) {
    using Clock = std::chrono::steady_clock;
    const int other = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    IniSettingsStore s = store();
    std::vector<Clock::time_point> told;
    s.on_lock_wait([&](const std::string&) { told.push_back(Clock::now()); },
                   [&] { return !told.empty() && Clock::now() - told[0] > 300ms; });
    set(s, "001", "002", "1");
    const auto start = Clock::now();
    EXPECT_THROW(s.flush(), Error);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_GE(told[0] - start, 1s);
    EXPECT_FALSE(fs::exists(file));
    ::close(other);
    s.flush();
    EXPECT_EQ(read_text(file), "[001]\n002=1\n");
}

TEST_F(SettingsFileTest, ValuesAreThePlainTextTheyAreAndTheRestOfTheFileIsKept) {
    const std::string hand_written =
        "; written by hand: Grüße\n# note\n[Startup%20Values]\nMethod = 2 \nName=Zoë\n"
        "Odd=@Variant(\\0\\0)\n\n[001]\n020=yes, please\n002=1,000\n";
    write_text(file, hand_written);
    IniSettingsStore s = store();
    EXPECT_EQ(
        (std::vector{get(s, "Startup Values", "Method"), get(s, "Startup Values", "Name"),
                     get(s, "Startup Values", "Odd"), get(s, "001", "020"), get(s, "001", "002")}),
        (std::vector<std::string>{"2", "Zoë", "@Variant(\\0\\0)", "yes, please", "1,000"}));

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
    EXPECT_EQ(text.rfind(hand_written.substr(0, hand_written.find("Odd")), 0), 0u) << text;
    EXPECT_NE(text.find("020=yes, please\n"), std::string::npos);
}

// A store that cannot be read or written: the user hears of it once, naming the file and
// the cause, in the window's language, and the work goes on with the counts in memory.
using SettingsFailure = RunTest;

TEST_F(SettingsFailure, AStoreThatCannotBeReadOrWrittenIsReportedOnceAndTheRunGoesOn) {
    const struct {
        const char* what;
        const char* place;  // the settings file, in the test's folder
        void (*make)(const fs::path& file);
        bool german;
        const char* says;
    } cases[] = {
        {"a FIFO in its place, in German", "Veltrane.conf",
         [](const fs::path& f) { ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0); }, true,
         "lässt sich nicht öffnen"},
        {"readable, in a folder that cannot be made", "plain/Veltrane.conf",
         [](const fs::path& f) { write_bytes(f.parent_path(), {}); }, false, "Cannot write"},
    };
    const fs::path wav = put("take1.wav", worked_example());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path store_path = dir / c.place;
        c.make(store_path);
        IniSettingsStore store(store_path, {"001"});
        boxes.shown.clear();
        app = std::make_unique<App>(platform(store, windows));
        bind_handlers(*app);
        if (c.german) f().lan.caption = "2";
        for (int run = 0; run < 2; ++run) generate(wav);

        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_TRUE(has(boxes.shown[0], store_path.string()) && has(boxes.shown[0], c.says))
            << boxes.shown[0];
        EXPECT_TRUE(fs::exists(dir / "take1.gap"));
        EXPECT_EQ(app->setting("001", "002"), "2") << "the counts go on in memory";
        app.reset();  // before the store it writes to
        fs::remove(dir / "take1.gap");
    }
}

}  // namespace
}  // namespace veltrane::test
