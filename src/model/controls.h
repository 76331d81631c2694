#pragma once
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace veltrane {

using Handler = std::function<void()>;

enum class Kind { Button, Label, CheckBox, Option, Frame, TextBox, Slider, ProgressBar, StatusBar };
enum class Align { Left, Right, Center };

// Place and size in twips (1/1440 inch; 15 twips are one pixel at 96 dpi).
struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
};

// What every control of a window has. `caption` is the caption of labels, buttons,
// check boxes, option buttons and frames, and the text of text boxes.
struct Control {
    Control(const char* name_, Kind kind_, std::string caption_, Rect place_)
        : name(name_), kind(kind_), caption(std::move(caption_)), place(place_) {}
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const char* name;
    Kind kind;
    std::string caption;
    Rect place;
    bool enabled = true;
    bool visible = true;
    Align align = Align::Left;
    std::string tooltip;
    // Shows a value left from an earlier file: the examination of the file loaded since
    // did not write it. Only the view reads it, and greys the control.
    bool stale = false;
    Handler on_click;  // buttons: clicked; check boxes: value changed
    Handler on_focus;  // the user moved the focus onto the control
};

// A check box. Setting its value runs its click handler when the value changes,
// whether the user or the program changes it.
struct CheckBox : Control {
    CheckBox(const char* n, std::string c, Rect r, int v)
        : Control(n, Kind::CheckBox, c, r), value_(v) {}
    int value() const { return value_; }
    bool ticked() const { return value_ == 1; }
    void set_value(int v) {
        if (v == value_) return;
        value_ = v;
        if (on_click) on_click();
    }
    // Sets the value without running the click handler: a value carried over into a
    // window created afresh, not a change.
    void restore(int v) { value_ = v; }

  private:
    int value_;
};

// An option button. Selecting one clears the others of its group; its handler runs
// when it receives the focus, not when its value changes.
struct OptionButton : Control {
    OptionButton(const char* n, std::string c, Rect r) : Control(n, Kind::Option, c, r) {}
    bool value() const { return value_; }
    void set_value(bool v) {
        value_ = v;
        if (v)
            for (OptionButton* other : group)
                if (other != this) other->value_ = false;
    }
    std::vector<OptionButton*> group;

  private:
    bool value_ = false;
};

// A slider: an integer position between a minimum and a maximum. A position set
// outside the range is brought into it; a change of position runs the change handler.
struct Slider : Control {
    Slider(const char* n, Rect r, int lo, int hi, int v, int large, int ticks)
        : Control(n, Kind::Slider, "", r),
          min(lo),
          max(hi),
          large_change(large),
          tick_frequency(ticks),
          value_(v) {}
    int value() const { return value_; }
    void set_value(int v) {
        v = std::clamp(v, min, max);
        if (v == value_) return;
        value_ = v;
        if (on_change) on_change();
    }
    const int min, max;
    const int small_change = 1;
    const int large_change;
    const int tick_frequency;
    Handler on_change;

  private:
    int value_;
};

struct ProgressBar : Control {
    ProgressBar(const char* n, Rect r) : Control(n, Kind::ProgressBar, "", r) {}
    double min = 0, max = 100, value = 0;
};

// The file-open dialog's state: the pattern and the last choice (kept after a cancel).
struct CommonDialog {
    std::string Filter;
    std::string FileName;
    std::string FileTitle;
};

}  // namespace veltrane
