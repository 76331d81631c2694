#pragma once

namespace veltrane {

struct App;

// Switches every caption of the main window to the other language and flips `lan`.
void translate(App& app);

// The language button.
void Command5_Click(App& app);

}  // namespace veltrane
