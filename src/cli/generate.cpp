#include <sys/stat.h>

#include <map>
#include <mutex>
#include <ostream>

#include "app/app.h"
#include "app/handlers.h"
#include "app/log.h"
#include "app/presets.h"
#include "app/scan_ahead.h"
#include "app/second_core.h"
#include "app/startup_values.h"
#include "app/work.h"
#include "audio/scan_settings.h"
#include "audio/wav_header.h"
#include "audio/wav_layout.h"
#include "base/byte_source.h"
#include "base/error.h"
#include "base/text.h"
#include "cli/chunk_note.h"
#include "cli/commands.h"
#include "cli/format.h"
#include "cli/headless.h"
#include "cli/paths.h"
#include "cli/preview_commands.h"
#include "cli/run_clock.h"
#include "cli/run_report.h"
#include "cli/scan_reasons.h"
#include "preview/facts_pass.h"
#include "preview/why.h"

namespace veltrane {

namespace {

constexpr CommandOption kOptions[] = {
    {"method", "single|ja|folder"},
    {"preset", "normal|noisy|accurate|custom"},
    {"sensitivity", "N"},
    {"filter", "MS"},
    {"double-speed", ""},
    {"normal-speed", ""},
    {"multitasking", ""},
    {"find-chunks", ""},
    {"json", ""},
    {"jobs", "N", 'j'},
};

// The method numbers of the window.
constexpr int kSingle = 1, kJa = 2, kFolder = 3;
constexpr const char* kMethodNames[] = {"", "single", "ja", "folder"};
constexpr const char* kPresetNames[] = {"", "normal", "noisy", "accurate", "custom"};

// What the options ask of the runs; checked before anything is done.
struct Choices {
    int method = kSingle;  // without --method: Single File, whatever the window stored
    int preset = 0;        // 0: as stored
    std::optional<int> sensitivity, filter;
    std::optional<bool> double_speed;
    bool multitasking = false;
    bool find_chunks = false;
    bool json = false;
    unsigned jobs = 1;
};

Choices read_choices(const ParsedArgs& a) {
    Choices c;
    if (a.has("method")) c.method = named_value(a, "method", kMethodNames);
    if (a.has("preset")) c.preset = named_value(a, "preset", kPresetNames);
    if (a.has("sensitivity")) c.sensitivity = bounded_value(a, "sensitivity", 1, 50);
    if (a.has("filter")) c.filter = bounded_value(a, "filter", 20, 500);
    if (a.has("double-speed") && a.has("normal-speed"))
        throw UsageError("--double-speed and --normal-speed exclude each other");
    if (a.has("double-speed")) c.double_speed = true;
    if (a.has("normal-speed")) c.double_speed = false;
    c.multitasking = a.has("multitasking");
    c.find_chunks = a.has("find-chunks");
    c.json = a.has("json");
    c.jobs = a.has("jobs") ? static_cast<unsigned>(bounded_value(a, "jobs", 1, 256))
                           : usable_processors();
    return c;
}

// Sets the window's controls as the user would for these choices.
void apply(App& app, const Choices& c) {
    OpenFile& f = app.f();
    ch_GotFocus(app, c.method);
    (c.method == kSingle ? f.ch5 : c.method == kJa ? f.ch6 : f.ch7).set_value(1);
    if (c.preset != 0) {
        OptionButton* options[] = {&f.Option1, &f.Option2, &f.Option3, &f.Option4};
        Option_GotFocus(app, c.preset);
        options[c.preset - 1]->set_value(true);
    }
    if (c.sensitivity || c.filter) {
        const int s = c.sensitivity.value_or(f.Slider1.value());
        const int fl = c.filter.value_or(f.Slider2.value());
        Option_GotFocus(app, 4);
        f.Option4.set_value(true);
        f.Slider1.set_value(s);
        f.Slider2.set_value(fl);
    }
    if (c.double_speed) f.Fast.set_value(*c.double_speed ? 1 : 0);
    if (c.multitasking) f.multi.set_value(1);
    app.find_chunks = c.find_chunks;
}

// What the report needs of a recording besides its run: whether its data stand after
// other chunks (where they are, and whether --find-chunks could scan them), and the
// situation its scan at normal speed is in.
struct Looked {
    std::optional<ChunkNote> note;
    Situation situation = 0;
};

Looked look_at(ByteSource& file, bool find_chunks) {
    Looked l;
    std::optional<LocatedLayout> located;
    try {
        const WavChunks chunks = read_wav_chunks(file);
        if (!find_chunks) l.note = chunk_note(chunks);
        located = located_layout(chunks);
    } catch (const Error&) {
    }
    try {
        l.situation = find_chunks && located
                          ? situation_of(located->bytes_per_sample, located->channels, false)
                          : generate_params(read_wav_header(file), {}).situation;
    } catch (const Error&) {
    }
    return l;
}

Looked look_at(const std::string& path, bool find_chunks) {
    try {
        if (const std::unique_ptr<FileSource> file = open_recording(path))
            return look_at(*file, find_chunks);
    } catch (const Error&) {
    }
    return {};
}

// Hands the bytes a scan ahead reads to a gatherer of the reasons as well, as
// ScanReasons does for the scans on the procedures' thread.
class GatheringAhead final : public TappedSource {
  public:
    GatheringAhead(ByteSource& file, const preview::Settings& settings)
        : TappedSource(file), gatherer_(riding_questions(file, settings), file.size()) {}
    std::span<const std::uint8_t> in_memory() const override { return inner_.in_memory(); }
    // The answers, with what the scan did not bring read from the file.
    preview::PassAnswers finish() { return gatherer_.finish(inner_); }

  private:
    void seen(std::int64_t offset, std::span<const std::uint8_t> bytes) override {
        if (!gatherer_.done()) gatherer_.take(offset, bytes);
    }
    preview::FactsGatherer gatherer_;
};

// One run: FILE as the file chosen in the window, then Generate. A single file is looked
// at for the report while it is open for the refusals (`look`).
void run_one(App& app, const Choices& c, const std::string& file,
             std::map<std::string, Looked>* look) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) throw Error(Errc::Open, file, errno_text());
    std::string name = file, title = bare_name(file);
    if (c.method == kFolder && S_ISDIR(st.st_mode)) {
        // The folder itself: the run covers exactly it.
        if (!name.ends_with('/')) name += '/';
        title.clear();
    } else if (c.method != kFolder) {
        const std::unique_ptr<FileSource> source = open_recording(file);  // names a folder, a FIFO
        if (!source) throw Error(Errc::Open, file, "No such file or directory");
        if (c.method == kSingle) {
            refuse_unscannable(*source, file, c.find_chunks);
            if (look) (*look)[file] = look_at(*source, c.find_chunks);
        }
    }
    OpenFile& f = app.f();
    f.CommonDialog1.FileName = name;
    f.CommonDialog1.FileTitle = title;
    work(app);
}

int run(const Invocation& in) {
    const Choices c = read_choices(in.args);
    const std::vector<std::string>& files = in.args.operands;
    if (files.empty()) throw UsageError("generate needs at least one FILE");
    if (in.env.catch_interrupts) in.env.catch_interrupts();
    auto interrupted = [&] { return in.env.interrupted ? in.env.interrupted() : 0; };

    HeadlessServices services(in.err, in.env.program_folder, in.env.settings_file);
    // Another program's changes to the settings file are looked for five times a second,
    // not at every read (the start-up values read it many times).
    services.settings.set_recheck_interval(std::chrono::milliseconds(200));
    // The runs are timed without the reasons given for files in which nothing was found.
    const Platform platform = services.platform();
    RunClock clock(platform.clock);
    App app(Platform{platform.settings, platform.boxes, platform.dialog, clock, platform.sound,
                     platform.process, platform.loop, platform.windows});
    ScanReasons gathered_reasons(app, clock);
    bind_handlers(app);
    Slider1_Change(app);
    Slider2_Change(app);
    // As the window's start-up: applied twice, so that the language comes out as stored.
    apply_startup_values(app);
    apply_startup_values(app);
    apply(app, c);
    // A logging period for these runs when logging is switched on in the stored values.
    app.f().lg.set_value(whole(app.setting(kStartupSection, "Log")) == 1 ? 1 : 0);

    // Other threads scan the files ahead; the procedures take them here in file order.
    // They also find the reasons for a file where nothing was recorded.
    std::mutex reasons_mutex;
    std::map<std::string, std::string> reasons;
    // What the report needs of each file scanned ahead, read while it was open for its scan.
    std::map<std::string, Looked> looked;
    std::optional<ScanAhead> ahead;
    // One file alone is scanned here: a thread of its own would only wait for it.
    if (c.jobs > 1 && !(c.method == kSingle && files.size() == 1)) {
        const OpenFile& f = app.f();
        const ScanSettings settings{f.Slider1.value(), f.Slider2.value(), f.Fast.ticked()};
        const preview::Language language = preview::language_of(f.lan.caption);
        ahead.emplace(
            c.jobs, settings, c.find_chunks, [&] { return interrupted() != 0; },
            [settings](const std::string&, ByteSource& file) -> std::unique_ptr<ByteSource> {
                if (file.size() <= kReadAgainUpTo) return nullptr;
                try {
                    return std::make_unique<GatheringAhead>(file, settings);
                } catch (const Error&) {
                    return nullptr;  // the reasons read the file for themselves
                }
            },
            [&, settings, language](const FinishedScan& done, ByteSource* watched) {
                if (done.chunks_looked_at) {
                    const std::lock_guard lock(reasons_mutex);
                    looked[done.path] = {done.chunks, done.params.situation};
                }
                if (!done.scanned || done.gaps != 0) return;
                std::optional<preview::PassAnswers> gathered;
                if (auto* along = dynamic_cast<GatheringAhead*>(watched)) {
                    try {
                        gathered = along->finish();
                    } catch (const Error&) {
                        gathered.reset();
                    }
                }
                std::string text = why_nothing_text(done.path, settings, language,
                                                    gathered ? &*gathered : nullptr);
                const std::lock_guard lock(reasons_mutex);
                reasons[done.path] = std::move(text);
            });
        app.scan_ahead = &*ahead;
        if (c.method == kSingle) ahead->plan(files);
    }
    // One file alone gives the second half of a long recording to another processor.
    ThreadCore second_core;
    if (c.jobs > 1 && !ahead) app.second_core = &second_core;
    // The statistics reach the store twice a second and when a run ends, not per file.
    app.settings_interval = 0.5;
    // Data.Qlm is looked for once.
    app.remember_data_file = true;

    RunReport out(in.out, in.err, c.json, in.env.progress);
    // A wait for another program's lock on the settings file says so, and Ctrl+C ends it.
    services.settings.on_lock_wait(
        [&](const std::string& text) { out.note("veltrane-cli: " + text + "\n"); },
        [&] { return interrupted() != 0; });
    int status = kExitOk;
    std::size_t files_done = 0;   // in the run going on
    std::size_t slow_16_bit = 0;  // 16-bit mono recordings scanned at normal speed
    auto stop_if_asked = [&] {
        if (interrupted() == 0) return;
        app.ending = true;
        throw RunStopped{};
    };
    app.on_progress = [&] {
        out.progress(app.f());
        stop_if_asked();
    };
    // The reasons found ahead, else found now.
    auto reasons_for = [&](const std::string& path) {
        {
            const std::lock_guard lock(reasons_mutex);
            if (const auto it = reasons.find(path); it != reasons.end()) {
                std::string text = std::move(it->second);
                reasons.erase(it);
                return text;
            }
        }
        return gathered_reasons.text(path);
    };
    app.on_file_done = [&](const App::FileResult& done) {
        App::FileResult r = done;
        ++files_done;
        std::optional<Looked> look;
        {
            const std::lock_guard lock(reasons_mutex);
            if (const auto it = looked.find(r.path); it != looked.end()) {
                look = it->second;
                looked.erase(it);
            }
        }
        auto looked_at = [&]() -> const Looked& {
            if (!look) look = look_at(r.path, c.find_chunks);
            return *look;
        };
        if (r.not_scanned.empty() && !app.f().Fast.ticked() && looked_at().situation == 2)
            ++slow_16_bit;
        // A file whose data stand after other chunks: read as the plain layout, what was
        // scanned (if anything) is not its sound. Nothing written for it fails the command,
        // so that a script notices.
        if (!c.find_chunks)
            if (const auto note = looked_at().note) {
                if (r.gaps == 0) status = kExitFailed;
                if (r.not_scanned.empty())
                    out.warn(chunk_warning(r.path, *note));
                else if (note->scannable)
                    r.not_scanned += find_chunks_hint(*note);
            }
        out.file(r);
        // Scanned and nothing found: why, as the preview says it.
        if (r.gaps == 0 && r.not_scanned.empty()) out.note(reasons_for(r.path));
        stop_if_asked();
    };

    bool stopped = false;  // the stop has been reported
    for (const std::string& file : files) {
        if (interrupted() != 0) break;
        out.begin(file, kMethodNames[c.method]);
        files_done = 0;
        try {
            run_one(app, c, file, ahead ? nullptr : &looked);
            out.end(app.f().Label13.caption, app.run_seconds);
            // A folder or set without a WAV file: nothing was scanned.
            if (files_done == 0) {
                report(in.err, "\"" + file + "\": no WAV file was scanned");
                status = kExitFailed;
            }
        } catch (const RunStopped&) {
            out.fail("interrupted");
            stopped = true;
            break;
        } catch (...) {
            out.fail(current_failure_text());
            status = kExitFailed;
        }
    }
    if (app.f().lg.ticked()) write_log(app, "", LogStop);
    out.close();
    if (slow_16_bit > 0)
        report(
            in.err,
            "note: " + std::to_string(slow_16_bit) +
                (slow_16_bit == 1 ? " 16-bit mono recording was" : " 16-bit mono recordings were") +
                " scanned at normal speed, where only pauses of pure digital silence count; "
                "--double-speed reads every sample whole and finds the pauses of microphone "
                "recordings");
    if (const int signal = interrupted()) {
        // Asked between two runs, or after the last one: the runs done stay done.
        if (!stopped) report(in.err, "interrupted");
        return kExitSignalBase + signal;
    }
    return status;
}

}  // namespace

const Command kGenerateCommand = {
    "generate", kOptions,
    "  generate [OPTION]... FILE...\n"
    "      Write GAP files as the Generate button does; each FILE is a run of its own.\n"
    "      --method single|ja|folder\n"
    "                            single: FILE alone (the default); ja: the numbered set\n"
    "                            FILE belongs to (001 to 199); folder: every WAV file\n"
    "                            of the folder FILE names or lies in\n"
    "      --preset normal|noisy|accurate|custom\n"
    "      --sensitivity N       1 to 50 (custom precision)\n"
    "      --filter MS           20 to 500 (custom precision)\n"
    "      --double-speed, --normal-speed\n"
    "      --multitasking        hand control to the event loop while scanning\n"
    "      --find-chunks         scan the \"data\" chunk wherever it stands\n"
    "      --json                one JSON array, an object per run\n"
    "      -j, --jobs N          scan N files at once (default: one per processor), and\n"
    "                            one long file on two; the results are those of --jobs 1\n"
    "      Precision, speed and features start from the stored start-up values.\n",
    run};

}  // namespace veltrane
