#include "cli/args.h"

#include <algorithm>

namespace veltrane {

ParsedArgs parse_args(std::span<const std::string> args, std::span<const CommandOption> options) {
    ParsedArgs parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            parsed.operands.insert(parsed.operands.end(), args.begin() + i + 1, args.end());
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            parsed.operands.push_back(arg);
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            parsed.help = true;
            continue;
        }
        if (arg == "--version") {
            parsed.version = true;
            continue;
        }
        const auto eq = arg.find('=');
        const std::string_view name =
            std::string_view(arg).substr(0, eq == std::string::npos ? std::string::npos : eq);
        const auto known =
            std::find_if(options.begin(), options.end(), [&](const CommandOption& o) {
                return name.size() == o.name.size() + 2 && name.starts_with("--") &&
                       name.substr(2) == o.name;
            });
        if (known == options.end()) throw UsageError("unknown option '" + std::string(name) + "'");
        std::string value;
        if (known->value_name.empty()) {
            if (eq != std::string::npos)
                throw UsageError("option '" + std::string(name) + "' takes no value");
        } else if (eq != std::string::npos) {
            value = arg.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            throw UsageError("option '" + std::string(name) + "' needs a value (" +
                             std::string(known->value_name) + ")");
        }
        parsed.options[std::string(known->name)] = value;
    }
    return parsed;
}

}  // namespace veltrane
