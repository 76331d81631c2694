#include "app/program_args.h"

#include "base/version.h"

namespace veltrane {

namespace {

constexpr const char* kHelp =
    "Usage: veltrane [OPTION]... [--] [FILE]\n"
    "Open the Veltrane window. With FILE (a WAV file), ask first whether to generate its\n"
    "GAP file at once or only to load it.\n"
    "\n"
    "  -h, --help      show this help and exit\n"
    "      --version   show the version and exit\n"
    "      --          end of the options: what follows is the FILE, even when it begins\n"
    "                  with \"-\"\n"
    "The toolkit's own options (-platform NAME, -style NAME, ...) are taken as well.\n"
    "For work without a window, see veltrane-cli --help.\n";

}  // namespace

std::optional<ProgramArgs> answer_at_once(std::span<const std::string> args) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--") break;
        if (args[i] == "--help" || args[i] == "-h")
            return ProgramArgs{ProgramArgs::Action::Print, kHelp, {}};
        if (args[i] == "--version")
            return ProgramArgs{
                ProgramArgs::Action::Print, "veltrane " + std::string(kVersion) + "\n", {}};
    }
    return std::nullopt;
}

ProgramArgs program_files(std::span<const std::string> args) {
    ProgramArgs result;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--") {
            result.files.insert(result.files.end(), args.begin() + i + 1, args.end());
            break;
        }
        if (args[i].size() > 1 && args[i][0] == '-')
            return {ProgramArgs::Action::Usage,
                    "veltrane: unknown option '" + args[i] + "'\nTry 'veltrane --help'.\n",
                    {}};
        result.files.push_back(args[i]);
    }
    return result;
}

}  // namespace veltrane
