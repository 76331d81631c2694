#include <gtest/gtest.h>

#include "app/rook.h"
#include "app/work.h"
#include "audio/gap_file.h"
#include "base/error.h"
#include "base/text.h"
#include "fakes.h"
#include "synth.h"

namespace veltrane::test {
namespace {

namespace fs = std::filesystem;
using GenerationTest = RunTest;

TEST_F(GenerationTest, StatisticsCountFilesSingleFileRunsAndTime) {
    const auto wav = put("take1.wav", worked_example());
    loop.during_yield = [this] { clock.monotonic += 1.234; };  // the run takes 1.23 s
    const auto stats = [&] {
        return std::vector{stat("001"), stat("002"), stat("003"), stat("004")};
    };
    generate(wav);
    // 2,445 bytes: 2 whole kilobytes; the screen's refresh starts the time at 1 second.
    EXPECT_EQ(stats(), (std::vector<std::string>{"2", "1", "2", "1"}));

    settings.values["001/002"] = "not a number";
    settings.values["001/004"] = "32767";
    generate(wav);
    EXPECT_EQ(stats(), (std::vector<std::string>{"4", "1", "3", "32768"}));
    generate(wav, "3");  // Entire Folder: the single-file count stays
    EXPECT_EQ(stats(), (std::vector<std::string>{"6", "2", "4", "32768"}));
}

// The numbers 001 to 199 after the chosen name's stem, found in any letter case: of two
// spellings of one name, the first in byte order.
TEST_F(GenerationTest, JaFormatTakesTheNumberedSetInOrderInAnyLetterCase) {
    for (const char* name : {"take199.wav", "TAKE001.WAV", "take010.wav", "Take010.Wav",
                             "take200.wav", "take1000.wav"})
        put(name, worked_example());
    put("take005.wav", {});  // empty: skipped
    std::vector<std::string> titles;
    app->on_file_done = [&](const App::FileResult& r) {
        processed.push_back(fs::path(r.path).filename().string());
        titles.push_back(f().Text1.caption);
    };
    generate(dir / "TAKE042.WAV", "2");  // the chosen file need not exist
    EXPECT_EQ(processed, (std::vector<std::string>{"TAKE001.WAV", "Take010.Wav", "take199.wav"}));
    EXPECT_EQ(titles, processed);
    EXPECT_TRUE(fs::exists(dir / "Take010.gap"));
    EXPECT_FALSE(fs::exists(dir / "take200.gap"));
}

// (A folder without recordings: CliTest.FilesThatCannotBeScanned...)
TEST_F(GenerationTest, EntireFolderTakesEveryWavInTheOrderAFileManagerShows) {
    for (const char* name :
         {"take10.wav", "b.wav", "take2.wav", "A.WAV", "Take3.WAV", "take02.wav"})
        put(name, worked_example());
    put("notes.txt", {1});
    put(".hidden.wav", worked_example());
    // A GAP file of an earlier run holds exactly the records of the latest afterwards.
    write_bytes(dir / "A.gap", std::vector<std::uint8_t>(24, 0xEE));
    fs::create_directories(dir / "folder.wav");
    track();
    generate(dir / "b.wav", "3");
    std::vector<std::string> expected;
    for (const char* name :
         {"A.WAV", "b.wav", "take02.wav", "take2.wav", "Take3.WAV", "take10.wav"})
        expected.push_back((dir / name).string());
    EXPECT_EQ(processed, expected);
    EXPECT_EQ(read_bytes(dir / "A.gap"), kWorkedRecord);
    EXPECT_TRUE(boxes.shown.empty()) << "only Single File tells about files without silence";
}

TEST_F(GenerationTest, AFailedRunNamesTheFileKeepsEarlierWorkAndGivesTheButtonsBack) {
    put("take001.wav", worked_example());
    put("take002.wav", worked_example());
    fs::create_directories(dir / "take002.gap");  // cannot be replaced by a file
    generate(dir / "take001.wav", "2");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].find((dir / "take002.gap").string()), std::string::npos);
    EXPECT_EQ(read_bytes(dir / "take001.gap"), kWorkedRecord);
    for (Control* c :
         {&f().Command1, &f().Command2, &f().Command3, &f().Command4, &f().Command5, &f().Command6})
        EXPECT_TRUE(c->enabled) << c->name;
}

TEST_F(GenerationTest, MultitaskingYieldsWhileScanningAndARestartTakesTheRunAlong) {
    // A recording long enough for several blocks of work.
    const auto data = synth::speech_data({2, 16, 44100}, 20);
    const auto wav = put("long.wav", synth::wav_bytes({2, 16, 44100}, data));
    clock.step = 0.05;  // every reading of the clock is 50 ms later
    // Leave Rook/Debug Mode during the run: the new window keeps its buttons off while the
    // run goes on, and shows the run's end.
    f().multi.set_value(1);
    const std::shared_ptr<OpenFile> first = app->form;
    bool generate_offered = false;
    loop.during_yield = [&] {
        if (loop.yields == 3) dispatch(*app, f().Command7.on_click);
        if (loop.yields > 3 && (f().Command3.enabled || f().Command1.enabled))
            generate_offered = true;
    };
    generate(wav);
    EXPECT_GT(loop.yields, 3);
    EXPECT_NE(app->form, first);
    EXPECT_FALSE(generate_offered) << "no second run can start inside the first";
    EXPECT_EQ(f().Label13.caption.rfind("Procedure completed in ", 0), 0u) << f().Label13.caption;
    EXPECT_TRUE(f().Command1.enabled && f().Command3.enabled);
    EXPECT_TRUE(fs::exists(dir / "long.gap"));
}

// A JA run over three recordings that is stopped during the second: the first GAP file
// is whole, the second is not written, the third is not started, and nothing is left.
class StoppedRunTest : public RunTest {
  protected:
    void SetUp() override {
        RunTest::SetUp();
        const auto data = synth::speech_data({2, 16, 44100}, 8);
        for (const char* name : {"take001.wav", "take002.wav", "take003.wav"})
            put(name, synth::wav_bytes({2, 16, 44100}, data));
        f().Fast.set_value(1);
        clock.step = 0.05;
        settings.values.clear();
        track();
    }
    void expect_stopped_in_second_file() {
        EXPECT_EQ(processed.size(), 1u);
        EXPECT_TRUE(fs::exists(dir / "take001.gap"));
        EXPECT_FALSE(fs::exists(dir / "take002.gap")) << "the file being made is not written";
        EXPECT_FALSE(fs::exists(dir / "take003.gap"));
        for (const auto& e : fs::directory_iterator(dir))
            EXPECT_FALSE(e.path().filename().string().starts_with(".veltrane-")) << e.path();
        EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front();
        EXPECT_EQ(windows.calls.back(), "end_program");
        // Only the first file, whose scan ended, is counted: its kilobytes and one file.
        EXPECT_EQ(stat("002"), "1");
        EXPECT_EQ(stat("001"), std::to_string(fs::file_size(dir / "take001.wav") / 1024));
        EXPECT_EQ(whole(stat("004")), 0);
    }
};

TEST_F(StoppedRunTest, ClosingTheWindowStopsTheRunAtItsNextYield) {
    f().multi.set_value(1);
    int yields_in_second = 0;
    loop.during_yield = [&] {
        if (processed.size() == 1 && ++yields_in_second == 3) app->end();
    };
    generate(dir / "take001.wav", "2");
    expect_stopped_in_second_file();
}

TEST_F(StoppedRunTest, ASignalStopsTheRunAtItsNextBlockEvenWithoutMultitasking) {
    f().multi.set_value(0);
    int blocks_in_second = 0;
    app->on_progress = [&] {
        if (processed.size() == 1 && ++blocks_in_second == 3) loop.stop = true;
    };
    generate(dir / "take001.wav", "2");
    expect_stopped_in_second_file();
}

TEST_F(GenerationTest, ARecordingThatShrinksWhileItIsScannedReadsAsSilenceFromItsNewEnd) {
    const auto data = synth::speech_data({2, 16, 44100}, 12);
    const auto wav = put("shrinking.wav", synth::wav_bytes({2, 16, 44100}, data));
    f().multi.set_value(1);
    f().Fast.set_value(1);
    clock.step = 0.05;
    // Cut short after the scan has read a few blocks.
    constexpr std::uintmax_t cut = 700000;
    int yields = 0;
    loop.during_yield = [&] {
        if (++yields == 3) fs::resize_file(wav, cut);
    };
    generate(wav);
    EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front();
    // The silences before the cut are there; past it everything is silence that never ends.
    const std::vector<GapRecord> records = read_gap_file(dir / "shrinking.gap");
    ASSERT_FALSE(records.empty());
    EXPECT_LE(records.back().end_ms, static_cast<std::int32_t>(cut * 1000 / (44100 * 4)));
}

// Notify plays the sound beside the program; the log of such a run comes in order.
TEST_F(GenerationTest, NotifyPlaysTheSoundAndTheLogOfASingleFileRunComesInOrder) {
    write_bytes(process.folder / "Data.Qlm", {1});
    f().lg.set_value(1);
    f().notify.set_value(1);
    generate(put("take1.wav", worked_example()));
    EXPECT_EQ(sound.played, std::vector{process.folder / "Data.Qlm"});
    const std::string log = log_text();
    std::size_t at = 0;
    for (const char* entry :
         {"Disabling command buttons",
          "Took care or filename and filetitle possibilities and bug removed",
          "Generation procedure started", "Begining to examine file",
          "Refreshed registry key containing number of files processed in total",
          "Situation is 8-Bit Mono", "Determined Situation type and speed", "Main loop succeeded!",
          "Function Rook finished!", "Refreshed Rook screen",
          "Passing control to function doit for single filemethod \r\n",
          "Showing time needed message", "Enabling command buttons", "Taken care of a bug",
          "Saved settings in registry containing total time needed info",
          "Played notification sound", "Passing control to function work"}) {
        const auto next = log.find(std::string("     ") + entry, at);
        ASSERT_NE(next, std::string::npos) << entry;
        at = next;
    }
}

// Missing counters start at 0 and the time at 1 second; no time means no speed; the sound
// is found in any letter case, but not empty.
TEST_F(GenerationTest, RookScreenShowsTheStatistics) {
    settings.values["001/001"] = "5000";
    settings.values["001/011"] = "x";
    write_bytes(process.folder / "data.qlm", {});
    Rook(*app, 1);
    EXPECT_EQ(
        (std::vector{stat("002"), f().set1.caption, f().set5.caption, f().set6.caption,
                     f().set7.caption, f().set9.caption}),
        (std::vector<std::string>{"0", "4 Mbs", "5000 Kb/s", "Dropped", "Raised", "Not found!"}));
    settings.values["001/003"] = "125";
    Rook(*app, 0);
    EXPECT_EQ(f().set5.caption + ", " + f().set3.caption, "Calculating..., 2 mins");
    settings.values["001/003"] = "0";
    write_bytes(process.folder / "data.qlm", {1});
    Rook(*app, 1);
    EXPECT_EQ(f().set5.caption + ", " + f().set9.caption, "Calculating..., Located");
}

TEST(GapFile, RecordsAreTwoLittleEndianTimesEachFilling32Bits) {
    const std::vector<GapRecord> two = {{105, 205}, {32767, 40000}};
    EXPECT_EQ(encode_gap(two), (std::vector<std::uint8_t>{0x69, 0, 0, 0, 0xCD, 0, 0, 0, 0xFF, 0x7F,
                                                          0, 0, 0x40, 0x9C, 0, 0}));
    EXPECT_THROW(decode_gap(std::vector<std::uint8_t>(12), "x.gap"), Error);
    EXPECT_EQ(gap_path("a.flac"), "a..gap");
}

}  // namespace
}  // namespace veltrane::test
