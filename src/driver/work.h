#pragma once
#include <string>

namespace veltrane {

struct App;

// The generation run behind Generate: processes the files of the chosen method, times
// the run, reports it, keeps the total time and plays the notification sound.
void work(App& app);

// Generate.
void Command3_Click(App& app);
// Play File: plays the loaded file.
void Command4_Click(App& app);

}  // namespace veltrane
