#include <gtest/gtest.h>

#include "app/examine.h"
#include "app/handlers.h"
#include "app/header_notice.h"
#include "app/startup.h"
#include "fakes.h"
#include "wav_build.h"

namespace veltrane::test {
namespace {

// A recording as ffmpeg writes it by default: a "LIST" chunk of 26 bytes before "data".
class HeaderNoticeTest : public AppTest {
  protected:
    HeaderNoticeTest() {
        write_bytes(dir / "plain.wav", worked_example());
        write_bytes(dir / "listed.wav", inserted(worked_example(), 36, chunk("LIST", 26)));
    }
    void load(const std::string& name) {
        dialog.choices.push_back(ChosenFile{(dir / name).string(), name});
        Command1_Click(*app);
    }
};

TEST_F(HeaderNoticeTest, LoadFileOfARecordingWithChunksSaysWhatHappenedAndHowToFixIt) {
    load("listed.wav");
    ASSERT_TRUE(app->header_notice);
    EXPECT_EQ(app->header_notice->chunks, std::vector<std::string>{"LIST"});
    EXPECT_EQ(app->header_notice->data_at, 78u);
    EXPECT_EQ(f().Label10.caption, "0 seconds") << "the window itself reads as it always did";

    // In the window's language, with the command that scans it as it is.
    const std::string en = notice_text(*app->header_notice, "1");
    const std::string de = notice_text(*app->header_notice, "2");
    EXPECT_TRUE(has(en, "\"listed.wav\" has other chunks before its samples (\"LIST\")")) << en;
    EXPECT_TRUE(has(de, "\"listed.wav\" hat vor seinen Samples weitere Chunks")) << de;
    EXPECT_TRUE(has(de, "veltrane-cli generate --find-chunks \"listed.wav\"")) << de;
}

// The notice is an addition of its own: a plain file and one with a chunk, each loaded with
// logging on in a fresh program, leave the same captions, statistics, log and boxes but
// where the window's own reading of the header differs (the length and the data size).
TEST_F(HeaderNoticeTest, TheNoticeChangesNothingOfTheWindowItsCountersOrItsLog) {
    auto load_fresh = [&](const std::string& name) {
        std::filesystem::copy_file(dir / name, dir / "take.wav",
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::remove_all(process.folder);
        std::filesystem::create_directories(process.folder);
        settings.values = {{"Startup Values/Log", "1"}};
        boxes.shown.clear();
        app = std::make_unique<App>(platform(settings, windows));
        bind_handlers(*app);
        f().lg.set_value(1);
        load("take.wav");
        std::vector<std::string> seen = {log_text(), std::to_string(boxes.shown.size())};
        for (const auto& [key, value] : settings.values) seen.push_back(key + "=" + value);
        for (Control* c : f().controls())
            if (c->name != std::string_view("Label10") && c->name != std::string_view("hid1"))
                seen.push_back(c->caption);
        return seen;
    };
    const auto plain = load_fresh("plain.wav");
    EXPECT_FALSE(app->header_notice);
    EXPECT_EQ(load_fresh("listed.wav"), plain);
    EXPECT_TRUE(app->header_notice);
    EXPECT_FALSE(plain[0].empty()) << "the load was logged";
}

TEST_F(HeaderNoticeTest, ADroppedFileAndOneOnTheCommandLineGetTheNoticeButNotAFileWithoutData) {
    files_dropped(*app, {(dir / "listed.wav").string()});
    EXPECT_TRUE(app->header_notice);
    files_dropped(*app, {(dir / "plain.wav").string()});
    EXPECT_FALSE(app->header_notice);

    boxes.answer = Answer::Cancel;
    process.line = "\"" + (dir / "listed.wav").string() + "\"";
    app = std::make_unique<App>(platform(settings, windows));
    Main(*app);
    ASSERT_TRUE(app->header_notice);
    EXPECT_EQ(app->header_notice->title, "listed.wav");

    // Files without a place for the samples have none.
    auto no_data = worked_example();
    no_data.resize(36);
    write_bytes(dir / "cut.wav", no_data);
    EXPECT_FALSE(header_notice((dir / "cut.wav").string(), "cut.wav"));
    EXPECT_FALSE(header_notice((dir / "missing.wav").string(), "missing.wav"));
}

}  // namespace
}  // namespace veltrane::test
