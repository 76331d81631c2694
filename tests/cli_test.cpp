#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <map>
#include <random>
#include <regex>
#include <sstream>

#include "audio/gap_file.h"
#include "cli/cli.h"
#include "cli/format.h"
#include "cli/json.h"
#include "cli_run.h"
#include "fakes.h"
#include "json_check.h"
#include "synth.h"
#include "wav_build.h"

namespace veltrane::test {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::vector<std::uint8_t>>;

// The GAP files in `folder` and below, named from it, with their bytes. They are taken
// away, so that the next run starts without them.
Files take_gap_files(const fs::path& folder) {
    Files found;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.path().extension() == ".gap")
            found[fs::relative(e.path(), folder).string()] = read_bytes(e.path());
    for (const auto& [name, bytes] : found) fs::remove(folder / name);
    return found;
}

// One file from a run that finds nothing to one whose GAP file is read back, under the
// choices the window stored.
TEST_F(CliTest, WorkedExampleThroughGenerateAndDump) {
    for (const char* name : {"take1.wav", "take2.wav"}) put(name, worked_example());
    // Stored by the window: Entire Folder, custom precision with a Filter of 100 ms (too
    // long for the one silence). Without --method a run is Single File all the same.
    write_text(dir / "settings.ini",
               "[Startup Values]\nMethod=3\nSelection=4\nFilter=100\nSensitivity=15\n");
    ASSERT_EQ(run("generate take1.wav"), 0) << err;
    EXPECT_FALSE(fs::exists(dir / "take1.gap"));
    EXPECT_TRUE(out.starts_with("take1.wav: 0 gaps\n")) << "the stored Filter applies: " << out;

    ASSERT_EQ(run("generate --method single --preset normal --double-speed take1.wav"), 0) << err;
    EXPECT_EQ(read_bytes(dir / "take1.gap"), kWorkedRecord);
    EXPECT_TRUE(std::regex_match(
        out, std::regex("take1\\.wav: 1 gap\nProcedure completed in [0-9.]+ seconds\\.\n")))
        << out;
    ASSERT_EQ(run("generate take1.wav"), 0);
    EXPECT_TRUE(
        out.starts_with("take1.wav: 0 gaps; the GAP file from an earlier run was left unchanged\n"))
        << out;
    EXPECT_EQ(read_bytes(dir / "take1.gap"), kWorkedRecord);

    // elapsed_seconds is the time of the completion message, to the digit.
    ASSERT_EQ(run("generate --filter 50 --json take1.wav"), 0);
    EXPECT_TRUE(std::regex_search(out, std::regex("\"elapsed_seconds\": ([0-9.]+), \"message\": "
                                                  "\"Procedure completed in \\1 seconds.\"")))
        << out;
    EXPECT_FALSE(fs::exists(dir / "take2.gap"));
    // The statistics are kept as the window keeps them; no start-up value is saved.
    const std::string stored = settings();
    EXPECT_TRUE(has(stored, "002=4") && has(stored, "004=4") && has(stored, "Method=3")) << stored;

    // Machine-readable output, in whatever locale the tests run in.
    const std::pair<const char*, const char*> dumps[] = {
        {"", "105 205\n"},
        {"--csv ", "start_ms,end_ms\n105,205\n"},
        {"--json ", "[{\"start_ms\": 105, \"end_ms\": 205}]\n"},
        {"--labels ", "0.105\t0.205\tgap 1\n"},
    };
    for (const auto& [format, text] : dumps) {
        ASSERT_EQ(run(std::string("dump ") + format + "take1.gap", true), 0) << format;
        EXPECT_EQ(out, text);
    }
    // Output that cannot be written is a failure.
    stdout_to = "/dev/full";
    EXPECT_EQ(run("dump take1.gap"), 1);
    EXPECT_EQ(err, "veltrane-cli: Cannot write \"standard output\": No space left on device\n");
}

TEST_F(CliTest, FolderMethodCoversExactlyTheFolderNamedOrHoldingTheFile) {
    // A backslash is part of a name.
    for (const char* name : {"rec/a.wav", "rec/x\\y.wav", "rec/sub/b.wav", "c.wav"})
        put(name, worked_example());
    const Files rec = {{"rec/a.gap", kWorkedRecord}, {"rec/x\\y.gap", kWorkedRecord}};
    for (const char* file : {"rec", "rec/", "rec/a.wav", "'rec/x\\y.wav'"}) {
        ASSERT_EQ(run(std::string("generate --method folder ") + file), 0) << file << err;
        EXPECT_EQ(take_gap_files(dir), rec) << file;
    }
    EXPECT_TRUE(has(out, "rec/x\\y.wav: 1 gap\n")) << out;
    ASSERT_EQ(run("generate --method folder rec/sub"), 0);
    EXPECT_EQ(take_gap_files(dir), (Files{{"rec/sub/b.gap", kWorkedRecord}}));
    EXPECT_EQ(run("generate --method folder recordings"), 1);
    EXPECT_TRUE(has(err, "\"recordings\": No such file or directory")) << err;
    EXPECT_TRUE(take_gap_files(dir).empty());

    ASSERT_EQ(run("generate 'rec/x\\y.wav'"), 0);
    EXPECT_EQ(take_gap_files(dir), (Files{{"rec/x\\y.gap", kWorkedRecord}}));
}

TEST_F(CliTest, FilesThatCannotBeScannedAreRefusedAndInFolderRunsReportedAsSuch) {
    const std::vector<std::uint8_t> data(400, 128);
    write_text(dir / "notes.wav", "just words");
    put("four.wav", wav_with({1, 4, 8000, 16}, data));
    // Other reasons: GenerateTipTest.TheScansReasons...
    const std::pair<std::string, std::string> cases[] = {
        {"notes.wav", "not a WAV file"},
        {"four.wav", "4 channels; Veltrane scans mono and stereo"},
    };
    for (const auto& [file, reason] : cases) {
        EXPECT_EQ(run("generate " + file), 1) << file;
        EXPECT_EQ(err, "veltrane-cli: Cannot scan \"" + file + "\": " + reason + "\n");
        EXPECT_EQ(out, "");
    }
    EXPECT_FALSE(has(settings(), "002=")) << "nothing is counted";
    ASSERT_EQ(run("generate --method folder ."), 0) << err;
    for (const auto& [file, reason] : cases)
        EXPECT_TRUE(has(out, "./" + file + ": not scanned (" + reason + ")\n")) << out;
    EXPECT_FALSE(has(out, "gaps")) << out;
    EXPECT_EQ(err, "") << "no reasons why nothing was found in a file not scanned";

    // A folder without a recording fails the run.
    put("empty/notes.txt", {'h', 'i'});
    EXPECT_EQ(run("generate --method folder empty"), 1);
    EXPECT_EQ(out, " No files of correct format in this folder.\n");
    EXPECT_EQ(err, "veltrane-cli: \"empty\": no WAV file was scanned\n");
}

TEST_F(CliTest, SeveralFilesRunInTurnAndWhatWasDoneIsPrintedBeforeAFailure) {
    for (const char* name : {"a.wav", "b.wav"}) put(name, worked_example());
    EXPECT_EQ(run("generate a.wav missing.wav b.wav"), 1);
    EXPECT_TRUE(std::regex_match(out, std::regex("a\\.wav: 1 gap\nProcedure completed in .*\n"
                                                 "b\\.wav: 1 gap\nProcedure completed in .*\n")))
        << out;
    EXPECT_EQ(err, "veltrane-cli: Cannot open \"missing.wav\": No such file or directory\n");

    // Inside one folder run the first failure ends the run; the file before it is listed.
    for (const char* name : {"set/take001.wav", "set/take002.wav", "set/take003.wav"})
        put(name, worked_example());
    fs::create_directories(dir / "set/take002.gap");  // cannot be replaced by a file
    EXPECT_EQ(run("generate --method folder set b.wav"), 1);
    // b.wav is a run of its own with the same method: the folder it lies in.
    EXPECT_TRUE(out.starts_with("set/take001.wav: 1 gap\na.wav: 1 gap\nb.wav: 1 gap\n")) << out;
    EXPECT_FALSE(has(out, "take003"));
    EXPECT_EQ(run("generate --json --method folder set b.wav"), 1);
    EXPECT_EQ(JsonCheck::check(out), "") << out;
    const QJsonArray runs = JsonCheck::parse(out).array();
    ASSERT_EQ(runs.size(), 2) << out;
    EXPECT_TRUE(runs[0]["error"].toString().startsWith("Cannot ") &&
                runs[0]["elapsed_seconds"].isNull())
        << out;
    EXPECT_TRUE(runs[1]["error"].isNull() && runs[1]["file"].toString() == "b.wav") << out;

    // dump: a header per file as `head` prints them, none for a file that fails, a WAV
    // file given in place of its GAP file among them; one JSON document.
    const std::string not_gap =
        "veltrane-cli: \"a.wav\" is a WAV file, not a GAP file (its GAP file is \"a.gap\")\n";
    EXPECT_EQ(run("dump a.wav a.gap missing.gap b.gap"), 1);
    EXPECT_EQ(out, "==> a.gap <==\n105 205\n\n==> b.gap <==\n105 205\n");
    EXPECT_EQ(err,
              not_gap + "veltrane-cli: Cannot open \"missing.gap\": No such file or directory\n");
    EXPECT_EQ(run("dump --json a.wav set b.gap", true), 1);
    EXPECT_EQ(
        out,
        "[\n  {\"path\": \"a.wav\", \"records\": null, \"error\": \"\\\"a.wav\\\" is a WAV file, "
        "not a GAP file (its GAP file is \\\"a.gap\\\")\"},\n  {\"path\": \"set\", \"records\": "
        "null, \"error\": \"Cannot open \\\"set\\\": is a directory\"},\n  {\"path\": \"b.gap\", "
        "\"records\": [{\"start_ms\": 105, \"end_ms\": 205}], \"error\": null}\n]\n");
    EXPECT_EQ(err, not_gap + "veltrane-cli: Cannot open \"set\": is a directory\n");
}

TEST_F(CliTest, UsageErrorsAreOneLineAndAPointerToTheHelp) {
    put("a.wav", worked_example());
    for (const char* args :
         {"", "frobnicate", "--json info a.wav", "info", "generate", "generate --bogus a.wav",
          "generate a.wav --method", "generate --method sometimes a.wav",
          "generate --sensitivity 51 a.wav", "generate --filter 19 a.wav",
          "generate --filter=1e2 a.wav", "generate --double-speed --normal-speed a.wav",
          "generate --json=yes a.wav", "generate --jobs 0 a.wav", "dump --json --csv a.gap",
          "dump"}) {
        EXPECT_EQ(run(args), 2) << args;
        EXPECT_EQ(out, "") << args;
        EXPECT_TRUE(std::regex_match(err, std::regex("veltrane-cli: [^\n]+\nTry 'veltrane-cli "
                                                     "--help'\\.\n")))
            << args << ": " << err;
    }
    EXPECT_FALSE(fs::exists(dir / "a.gap"));
    EXPECT_FALSE(fs::exists(dir / "settings.ini")) << "a usage error does nothing";

    // A file named like an option follows "--".
    write_bytes(dir / "--odd.gap", kWorkedRecord);
    EXPECT_EQ(run("dump -- --odd.gap"), 0) << err;
    EXPECT_EQ(out, "105 205\n");
}

TEST_F(CliTest, HelpAndVersionAnswerInBothPrograms) {
    ASSERT_EQ(run("--help"), 0);
    const std::string help = out;
    EXPECT_TRUE(help.starts_with("Usage: veltrane-cli COMMAND")) << help;
    EXPECT_EQ(run("help"), 0);
    EXPECT_EQ(out, help);
    // A command's --help is that command's part of the whole, wherever it stands.
    EXPECT_EQ(run("dump x.gap -h"), 0);
    EXPECT_TRUE(out.starts_with("Usage: veltrane-cli dump [--json | --csv | --labels]")) << out;
    EXPECT_FALSE(has(out, "--double-speed")) << out;
    ASSERT_EQ(run("--version"), 0);
    EXPECT_TRUE(std::regex_match(out, std::regex("veltrane-cli [0-9]+\\.[0-9]+\n"))) << out;

    // The window program answers them too, without a display and without a window.
    const std::string headless = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM";
    ASSERT_EQ(run_program(VELTRANE_PROGRAM, "--version", headless), 0) << err;
    EXPECT_TRUE(std::regex_match(out, std::regex("veltrane [0-9]+\\.[0-9]+\n"))) << out;
    ASSERT_EQ(run_program(VELTRANE_PROGRAM, "--help", headless), 0) << err;
    EXPECT_EQ(run_program(VELTRANE_PROGRAM, "--bogus", "QT_QPA_PLATFORM=offscreen"), 2);
    EXPECT_TRUE(has(err, "veltrane: unknown option '--bogus'\nTry 'veltrane --help'.\n")) << err;
}

TEST_F(CliTest, SixteenBitMonoAtNormalSpeedGetsOneNotePerCommand) {
    const auto mono16 = synth::wav_bytes({1, 16, 8000}, std::vector<std::uint8_t>(16'000));
    for (const char* name : {"set/a.wav", "set/b.wav"}) put(name, mono16);
    put("c.wav", worked_example());  // 8-bit
    put("stereo.wav", synth::wav_bytes({2, 16, 8000}, std::vector<std::uint8_t>(16'000)));
    // One note for several runs, as the last line, after the runs; JSON on stdout stays JSON.
    // (Its words for one file: PreviewCliTest.GenerateSaysWhy...)
    EXPECT_EQ(run("generate --json --normal-speed set/a.wav c.wav set/b.wav"), 0) << err;
    EXPECT_EQ(JsonCheck::check(out), "") << out;
    EXPECT_EQ(occurrences(err, "veltrane-cli: note: "), 1u) << err;
    EXPECT_TRUE(has(err, "note: 2 16-bit mono recordings were") && err.ends_with("recordings\n"))
        << err;
    // None at Double Speed, for 8-bit or for stereo.
    for (const char* args :
         {"--method folder --double-speed set", "--normal-speed c.wav stereo.wav"}) {
        EXPECT_EQ(run(std::string("generate ") + args), 0) << err;
        EXPECT_FALSE(has(err, "note: ")) << args << ": " << err;
    }
}

TEST_F(CliTest, InfoShowsTheWindowsDetailsTheHeaderLayoutAndPlainNumbers) {
    put("take1.wav", synth::wav_bytes({2, 16, 44100}, std::vector<std::uint8_t>(1'000'000)));
    put("list.wav", inserted(worked_example(), 36, chunk("LIST", 1000)));
    write_text(dir / "notes.wav", "just words");
    ASSERT_EQ(run("info take1.wav notes.wav gone.wav list.wav"), 1);
    EXPECT_EQ(out,
              "File Name: take1.wav\nFile Type: Waveform\nCompression: PCM - Uncompressed\n"
              "File Size: 976 Kb\nChannels Used: Stereo\nSample Rate: 44100 Hz\n"
              "Bytes Per Second: 172 Kb/sec\nBytes Per Sample: 4\nBits per Sample: 16\n"
              "Length: 5.66 seconds\nHeader: plain\n\n"
              "File Name: notes.wav\nFile Type: Unidentified\nCompression: Unknown Compression\n"
              "File Size:\nChannels Used:\nSample Rate:\nBytes Per Second:\nBytes Per Sample:\n"
              "Bits per Sample:\nLength:\nHeader:\n\n"
              "File Name: list.wav\nFile Type: Waveform\nCompression: PCM - Uncompressed\n"
              "File Size: 3 Kb\nChannels Used: Mono\nSample Rate: 8000 Hz\n"
              "Bytes Per Second: 7 Kb/sec\nBytes Per Sample: 1\nBits per Sample: 8\n"
              "Length: 0.12 seconds\nHeader: chunks before data, data at byte 1052\n");
    EXPECT_EQ(err, "veltrane-cli: Cannot open \"gone.wav\": No such file or directory\n");

    ASSERT_EQ(run("info --json take1.wav notes.wav list.wav", true), 0);
    EXPECT_EQ(JsonCheck::check(out), "") << out;
    // Every key and value, in the order scripts and readers have seen.
    EXPECT_TRUE(out.starts_with(
        "[\n  {\"path\": \"take1.wav\", \"file_name\": \"take1.wav\", \"file_type\": \"Waveform\", "
        "\"compression\": \"PCM - Uncompressed\", \"file_size\": \"976 Kb\", \"channels\": "
        "\"Stereo\", \"sample_rate\": \"44100 Hz\", \"bytes_per_second\": \"172 Kb/sec\", "
        "\"bytes_per_sample\": \"4\", \"length\": \"5.66 seconds\", \"data_size\": 1000000, "
        "\"generate_enabled\": true, \"play_enabled\": true, \"format_tag\": 1, "
        "\"channel_count\": 2, \"sample_rate_hz\": 44100, \"byte_rate\": 176400, "
        "\"block_align\": 4, \"bits_per_sample\": 16, \"file_size_bytes\": 1000044, "
        "\"length_seconds\": 5.66, \"header\": \"plain\", \"data_offset\": 44, "
        "\"data_bytes\": 1000000, \"data_size_past_window\": false},\n"))
        << out;
    const QJsonArray files = JsonCheck::parse(out).array();
    ASSERT_EQ(files.size(), 3) << out;
    for (const char* key : {"format_tag", "length_seconds", "header", "data_offset", "data_bytes"})
        EXPECT_TRUE(files[1][key].isNull()) << key << "\n" << out;
    EXPECT_TRUE(has(out, "\"header\": \"chunks\", \"data_offset\": 1052, \"data_bytes\": 1000, "))
        << out;
}

TEST_F(CliTest, ChunksBeforeTheDataAreScannedOnlyWhenAsked) {
    // 8008 extra bytes: 1001 ms at 8000 bytes/s.
    put("list.wav", inserted(worked_example(), 36, chunk("LIST", 8000)));
    // Nothing written for it: the command fails, so that a script notices.
    ASSERT_EQ(run("generate list.wav"), 1);
    EXPECT_TRUE(has(
        err, "veltrane-cli: warning: \"list.wav\" has other chunks before its data (at byte 8052)"))
        << err;
    EXPECT_TRUE(has(err, "--find-chunks")) << err;
    EXPECT_FALSE(std::filesystem::exists(dir / "list.gap"));
    EXPECT_EQ(run("generate --method folder list.wav"), 1);

    // Its records, later by the chunk's length: FindChunksTest.ChunksBeforeTheData...
    ASSERT_EQ(run("generate --find-chunks list.wav"), 0) << err;
    EXPECT_EQ(err, "");

    // A chunk before "fmt ": refused without the option, scanned with it.
    put("junk.wav", inserted(worked_example(), 12, chunk("JUNK", 28)));
    EXPECT_EQ(run("generate junk.wav"), 1);
    EXPECT_EQ(err,
              "veltrane-cli: Cannot scan \"junk.wav\": its header is not the plain 44-byte layout: "
              "no \"fmt \" chunk at byte 12; --find-chunks finds its data at byte 80\n");
    ASSERT_EQ(run("generate --find-chunks junk.wav"), 0) << err;
}

TEST_F(CliTest, NamesAreTheBytesGivenShownOnOneLineAndInJsonAsUtf8) {
    // The last in Latin-1, not UTF-8.
    for (const char* name : {"rec/a\nb.wav", "rec/it's\t.wav", "rec/caf\xE9.wav"})
        put(name, worked_example());
    ASSERT_EQ(run("generate --method folder --jobs 1 rec"), 0) << err;
    EXPECT_TRUE(has(out, "'rec/a'$'\\n''b.wav': 1 gap\n")) << out;
    EXPECT_TRUE(has(out, "'rec/it'\\''s'$'\\t''.wav': 1 gap\n")) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 4)
        << "three files and the message: " << out;
    EXPECT_TRUE(fs::exists(dir / "rec/caf\xE9.gap"));
    ASSERT_EQ(run("dump rec/*.gap"), 0) << err;
    EXPECT_TRUE(has(out, "==> 'rec/a'$'\\n''b.gap' <==\n105 205\n")) << out;
    ASSERT_EQ(run("info rec/a*.wav"), 0) << err;
    EXPECT_TRUE(out.starts_with("File Name: 'a'$'\\n''b.wav'\n")) << out;

    // JSON gives the name itself, each byte that is not UTF-8 as U+FFFD.
    ASSERT_EQ(run("generate --json --method folder rec", true), 0) << err;
    EXPECT_EQ(JsonCheck::check(out), "") << out;
    for (const std::string path : {"rec/a\\nb.wav", "rec/it's\\t.wav", "rec/caf\xEF\xBF\xBD.wav"})
        EXPECT_TRUE(has(out, "{\"path\": \"" + path + "\", ")) << out;
}

TEST_F(CliTest, AnInterruptedRunLeavesNoTemporaryAndNoHalfWrittenGapFile) {
    put("a.wav", worked_example());
    // Eight megabytes of 16-bit mono in half seconds of silence and noise: records come
    // from the start, so the GAP file is being written when the run stops.
    std::mt19937 rng(3);
    std::vector<std::uint8_t> data(8 << 20);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = i / 8000 % 2 ? static_cast<std::uint8_t>(rng()) : 0;
    put("big.wav", synth::wav_bytes({1, 16, 8000}, data));

    for (const std::string jobs : {"1", "4"})
        for (const bool json : {false, true}) {
            SCOPED_TRACE(jobs + (json ? " --json" : ""));
            std::atomic<int> asked = 0;
            // Ctrl+C after a few progress reports: the big file is half done (with more
            // jobs, on another thread).
            CliEnvironment env;
            env.program_folder = dir;
            env.settings_file = dir / "settings.ini";
            env.catch_interrupts = [] {};
            env.interrupted = [&] { return ++asked > 12 ? SIGINT : 0; };
            std::vector<std::string> args = {"veltrane-cli", "generate", "--jobs", jobs};
            if (json) args.push_back("--json");
            for (const char* f : {"a.wav", "big.wav", "a.wav"}) args.push_back((dir / f).string());
            for (const char* name : {"a.gap", "settings.ini"}) fs::remove(dir / name);
            std::ostringstream o, e;
            EXPECT_EQ(run_cli(args, o, e, env), 130);
            EXPECT_EQ(e.str(), "veltrane-cli: interrupted\n");
            EXPECT_FALSE(fs::exists(dir / "big.gap"));
            for (const auto& entry : fs::directory_iterator(dir))
                EXPECT_FALSE(entry.path().filename().string().starts_with(".veltrane"))
                    << entry.path();
            if (jobs != "1") continue;  // a.wav may be stopped too
            EXPECT_TRUE(fs::exists(dir / "a.gap"));
            if (json) {
                EXPECT_EQ(JsonCheck::check(o.str()), "") << o.str();
                EXPECT_TRUE(has(o.str(), "\"error\": \"interrupted\"}\n]\n")) << o.str();
            } else {
                EXPECT_TRUE(std::regex_match(
                    o.str(), std::regex(".*/a\\.wav: 1 gap\nProcedure completed in .*\n")))
                    << o.str();
            }
        }
}

std::string without_times(std::string text) {
    text =
        std::regex_replace(text, std::regex("(completed in |elapsed_seconds\": )[^ ,}]*"), "$1T");
    return std::regex_replace(text, std::regex("[0-9]+[.,:/][0-9.,:/]+"), "T");
}

TEST_F(CliTest, AnyNumberOfJobsGivesTheResultsOfOne) {
    // Layouts, lengths and silences that differ, files with nothing recorded, a file that
    // is no recording, a file with its data behind other chunks.
    const std::pair<synth::Format, double> takes[] = {
        {{1, 16, 22050}, 1.5}, {{2, 16, 11025}, 2}, {{1, 8, 8000}, 0.7},  {{2, 8, 22050}, 1},
        {{1, 16, 44100}, 0.3}, {{1, 16, 8000}, 3},  {{2, 16, 22050}, 1.2}};
    for (std::uint32_t n = 0; n < std::size(takes); ++n)
        put("take" + std::to_string(n + 1) + ".wav",
            synth::wav_bytes(takes[n].first,
                             synth::speech_data(takes[n].first, takes[n].second, n + 1)));
    put("take8.wav", synth::wav_bytes({1, 16, 8000}, std::vector<std::uint8_t>(16000, 0x40)));
    put("take9.wav", worked_example());
    put("take10.wav", {'n', 'o', 't', ' ', 'a', ' ', 'W', 'A', 'V'});
    put("take11.wav", inserted(worked_example(), 36, chunk("LIST", 30, 'x')));
    // What a run leaves behind and prints, with the times (which differ from run to run) cut
    // out: its status, GAP files, settings, log, output and errors.
    const auto run_with = [&](const std::string& jobs, const std::vector<std::string>& extra) {
        fs::remove(dir / "log.txt");
        // Logging on, and a count from an earlier session to add to.
        write_text(dir / "settings.ini", "[Startup Values]\nLog=1\n[001]\n002=5\n");
        std::vector<std::string> args = {"veltrane-cli", "generate", "--jobs", jobs};
        args.insert(args.end(), extra.begin(), extra.end());
        std::ostringstream o, e;
        std::map<std::string, std::string> trace;
        CliEnvironment env;
        env.program_folder = dir;
        env.settings_file = dir / "settings.ini";
        trace["status"] = std::to_string(run_cli(args, o, e, env));
        for (const auto& [name, bytes] : take_gap_files(dir))
            trace[name] = std::string(bytes.begin(), bytes.end());
        trace["settings"] = without_times(settings());
        trace["log"] = without_times(read_text(dir / "log.txt"));
        trace["out"] = without_times(o.str());
        trace["err"] = e.str();
        return trace;
    };
    const std::string folder = (dir / "take1.wav").string();
    const std::vector<std::vector<std::string>> runs = {
        {"--method", "folder", folder},
        {"--method", "folder", "--double-speed", "--json", folder},
        {"--method", "folder", "--find-chunks", "--preset", "accurate", folder},
        {(dir / "take3.wav").string(), (dir / "take8.wav").string(), (dir / "gone.wav").string(),
         (dir / "take1.wav").string(), (dir / "take3.wav").string()}};
    for (const auto& extra : runs) {
        SCOPED_TRACE(extra.front());
        const auto one = run_with("1", extra);
        EXPECT_GT(one.size(), 5u) << "no GAP file was written";
        EXPECT_TRUE(has(one.at("log"), "Passing control to function doit")) << one.at("log");
        for (const char* jobs : {"2", "4"}) EXPECT_EQ(run_with(jobs, extra), one) << jobs;
    }
}

TEST_F(CliTest, DataPastTwoGibibytesAreNamedAndScannedWholeWithFindChunks) {
    // A header that gives 3 GiB of 16-bit stereo data, three seconds of speech, then a
    // sparse stretch of silence to past 2 GiB, and three seconds of speech again there.
    const synth::Format format{2, 16, 44100};
    const auto speech = synth::speech_data(format, 3);
    std::vector<std::uint8_t> bytes = synth::wav_bytes(format, speech);
    const std::uint32_t claimed = 0xC0000000;
    const auto set32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    set32(4, claimed + 36);
    set32(40, claimed);
    put("big.wav", bytes);
    const std::int64_t again = 44 + (std::int64_t{1} << 31) + 4 * 44100 * 10;
    std::ofstream(dir / "big.wav", std::ios::binary | std::ios::in | std::ios::out)
        .seekp(again)
        .write(reinterpret_cast<const char*>(speech.data()),
               static_cast<std::streamsize>(speech.size()));
    fs::resize_file(dir / "big.wav",
                    static_cast<std::uintmax_t>(again) + speech.size() + 4 * 44100);
    const std::string note =
        "the header gives 3221225472 bytes of data, past the 2147483647 the window reads";

    // The window's reading stays, and is named for what it is.
    ASSERT_EQ(run("info big.wav"), 0) << err;
    EXPECT_TRUE(has(out, "File Size: -1048576 Kb\n")) << out;
    EXPECT_TRUE(has(out, "\nNote: " + note)) << out;
    ASSERT_EQ(run("info --json big.wav", true), 0) << err;
    EXPECT_EQ(JsonCheck::check(out), "") << out;
    EXPECT_TRUE(has(out, "\"data_size\": -1073741824, ")) << out;
    EXPECT_TRUE(has(out, "\"data_bytes\": 3221225472, \"data_size_past_window\": true}")) << out;
    ASSERT_EQ(run("generate big.wav"), 0) << err;
    EXPECT_TRUE(out.starts_with("big.wav: 0 gaps; " + note)) << out;
    EXPECT_FALSE(fs::exists(dir / "big.gap"));

    // Read as it is, the whole recording is scanned: the silence runs to past 2 GiB.
    ASSERT_EQ(run("generate --find-chunks --json big.wav", true), 0) << err;
    EXPECT_TRUE(has(out, "\"data_size_past_window\": false")) << out;
    const std::vector<GapRecord> records = read_gap_file(dir / "big.gap");
    const auto ms_at = [](std::int64_t byte) { return byte * 1000 / (4 * 44100); };
    // (The speech fades in over its first few tenths of a second.)
    EXPECT_TRUE(std::any_of(records.begin(), records.end(), [&](const GapRecord& r) {
        return r.start_ms < ms_at(44 + 4 * 44100 * 3) + 300 && r.end_ms > ms_at(again) &&
               r.end_ms < ms_at(again) + 300;
    })) << dump_text(records, DumpFormat::Plain);
}

TEST_F(CliTest, AReaderThatGoesAwayDoesNotStopTheRun) {
    for (int i = 1; i <= 20; ++i) put("rec/take" + std::to_string(i) + ".wav", worked_example());
    // The statistics but the time taken, which differs from run to run.
    const auto counters = [&] {
        return std::regex_replace(settings(), std::regex("003=.*\n"), "");
    };
    ASSERT_EQ(run("generate --method folder rec"), 0) << err;
    const Files expected_gaps = take_gap_files(dir / "rec");
    const std::string expected_counters = counters();
    ASSERT_EQ(expected_gaps.size(), 20u);

    for (const char* options : {"--jobs 1", "--jobs 4 --json"}) {
        fs::remove(dir / "settings.ini");
        // The reader has gone before the first line: every write to the pipe fails. SIGPIPE
        // does what it does in a shell, whatever the tests ignore.
        EXPECT_EQ(run_program("/bin/bash",
                              "-c \"exec 3> >(exit 0); wait \\$!; exec env --default-signal=PIPE " +
                                  quoted(VELTRANE_CLI) + " generate --method folder " + options +
                                  " rec >&3\"",
                              "LC_ALL=C.UTF-8"),
                  1)
            << options << ": " << err;
        EXPECT_TRUE(has(err, "veltrane-cli: Cannot write \"standard output\": Broken pipe\n"))
            << options << ": " << err;
        EXPECT_EQ(take_gap_files(dir / "rec"), expected_gaps) << options;
        EXPECT_EQ(counters(), expected_counters) << options;
    }
}

TEST(CliFormat, ShownNamesAreQuotedOnlyWhenTheyHoldAControlCharacter) {
    for (const std::string plain : {"take1.wav", "a b.wav", "it's.wav", "caf\xC3\xA9.wav", "x\\y"})
        EXPECT_EQ(shown_name(plain), plain);
    EXPECT_EQ(shown_name("\n\r\t"), "$'\\n\\r\\t'");
    EXPECT_EQ(shown_name("x\x01\x7F'"), "'x'$'\\001\\177'''\\'''");
}

TEST(CliFormat, JsonWriterKeepsKeyOrderLayoutAndRefusesMisuse) {
    JsonWriter w;
    w.begin_array(JsonWriter::Lines).begin_object().member("z", 1);
    w.member("a", std::optional<int>()).key("list").begin_array(JsonWriter::Lines);
    const std::string head = w.take();
    w.value(2.5).begin_array().value(true).value("s").end_array().end_array().end_object();
    w.begin_object().end_object().begin_array(JsonWriter::Lines).end_array().end_array();
    const std::string text = head + w.take();
    EXPECT_EQ(text,
              "[\n  {\"z\": 1, \"a\": null, \"list\": [\n    2.5,\n    [true, \"s\"]\n  ]},\n"
              "  {},\n  []\n]\n");
    EXPECT_EQ(JsonCheck::check(text), "") << text;
    EXPECT_EQ(w.take(), "");

    EXPECT_THROW(JsonWriter().begin_object().value(1), Error);  // a value without its key
    EXPECT_THROW(JsonWriter().begin_array().end_object(), Error);
}

TEST(CliFormat, JsonStringsAreEscapedAndValidUtf8) {
    EXPECT_EQ(json_string("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
    EXPECT_EQ(json_string("\xC2\xB5 \xE2\x82\xAC \xF0\x9F\x8E\xB5"),
              "\"\xC2\xB5 \xE2\x82\xAC \xF0\x9F\x8E\xB5\"");
    // A cut sequence, an overlong form, a surrogate: each byte U+FFFD (a stray byte:
    // CliTest.NamesAreTheBytes...).
    EXPECT_EQ(json_string("\xE2\x82"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
    EXPECT_EQ(json_string("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
    EXPECT_EQ(json_string("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
}

}  // namespace
}  // namespace veltrane::test
