#pragma once
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane {

// True exactly when `path` names a file that exists and is longer than zero bytes;
// any failure counts as false.
bool file_exists_nonempty(const std::filesystem::path& path);

// The file of `folder` whose name matches `name` without regard to letter case;
// folder/name itself when there is none.
std::filesystem::path find_in_folder(const std::filesystem::path& folder, std::string_view name);

// The names of the ordinary files of `folder` that end in ".wav" (any letter case),
// in name order. An unreadable or missing folder has none.
std::vector<std::string> wav_files(const std::filesystem::path& folder);

}  // namespace veltrane
