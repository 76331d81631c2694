#pragma once
#include <filesystem>
#include <string>

namespace veltrane {

class Process {
  public:
    virtual ~Process() = default;
    // The text that followed the program name on the command line.
    virtual std::string command_line() = 0;
    // The folder that holds the program file, without a trailing separator.
    virtual std::filesystem::path program_folder() = 0;
    // The folder for this user's own files of the program (the log, when the program
    // folder cannot be written); it may not exist yet.
    virtual std::filesystem::path user_data_folder() = 0;
    // Starts another program without waiting for it. Throws Error(Errc::Start) naming the
    // program and the system's reason when it cannot be started.
    virtual void start(const std::filesystem::path& program) = 0;
};

}  // namespace veltrane
