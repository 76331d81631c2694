#pragma once
// What the window tells about a loaded recording whose samples stand after other chunks
// ("LIST", "bext", "JUNK"), which the window's plain 44-byte reading never finds. It is
// said beside the window's controls, never in their captions: it counts nothing and logs
// nothing, and no procedure of the window reads it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane {

struct App;

struct HeaderNotice {
    std::string title;                // the file name as loaded
    std::vector<std::string> chunks;  // the other chunks before "data", in order
    std::uint64_t data_at = 0;        // the first sample byte (0-based)
};

// The notice for the recording at `path`; none for the plain layout, for a file that is
// not RIFF/WAVE or has no "data" chunk, and for one that cannot be read.
std::optional<HeaderNotice> header_notice(const std::string& path, const std::string& title);

// The notice in the window's language (`lan`: "2" German, anything else English): what
// happened, then the ways to a plain copy, a line each.
std::string notice_text(const HeaderNotice& notice, std::string_view lan);

// After a file was loaded (Load File, a drop, the command line): the notice for it, or
// none (also for an empty path). Each call is a new notice for the views (`notice_serial`).
void note_loaded_file(App& app, const std::string& path, const std::string& title);

}  // namespace veltrane
