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
                if (o.short_name != 0 && name.size() == 2 && name[1] == o.short_name) return true;
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

int bounded_value(const ParsedArgs& a, std::string_view option, int lo, int hi) {
    const std::string& v = a.value(option);
    int n = 0;
    const bool digits = !v.empty() && v.size() <= 9 && std::all_of(v.begin(), v.end(), [](char c) {
        return c >= '0' && c <= '9';
    });
    if (digits) n = std::stoi(v);
    if (!digits || n < lo || n > hi)
        throw UsageError("--" + std::string(option) + " takes a whole number from " +
                         std::to_string(lo) + " to " + std::to_string(hi) + ", not '" + v + "'");
    return n;
}

int named_value(const ParsedArgs& a, std::string_view option, std::span<const char* const> names) {
    const std::string& v = a.value(option);
    for (std::size_t i = 1; i < names.size(); ++i)
        if (v == names[i]) return static_cast<int>(i);
    std::string choices;
    for (std::size_t i = 1; i < names.size(); ++i)
        choices += std::string(i == 1 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    throw UsageError("--" + std::string(option) + " is " + choices + ", not '" + v + "'");
}

}  // namespace veltrane
