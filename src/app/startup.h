#pragma once
#include <string>

namespace veltrane {

struct App;

// The program's start: splash, start-up values, Log box, a file named on the command
// line (generate it at once or only load it), at least two seconds of splash.
void Main(App& app);

// The main window's load handler.
void Form_Load(App& app);

// Creates the main window anew in its design state and runs its load handler.
void load_form(App& app);

// Unloads the main window and shows it again. With logging on, the new window goes on
// logging: a header and "Logging resumed from restarting procedure" open a new period.
void restart_form(App& app);

// Exit: saves the start-up values, closes the logging period, ends the program.
void Command2_Click(App& app);

// The full path and the bare name of a quoted path given on the command line.
struct CommandLineFile {
    std::string full_path;
    std::string title;
};
CommandLineFile command_line_file(const std::string& command_line);

}  // namespace veltrane
