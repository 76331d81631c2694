#pragma once
#include <string>

namespace veltrane {

// The name of the file a path leads to: what follows its last "/". On this system "/" is
// the only folder separator; a backslash is an ordinary character of a name.
inline std::string bare_name(const std::string& path) {
    const auto cut = path.find_last_of('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace veltrane
