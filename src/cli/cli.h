#pragma once
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <span>
#include <string>

namespace veltrane {

struct PlotRequest;

// What veltrane-cli takes from the process it runs in.
struct CliEnvironment {
    // Draw a progress bar on the error stream (it is a terminal).
    bool progress = false;
    // The folder of the program, for the activity log; empty: the current folder.
    std::filesystem::path program_folder;
    // The settings file; empty: the user's settings store (or VELTRANE_SETTINGS).
    std::filesystem::path settings_file;
    // Called when a command starts work that an interrupt should stop cleanly; from then
    // on an interrupt (Ctrl+C) only asks for the stop.
    std::function<void()> catch_interrupts;
    // The number of the signal that asked for a stop; 0 while none did.
    std::function<int()> interrupted;
    // Why the first write to standard output that failed did (an errno value); 0 while
    // none failed. Unset: the errno left when the failure is found.
    std::function<int()> output_error;
    // Draws the picture of `plot` and reports it on `out`; returns the exit status.
    std::function<int(const PlotRequest&, std::ostream& out)> plot;
    // `plot` hands its arguments to another program that checks the file and draws.
    bool plot_elsewhere = false;
};

// veltrane-cli: the program's procedures over a headless platform. `args` are the
// program's arguments as given (bytes), the program name first. Returns the exit status:
// 0 done, 1 a file could not be read, scanned or written, 2 usage, 128 + N stopped by
// signal N (130 for Ctrl+C).
int run_cli(std::span<const std::string> args, std::ostream& out, std::ostream& err,
            const CliEnvironment& env);

}  // namespace veltrane
