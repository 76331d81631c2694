#pragma once
#include <filesystem>
#include <string_view>

namespace veltrane {

struct App;

// The kinds of record in "log.txt".
enum LogMode : int { Entry = 0, LogStart = 1, LogStop = 2 };

// "log.txt" in the program folder, or in the user's data folder when the program folder
// cannot be written (an installed program).
std::filesystem::path log_path(const App& app);

// Appends one record to the log: an entry indented by five spaces, the two-line
// header that opens a logging period, or the line that closes it. Callers test the
// Log check box themselves. The log's folder is created when needed. A failed write
// drops the record; the first failure of a run is reported once in a message box.
void write_log(App& app, std::string_view text, int mode);

// Click handler of the Log check box: opens or closes a logging period.
void lg_Click(App& app);

}  // namespace veltrane
