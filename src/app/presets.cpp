#include "app/presets.h"

#include <string>

#include "app/app.h"

namespace veltrane {

void Option_GotFocus(App& app, PrecisionPreset k) {
    OpenFile& f = app.f();
    if (k >= 1 && k <= 3) {
        const Preset p = k == 1 ? kNormal : k == 2 ? kNoisy : kAccurate;
        f.Slider1.set_value(p.sensitivity);
        f.Slider2.set_value(p.filter);
        f.Slider1.enabled = false;
        f.Slider2.enabled = false;
    } else if (k == 4) {
        f.Slider1.enabled = true;
        f.Slider2.enabled = true;
    }
}

void Slider1_Change(App& app) {
    app.f().Text9.caption = std::to_string(app.f().Slider1.value());
}
void Slider2_Change(App& app) {
    app.f().Text10.caption = std::to_string(app.f().Slider2.value());
}

PrecisionPreset selected_preset(App& app) {
    OpenFile& f = app.f();
    PrecisionPreset n = 0;
    if (f.Option1.value()) n = 1;
    if (f.Option2.value()) n = 2;
    if (f.Option3.value()) n = 3;
    if (f.Option4.value()) n = 4;
    return n;
}

}  // namespace veltrane
