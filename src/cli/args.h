#pragma once
#include <map>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane {

// A command line that cannot be followed: the text says what is wrong, in one line.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// An option of a command: "--name" alone, or "--name VALUE" / "--name=VALUE" when it has a
// value name.
struct CommandOption {
    std::string_view name;
    std::string_view value_name;  // empty: the option takes no value
};

// The options and operands of one command, as given (bytes, not decoded).
struct ParsedArgs {
    std::map<std::string, std::string, std::less<>> options;  // the last value of each
    std::vector<std::string> operands;
    bool help = false;     // -h or --help
    bool version = false;  // --version

    bool has(std::string_view name) const { return options.find(name) != options.end(); }
    const std::string& value(std::string_view name) const { return options.find(name)->second; }
};

// Reads the arguments that follow a command. Options may stand before, between and after
// the operands; "--" ends them, so that what follows is an operand even when it begins
// with "-"; a lone "-" is an operand. Throws UsageError.
ParsedArgs parse_args(std::span<const std::string> args, std::span<const CommandOption> options);

}  // namespace veltrane
