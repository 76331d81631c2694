#include "app/work.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/doit.h"
#include "app/files.h"
#include "app/rook.h"
#include "app/scan_ahead.h"
#include "app/startup.h"
#include "base/text.h"

namespace veltrane {

namespace {

void set_buttons(OpenFile& f, bool enabled) {
    for (Control* c :
         {&f.Command1, &f.Command2, &f.Command3, &f.Command4, &f.Command5, &f.Command6})
        c->enabled = enabled;
}

std::string cut_tail(const std::string& s, std::size_t n) {
    return s.substr(0, s.size() >= n ? s.size() - n : 0);
}

std::string three_digits(int n) {
    std::string s = std::to_string(n);
    return std::string(3 - s.size(), '0') + s;
}

// Processes the files of every method block whose number is in Text11; returns how
// many files were handed to doit. Each block reads the method afresh, from the window
// showing at that moment.
int process_files(App& app) {
    int processed = 0;
    const std::string fname = app.f().fname.caption;
    const std::string ftitle = app.f().ftitle.caption;

    if (val(app.f().Text11.caption) == 1) {
        if (app.scan_ahead) app.scan_ahead->plan({fname});
        doit(app, fname, ftitle);
        ++processed;
        app.log("Passing control to function doit for single filemethod ");
    }
    if (val(app.f().Text11.caption) == 2) {
        app.log("Determined possible extensions and found which exist");
        const std::string stem = cut_tail(fname, 7);
        // The candidates are found without regard to letter case, as the folder spells them.
        const std::size_t cut = stem.rfind('/');
        const std::string folder = cut == std::string::npos ? "" : stem.substr(0, cut + 1);
        const FolderNames names(folder);
        std::vector<std::string> set;
        for (int n = 1; n <= 199; ++n) {
            const std::string candidate =
                folder + names.spelled(stem.substr(folder.size()) + three_digits(n) + ".wav");
            if (file_exists_nonempty(candidate)) set.push_back(candidate);
        }
        if (app.scan_ahead) app.scan_ahead->plan(set);
        for (const std::string& candidate : set) {
            const std::size_t len = std::min(ftitle.size(), candidate.size());
            doit(app, candidate, candidate.substr(candidate.size() - len));
            ++processed;
            app.log("Passing Control to function doit for JA method");
        }
    }
    if (val(app.f().Text11.caption) == 3) {
        app.log(
            "Function nof called - Don't remember what it does... something about file existance?");
        const std::string folder = cut_tail(fname, ftitle.size());
        app.log("Finding drectory wavs");
        const std::vector<std::string> names = wav_files(folder.empty() ? "." : folder);
        if (app.scan_ahead) {
            std::vector<std::string> paths;
            for (const std::string& name : names) paths.push_back(folder + name);
            app.scan_ahead->plan(paths);
        }
        for (const std::string& name : names) {
            doit(app, folder + name, name);
            ++processed;
            app.log("Passing control to function doit for entire folder method");
        }
    }
    return processed;
}

// Counts the run as in progress while it lasts.
struct RunInProgress {
    explicit RunInProgress(App& a) : app(a) { ++app.runs; }
    ~RunInProgress() { --app.runs; }
    RunInProgress(const RunInProgress&) = delete;
    RunInProgress& operator=(const RunInProgress&) = delete;
    App& app;
};

}  // namespace

void show_run_in_progress(OpenFile& f) {
    set_buttons(f, false);
    f.Label13.visible = false;
    f.Slider1.visible = true;
}

void work(App& app) {
    // A run lets the window handle events; a restart may replace the window meanwhile.
    // The run then goes on in the new one, and its results show there.
    const RunInProgress run(app);
    OpenFile& f = app.f();
    show_run_in_progress(f);
    app.log("Disabling command buttons");
    Clock& clock = app.platform.clock;
    const double start = clock.monotonic_seconds();

    const CommandLineFile from_command_line =
        app.command_line.empty() ? CommandLineFile{} : command_line_file(app.command_line);
    f.fname.caption =
        !f.CommonDialog1.FileName.empty() ? f.CommonDialog1.FileName : from_command_line.full_path;
    f.ftitle.caption =
        !f.CommonDialog1.FileTitle.empty() ? f.CommonDialog1.FileTitle : from_command_line.title;
    app.log("Took care or filename and filetitle possibilities and bug removed");

    int processed = 0;
    try {
        processed = process_files(app);
    } catch (...) {
        // A failed run gives the window back: buttons enabled, progress row as before.
        OpenFile& now = app.f();
        now.ProgressBar1.visible = false;
        now.Label13.visible = true;
        set_buttons(now, true);
        if (val(now.lan.caption) == 1) now.StatusBar1.caption = "Ready...";
        if (val(now.lan.caption) == 2) now.StatusBar1.caption = "Fertig...";
        app.flush_settings();
        throw;
    }

    const double end = clock.monotonic_seconds();
    OpenFile& g = app.f();
    g.Label13.visible = true;
    const double elapsed = std::floor((end - start) * 100) / 100;
    app.run_seconds = elapsed;
    const std::string seconds = number_text(elapsed, clock.decimal_separator());
    if (g.lan.caption == "1") g.Label13.caption = "Procedure completed in " + seconds + " seconds.";
    if (g.lan.caption == "2")
        g.Label13.caption = "Vorgang in " + seconds + " Sekunden abgeschlossen";
    app.log("Showing time needed message");
    if (processed == 0) {
        if (g.lan.caption == "1") g.Label13.caption = " No files of correct format in this folder.";
        if (g.lan.caption == "2")
            g.Label13.caption = "Keine Dateien im korrekten Format in diesem Ordner";
    }
    g.ProgressBar1.visible = false;
    g.Slider1.visible = true;
    set_buttons(g, true);
    app.log("Enabling command buttons");

    tick_method(g, g.Text11.caption);
    app.log("Taken care of a bug");

    const std::string total = app.setting(kStatsSection, "003");
    const double new_total = total.empty() ? elapsed : static_cast<double>(whole(total)) + elapsed;
    app.set_setting(kStatsSection, "003", std::to_string(floor_int(new_total)));
    app.log("Saved settings in registry containing total time needed info");
    Rook(app, 1);
    app.log("Refreshed Rook screen");

    if (g.notify.ticked()) {
        app.platform.sound.play_async(find_in_folder(app.program_folder, "data.qlm"));
        app.log("Played notification sound");
    }
    app.flush_settings();
}

void Command3_Click(App& app) {
    work(app);
    app.log("Passing control to function work");
}

void Command4_Click(App& app) {
    app.platform.sound.play_async(app.f().CommonDialog1.FileName);
    app.log("Playing loaded file");
}

}  // namespace veltrane
