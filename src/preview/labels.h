#pragma once
// GAP records read back from text: the label tracks, CSV and JSON that
// `veltrane-cli dump` prints, and label tracks that audio editors write. Reading what
// dump printed gives back exactly the records it printed.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audio/gap_file.h"
#include "audio/wav_header.h"

namespace veltrane::preview {

enum class LabelFormat {
    Labels,  // per line: start and end in seconds, then any text, separated by tabs
    Csv,     // the line "start_ms,end_ms" (may be left out), then "START,END" per line
    Json,    // an array of objects with the whole numbers "start_ms" and "end_ms"
};

// Why a text was refused: the line (from 1) and what is wrong there.
struct LabelsProblem {
    std::size_t line = 0;
    std::string cause;
    bool operator==(const LabelsProblem&) const = default;
};

struct LabelsRead {
    std::vector<GapRecord> records;        // empty when refused
    std::optional<LabelsProblem> problem;  // the first fault found
};

// Reads the silences of a recording `length_ms` long. Seconds are rounded to the
// nearest millisecond. Refused: text that is not numbers, negative times, points (start
// equal to end), a start after its end, times past the recording's end or past what a
// GAP file holds, and silences out of order or overlapping (touching is allowed).
// Empty lines are skipped; a byte-order mark at the start and carriage returns at line
// ends are allowed.
LabelsRead parse_labels(std::string_view text, LabelFormat format, std::int32_t length_ms);

// The length of a recording in whole milliseconds from the start of the file, the
// header included, as the preview's time axis counts it.
std::int32_t recording_ms(std::int64_t file_size, const WavInfo& header);

}  // namespace veltrane::preview
