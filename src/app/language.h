#pragma once
#include "base/error.h"

namespace veltrane {

struct App;

// Switches every caption of the main window to the other language and flips `lan`.
void translate(App& app);

// The language of the main window, for the messages of the program's own that it shows.
Wording wording(App& app);

// The language button.
void Command5_Click(App& app);

}  // namespace veltrane
