#pragma once

namespace veltrane {

struct App;

// Loading "rook.wav" or "debug.wav": switch to the wide diagnostics window.
void enter_rook_mode(App& app);

// "Leave Rook/Debug Mode".
void Command7_Click(App& app);

}  // namespace veltrane
