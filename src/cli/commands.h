#pragma once
// The commands of veltrane-cli: each a row of the command table (cli.cpp), with its
// options, the lines of help it adds and the function that runs it.
#include <iosfwd>
#include <span>
#include <string_view>

#include "cli/args.h"
#include "cli/cli.h"

namespace veltrane {

inline constexpr int kExitOk = 0, kExitFailed = 1, kExitUsage = 2;
// 128 + the signal number: the shell's own convention for a program a signal stopped.
inline constexpr int kExitSignalBase = 128;

// One command as it runs: its arguments, its streams, the process around it.
struct Invocation {
    const ParsedArgs& args;
    std::ostream& out;
    std::ostream& err;
    const CliEnvironment& env;
};

struct Command {
    std::string_view name;
    std::span<const CommandOption> options;
    std::string_view help;  // its lines of --help: synopsis, then indented details
    int (*run)(const Invocation&);
};

extern const Command kInfoCommand, kGenerateCommand, kDumpCommand, kImportCommand, kPreviewCommand,
    kPlotCommand;

// "veltrane-cli: " + text, as every message of the tool begins.
void report(std::ostream& err, std::string_view text);

}  // namespace veltrane
