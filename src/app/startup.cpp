#include "app/startup.h"

#include <cmath>

#include "app/app.h"
#include "app/examine.h"
#include "app/handlers.h"
#include "app/header_notice.h"
#include "app/log.h"
#include "app/presets.h"
#include "app/startup_values.h"
#include "app/work.h"
#include "base/text.h"

namespace veltrane {

CommandLineFile command_line_file(const std::string& cl) {
    CommandLineFile file;
    if (cl.size() >= 2) file.full_path = cl.substr(1, cl.size() - 2);
    // The name follows the last folder separator ("/"; a backslash is an ordinary
    // character of a name); the closing quote is dropped.
    const auto cut = cl.find_last_of('/');
    if (cut != std::string::npos && cut + 1 < cl.size())
        file.title = cl.substr(cut + 1, cl.size() - cut - 2);
    else
        file.title = file.full_path;  // no folder: the path is the name
    return file;
}

void Form_Load(App& app) {
    Slider1_Change(app);
    Slider2_Change(app);
    load_settings(app);
}

void load_form(App& app) {
    app.form = std::make_shared<OpenFile>();
    bind_handlers(app);
    Form_Load(app);
}

void restart_form(App& app) {
    app.flush_settings();
    app.platform.windows.unload_main();
    const bool logging = whole(app.setting(kStartupSection, "Log")) == 1;
    load_form(app);
    // Logging goes on across the restart: the Log box comes back as it was saved, and the
    // period closed before the restart opens again. The box's own handler would say
    // that logging was switched on just now, which it was not.
    if (logging) {
        app.f().lg.restore(1);
        write_log(app, "", LogStart);
        app.log("Logging resumed from restarting procedure");
    }
    // A run that goes on keeps the new window's buttons off until it ends.
    if (app.running()) show_run_in_progress(app.f());
    app.platform.windows.show_main();
}

void Main(App& app) {
    Clock& clock = app.platform.clock;
    const double start_monotonic = clock.monotonic_seconds();
    const auto start_seconds =
        static_cast<std::int32_t>(std::lround(clock.seconds_since_midnight()));
    app.platform.windows.show_splash();
    app.platform.loop.yield();

    if (app.setting(kStartupSection, "Log").empty()) app.set_setting(kStartupSection, "Log", "0");
    load_form(app);
    app.f().lg.set_value(whole(app.setting(kStartupSection, "Log")) == 1 ? 1 : 0);
    load_settings(app);

    if (!app.command_line.empty()) {
        const CommandLineFile file = command_line_file(app.command_line);
        const Answer answer = app.ask(
            "Would you like to proceed into the automatic generation procedure or just load the "
            "file? Hit OK for generation or Cancel for simple loading.",
            "What to you wish to do?");
        if (answer == Answer::Cancel) {
            examine(app, file.full_path, file.title, 1);
            app.log("User automatically loads a file without attempting to convert.");
        } else {
            work(app);
            app.log("User automatically loads a file and attempts to convert.");
        }
        note_loaded_file(app, file.full_path, file.title);
    }

    // At least two whole seconds of splash, by the rounded time of day; across
    // midnight the monotonic clock ends the wait.
    for (;;) {
        const auto now = static_cast<std::int32_t>(std::lround(clock.seconds_since_midnight()));
        if (now - start_seconds >= 2 || clock.monotonic_seconds() - start_monotonic >= 2) break;
        if (app.platform.loop.stop_requested()) break;  // asked to end: no need to wait
        clock.sleep(0.02);
    }
    app.platform.windows.unload_splash();
    app.flush_settings();
    app.platform.windows.show_main();
}

void Command2_Click(App& app) {
    app.log("Attempting to save settings to registry");
    save_settings(app);
    app.log("Finishing operation properly!");
    if (app.f().lg.ticked()) write_log(app, "", LogStop);
    app.platform.windows.unload_main();
    app.end();
}

}  // namespace veltrane
