#pragma once
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane {

// True exactly when `path` names a file that exists and is longer than zero bytes;
// any failure counts as false.
bool file_exists_nonempty(const std::filesystem::path& path);

// The names in one folder, read once, for finding names without regard to letter case.
// An unreadable or missing folder holds none.
class FolderNames {
  public:
    explicit FolderNames(const std::filesystem::path& folder);

    // `name` as the folder spells it: the name itself when the folder holds it, else the
    // one that differs from it only in letter case (the first in byte order when several
    // do), else `name` unchanged.
    std::string spelled(std::string_view name) const;

  private:
    std::set<std::string, std::less<>> names_;
    std::map<std::string, std::string> by_lower_;
};

// The file of `folder` whose name matches `name` without regard to letter case;
// folder/name itself when there is none. The name as written and the name in small
// letters are looked at first; only when neither is there is the folder read, and the
// first spelling in byte order taken.
std::filesystem::path find_in_folder(const std::filesystem::path& folder, std::string_view name);

// The names of the ordinary files of `folder` that end in ".wav" (any letter case), in
// the order a file manager lists them: letter case aside, and runs of digits by their
// value ("take2" before "take10"). An unreadable or missing folder has none.
std::vector<std::string> wav_files(const std::filesystem::path& folder);

}  // namespace veltrane
