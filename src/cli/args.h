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
    char short_name = 0;          // "-x" for "--name", when not 0
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

// The value of `option` (which must be given) as a whole number from lo to hi.
int bounded_value(const ParsedArgs& a, std::string_view option, int lo, int hi);
// The value of `option` (which must be given) as the index of one of `names` (from 1;
// names[0] is not a choice).
int named_value(const ParsedArgs& a, std::string_view option, std::span<const char* const> names);

}  // namespace veltrane
