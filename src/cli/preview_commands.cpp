#include "cli/preview_commands.h"

#include <filesystem>
#include <memory>
#include <ostream>

#include "app/app.h"
#include "app/handlers.h"
#include "app/presets.h"
#include "app/startup_values.h"
#include "base/error.h"
#include "cli/chunk_note.h"
#include "cli/commands.h"
#include "cli/format.h"
#include "cli/headless.h"
#include "preview/facts_pass.h"
#include "preview/scene.h"
#include "preview/session.h"
#include "preview/why.h"

namespace veltrane {

namespace {

namespace fs = std::filesystem;
using preview::Language;
using preview::Settings;

// The main window as it starts, over headless services: its stored settings and language.
// Nothing is saved: the settings store is never written back.
struct StoredWindow {
    explicit StoredWindow(const Invocation& in)
        : services(in.err, in.env.program_folder, in.env.settings_file), app(services.platform()) {
        bind_handlers(app);
        Slider1_Change(app);
        Slider2_Change(app);
        // As the window's start-up: applied twice, so that the language comes out as stored.
        apply_startup_values(app);
        apply_startup_values(app);
    }
    Settings stored() {
        return {app.f().Slider1.value(), app.f().Slider2.value(), app.f().Fast.ticked()};
    }
    Language language() { return preview::language_of(app.f().lan.caption); }

    HeadlessServices services;
    App app;
};

std::string pad(const std::string& s, std::size_t width, bool right) {
    if (s.size() >= width) return s;
    const std::string fill(width - s.size(), ' ');
    return right ? fill + s : s + fill;
}

struct FileTable {
    std::string path;
    std::vector<preview::PresetRow> rows;
    int filter_ms = 0;
    std::optional<int> smallest_normal, smallest_double;
};

FileTable table_of(const std::string& path, int filter_ms, bool find_chunks) {
    const std::unique_ptr<FileSource> file = open_recording(path);
    if (!file) throw Error(Errc::Open, path, "No such file or directory");
    const WavInfo header = read_wav_header(*file);
    FileTable t;
    t.path = path;
    t.filter_ms = filter_ms;
    // The smallest Sensitivities at both speeds, gathered along the presets' scans.
    preview::PassQuestions q;
    q.normal = planned_params(*file, {1, filter_ms, false}, find_chunks);
    q.fast = planned_params(*file, {1, filter_ms, true}, find_chunks);
    preview::FactsGatherer gatherer(q, file->size());
    t.rows = preview::preset_table(
        *file, header, [&](std::int64_t offset, auto bytes) { gatherer.take(offset, bytes); },
        find_chunks);
    const preview::PassAnswers a = gatherer.finish(*file);
    t.smallest_normal = a.smallest_normal;
    t.smallest_double = a.smallest_fast;
    return t;
}

std::string table_text(const FileTable& t) {
    std::string out = shown_name(t.path) + "\n";
    out += "  preset    sensitivity  filter  speed   gaps  silence ms  longest ms\n";
    for (const preview::PresetRow& r : t.rows) {
        out += "  " + pad(r.preset, 8, false) +
               pad(std::to_string(r.settings.sensitivity), 13, true) +
               pad(std::to_string(r.settings.filter_ms), 8, true) + "  " +
               pad(r.settings.double_speed ? "double" : "normal", 6, false) +
               pad(std::to_string(r.tally.gaps), 6, true) +
               pad(std::to_string(r.tally.silence_ms), 12, true) +
               pad(std::to_string(r.tally.longest_ms), 12, true) + "\n";
    }
    const auto smallest = [](const std::optional<int>& n) {
        return n ? std::to_string(*n) : std::string("none");
    };
    out += "  Smallest Sensitivity that records a silence at Filter " +
           std::to_string(t.filter_ms) + " ms: " + smallest(t.smallest_normal) +
           " at normal speed, " + smallest(t.smallest_double) + " at Double Speed\n";
    return out;
}

void table_json(JsonWriter& w, const FileTable& t) {
    w.begin_object().member("path", t.path).key("rows").begin_array();
    for (const preview::PresetRow& r : t.rows)
        w.begin_object()
            .member("preset", r.preset)
            .member("sensitivity", r.settings.sensitivity)
            .member("filter", r.settings.filter_ms)
            .member("double_speed", r.settings.double_speed)
            .member("gaps", r.tally.gaps)
            .member("silence_ms", std::int64_t{r.tally.silence_ms})
            .member("longest_ms", std::int64_t{r.tally.longest_ms})
            .end_object();
    w.end_array()
        .key("smallest_sensitivity")
        .begin_object()
        .member("normal_speed", t.smallest_normal)
        .member("double_speed", t.smallest_double)
        .end_object()
        .end_object();
}

constexpr CommandOption kPreviewOptions[] = {{"json", ""}, {"filter", "MS"}, {"find-chunks", ""}};

int preview_run(const Invocation& in) {
    const std::vector<std::string>& files = in.args.operands;
    if (files.empty()) throw UsageError("preview needs at least one FILE");
    StoredWindow window(in);
    const int filter = in.args.has("filter") ? bounded_value(in.args, "filter", 20, 500)
                                             : window.stored().filter_ms;
    const bool json = in.args.has("json");
    const bool find_chunks = in.args.has("find-chunks");
    int status = kExitOk;
    std::vector<FileTable> tables;
    for (const std::string& file : files) {
        try {
            // What Generate will not scan is refused as generate refuses it.
            if (const auto warning = check_scannable(file, find_chunks))
                report(in.err, "warning: " + *warning);
            tables.push_back(table_of(file, filter, find_chunks));
        } catch (const Error& e) {
            report(in.err, describe(e));
            status = kExitFailed;
        }
    }
    if (json) {
        JsonWriter w;
        if (files.size() > 1) w.begin_array(JsonWriter::Lines);
        for (const FileTable& t : tables) table_json(w, t);
        if (files.size() > 1) w.end_array();
        in.out << w.take();
    } else {
        for (std::size_t i = 0; i < tables.size(); ++i)
            in.out << (i ? "\n" : "") << table_text(tables[i]);
    }
    return status;
}

constexpr CommandOption kPlotOptions[] = {{"width", "W"},
                                          {"height", "H"},
                                          {"preset", "normal|noisy|accurate"},
                                          {"sensitivity", "N"},
                                          {"filter", "MS"},
                                          {"double-speed", ""},
                                          {"normal-speed", ""},
                                          {"output", "OUT.png", 'o'},
                                          {"find-chunks", ""}};
constexpr const char* kPresetNames[] = {"", "normal", "noisy", "accurate"};

int plot_run(const Invocation& in) {
    const ParsedArgs& a = in.args;
    if (a.operands.size() != 1) throw UsageError("plot takes exactly one FILE");
    if (!a.has("output") || a.value("output").empty()) throw UsageError("plot needs -o OUT.png");
    const int width = a.has("width") ? bounded_value(a, "width", 160, 16384) : 1200;
    const int height = a.has("height") ? bounded_value(a, "height", 120, 8192) : 300;
    if (a.has("preset") && (a.has("sensitivity") || a.has("filter")))
        throw UsageError("--preset and --sensitivity/--filter exclude each other");
    if (a.has("double-speed") && a.has("normal-speed"))
        throw UsageError("--double-speed and --normal-speed exclude each other");

    StoredWindow window(in);
    Settings s = window.stored();
    if (a.has("preset")) {
        const int k = named_value(a, "preset", kPresetNames);
        const Preset p = k == 1 ? kNormal : k == 2 ? kNoisy : kAccurate;
        s.sensitivity = p.sensitivity;
        s.filter_ms = p.filter;
    }
    if (a.has("sensitivity")) s.sensitivity = bounded_value(a, "sensitivity", 1, 50);
    if (a.has("filter")) s.filter_ms = bounded_value(a, "filter", 20, 500);
    if (a.has("double-speed")) s.double_speed = true;
    if (a.has("normal-speed")) s.double_speed = false;

    const bool find_chunks = a.has("find-chunks");
    // What Generate will not scan is refused as generate refuses it (by the program that
    // draws).
    if (!in.env.plot_elsewhere)
        if (const auto warning = check_scannable(a.operands.front(), find_chunks))
            report(in.err, "warning: " + *warning);
    if (!in.env.plot) throw Error(Errc::Internal, a.value("output"), "this program does not draw");
    return in.env.plot(
        {a.operands.front(), a.value("output"), width, height, s, window.language(), find_chunks},
        in.out);
}

}  // namespace

const Command kPreviewCommand = {
    "preview", kPreviewOptions,
    "  preview [--json] [--filter MS] [--find-chunks] FILE...\n"
    "      The three presets at both speeds (gaps, total and longest silence), and the\n"
    "      smallest Sensitivity (1-50) that records a silence at the Filter. Nothing is\n"
    "      written, counted or logged.\n"
    "      --filter MS           20 to 500 (default: the stored Filter)\n"
    "      --json                one JSON object per file (an array of them for several)\n"
    "      --find-chunks         scan by the located \"fmt \" and \"data\" chunks\n",
    preview_run};

const Command kPlotCommand = {
    "plot", kPlotOptions,
    "  plot [OPTION]... -o OUT.png FILE\n"
    "      The preview's picture of the whole file as a PNG, drawn without a display,\n"
    "      with the stored settings unless told otherwise.\n"
    "      -o, --output OUT.png  the picture to write\n"
    "      --width W, --height H the picture's size in pixels (default 1200 x 300;\n"
    "                            at least 160 x 120, at most 16384 x 8192)\n"
    "      --preset normal|noisy|accurate\n"
    "      --sensitivity N       1 to 50;  --filter MS  20 to 500\n"
    "      --double-speed, --normal-speed\n"
    "      --find-chunks         scan by the located \"fmt \" and \"data\" chunks\n",
    plot_run};

std::string why_nothing_text(const std::string& path, const OpenFile& f,
                             const preview::PassAnswers* gathered) {
    return why_nothing_text(path, {f.Slider1.value(), f.Slider2.value(), f.Fast.ticked()},
                            preview::language_of(f.lan.caption), gathered);
}

std::string why_nothing_text(const std::string& path, const Settings& s, Language language,
                             const preview::PassAnswers* gathered) {
    std::string text = path +
                       (language == Language::German ? ": keine Pause aufgezeichnet ("
                                                     : ": no silence recorded (") +
                       preview::settings_text(s, language) + ").\n";
    for (const std::string& line : preview::why_nothing_found(path, s, language, gathered))
        text += "  " + line + "\n";
    return text;
}

}  // namespace veltrane
