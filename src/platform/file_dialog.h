#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace veltrane {

struct ChosenFile {
    std::string path;   // full path
    std::string title;  // bare file name
};

// The file-open dialog. Returns nothing when the user cancels.
class FileDialog {
  public:
    virtual ~FileDialog() = default;
    virtual std::optional<ChosenFile> open(std::string_view pattern) = 0;
};

}  // namespace veltrane
