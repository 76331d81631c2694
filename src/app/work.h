#pragma once
#include <string>

namespace veltrane {

struct App;
struct OpenFile;

// The generation run behind Generate: processes the files of the chosen method, times
// the run, reports it, keeps the total time and plays the notification sound.
void work(App& app);

// What a run shows while it lasts: the six buttons off, the message line hidden. Also
// for a window that replaces the run's own while the run goes on.
void show_run_in_progress(OpenFile& f);

// Generate.
void Command3_Click(App& app);
// Play File: plays the loaded file.
void Command4_Click(App& app);

}  // namespace veltrane
