#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "audio/gap_file.h"
#include "audio/wav_header.h"
#include "base/byte_source.h"
#include "base/error.h"
#include "cli/commands.h"
#include "preview/labels.h"

namespace veltrane {

namespace {

constexpr CommandOption kOptions[] = {{"json", ""}, {"csv", ""}, {"labels", ""}};

// The whole text, from a file or ("-") from standard input.
std::string read_text(const std::string& path) {
    std::ostringstream text;
    if (path == "-") {
        text << std::cin.rdbuf();
        if (std::cin.bad()) throw Error(Errc::Read, "standard input", errno_text());
        return text.str();
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) throw Error(Errc::Open, path, errno_text());
    text << file.rdbuf();
    if (file.bad()) throw Error(Errc::Read, path, errno_text());
    return text.str();
}

int run(const Invocation& in) {
    const ParsedArgs& a = in.args;
    const int chosen = int(a.has("json")) + int(a.has("csv")) + int(a.has("labels"));
    if (chosen != 1) throw UsageError("import needs one of --labels, --csv and --json");
    if (a.operands.size() != 2) throw UsageError("import takes a TEXT and a FILE.wav");
    const preview::LabelFormat format = a.has("json")  ? preview::LabelFormat::Json
                                        : a.has("csv") ? preview::LabelFormat::Csv
                                                       : preview::LabelFormat::Labels;
    const std::string& text_path = a.operands[0];
    const std::string& wav_path = a.operands[1];

    // The recording first: its length bounds the silences, and it is never written over.
    FileSource wav(wav_path);
    const WavInfo header = read_wav_header(wav);
    if (!header.is_riff_wave()) {
        report(in.err, "\"" + wav_path + "\" is not a WAV file");
        return kExitFailed;
    }
    const std::string text = read_text(text_path);
    const preview::LabelsRead read =
        parse_labels(text, format, preview::recording_ms(wav.size(), header));
    if (read.problem) {
        report(in.err, (text_path == "-" ? std::string("standard input") : text_path) + ", line " +
                           std::to_string(read.problem->line) + ": " + read.problem->cause + "; " +
                           gap_path(wav_path) + " was left as it was");
        return kExitFailed;
    }
    write_gap_file(gap_path(wav_path), read.records, wav.id());
    in.out << gap_path(wav_path) << ": " << read.records.size()
           << (read.records.size() == 1 ? " gap\n" : " gaps\n");
    return kExitOk;
}

}  // namespace

const Command kImportCommand = {
    "import", kOptions,
    "  import --labels | --csv | --json TEXT FILE.wav\n"
    "      Write the GAP file of FILE.wav from TEXT (\"-\": standard input) in one of\n"
    "      the forms dump prints; dump's output gives back the same GAP file.\n"
    "      --labels              a label track: start and end in seconds (any number\n"
    "                            of decimals, rounded to milliseconds), then any text,\n"
    "                            separated by tabs\n"
    "      --csv                 \"start_ms,end_ms\" per line (the header line may be\n"
    "                            left out)\n"
    "      --json                an array of objects with start_ms and end_ms\n"
    "      Refused, the GAP file left as it was, with the line named: text that is not\n"
    "      times, negative times, a start not before its end, times past the\n"
    "      recording's end or past 32.767 s, silences out of order or overlapping.\n",
    run};

}  // namespace veltrane
