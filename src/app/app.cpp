#include "app/app.h"

#include "app/log.h"

namespace veltrane {

App::App(Platform p)
    : platform(p),
      form(std::make_shared<OpenFile>()),
      command_line(p.process.command_line()),
      program_folder(p.process.program_folder()) {}

void App::yield() {
    refresh();
    platform.loop.yield();
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
    return platform.settings.read(kAppName, section, key, "");
}

void App::set_setting(std::string_view section, std::string_view key, std::string_view value) {
    platform.settings.write(kAppName, section, key, value);
}

void App::log(std::string_view text) {
    if (form->lg.ticked()) write_log(*this, text, Entry);
}

}  // namespace veltrane
