#include "audio/doit.h"

#include <string>
#include <vector>

#include "app/app.h"
#include "app/text.h"
#include "audio/examine.h"
#include "audio/gap_file.h"
#include "audio/mapped_file.h"
#include "audio/scan.h"
#include "audio/wav_header.h"
#include "stats/rook.h"

namespace veltrane {

namespace {

// Hand control to the event loop at most this often while scanning.
constexpr double kYieldInterval = 0.02;

// Adds one to a counter of section "001"; a value that is not a number counts as 0.
void count(App& app, std::string_view key) {
    app.set_setting(kStatsSection, key, std::to_string(whole(app.setting(kStatsSection, key)) + 1));
}

std::int32_t s32_at(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::int32_t>(le32(bytes, offset));
}

bool stereo(Situation s) {
    return s % 10 == 3 || s % 10 == 4;
}

}  // namespace

void doit(App& app, const std::string& path, const std::string& title) {
    const std::shared_ptr<OpenFile> window = app.form;
    OpenFile& f = *window;
    app.log("Generation procedure started");
    f.Slider1.visible = true;
    f.Slider2.visible = true;
    ScanParams params;
    params.filter_ms = f.Slider2.value();
    params.sensitivity = f.Slider1.value();
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
    if (!single_count.empty() && val(f.Text11.caption) == 1) count(app, "004");
    if (single_count.empty() && val(f.Text11.caption) == 1)
        app.set_setting(kStatsSection, "004", "1");
    app.log(
        "refreshed registry key containing number of times the single file method is used in "
        "total");

    const MappedFile wav(path);
    params.byte_rate = s32_at(wav.bytes(), wav::kByteRate);
    params.data_start = std::int64_t{s32_at(wav.bytes(), wav::kFmtLength)} + 29;
    app.log("Opens file and other preparations");
    std::size_t gap_count = 0;

    Situation situation = 0;
    const double bytes_per_sample = val(f.Text7.caption);
    if (bytes_per_sample == 1) {
        situation = 1;
        app.log("Situation is 8-Bit Mono");
    }
    if (bytes_per_sample == 4) {
        situation = 4;
        app.log("Situation is 16-bit Stereo");
    }
    if (bytes_per_sample == 2) {
        if (f.Text4.caption == "Mono") {
            situation = 2;
            app.log("Situation is 16-Bit Mono");
        }
        if (f.Text4.caption == "Stereo") {
            situation = 3;
            app.log("Situation is 8-Bit Stereo");
        }
    }
    if (f.Fast.ticked() && situation >= 1 && situation <= 4) situation += 10;
    if (f.lg.ticked() && f.Fast.ticked()) app.log("Speed is double");
    app.log("Determined Situation type and speed");
    app.log("Starting main loop...");

    if (situation != 0) {
        params.situation = situation;
        params.end_mark = static_cast<std::int64_t>(val(f.hid1.caption));
        f.ProgressBar1.visible = f.Check1.ticked();
        f.ProgressBar1.min = static_cast<double>(params.data_start);
        f.ProgressBar1.max = static_cast<double>(params.end_mark + (stereo(situation) ? 1 : 0));
        if (stereo(situation)) f.ProgressBar1.value = static_cast<double>(params.data_start);
        const std::string stem = path.substr(0, path.size() >= 4 ? path.size() - 4 : 0);
        if (val(f.lan.caption) == 1)
            f.StatusBar1.caption = "Generating File: " + stem + ".Gap. Please wait...";
        if (val(f.lan.caption) == 2)
            f.StatusBar1.caption = "Erstellen der Datei :" + stem + ".Gap. Bitte Warten...";

        Clock& clock = app.platform.clock;
        double last_yield = clock.monotonic_seconds();
        const std::vector<Silence> silences =
            scan(wav.bytes(), params, [&](const ScanProgress& progress) {
                f.ProgressBar1.value = static_cast<double>(progress.progress);
                if (app.on_progress) app.on_progress();
                if (f.multi.ticked() && clock.monotonic_seconds() - last_yield >= kYieldInterval) {
                    app.yield();
                    last_yield = clock.monotonic_seconds();
                }
            });

        if (!silences.empty()) {
            std::vector<GapRecord> records;
            records.reserve(silences.size());
            for (const Silence& s : silences)
                records.push_back({mark_ms(s.start_mark, params.byte_rate),
                                   mark_ms(s.end_mark, params.byte_rate)});
            write_gap_file(gap_path(path), records);
        }
        gap_count = silences.size();
        if (app.on_file_done) app.on_file_done({path, gap_count, gap_count ? gap_path(path) : ""});
    }

    if (situation == 0 && app.on_file_done) app.on_file_done({path, 0, ""});
    app.log("Main loop succeeded!");
    app.log("Closed File");
    if (val(f.lan.caption) == 1) f.StatusBar1.caption = "Ready...";
    if (val(f.lan.caption) == 2) f.StatusBar1.caption = "Listo...";
    app.log("Status bar returne to normal state");
    if (val(f.Text11.caption) == 1 && gap_count == 0) {
        app.log("No silences detected... passing message to user");
        if (val(f.lan.caption) == 1) app.message("No silences detected. No need to create file");
        if (val(f.lan.caption) == 2)
            app.message("Keine Freir?ume entdeckt. Datei muss nicht erstellt werden.");
    }
    Rook(app, 0);
    app.log("Refreshed Rook screen");
}

}  // namespace veltrane
