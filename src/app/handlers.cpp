#include "app/handlers.h"

#include <filesystem>
#include <string>

#include "app/app.h"
#include "app/examine.h"
#include "app/files.h"
#include "app/language.h"
#include "app/log.h"
#include "app/presets.h"
#include "app/rook_mode.h"
#include "app/startup.h"
#include "app/work.h"
#include "base/error.h"
#include "base/text.h"

namespace veltrane {

void dispatch(App& app, const Handler& handler) {
    if (!handler) return;
    std::string failure;
    try {
        handler();
    } catch (const RunStopped&) {
        // The program is ending; the handler's work stops where it was.
    } catch (...) {
        failure = current_failure_text(wording(app));
    }
    if (!failure.empty()) app.message(failure);
    app.flush_settings();
    app.refresh();
}

void bind_handlers(App& app) {
    OpenFile& f = app.f();
    auto on = [&app](void (*fn)(App&)) { return [&app, fn] { fn(app); }; };
    f.Command1.on_click = on(Command1_Click);
    f.Command2.on_click = on(Command2_Click);
    f.Command3.on_click = on(Command3_Click);
    f.Command4.on_click = on(Command4_Click);
    f.Command5.on_click = on(Command5_Click);
    f.Command6.on_click = on(Command6_Click);
    f.Command7.on_click = on(Command7_Click);
    f.Check1.on_click = on(Check1_Click);
    f.lg.on_click = on(lg_Click);
    f.Slider1.on_change = on(Slider1_Change);
    f.Slider2.on_change = on(Slider2_Change);
    int k = 1;
    for (OptionButton* o : {&f.Option1, &f.Option2, &f.Option3, &f.Option4})
        o->on_focus = [&app, n = k++] { Option_GotFocus(app, n); };
    k = 1;
    for (CheckBox* c : {&f.ch5, &f.ch6, &f.ch7})
        c->on_focus = [&app, n = k++] { ch_GotFocus(app, n); };
}

void ch_GotFocus(App& app, int n) {
    OpenFile& f = app.f();
    f.Text11.caption = std::to_string(n);
    int k = 1;
    for (CheckBox* c : {&f.ch5, &f.ch6, &f.ch7})
        if (k++ != n) c->set_value(0);
}

void Check1_Click(App& app) {
    OpenFile& f = app.f();
    if (f.Check1.value() == 1) return;
    if (f.lan.caption == "1")
        app.message(
            "This would increase spead at a rate of 15-20% faster... Please take care to enable "
            "'Notify when done' option.");
    else if (f.lan.caption == "2")
        app.message(
            "Dies w?rde die Geschwindigkeit um 15/20% erh?hen... Bitte darauf achten, die Option "
            "'Nach Beendigung benachrichtigen ' zu aktivieren");
    app.log("Progress bar is hidden");
}

void Command6_Click(App& app) {
    if (val(app.f().lan.caption) == 1) {
        const auto manual = app.program_folder / "user's manual.exe";
        if (file_exists_nonempty(manual))
            app.platform.process.start(manual);
        else
            app.message("User's Manual not located!");
    }
    if (val(app.f().lan.caption) == 2) {
        const auto manual = find_in_folder(app.program_folder, "Handbuch.exe");
        if (file_exists_nonempty(manual))
            app.platform.process.start(manual);
        else
            app.message("Handbuch not located!");
    }
}

void files_dropped(App& app, const std::vector<std::string>& paths) {
    OpenFile& f = app.f();
    if (paths.empty() || !f.Command1.enabled) return;
    const std::filesystem::path first(paths.front());
    std::error_code ec;
    if (std::filesystem::is_directory(first, ec)) {
        if (f.lan.caption == "2")
            app.message("\"" + paths.front() +
                        "\" ist ein Ordner: nur eine Datei kann geladen werden. Um alle "
                        "Aufnahmen eines Ordners zu verarbeiten, eine davon laden und "
                        "\"Gesamtes Verzeichnis\" ankreuzen.");
        else
            app.message("\"" + paths.front() +
                        "\" is a folder: only a file can be loaded. To process every recording "
                        "of a folder, load one of them and tick \"Entire Folder\".");
        return;
    }
    const std::string title = first.filename().string();
    load_chosen_file(app, ChosenFile{paths.front(), title});
    // The load's own status is "Ready..."; with more files than one, the status bar says
    // that the others were left.
    if (paths.size() > 1)
        app.f().StatusBar1.caption = others_left(title, paths.size() - 1, wording(app));
}

std::string others_left(const std::string& title, std::size_t others, Wording wording) {
    const std::string n = std::to_string(others);
    if (wording == Wording::German)
        return title + " geladen; " + n +
               (others == 1 ? " weitere Datei wurde nicht geladen"
                            : " weitere Dateien wurden nicht geladen");
    return "Loaded " + title + "; " + n +
           (others == 1 ? " other file was left" : " other files were left");
}

}  // namespace veltrane
