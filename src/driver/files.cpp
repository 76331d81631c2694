#include "driver/files.h"

#include <algorithm>

#include "app/text.h"

namespace veltrane {

namespace fs = std::filesystem;

bool file_exists_nonempty(const fs::path& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    return !ec && size > 0;
}

fs::path find_in_folder(const fs::path& folder, std::string_view name) {
    std::error_code ec;
    if (fs::exists(folder / name, ec)) return folder / name;  // the exact name comes first
    const std::string wanted = lower(name);
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (lower(it->path().filename().string()) == wanted) return it->path();
    return folder / name;
}

std::vector<std::string> wav_files(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code type_ec;
        if (!it->is_regular_file(type_ec)) continue;
        const std::string name = it->path().filename().string();
        if (name.starts_with(".")) continue;  // hidden files are not ordinary files
        if (name.size() >= 4 && lower(name.substr(name.size() - 4)) == ".wav")
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace veltrane
