#include "ui/accessible_names.h"

#include <algorithm>
#include <cstring>

namespace veltrane {

namespace {

bool german(const OpenFile& f) {
    return f.lan.caption == "2";
}

bool blank(const std::string& s) {
    return s.find_first_not_of(' ') == std::string::npos;
}

// Controls that show a value and have no caption: what they show.
struct Fallback {
    const char* control;
    const char* english;
    const char* german;
};
constexpr Fallback kFallbacks[] = {
    {"ProgressBar1", "Progress", "Fortschritt"}, {"Label10", "Length", "Länge"},
    {"comp1", "Compression", "Kompression"},     {"Label13", "Message", "Meldung"},
    {"StatusBar1", "Status", "Status"},
};

}  // namespace

const Control* label_beside(OpenFile& f, const Control& c) {
    const Control* best = nullptr;
    int best_shared = 0, best_right = 0;
    const int top = c.place.top, bottom = c.place.top + c.place.height;
    for (const Control* l : f.controls()) {
        if (l->kind != Kind::Label || l == &c || !l->visible || l->place.width <= 0) continue;
        const int shared =
            std::min(bottom, l->place.top + l->place.height) - std::max(top, l->place.top);
        const int right = l->place.left + l->place.width;
        if (shared <= 0 || l->place.left + l->place.width / 2 >= c.place.left) continue;
        if (!best || shared > best_shared || (shared == best_shared && right > best_right)) {
            best = l;
            best_shared = shared;
            best_right = right;
        }
    }
    return best;
}

std::string accessible_name(OpenFile& f, const Control& c) {
    if (c.kind == Kind::TextBox || c.kind == Kind::Slider) {
        if (const Control* label = label_beside(f, c)) return label->caption;
    }
    if (!blank(c.caption) && c.kind != Kind::TextBox) return "";
    for (const Fallback& name : kFallbacks)
        if (std::strcmp(name.control, c.name) == 0) return german(f) ? name.german : name.english;
    return "";
}

std::string stale_description(const OpenFile& f) {
    return german(f) ? "Von der vorher geladenen Datei" : "From the file loaded before";
}

}  // namespace veltrane
