#pragma once
// The settings file's text, read and written without touching any file:
//
//   [Startup Values]
//   Method=1
//
// A value is plain text, read back exactly as it was written; a value that would not
// survive a line of its own (line breaks, blanks at either end, a leading quote) is
// written in double quotes with backslash escapes. Hand-written lines are read as the
// text they hold, comments (";" or "#") are kept. Section names written by other tools
// may have their spaces as "%20". A UTF-8 byte-order mark before the first line and
// CRLF line ends are read past, and written again as they were.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veltrane::ini {

using Key = std::pair<std::string, std::string>;  // section, key

// The file as lines, with where each section and key stands. Text read and written
// again is the same text, line for line, with the line end of its first line at the end
// of every line.
struct Document {
    std::vector<std::string> lines;
    bool bom = false;                             // the text begins with a UTF-8 byte-order mark
    bool crlf = false;                            // its first line ends with CR LF
    std::map<Key, std::size_t> keys;              // the line of each key (the first, if twice)
    std::map<std::string, std::size_t> sections;  // the last line of each section

    void parse(std::string_view text);
    std::optional<std::string> get(const Key& k) const;
    // Replaces the key's line, or adds one at the end of its section (a new section at
    // the end of the file).
    void set(const Key& k, const std::string& value);
    std::string text() const;
};

// Why `text` is not a settings text this program wrote or could have written (it is a
// RIFF file, binary, not UTF-8, or has a line that is neither a section, a key=value
// line, a comment nor blank); empty when it is one.
std::string why_not_settings(std::string_view text);

// A value as it stands after "=": the text itself, or a quoted text with escapes.
std::string decoded_value(std::string_view raw);
// A value as it is written after "=".
std::string encoded_value(std::string_view value);

}  // namespace veltrane::ini
