#include "cli/cli.h"

#include <cerrno>
#include <cstring>
#include <ostream>

#include "base/error.h"
#include "base/version.h"
#include "cli/commands.h"

namespace veltrane {

namespace {

// The commands, in the order --help lists them. A new command is one more row.
const Command* const kCommands[] = {&kInfoCommand,   &kGenerateCommand, &kDumpCommand,
                                    &kImportCommand, &kPreviewCommand,  &kPlotCommand};

constexpr std::string_view kHelpHead =
    "Usage: veltrane-cli COMMAND [OPTION]... FILE...\n"
    "Scan uncompressed PCM WAV files for silences and write GAP files beside them,\n"
    "as the Veltrane window does.\n"
    "\n"
    "Commands:\n";

constexpr std::string_view kHelpTail =
    "  help\n"
    "      Show this help.\n"
    "\n"
    "16-bit mono recordings: give --double-speed. At normal speed only pauses of pure\n"
    "digital silence count, so microphone recordings give few gaps or none.\n"
    "Recordings with chunks before their data (such as ffmpeg's \"LIST\"): give\n"
    "--find-chunks, or convert them first with \"sox in.wav out.wav\".\n"
    "\n"
    "Every command also takes:\n"
    "  -h, --help          show this help and exit\n"
    "      --version       show the version and exit\n"
    "      --              end of the options: what follows is a FILE, even when it\n"
    "                      begins with \"-\"\n"
    "\n"
    "Exit status: 0 done; 1 a file could not be read, scanned or written (named on\n"
    "stderr); 2 usage error; 130 interrupted (Ctrl+C).\n"
    "The settings are the user's, or those of the INI file named by VELTRANE_SETTINGS.\n";

std::string help_text() {
    std::string text(kHelpHead);
    for (const Command* c : kCommands) text.append(c->help).append("\n");
    return text.append(kHelpTail);
}

// One command's lines of help under a usage line of its own.
std::string command_help(const Command& c) {
    std::string_view lines = c.help;
    while (lines.starts_with(' ')) lines.remove_prefix(1);
    return std::string("Usage: veltrane-cli ")
        .append(lines)
        .append(
            "\nSee 'veltrane-cli --help' for every command, the exit status and the "
            "settings.\n");
}

const Command* find_command(std::string_view name) {
    for (const Command* c : kCommands)
        if (c->name == name) return c;
    return nullptr;
}

int dispatch(std::span<const std::string> args, std::ostream& out, std::ostream& err,
             const CliEnvironment& env) {
    if (args.size() < 2) throw UsageError("no command given");
    const std::string& name = args[1];
    if (name == "help" || name == "--help" || name == "-h") return out << help_text(), kExitOk;
    if (name == "--version") return out << "veltrane-cli " << kVersion << "\n", kExitOk;
    const Command* command = find_command(name);
    if (!command) {
        if (name.starts_with("-"))
            throw UsageError("unknown option '" + name + "' (options follow the command)");
        throw UsageError("unknown command '" + name + "'");
    }
    const ParsedArgs parsed = parse_args(args.subspan(2), command->options);
    if (parsed.help) return out << command_help(*command), kExitOk;
    if (parsed.version) return out << "veltrane-cli " << kVersion << "\n", kExitOk;
    return command->run({parsed, out, err, env});
}

}  // namespace

void report(std::ostream& err, std::string_view text) {
    err << "veltrane-cli: " << text << "\n" << std::flush;
}

int run_cli(std::span<const std::string> args, std::ostream& out, std::ostream& err,
            const CliEnvironment& env) {
    int status = kExitOk;
    try {
        status = dispatch(args, out, err, env);
    } catch (const UsageError& e) {
        err << "veltrane-cli: " << e.what() << "\nTry 'veltrane-cli --help'.\n";
        return kExitUsage;
    } catch (const Error& e) {
        report(err, describe(e));
        status = kExitFailed;
    } catch (const std::exception& e) {
        report(err, std::string("unexpected failure: ") + e.what());
        status = kExitFailed;
    }
    // What could not be written to standard output is a failure like any other.
    if (out.good()) errno = 0;
    out.flush();
    if (!out.good()) {
        const int cause = env.output_error && env.output_error() ? env.output_error() : errno;
        report(err, describe(Error(Errc::Write, "standard output",
                                   cause ? std::strerror(cause) : "the output was not taken")));
        if (status == kExitOk) status = kExitFailed;
    }
    return status;
}

}  // namespace veltrane
