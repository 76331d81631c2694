#pragma once
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace veltrane {

// What the window program makes of its arguments.
struct ProgramArgs {
    enum class Action {
        Run,    // open the window, with `file` named on the command line when not empty
        Print,  // print `text` on standard output and end with status 0
        Usage,  // print `text` on standard error and end with status 2
    };
    Action action = Action::Run;
    std::string text;
    std::vector<std::string> files;
};

// Looked at before the toolkit starts (no display is needed): --version and --help
// (-h) are answered at once. Arguments after "--" are files, never options.
std::optional<ProgramArgs> answer_at_once(std::span<const std::string> args);

// The arguments left once the toolkit has taken its own options (-platform, -style, ...):
// the files, after an optional "--"; any other option is a usage error. `args` begins
// with the program name.
ProgramArgs program_files(std::span<const std::string> args);

}  // namespace veltrane
