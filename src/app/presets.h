#pragma once
#include "audio/scan_settings.h"

namespace veltrane {

struct App;

// 1 Normal, 2 Noisy, 3 Accurate, 4 Custom; 0 none selected.
using PrecisionPreset = int;

// Option button k received the focus: apply preset k (1-3) or free the sliders (4).
void Option_GotFocus(App& app, PrecisionPreset k);

// A slider moved: show its value in the box beside it.
void Slider1_Change(App& app);
void Slider2_Change(App& app);

// The preset selected by the option buttons (the last selected wins), 0 for none.
PrecisionPreset selected_preset(App& app);

}  // namespace veltrane
