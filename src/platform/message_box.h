#pragma once
#include <string_view>

namespace veltrane {

enum class Buttons { Ok, OkCancel };
enum class Answer { Ok, Cancel };

// Modal message boxes: no icon, the given title, OK or OK and Cancel.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    virtual Answer show(std::string_view text, std::string_view title, Buttons buttons) = 0;
};

}  // namespace veltrane
