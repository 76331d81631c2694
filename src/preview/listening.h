#pragma once
// What the preview plays of a recording: its frames as they lie in the file, in the
// file's own format, and where in time the bytes heard stand.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "audio/gap_file.h"
#include "platform/sound.h"
#include "preview/recording.h"

namespace veltrane::preview {

enum class Language;

// The format the frames are played in: 8-bit unsigned or 16-bit signed, mono or
// stereo. None for any other recording.
std::optional<PcmFormat> play_format(const SampleLayout& layout);
// Why a recording cannot be played, in words ("it is 24-bit"); empty when it can.
std::string unplayable_cause(const SampleLayout& layout, Language language);

// Bytes of the file, [from, to).
struct ByteRange {
    std::int64_t from = 0, to = 0;
    bool empty() const { return to <= from; }
};

// The whole frames between two times (milliseconds from the start of the file, as the
// GAP file counts them), inside the recording's frames.
ByteRange frames_between(const SampleLayout& layout, double bytes_per_ms, double from_ms,
                         double to_ms);
// "Play around": from a second before a silence to a second after it.
ByteRange around(const SampleLayout& layout, double bytes_per_ms, const GapRecord& silence);
// The time of a byte of the file.
inline double ms_of(std::int64_t offset, double bytes_per_ms) {
    return static_cast<double>(offset) / bytes_per_ms;
}

}  // namespace veltrane::preview
