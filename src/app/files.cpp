#include "app/files.h"

#include <algorithm>

#include "base/text.h"

namespace veltrane {

namespace fs = std::filesystem;

bool file_exists_nonempty(const fs::path& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    return !ec && size > 0;
}

FolderNames::FolderNames(const fs::path& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
         it.increment(ec))
        names_.insert(it->path().filename().string());
    // The set is in byte order: the first name of each spelling wins.
    for (const std::string& name : names_) by_lower_.emplace(lower(name), name);
}

std::string FolderNames::spelled(std::string_view name) const {
    if (names_.contains(name)) return std::string(name);
    const auto it = by_lower_.find(lower(name));
    return it == by_lower_.end() ? std::string(name) : it->second;
}

fs::path find_in_folder(const fs::path& folder, std::string_view name) {
    // One look at a name is far cheaper than reading a folder such as the program's.
    for (const std::string& spelling : {std::string(name), lower(name)}) {
        std::error_code ec;
        if (fs::path path = folder / spelling; fs::exists(fs::symlink_status(path, ec)))
            return path;
    }
    return folder / FolderNames(folder).spelled(name);
}

namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

unsigned char folded(char c) {
    return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

// Compares two names as a file manager orders them: letters without regard to case,
// and a run of digits against a run of digits by the number it stands for. Names that
// differ only in case or in leading zeros compare equal.
int compare_for_listing(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (is_digit(a[i]) && is_digit(b[j])) {
            std::size_t a_end = i, b_end = j;
            while (a_end < a.size() && is_digit(a[a_end])) ++a_end;
            while (b_end < b.size() && is_digit(b[b_end])) ++b_end;
            // Leading zeros aside, the longer run is the greater number.
            while (i + 1 < a_end && a[i] == '0') ++i;
            while (j + 1 < b_end && b[j] == '0') ++j;
            if (a_end - i != b_end - j) return a_end - i < b_end - j ? -1 : 1;
            if (const int c = a.substr(i, a_end - i).compare(b.substr(j, b_end - j)); c != 0)
                return c < 0 ? -1 : 1;
            i = a_end;
            j = b_end;
            continue;
        }
        if (folded(a[i]) != folded(b[j])) return folded(a[i]) < folded(b[j]) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

}  // namespace

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
    // Names the listing order cannot tell apart keep a fixed order: by their bytes.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int c = compare_for_listing(a, b);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

}  // namespace veltrane
