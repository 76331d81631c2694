#pragma once
// What the preview knows of one recording: the settings it is looked at with, the scan
// that Generate would make of it, and where its samples really lie.
#include <cstdint>
#include <string>
#include <vector>

#include "audio/scan.h"
#include "audio/scan_settings.h"
#include "audio/wav_header.h"
#include "base/byte_source.h"

namespace veltrane::preview {

// The three values of the main window that decide what a scan records.
using Settings = ScanSettings;

// The chunks of a RIFF file as they really lie, read without trusting the fixed offsets.
struct HeaderShape {
    bool riff_wave = false;
    std::int64_t fmt_at = -1;     // offset of the "fmt " chunk's id, -1 when none was found
    std::int64_t fmt_bytes = 0;   // the length it gives
    std::int64_t data_at = -1;    // offset of the "data" chunk's id, -1 when none was found
    std::int64_t data_bytes = 0;  // the length it gives (as an unsigned 32-bit number)
    std::vector<std::string> before_data;  // ids of the other chunks before "data"
    // "fmt " of 16 bytes at offset 12 and "data" at offset 36: the 44-byte header.
    bool plain() const { return fmt_at == 12 && fmt_bytes == 16 && data_at == 36; }
};
HeaderShape header_shape(ByteSource& source);

// Where the samples lie and how a frame is made, for drawing and measuring the sound.
// Frames are read from the "data" chunk when there is one, else from where the scan
// starts; the sample size is the bytes per sample shared out over the channels.
struct SampleLayout {
    std::int64_t first = 0;   // offset of the first frame
    std::int64_t frames = 0;  // whole frames in the file from there
    int frame_bytes = 0;
    int channels = 0;
    int sample_bytes = 0;  // 1 (unsigned) to 4 (signed); the top two bytes are used
    std::int32_t sample_rate = 0;
    bool usable() const { return frames > 0 && frame_bytes > 0; }
};
SampleLayout sample_layout(const WavInfo& header, const HeaderShape& shape, std::int64_t file_size);

// Milliseconds from the start of the file at a byte offset, as the GAP file counts them
// (the header included): the byte rate of the header, or one made from the sample
// rate and the frame size when the header gives none.
double bytes_per_ms(const WavInfo& header);

// The level of a sample value in 16-bit units as decibels relative to full scale
// (32768); minus infinity for 0.
double dbfs(double level);

// The Sensitivity band's edge in 16-bit units: a value is silent strictly inside
// -256 S .. 256 S (for 8-bit samples, 128 - S .. 128 + S, the same in 16-bit units).
inline int band_edge(int sensitivity) {
    return 256 * sensitivity;
}

}  // namespace veltrane::preview
