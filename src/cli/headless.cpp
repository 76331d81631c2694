#include "cli/headless.h"

#include <ostream>

namespace veltrane {

Answer StreamMessageBoxes::show(std::string_view text, std::string_view, Buttons) {
    out_ << text << "\n";
    out_.flush();
    return Answer::Ok;
}

}  // namespace veltrane
