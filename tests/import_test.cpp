#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <tuple>

#include "cli/cli.h"
#include "cli/format.h"
#include "cli_run.h"
#include "preview/edit_list.h"
#include "preview/labels.h"
#include "synth.h"

namespace veltrane::test {
namespace {

namespace fs = std::filesystem;
using preview::LabelFormat;
using enum LabelFormat;
using preview::LabelsProblem;
using preview::parse_labels;
using Records = std::vector<GapRecord>;

// Each form import reads, with the form of dump's output it reads back.
constexpr std::pair<LabelFormat, DumpFormat> kFormats[] = {
    {Labels, DumpFormat::Labels}, {Csv, DumpFormat::Csv}, {Json, DumpFormat::Json}};

Records parsed(std::string_view text, LabelFormat f, std::int32_t length = 30000) {
    const preview::LabelsRead r = parse_labels(text, f, length);
    EXPECT_FALSE(r.problem) << text << " -> line " << r.problem->line << ": " << r.problem->cause;
    return r.records;
}

LabelsProblem refused(std::string_view text, LabelFormat f, std::int32_t length = 30000) {
    const preview::LabelsRead r = parse_labels(text, f, length);
    EXPECT_TRUE(r.records.empty());
    return r.problem.value_or(LabelsProblem{0, "not refused"});
}

// What dump prints of the silences Generate finds reads back the same: ImportTest.DumpPiped...
TEST(ParseLabels, WhatDumpPrintsOfTheRangesEdgesReadsBackAsTheSameRecords) {
    const Records edges = {{0, 1}, {1, 999}, {1001, preview::kGapMaxMs}};
    for (const auto& [f, dumped] : kFormats) {
        EXPECT_EQ(parsed(dump_text(edges, dumped), f, preview::kGapMaxMs), edges);
        EXPECT_EQ(parsed(dump_text({}, dumped), f), Records{});
    }
}

TEST(ParseLabels, EditorLabelTracksAreRoundedToTheNearestMillisecondAndTheirTextIgnored) {
    const std::string track =
        "\xEF\xBB\xBF"
        "0.0005\t0.0015\tfirst\r\n"
        "\\\t100.000000\t2000.000000\r\n"  // the frequencies of the label above
        "\r\n"
        "1.2344999\t2\n"
        "2.5\t3.00049\tlabel with\ttabs and \xC3\xA4\n"
        "4\t5\n"
        "  5.1 \t 6 \t\n";
    EXPECT_EQ(parsed(track, Labels),
              (Records{{1, 2}, {1234, 2000}, {2500, 3000}, {4000, 5000}, {5100, 6000}}));
    EXPECT_EQ(parsed("start_ms,end_ms\r\n 5 , 7\n\n8,9", Csv), (Records{{5, 7}, {8, 9}}));
    EXPECT_EQ(parsed("5,7\n", Csv), (Records{{5, 7}})) << "no heading";
    EXPECT_EQ(parsed("\n [ {\"end_ms\":9,\"label\":\"x\\\"}\",\"start_ms\":5, \"n\": null},"
                     "{\"start_ms\": 10, \"end_ms\": 12, \"ok\": true}]\n\n",
                     Json),
              (Records{{5, 9}, {10, 12}}));
}

TEST(ParseLabels, EachFaultIsRefusedWithItsLineAndCause) {
    // The form, the text, the line named and words of the cause.
    const std::tuple<LabelFormat, std::string, std::size_t, std::string> bad[] = {
        {Labels, "1\t2\n3\t3\tx\n", 2, "a point"},
        {Labels, "1\t2\n\n3\t2.5\n", 3, "the start (3000 ms) is after the end"},
        {Labels, "-0.5\t1\n", 1, "the start (-500 ms) is negative"},
        {Labels, "1\t2\n20\t21\n", 2,
         "the end (21000 ms) is past the end of the recording (20000 ms)"},
        {Labels, "5\t6\n1\t2\n", 2, "out of order"},
        {Labels, "1\t2\n1.999\t3\n", 2, "overlaps the silence on line 1"},
        {Labels, "1\t2\n3 4\n", 2, "separated by a tab"},
        {Labels, "1\tabc\n", 1, "\"abc\" is not a time"},
        {Labels, "1,5\t2\n", 1, "not a time"},
        {Labels, "1.\t2\n", 1, "not a time"},
        {Labels, "1e3\t2\n", 1, "not a time"},
        {Csv, "start_ms,end_ms\n1,2,3\n", 2, "two numbers"},
        {Csv, "start_ms,end_ms\n1.5,2\n", 2, "\"1.5\" is not a whole number"},
        {Csv, "1,2\nstart_ms,end_ms\n", 2, "not a whole number"},
        {Csv, "1,99999999999999999999\n", 1, "past the end of the recording"},
        {Json, "", 1, "expected '['"},
        {Json, "[{\"start_ms\": 1, \"end_ms\": 2},\n{\"start_ms\": 2}]", 2, "no \"end_ms\""},
        {Json, "[\n{\"start_ms\": 1, \"end_ms\": 2.0}]", 2, "not a whole number"},
        {Json, "[{\"start_ms\": 1, \"start_ms\": 1, \"end_ms\": 2}]", 1, "twice"},
        {Json, "[{\"start_ms\": 1, \"end_ms\": 2}]\n[]", 2, "nothing after"},
        {Json, "[{\"start_ms\": 1, \"end_ms\": 2}", 1, "expected ']'"},
        {Json, "[{\"start_ms\": 1, \"end_ms\": 2, \"x\": [1]}]", 1, "expected a string"},
        {Json, "[{\"start_ms\": 4, \"end_ms\": 9},\n\n {\"start_ms\": 8, \"end_ms\": 12}]", 3,
         "overlaps the silence on line 1"},
    };
    for (const auto& [format, text, line, cause] : bad) {
        const LabelsProblem p = refused(text, format, 20000);
        EXPECT_EQ(p.line, line) << text << " -> " << p.cause;
        EXPECT_TRUE(has(p.cause, cause)) << text << " -> " << p.cause;
    }
    // Past the recording's end, however long it is; times past 32,767 ms are kept.
    EXPECT_EQ(refused("0\t2147483.648\n", Labels, preview::kGapMaxMs).cause,
              "the end (2147483648 ms) is past the end of the recording (2147483647 ms)");
    EXPECT_EQ(parsed("32767,40000\n", Csv, 40000), (Records{{32767, 40000}}));
    EXPECT_EQ(parsed("0\t1.0004\n", Labels, 1000), (Records{{0, 1000}})) << "rounded onto the end";
}

// The built veltrane-cli, with a text on its standard input.
class ImportTest : public CliTest {
  protected:
    int run(const std::string& args, const std::string& input = "") {
        write_text(dir / ".in", input);
        return CliTest::run(args + " <.in");
    }
};

TEST_F(ImportTest, GoodTextsWriteTheGapFileAndBadOnesLeaveItUntouched) {
    // From a file, and from standard input (in each form: ImportTest.DumpPipedIntoImport...).
    write_bytes(dir / "take1.wav", worked_example());  // 305 ms with its header
    write_text(dir / "edited.csv", "start_ms,end_ms\n0,10\n10,20\n300,305\n");
    ASSERT_EQ(run("import --csv edited.csv take1.wav"), 0) << err;
    EXPECT_EQ(read_bytes(dir / "take1.gap"), encode_gap(Records{{0, 10}, {10, 20}, {300, 305}}));
    ASSERT_EQ(run("import --labels - take1.wav", "0.105\t0.205\tgap 1\n"), 0) << err;
    EXPECT_EQ(read_bytes(dir / "take1.gap"), kWorkedRecord);
    EXPECT_EQ(out, "take1.gap: 1 gap\n");

    // A fault refused, its line named and the GAP file left as it was; the recording's own
    // length bounds the times (every fault in each form: ParseLabels.EachFault...).
    EXPECT_EQ(run("import --labels - take1.wav", "0.1\t0.2\n0.3\t0.306\n"), 1);
    EXPECT_EQ(err,
              "veltrane-cli: standard input, line 2: the end (306 ms) is past the end of the "
              "recording (305 ms); take1.gap was left as it was\n");
    EXPECT_EQ(out, "");
    EXPECT_EQ(read_bytes(dir / "take1.gap"), kWorkedRecord);
    write_text(dir / "bad.txt", "0\t0.1\n0.2\t0.1\n");
    EXPECT_EQ(run("import --labels bad.txt take1.wav"), 1);
    EXPECT_EQ(err.rfind("veltrane-cli: bad.txt, line 2: the start (200 ms)", 0), 0u) << err;
    EXPECT_EQ(read_bytes(dir / "take1.gap"), kWorkedRecord);
    EXPECT_FALSE(fs::exists(dir / "settings.ini")) << "nothing counted";
}

TEST_F(ImportTest, TheRecordingAndAReadOnlyGapFileAreNeverWrittenOver) {
    write_bytes(dir / "take1.wav", worked_example());
    // A recording whose name is that of its GAP file.
    write_bytes(dir / "odd.gap", worked_example());
    EXPECT_EQ(run("import --csv - odd.gap", "1,2\n"), 1);
    EXPECT_EQ(read_bytes(dir / "odd.gap"), worked_example());
    EXPECT_NE(err.find("odd.gap"), std::string::npos) << err;

    // A GAP file the user may not write, imported into by an ordinary user (in a child
    // process that has given up root, so that the file's mode counts; in-process, so that
    // it does not matter where the build lies).
    write_bytes(dir / "take1.gap", kWorkedRecord);
    write_text(dir / "in.csv", "1,2\n");
    ::chmod(dir.c_str(), 0777);
    ::chmod((dir / "take1.gap").c_str(), 0444);
    fs::remove(dir / ".err");  // the last run's, which that user may not write over
    const int outcome = as_ordinary_user([&] {
        const std::vector<std::string> args = {"veltrane-cli", "import", "--csv",
                                               (dir / "in.csv").string(),
                                               (dir / "take1.wav").string()};
        std::ostringstream o, e;
        CliEnvironment env;
        env.program_folder = dir;
        env.settings_file = dir / "settings.ini";
        const int status = run_cli(args, o, e, env);
        std::ofstream(dir / ".err") << e.str();
        return status;
    });
    EXPECT_EQ(outcome, 1);
    err = read_text(dir / ".err");
    EXPECT_NE(err.find("take1.gap"), std::string::npos) << err;
    EXPECT_EQ(read_bytes(dir / "take1.gap"), kWorkedRecord);

    // What is not a recording, or not there, and what is not a command line.
    EXPECT_EQ(run("import --csv - take1.gap", "1,2\n"), 1);
    EXPECT_EQ(err, "veltrane-cli: \"take1.gap\" is not a WAV file\n");
    EXPECT_EQ(run("import --csv - none.wav", "1,2\n"), 1);
    EXPECT_NE(err.find("none.wav"), std::string::npos) << err;
    EXPECT_EQ(run("import --csv missing.txt take1.wav"), 1);
    EXPECT_NE(err.find("missing.txt"), std::string::npos) << err;
    EXPECT_EQ(run("import - take1.wav"), 2);
    EXPECT_EQ(run("import --csv take1.wav"), 2);
    EXPECT_EQ(read_bytes(dir / "take1.gap"), kWorkedRecord);
}

// dump's output piped into import gives back the GAP file byte for byte, for the
// recordings Generate scans (any valid list of silences: ParseLabels above).
TEST_F(ImportTest, DumpPipedIntoImportGivesBackTheSameBytes) {
    const synth::Format format{2, 16, 44100};
    synth::write_file(dir / "take.wav",
                      synth::wav_bytes(format, synth::speech_data(format, 20, 2)));
    ASSERT_EQ(run("generate --double-speed take.wav"), 0) << err;
    const std::vector<std::uint8_t> bytes = read_bytes(dir / "take.gap");
    ASSERT_GT(bytes.size(), 8u * 5);
    for (const std::string option : {"--labels", "--csv", "--json"}) {
        ASSERT_EQ(run("dump " + option + " take.gap"), 0) << err;
        fs::remove(dir / "take.gap");
        ASSERT_EQ(run("import " + option + " - take.wav", out), 0) << option << ": " << err;
        EXPECT_EQ(read_bytes(dir / "take.gap"), bytes) << option;
    }
}

}  // namespace
}  // namespace veltrane::test
