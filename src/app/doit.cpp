#include "app/doit.h"

#include <filesystem>
#include <limits>
#include <optional>
#include <string>

#include "app/app.h"
#include "app/examine.h"
#include "app/rook.h"
#include "app/scan_ahead.h"
#include "audio/gap_file.h"
#include "audio/scan.h"
#include "audio/scan_settings.h"
#include "audio/wav_header.h"
#include "audio/wav_layout.h"
#include "base/error.h"
#include "base/text.h"

namespace veltrane {

namespace {

// Hand control to the event loop at most this often while scanning.
constexpr double kYieldInterval = 0.02;

// Adds one to a counter of section "001"; a value that is not a number counts as 0, and
// a count at the top of its range stays there.
void count(App& app, std::string_view key) {
    std::int64_t n = whole(app.setting(kStatsSection, key));
    if (n < std::numeric_limits<std::int64_t>::max()) ++n;
    app.set_setting(kStatsSection, key, std::to_string(n));
}

bool stereo(Situation s) {
    return s % 10 == 3 || s % 10 == 4;
}

// Scans the recording on this thread; returns the number of silences recorded.
std::size_t scan_here(App& app, ByteSource& wav, const ScanParams& params, const std::string& path,
                      std::optional<FileId> scanned) {
    // Records go to the GAP file as the silences end; it replaces an older one only
    // when the whole scan went through.
    GapWriter gaps(gap_path(path), scanned);
    Clock& clock = app.platform.clock;
    double last_yield = clock.monotonic_seconds();
    // A caller that looks at the bytes on their way sees each block once.
    const std::unique_ptr<ByteSource> watched =
        app.watch_scan ? app.watch_scan(path, wav) : nullptr;
    scan(
        watched ? *watched : wav, params,
        [&](const Silence& s) {
            gaps.add(
                {mark_ms(s.start_mark, params.byte_rate), mark_ms(s.end_mark, params.byte_rate)});
        },
        [&](const ScanProgress& progress) {
            app.f().ProgressBar1.value = static_cast<double>(progress.progress);
            if (app.on_progress) app.on_progress();
            // Asked to end by the system: the run stops here, as it would at a yield after
            // the close box, whether or not it lets events through.
            if (app.platform.loop.stop_requested()) {
                app.end();
                throw RunStopped{};
            }
            if (app.f().multi.ticked() &&
                clock.monotonic_seconds() - last_yield >= kYieldInterval) {
                app.yield();
                last_yield = clock.monotonic_seconds();
            }
        },
        app.second_core);
    gaps.commit();
    return gaps.count();
}

// Generates the GAP file of one recording; see doit().
void generate_one(App& app, const std::string& path, const std::string& title);

}  // namespace

void doit(App& app, const std::string& path, const std::string& title) {
    // Only files whose scan ended are counted: a file stopped part way has its counts
    // (kilobytes, files, single files) put back as they were before it.
    constexpr std::string_view kCounts[] = {"001", "002", "004"};
    std::string before[std::size(kCounts)];
    for (std::size_t i = 0; i < std::size(kCounts); ++i)
        before[i] = app.setting(kStatsSection, kCounts[i]);
    try {
        generate_one(app, path, title);
    } catch (const RunStopped&) {
        for (std::size_t i = 0; i < std::size(kCounts); ++i)
            if (app.setting(kStatsSection, kCounts[i]) != before[i])
                app.set_setting(kStatsSection, kCounts[i], before[i].empty() ? "0" : before[i]);
        app.flush_settings();
        throw;
    }
}

namespace {

void generate_one(App& app, const std::string& path, const std::string& title) {
    // The window is looked up afresh after every yield: a restart may replace it.
    app.log("Generation procedure started");
    app.f().Slider1.visible = true;
    app.f().Slider2.visible = true;
    ScanParams params;
    params.filter_ms = app.f().Slider2.value();
    params.sensitivity = app.f().Slider1.value();
    app.log("Took care of the invisible sliders bug");
    app.log("Passes contol to examine function as to refresh info tables");
    examine(app, path, title, 0);
    app.yield();

    if (app.setting(kStatsSection, "002").empty())
        app.set_setting(kStatsSection, "002", "1");
    else
        count(app, "002");
    app.log("Refreshed registry key containing number of files processed in total");

    const std::string single_count = app.setting(kStatsSection, "004");
    if (!single_count.empty() && val(app.f().Text11.caption) == 1) count(app, "004");
    if (single_count.empty() && val(app.f().Text11.caption) == 1)
        app.set_setting(kStatsSection, "004", "1");
    app.log(
        "refreshed registry key containing number of times the single file method is used in "
        "total");

    // The scan made ahead on another thread, when there is one. A recording that has not
    // changed since is not opened again: its header is the one that scan read.
    const std::unique_ptr<FinishedScan> ahead =
        app.scan_ahead ? app.scan_ahead->take(path) : nullptr;
    std::optional<FileStamp> unchanged;
    if (ahead && ahead->header && !app.find_chunks)
        if (const auto now = file_stamp(path); now && *now == ahead->stamp) unchanged = now;
    // The recording is read a block at a time; a path that names nothing reads as empty.
    std::unique_ptr<FileSource> file;
    MemorySource nothing({});
    bool opened = false;
    const auto wav = [&]() -> ByteSource& {
        if (!opened) file = open_recording(path);
        opened = true;
        return file ? static_cast<ByteSource&>(*file) : nothing;
    };
    const WavInfo header = unchanged ? *ahead->header : read_wav_header(wav());
    params.byte_rate = header.byte_rate;
    params.data_start = std::int64_t{header.fmt_length} + 29;
    // Only when asked for: a header that is not the plain layout is read by its chunks.
    const std::optional<LocatedLayout> located =
        app.find_chunks ? located_layout(read_wav_chunks(wav())) : std::nullopt;
    if (located) {
        params.byte_rate = located->byte_rate;
        params.data_start = located->data_start;
    }
    app.log("Opens file and other preparations");
    std::size_t gap_count = 0;

    OpenFile& f = app.f();
    const Situation situation =
        situation_of(located ? located->bytes_per_sample : val(f.Text7.caption),
                     located ? located->channels : f.Text4.caption, f.Fast.ticked());
    switch (situation % 10) {
        case 1:
            app.log("Situation is 8-Bit Mono");
            break;
        case 2:
            app.log("Situation is 16-Bit Mono");
            break;
        case 3:
            app.log("Situation is 8-Bit Stereo");
            break;
        case 4:
            app.log("Situation is 16-bit Stereo");
            break;
        default:
            break;
    }
    if (f.lg.ticked() && f.Fast.ticked()) app.log("Speed is double");
    app.log("Determined Situation type and speed");
    app.log("Starting main loop...");

    if (situation != 0) {
        params.situation = situation;
        params.end_mark =
            located ? located->end_mark : static_cast<std::int64_t>(val(f.hid1.caption));
        f.ProgressBar1.visible = f.Check1.ticked();
        f.ProgressBar1.min = static_cast<double>(params.data_start);
        f.ProgressBar1.max = static_cast<double>(params.end_mark + (stereo(situation) ? 1 : 0));
        if (stereo(situation)) f.ProgressBar1.value = static_cast<double>(params.data_start);
        const std::string stem = path.substr(0, path.size() >= 4 ? path.size() - 4 : 0);
        if (val(f.lan.caption) == 1)
            f.StatusBar1.caption = "Generating File: " + stem + ".Gap. Please wait...";
        if (val(f.lan.caption) == 2)
            f.StatusBar1.caption = "Erstellen der Datei :" + stem + ".Gap. Bitte Warten...";

        const std::optional<FileStamp> now = unchanged ? unchanged
                                             : file    ? std::optional(file->stamp())
                                                       : std::nullopt;
        if (ahead && now && ahead->scanned && ahead->fits(*now, params)) {
            // Scanned and its GAP file written already.
            f.ProgressBar1.value = f.ProgressBar1.max;
            if (app.on_progress) app.on_progress();
            gap_count = ahead->gaps;
        } else {
            ByteSource& source = wav();  // opened before `file` is asked for its id
            gap_count = scan_here(app, source, params, path,
                                  file ? std::optional(file->id()) : std::nullopt);
        }
    }

    if (app.on_file_done) {
        App::FileResult result;
        result.path = path;
        result.gaps = gap_count;
        if (gap_count) result.gap_file = gap_path(path);
        if (situation == 0 || params.byte_rate <= 0) {
            result.not_scanned = why_not_scanned(wav(), app.find_chunks);
            if (result.not_scanned.empty()) result.not_scanned = "no sample layout to scan";
        }
        if (!located && header.is_riff_wave() && header.fmt_id == wav::kFmt)
            result.data_size_note = data_size_note(static_cast<std::uint32_t>(header.data_size));
        std::error_code ec;
        result.earlier_gap_file_kept =
            gap_count == 0 && std::filesystem::exists(gap_path(path), ec);
        app.on_file_done(result);
    }
    OpenFile& after = app.f();
    app.log("Main loop succeeded!");
    app.log("Closed File");
    if (val(after.lan.caption) == 1) after.StatusBar1.caption = "Ready...";
    if (val(after.lan.caption) == 2) after.StatusBar1.caption = "Listo...";
    app.log("Status bar returne to normal state");
    if (val(after.Text11.caption) == 1 && gap_count == 0) {
        app.log("No silences detected... passing message to user");
        if (val(after.lan.caption) == 1)
            app.message("No silences detected. No need to create file");
        if (val(after.lan.caption) == 2)
            app.message("Keine Freir?ume entdeckt. Datei muss nicht erstellt werden.");
    }
    Rook(app, 0);
    app.log("Refreshed Rook screen");
    // The statistics of this file reach the store once, now that it is done (or with
    // those of the next files, when the run asks for fewer writes).
    const double now = app.platform.clock.monotonic_seconds();
    if (app.settings_interval <= 0 || now - app.settings_flushed_at >= app.settings_interval) {
        app.flush_settings();
        app.settings_flushed_at = now;
    }
}

}  // namespace

}  // namespace veltrane
