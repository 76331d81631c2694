#pragma once
#include <QSoundEffect>
#include <memory>
#include <string>
#include <vector>

#include "platform/event_loop.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/qt/qt_clock.h"
#include "platform/settings_store.h"
#include "platform/sound.h"

namespace veltrane {

class QtMessageBoxes : public MessageBoxes {
  public:
    Answer show(std::string_view text, std::string_view title, Buttons buttons) override;
};

class QtFileDialog : public FileDialog {
  public:
    std::optional<ChosenFile> open(std::string_view pattern) override;

  private:
    QString last_folder_;
};

class QtSound : public Sound {
  public:
    void play_async(const std::filesystem::path& file) override;
    std::unique_ptr<Playback> playback() override;

  private:
    std::unique_ptr<QSoundEffect> effect_;
};

// Command line, program folder and starting programs from the running application.
class QtProcess : public Process {
  public:
    // `files`: the file arguments of the program, as given (bytes, not decoded).
    explicit QtProcess(std::vector<std::string> files = {}) : files_(std::move(files)) {}
    std::string command_line() override;
    std::filesystem::path program_folder() override;
    std::filesystem::path user_data_folder() override;
    void start(const std::filesystem::path& program) override;

  private:
    std::vector<std::string> files_;
};

class QtEventLoop : public EventLoop {
  public:
    void yield() override;
    bool stop_requested() const override;
};

}  // namespace veltrane
