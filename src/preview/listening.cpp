#include "preview/listening.h"

#include <algorithm>
#include <cmath>

#include "preview/why.h"

namespace veltrane::preview {

std::optional<PcmFormat> play_format(const SampleLayout& l) {
    if (!l.usable() || l.sample_rate <= 0) return std::nullopt;
    if (l.channels < 1 || l.channels > 2) return std::nullopt;
    if (l.sample_bytes != 1 && l.sample_bytes != 2) return std::nullopt;
    if (l.frame_bytes != l.channels * l.sample_bytes) return std::nullopt;
    return PcmFormat{l.sample_rate, l.channels, l.sample_bytes};
}

std::string unplayable_cause(const SampleLayout& l, Language language) {
    if (play_format(l)) return {};
    const bool de = language == Language::German;
    if (!l.usable() || l.sample_rate <= 0)
        return de ? "die Datei enthält keine abspielbaren Samples"
                  : "the file holds no samples to play";
    if (l.channels < 1 || l.channels > 2)
        return de ? std::to_string(l.channels) + " Kanäle, abgespielt werden Mono und Stereo"
                  : std::to_string(l.channels) + " channels; mono and stereo are played";
    return de ? std::to_string(l.sample_bytes * 8) +
                    " Bit je Sample, abgespielt werden 8 und 16 Bit"
              : std::to_string(l.sample_bytes * 8) + "-bit samples; 8 and 16 bits are played";
}

ByteRange frames_between(const SampleLayout& l, double bytes_per_ms, double from_ms, double to_ms) {
    if (!l.usable() || bytes_per_ms <= 0) return {};
    const auto frame_at = [&](double ms) {
        const double frame = (ms * bytes_per_ms - static_cast<double>(l.first)) / l.frame_bytes;
        return std::clamp<std::int64_t>(static_cast<std::int64_t>(std::llround(frame)), 0,
                                        l.frames);
    };
    const std::int64_t a = frame_at(from_ms), b = std::max(a, frame_at(to_ms));
    return {l.first + a * l.frame_bytes, l.first + b * l.frame_bytes};
}

ByteRange around(const SampleLayout& l, double bytes_per_ms, const GapRecord& silence) {
    return frames_between(l, bytes_per_ms, silence.start_ms - 1000.0, silence.end_ms + 1000.0);
}

}  // namespace veltrane::preview
