#pragma once

namespace veltrane {

struct App;

// Applies the stored start-up values to the main window (language, width, preset,
// method, feature boxes) and ends with the feedback messages.
void load_settings(App& app);

// The same without the feedback messages: for runs that are not the window's start.
void apply_startup_values(App& app);

// Stores the main window's choices as the start-up values.
void save_settings(App& app);

}  // namespace veltrane
