#pragma once
#include <optional>
#include <string>

#include "platform/file_dialog.h"

namespace veltrane {

struct App;

// Reads a WAV file's header, shows its details in the window and decides whether it
// can be processed. interactive = 1: a file the user loads (enables Generate and Play
// File); 0: the refresh before generation (adds the file's size to statistic "001").
void examine(App& app, const std::string& path, const std::string& title, int interactive);

// Load File: choose a file and examine it (or enter Rook/Debug mode for "rook.wav").
void Command1_Click(App& app);

// What Load File does once the dialog has answered: `chosen` becomes the dialog's choice
// (nothing: cancelled, the previous choice stays), then it is examined.
void load_chosen_file(App& app, const std::optional<ChosenFile>& chosen);

// Whole kilobytes of a byte count (divided by 1024, rounded down).
long long whole_kb(long long bytes);

}  // namespace veltrane
