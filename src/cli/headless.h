#pragma once
#include <iosfwd>
#include <optional>
#include <string>

#include "app/app.h"
#include "base/error.h"
#include "platform/event_loop.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/qt/qt_clock.h"
#include "platform/sound.h"
#include "platform/user_folders.h"
#include "platform/windows.h"

namespace veltrane {

// Message boxes written to a stream, answered OK.
class StreamMessageBoxes : public MessageBoxes {
  public:
    explicit StreamMessageBoxes(std::ostream& out) : out_(out) {}
    Answer show(std::string_view text, std::string_view title, Buttons buttons) override;

  private:
    std::ostream& out_;
};

// The file dialog of a headless run: it yields the file named on the command line.
class PresetFileDialog : public FileDialog {
  public:
    std::optional<ChosenFile> choice;
    std::optional<ChosenFile> open(std::string_view) override { return choice; }
};

class SilentSound : public Sound {
  public:
    void play_async(const std::filesystem::path&) override {}
};

// No command line of its own (the tools take their files as arguments), the folder of
// the program for the log and the notification sound; starts no other program.
class HeadlessProcess : public Process {
  public:
    explicit HeadlessProcess(std::filesystem::path folder) : folder_(std::move(folder)) {}
    std::string command_line() override { return ""; }
    std::filesystem::path program_folder() override { return folder_; }
    std::filesystem::path user_data_folder() override { return veltrane::user_data_folder(); }
    void start(const std::filesystem::path& program) override {
        throw Error(Errc::Start, program, "no other program is started without a window");
    }

  private:
    std::filesystem::path folder_;
};

class NoEventLoop : public EventLoop {
  public:
    void yield() override {}
};

class NoWindows : public Windows {
  public:
    void show_splash() override {}
    void unload_splash() override {}
    void show_main() override {}
    void unload_main() override {}
    void end_program() override {}
};

// The services of a headless run: the user's settings store, message boxes on `err`, the
// program folder for the log. Nothing waits for a user; the event loop has nothing to do.
struct HeadlessServices {
    // `settings_file` empty: the user's settings store.
    HeadlessServices(std::ostream& err, std::filesystem::path program_folder,
                     const std::filesystem::path& settings_file)
        : settings(settings_file.empty()
                       ? user_settings_store()
                       : IniSettingsStore(settings_file, {std::string(kStatsSection)})),
          boxes(err),
          process(program_folder.empty() ? std::filesystem::current_path()
                                         : std::move(program_folder)) {}
    IniSettingsStore settings;
    StreamMessageBoxes boxes;
    PresetFileDialog dialog;
    QtClock clock;
    SilentSound sound;
    HeadlessProcess process;
    NoEventLoop loop;
    NoWindows windows;
    Platform platform() { return {settings, boxes, dialog, clock, sound, process, loop, windows}; }
};

}  // namespace veltrane
