#include <fstream>
#include <ostream>

#include "audio/gap_file.h"
#include "base/error.h"
#include "cli/commands.h"
#include "cli/format.h"

namespace veltrane {

namespace {

constexpr CommandOption kOptions[] = {{"json", ""}, {"csv", ""}, {"labels", ""}};

// A recording given where its GAP file was meant: its bytes would read as thousands of
// records of nonsense.
bool is_recording(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char magic[4] = {};
    return file.read(magic, sizeof magic) && std::string_view(magic, sizeof magic) == "RIFF";
}

int run(const Invocation& in) {
    const ParsedArgs& a = in.args;
    if (int(a.has("json")) + int(a.has("csv")) + int(a.has("labels")) > 1)
        throw UsageError("choose one of --json, --csv and --labels");
    const std::vector<std::string>& files = a.operands;
    if (files.empty()) throw UsageError("dump needs at least one FILE.gap");
    const DumpFormat format = a.has("json")     ? DumpFormat::Json
                              : a.has("csv")    ? DumpFormat::Csv
                              : a.has("labels") ? DumpFormat::Labels
                                                : DumpFormat::Plain;
    // One file: its records alone. Several: a "==> FILE <==" header before each (text
    // forms), or a JSON array with an object per file.
    const bool several = files.size() > 1;
    const bool json = format == DumpFormat::Json;
    int status = kExitOk;
    bool first = true;
    JsonWriter w;
    if (json && several) w.begin_array(JsonWriter::Lines);
    for (const std::string& path : files) {
        std::string error;
        std::vector<GapRecord> records;
        if (is_recording(path)) {
            error = "\"" + path + "\" is a WAV file, not a GAP file (its GAP file is \"" +
                    gap_path(path) + "\")";
        } else {
            try {
                records = read_gap_file(path);
            } catch (const Error& e) {
                error = describe(e);
            }
        }
        if (!error.empty()) {
            report(in.err, error);
            status = kExitFailed;
        }
        if (json && several) {
            w.begin_object().member("path", path).key("records");
            if (error.empty())
                dump_json(w, records);
            else
                w.null();
            w.member("error", error.empty() ? std::nullopt : std::optional(error)).end_object();
        } else if (error.empty() && json) {
            dump_json(w, records);
        } else if (error.empty()) {
            if (several) in.out << (first ? "" : "\n") << "==> " << shown_name(path) << " <==\n";
            in.out << dump_text(records, format);
            first = false;
        }
        in.out << w.take() << std::flush;
    }
    if (json && several) in.out << w.end_array().take();
    return status;
}

}  // namespace

const Command kDumpCommand = {
    "dump", kOptions,
    "  dump [--json | --csv | --labels] FILE.gap...\n"
    "      Print the records of GAP files (times in whole milliseconds).\n"
    "      --json                the records as JSON\n"
    "      --csv                 a line \"start_ms,end_ms\", then one line per record\n"
    "      --labels              a label track for audio editors: start and end in\n"
    "                            seconds, then \"gap N\", separated by tabs\n",
    run};

}  // namespace veltrane
