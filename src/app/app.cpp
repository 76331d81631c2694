#include "app/app.h"

#include "app/language.h"
#include "app/log.h"
#include "base/error.h"

namespace veltrane {

App::App(Platform p)
    : platform(p),
      form(std::make_shared<OpenFile>()),
      command_line(p.process.command_line()),
      program_folder(p.process.program_folder()) {}

IniSettingsStore user_settings_store() {
    return IniSettingsStore(default_settings_file(), {std::string(kStatsSection)});
}

void App::yield() {
    refresh();
    platform.loop.yield();
    if (ending) throw RunStopped{};
}

void App::end() {
    ending = true;
    flush_settings();
    platform.windows.end_program();
}

void App::flush_settings() {
    try {
        platform.settings.flush();
    } catch (const Error& e) {
        if (settings_failure_reported) return;
        settings_failure_reported = true;
        const bool german = wording(*this) == Wording::German;
        message(describe(e, wording(*this)) +
                (german ? "\nDie Einstellungen und Statistiken dieser Sitzung lassen sich erst "
                          "speichern, wenn das behoben ist."
                        : "\nThe choices and statistics of this session cannot be saved "
                          "until that is put right."));
    }
}

void App::message(std::string_view text) {
    refresh();
    platform.boxes.show(text, kAppName, Buttons::Ok);
}

Answer App::ask(std::string_view text, std::string_view title) {
    refresh();
    return platform.boxes.show(text, title, Buttons::OkCancel);
}

std::string App::setting(std::string_view section, std::string_view key) {
    std::string value = platform.settings.read(kAppName, section, key, "");
    if (!settings_failure_reported) {
        if (const std::optional<Error> failure = platform.settings.read_failure()) {
            // Saving fails as well while the file cannot be read: one report says both.
            settings_failure_reported = true;
            const bool german = wording(*this) == Wording::German;
            message(describe(*failure, wording(*this)) +
                    (german ? "\nBis das behoben ist, gelten die Voreinstellungen, und die "
                              "Einstellungen und Statistiken dieser Sitzung lassen sich nicht "
                              "speichern."
                            : "\nUntil that is put right, the defaults are used and the choices "
                              "and statistics of this session cannot be saved."));
        }
    }
    return value;
}

void App::set_setting(std::string_view section, std::string_view key, std::string_view value) {
    platform.settings.write(kAppName, section, key, value);
}

void App::log(std::string_view text) {
    if (form->lg.ticked()) write_log(*this, text, Entry);
}

}  // namespace veltrane
