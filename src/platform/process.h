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
    // Starts another program without waiting for it; false when it could not be started.
    virtual bool start(const std::filesystem::path& program) = 0;
};

}  // namespace veltrane
