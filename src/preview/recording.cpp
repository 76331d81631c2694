#include "preview/recording.h"

#include <array>
#include <cmath>
#include <limits>

#include "audio/wav_layout.h"

namespace veltrane::preview {

HeaderShape header_shape(ByteSource& source) {
    const WavChunks chunks = read_wav_chunks(source);
    HeaderShape shape;
    shape.riff_wave = chunks.riff_wave();
    if (chunks.fmt) {
        shape.fmt_at = static_cast<std::int64_t>(chunks.fmt->header_at);
        shape.fmt_bytes = chunks.fmt->declared_size;
    }
    if (chunks.data) {
        shape.data_at = static_cast<std::int64_t>(chunks.data->header_at);
        shape.data_bytes = chunks.data->declared_size;
    }
    shape.before_data = chunks.others;
    return shape;
}

SampleLayout sample_layout(const WavInfo& w, const HeaderShape& shape, std::int64_t file_size) {
    SampleLayout s;
    if (!w.is_riff_wave() || w.format_tag != wav::kPcm || w.channels == 0) return s;
    s.frame_bytes = w.block_align;
    s.channels = w.channels;
    if (s.frame_bytes == 0 || s.frame_bytes % s.channels != 0) return {};
    s.sample_bytes = s.frame_bytes / s.channels;
    if (s.sample_bytes > 4) return {};
    s.sample_rate = w.sample_rate;
    std::int64_t end = file_size;
    if (shape.data_at >= 0) {
        s.first = shape.data_at + 8;
        end = std::min(end, s.first + shape.data_bytes);
    } else {
        s.first = std::int64_t{w.fmt_length} + 28;
        if (w.data_size >= 0) end = std::min(end, s.first + w.data_size);
    }
    if (s.first < 0 || s.first >= end) return {};
    s.frames = (end - s.first) / s.frame_bytes;
    return s;
}

double bytes_per_ms(const WavInfo& w) {
    if (w.byte_rate > 0) return w.byte_rate / 1000.0;
    const double made = double(w.sample_rate) * w.block_align;
    return made > 0 ? made / 1000.0 : 1.0;
}

double dbfs(double level) {
    if (level <= 0) return -std::numeric_limits<double>::infinity();
    return 20 * std::log10(level / 32768.0);
}

}  // namespace veltrane::preview
