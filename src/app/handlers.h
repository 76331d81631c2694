#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "base/error.h"
#include "model/controls.h"

namespace veltrane {

struct App;

// Runs one handler. An error inside it is shown in a message box that names the file
// and the cause, and the program goes on; the view is brought up to date afterwards.
void dispatch(App& app, const Handler& handler);

// Connects the handlers of the controls of app.form to the app.
void bind_handlers(App& app);

// The method check boxes: method n (1 Single File, 2 JA Format, 3 Entire Folder)
// becomes the one in force when its box receives the focus.
void ch_GotFocus(App& app, int n);

// "Show Progress Bar" clicked.
void Check1_Click(App& app);

// "Manual": starts the manual for the language shown. A manual that is present but
// cannot be started throws Error(Errc::Start) with the system's reason.
void Command6_Click(App& app);

// Files dropped on the main window: the first is loaded as Load File loads the file
// chosen in its dialog; a folder is not loaded but named in a message. Nothing happens
// while Load File is off (during a run). With several files, the status bar then says
// that the others were left.
void files_dropped(App& app, const std::vector<std::string>& paths);

// The status after a drop of several files: the one loaded and how many others were left.
std::string others_left(const std::string& title, std::size_t others, Wording wording);

}  // namespace veltrane
