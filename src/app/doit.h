#pragma once
#include <string>

namespace veltrane {

struct App;

// Generates the GAP file of one WAV file: refreshes its details, counts it in the
// statistics, scans its samples and writes the silences that are long enough.
void doit(App& app, const std::string& path, const std::string& title);

}  // namespace veltrane
