#pragma once
// What a screen reader calls the main window's controls that do not name themselves:
// a text box or slider by the label beside it, a progress bar or an empty label by what
// it shows. New words, in the window's language; the captions stay as they are.
#include <string>

#include "model/open_file.h"

namespace veltrane {

// The label on the window left of `c` in its row: of the labels whose row overlaps
// `c`'s and whose middle lies left of it, the one sharing most of its height, then the
// nearest. Null when there is none.
const Control* label_beside(OpenFile& f, const Control& c);

// The name `c` is given in the window's language, or empty where its caption or text
// names it. Text boxes and sliders are named after the label beside them.
std::string accessible_name(OpenFile& f, const Control& c);

// Said of a detail left from an earlier file (Control::stale), in the window's language.
std::string stale_description(const OpenFile& f);

}  // namespace veltrane
