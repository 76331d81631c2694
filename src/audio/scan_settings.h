#pragma once
// The three values of the main window that decide what a scan records, the presets that
// set two of them, and the one way they and a header become the parameters of a scan.
#include <string_view>

#include "audio/scan.h"
#include "audio/wav_header.h"

namespace veltrane {

// Sensitivity (Slider1) and Filter (Slider2) of the three fixed presets.
struct Preset {
    int sensitivity;
    int filter;
};
inline constexpr Preset kNormal{15, 50};
inline constexpr Preset kNoisy{23, 75};
inline constexpr Preset kAccurate{4, 25};

struct ScanSettings {
    int sensitivity = 15;  // Slider1
    int filter_ms = 50;    // Slider2
    bool double_speed = false;
    bool operator==(const ScanSettings&) const = default;
};

// The sample layout from the bytes per sample and the channels as the examination shows
// them ("Mono", "Stereo"): 1 8-bit mono, 2 16-bit mono, 3 8-bit stereo, 4 16-bit stereo,
// 11 to 14 with Double Speed; 0 for anything else.
Situation situation_of(double bytes_per_sample, std::string_view channels, bool double_speed);

// The scan Generate makes of a file with this header: the layout from the bytes per
// sample and the channel count as the examination shows them (only for a PCM "WAVE"
// file with a "fmt " chunk), the first sample byte right after the format chunk, the
// data length as the end mark. situation is 0 when Generate scans nothing.
ScanParams generate_params(const WavInfo& header, const ScanSettings& settings);

// The parameters doit scans a file with, found from the file alone: the header as the
// examination reads it, or with `find_chunks` the located chunks.
ScanParams planned_params(ByteSource& wav, const ScanSettings& settings, bool find_chunks);

}  // namespace veltrane
