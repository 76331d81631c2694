#include <gtest/gtest.h>

#include <QWidget>
#include <map>

#include "app/examine.h"
#include "app/handlers.h"
#include "app/header_notice.h"
#include "app/startup.h"
#include "fakes.h"
#include "qt_app.h"
#include "ui/notice_window.h"
#include "wav_build.h"

namespace veltrane::test {
namespace {

// What the window keeps of a load: every caption, the statistics, the log, the boxes.
struct Trace {
    std::vector<std::string> captions;
    std::map<std::string, std::string> settings;
    bool log = false;
    std::size_t boxes = 0;
    bool operator==(const Trace&) const = default;
};

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
    Trace trace() {
        Trace t;
        for (Control* c : f().controls()) t.captions.push_back(c->caption);
        t.settings = settings.values;
        t.log = std::filesystem::exists(process.folder / "log.txt");
        t.boxes = boxes.shown.size();
        return t;
    }
};

TEST_F(HeaderNoticeTest, LoadFileOfARecordingWithChunksSaysWhatHappenedAndHowToFixIt) {
    load("listed.wav");
    ASSERT_TRUE(app->header_notice);
    EXPECT_EQ(app->header_notice->chunks, std::vector<std::string>{"LIST"});
    EXPECT_EQ(app->header_notice->data_at, 78u);
    EXPECT_EQ(f().Label10.caption, "0 seconds") << "the window itself reads as it always did";

    // The commands that fix it read the same in both languages.
    const std::string en = notice_text(*app->header_notice, "1");
    const std::string de = notice_text(*app->header_notice, "2");
    for (const char* part : {"sox \"listed.wav\" -b 16 plain/\"listed.wav\"",
                             "ffmpeg -i \"listed.wav\" -map_metadata -1 -fflags +bitexact",
                             "veltrane-cli generate --find-chunks \"listed.wav\""})
        EXPECT_TRUE(has(en, part) && has(de, part)) << part << "\n" << en << "\n" << de;
    EXPECT_TRUE(has(en, "\"listed.wav\" has other chunks before its samples (\"LIST\")")) << en;
    EXPECT_TRUE(has(en, "byte 78")) << en;
    EXPECT_TRUE(has(de, "\"listed.wav\" hat vor seinen Samples weitere Chunks (\"LIST\")")) << de;
    EXPECT_TRUE(has(de, "Byte 78")) << de;
    EXPECT_FALSE(has(de, "has other")) << de;
}

TEST_F(HeaderNoticeTest, TheNoticeChangesNothingOfTheWindowItsCountersOrItsLog) {
    // The same load, with logging on, of a plain file and of one with a chunk, each in a
    // fresh program: the window, the statistics and the log differ only where the
    // window's own reading of the header differs (the length and the data size).
    auto load_fresh = [&](const std::vector<std::uint8_t>& bytes) {
        std::filesystem::remove_all(process.folder);
        std::filesystem::create_directories(process.folder);
        settings.values = {{"Startup Values/Log", "1"}};
        boxes.shown.clear();
        write_bytes(dir / "take.wav", bytes);
        app = std::make_unique<App>(platform(settings, windows));
        bind_handlers(*app);
        f().lg.set_value(1);
        load("take.wav");
        Trace t = trace();
        t.captions.push_back(log_text());
        return t;
    };
    Trace plain = load_fresh(worked_example());
    EXPECT_FALSE(app->header_notice);
    Trace listed = load_fresh(inserted(worked_example(), 36, chunk("LIST", 26)));
    EXPECT_TRUE(app->header_notice);
    ASSERT_TRUE(plain.log && !plain.captions.back().empty());
    std::size_t i = 0;
    for (Control* c : f().controls()) {
        const std::string_view name = c->name;
        if (name == "Label10" || name == "hid1") plain.captions[i] = listed.captions[i];
        ++i;
    }
    EXPECT_EQ(plain, listed);
}

TEST_F(HeaderNoticeTest, ADroppedFileAndOneOnTheCommandLineGetTheNoticeButNotAFileWithoutData) {
    files_dropped(*app, {(dir / "listed.wav").string()});
    EXPECT_TRUE(app->header_notice);
    files_dropped(*app, {(dir / "plain.wav").string()});
    EXPECT_FALSE(app->header_notice);

    for (Answer answer : {Answer::Cancel, Answer::Ok}) {
        boxes.answer = answer;
        process.line = "\"" + (dir / "listed.wav").string() + "\"";
        app = std::make_unique<App>(platform(settings, windows));
        Main(*app);
        ASSERT_TRUE(app->header_notice) << (answer == Answer::Ok ? "generated" : "loaded");
        EXPECT_EQ(app->header_notice->title, "listed.wav");
    }

    // Files without a place for the samples have none.
    write_text(dir / "notes.wav", "just words");
    auto no_data = worked_example();
    no_data.resize(36);
    write_bytes(dir / "cut.wav", no_data);
    for (const char* name : {"notes.wav", "cut.wav", "missing.wav"})
        EXPECT_FALSE(header_notice((dir / name).string(), name)) << name;
}

TEST_F(HeaderNoticeTest, TheNoticeWindowShowsEachNewNoticeOnceAndFollowsTheLanguage) {
    ensure_qt();
    QWidget main;
    NoticeWindow notice(*app, main);
    const auto shown = [&] {
        notice.sync();
        return notice.isVisible();
    };
    // Loaded before the main window is shown: it waits for the main window.
    load("listed.wav");
    EXPECT_FALSE(shown());
    main.show();
    EXPECT_TRUE(shown());
    EXPECT_TRUE(notice.text().startsWith("\"listed.wav\" has other chunks"))
        << notice.text().toStdString();

    // Closed by the user, it stays closed until the next load; the language follows.
    notice.hide();
    dispatch(*app, f().Command5.on_click);
    EXPECT_FALSE(shown());
    EXPECT_TRUE(notice.text().contains("hat vor seinen Samples")) << notice.text().toStdString();
    load("listed.wav");
    EXPECT_TRUE(shown());

    load("plain.wav");
    EXPECT_FALSE(shown());
    EXPECT_TRUE(notice.text().isEmpty());
}

}  // namespace
}  // namespace veltrane::test
