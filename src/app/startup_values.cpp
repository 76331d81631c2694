#include "app/startup_values.h"

#include <algorithm>
#include <climits>
#include <string>

#include "app/app.h"
#include "app/feedback.h"
#include "app/language.h"
#include "app/presets.h"
#include "app/rook.h"
#include "base/text.h"

namespace veltrane {

namespace {

// A stored number as a slider position; anything unreadable reads as 0 and the
// slider brings it into its range.
int stored_position(App& app, std::string_view key) {
    return static_cast<int>(
        std::clamp<std::int64_t>(whole(app.setting(kStartupSection, key)), INT_MIN, INT_MAX));
}

}  // namespace

void load_settings(App& app) {
    apply_startup_values(app);
    feedback_messages(app);
}

void apply_startup_values(App& app) {
    OpenFile& f = app.f();
    app.log("Attempting to read info stored in registry");

    const std::string language = app.setting(kStartupSection, "Language");
    if (!language.empty()) f.lan.caption = val(language) == 1 ? "1" : "2";

    const bool rook_mode = !app.setting(kStatsSection, "020").empty();
    f.Width = rook_mode ? kRookWidth : kNormalWidth;
    if (rook_mode) Rook(app, 1);

    if (f.Text11.caption.empty()) f.Text11.caption = "1";
    const std::string selection = app.setting(kStartupSection, "Selection");
    translate(app);

    const double preset = val(selection);
    if (preset == 4) {
        f.Option4.set_value(true);
        f.Slider1.set_value(stored_position(app, "Sensitivity"));
        Slider1_Change(app);
        f.Slider2.set_value(stored_position(app, "Filter"));
        Slider2_Change(app);
        f.Slider1.enabled = true;
        f.Slider2.enabled = true;
    } else if (preset == 3 || preset == 2 || preset == 1) {
        const Preset p = preset == 3 ? kAccurate : preset == 2 ? kNoisy : kNormal;
        (preset == 3 ? f.Option3 : preset == 2 ? f.Option2 : f.Option1).set_value(true);
        f.Slider1.set_value(p.sensitivity);
        f.Slider2.set_value(p.filter);
    }
    app.log("Finished determining and error checking of precision settings");

    f.Text11.caption = app.setting(kStartupSection, "Method");
    if (f.Text11.caption.empty()) {
        tick_method(f, "1");
        f.Text11.caption = "1";
    } else {
        tick_method(f, f.Text11.caption);
    }
    app.log("Finsished determining method");

    if (selected_preset(app) == 0) f.Option1.set_value(true);

    f.multi.set_value(app.setting(kStartupSection, "Multitasking") == "1" ? 1 : 0);
    f.notify.set_value(app.setting(kStartupSection, "Notify") == "1" ? 1 : 0);
    f.Fast.set_value(app.setting(kStartupSection, "Double_Speed") == "1" ? 1 : 0);
    app.log("Finished determining advanced features");
}

void save_settings(App& app) {
    OpenFile& f = app.f();
    const int selection = selected_preset(app);
    const auto sensitivity = static_cast<std::int16_t>(f.Slider1.value());
    const auto filter = static_cast<std::int16_t>(f.Slider2.value());
    app.set_setting(kStartupSection, "Method", f.Text11.caption);
    app.set_setting(kStartupSection, "Selection", std::to_string(selection));
    app.set_setting(kStartupSection, "Sensitivity", std::to_string(sensitivity));
    app.set_setting(kStartupSection, "Filter", std::to_string(filter));
    app.set_setting(kStartupSection, "Multitasking", std::to_string(f.multi.value()));
    app.set_setting(kStartupSection, "Double_Speed", std::to_string(f.Fast.value()));
    app.set_setting(kStartupSection, "Log", std::to_string(f.lg.value()));
    app.set_setting(kStartupSection, "Language", val(f.lan.caption) == 1 ? "2" : "1");
    app.set_setting(kStartupSection, "Notify", std::to_string(f.notify.value()));
}

}  // namespace veltrane
