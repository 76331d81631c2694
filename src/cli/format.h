#pragma once
// The output of veltrane-cli. Machine-readable output (JSON, CSV, label tracks) never
// follows the locale; JSON is always valid UTF-8.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/app.h"
#include "audio/gap_file.h"
#include "cli/json.h"

namespace veltrane {

struct OpenFile;

// Where the sample data of a file begin.
enum class HeaderLayout {
    None,    // not a RIFF/WAVE file
    Plain,   // the plain 44-byte layout
    Chunks,  // other chunks before "data"
    NoData,  // RIFF/WAVE, but no "data" chunk found
};

// What `info` tells of one file: the window's details, and the header as numbers.
struct FileDetails {
    std::string path;  // as given
    // The window's details, as it shows them.
    std::string file_name, file_type, compression, file_size, channels, sample_rate,
        bytes_per_second, bytes_per_sample, bits_per_sample, length;
    bool generate_enabled = false;
    bool play_enabled = false;
    // The header fields where the window reads them, when the file is RIFF/WAVE with its
    // "fmt " chunk at byte 12.
    struct Header {
        std::uint16_t format_tag = 0, channel_count = 0, block_align = 0, bits_per_sample = 0;
        std::int32_t sample_rate_hz = 0, byte_rate = 0, data_size = 0;
    };
    std::optional<Header> header;
    std::optional<double> length_seconds;  // the window's length, when it shows one
    std::int64_t file_size_bytes = 0;      // the file's length
    HeaderLayout layout = HeaderLayout::None;
    std::optional<std::uint64_t> data_offset;  // where the first sample byte stands
    std::string data_note;                     // a "data" size past what the window reads, in words
};
// Fills the window's part of `d` from the window.
void take_window_details(const OpenFile& f, FileDetails& d);

std::string info_text(const FileDetails& d);
void info_json(JsonWriter& w, const FileDetails& d);  // one object

// One line (text) or one object (JSON) per processed file of a run.
std::string file_result_text(const App::FileResult& r);
void file_result_json(JsonWriter& w, const App::FileResult& r);

enum class DumpFormat { Plain, Json, Csv, Labels };
// The text forms (Plain, Csv, Labels); JSON is written by dump_json.
std::string dump_text(std::span<const GapRecord> records, DumpFormat format);
// The records as an array of {"start_ms", "end_ms"} objects.
void dump_json(JsonWriter& w, std::span<const GapRecord> records);

// A file name in text output: as it is, unless it holds a control character (a line
// break, a tab...); then quoted for the shell, the control characters written $'\n',
// $'\t', $'\001' and the rest in single quotes, as GNU ls does: 'a'$'\n''b.wav'.
std::string shown_name(std::string_view name);

}  // namespace veltrane
