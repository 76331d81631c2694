#include "audio/scan_settings.h"

#include "audio/wav_layout.h"

namespace veltrane {

Situation situation_of(double bytes_per_sample, std::string_view channels, bool double_speed) {
    Situation s = 0;
    if (bytes_per_sample == 1) s = 1;
    if (bytes_per_sample == 4) s = 4;
    if (bytes_per_sample == 2) {
        if (channels == "Mono") s = 2;
        if (channels == "Stereo") s = 3;
    }
    if (double_speed && s != 0) s += 10;
    return s;
}

ScanParams generate_params(const WavInfo& w, const ScanSettings& settings) {
    ScanParams p;
    p.sensitivity = settings.sensitivity;
    p.filter_ms = settings.filter_ms;
    p.byte_rate = w.byte_rate;
    p.data_start = std::int64_t{w.fmt_length} + 29;
    p.end_mark = w.data_size;
    // The examination shows the details only for a PCM "WAVE" file with a "fmt " chunk;
    // otherwise the bytes-per-sample box is blank and no layout is found.
    if (!w.is_riff_wave() || w.fmt_id != wav::kFmt || w.format_tag != wav::kPcm) return p;
    const std::string_view channels = w.channels == 1 ? "Mono" : w.channels == 2 ? "Stereo" : "";
    p.situation = situation_of(w.block_align, channels, settings.double_speed);
    return p;
}

ScanParams planned_params(ByteSource& wav, const ScanSettings& settings, bool find_chunks) {
    ScanParams p = generate_params(read_wav_header(wav), settings);
    if (!find_chunks) return p;
    if (const std::optional<LocatedLayout> located = located_layout(read_wav_chunks(wav))) {
        p.byte_rate = located->byte_rate;
        p.data_start = located->data_start;
        p.end_mark = located->end_mark;
        p.situation =
            situation_of(located->bytes_per_sample, located->channels, settings.double_speed);
    }
    return p;
}

}  // namespace veltrane
