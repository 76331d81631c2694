#pragma once
#include <cstdint>
#include <filesystem>
#include <vector>

namespace veltrane::synth {

struct Format {
    int channels = 1;  // 1 or 2
    int bits = 16;     // 8 or 16
    int sample_rate = 44100;
};

// A canonical 44-byte PCM WAV header followed by `data`.
std::vector<std::uint8_t> wav_bytes(const Format& format, const std::vector<std::uint8_t>& data);

// Speech-like sample data: bursts of voiced sound with short and long pauses between
// them, with a little noise in the pauses. Deterministic for a given seed.
std::vector<std::uint8_t> speech_data(const Format& format, double seconds, std::uint32_t seed = 1);

// A short two-tone chime.
std::vector<std::uint8_t> chime_data(const Format& format);

void write_file(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// A long recording of `data_bytes` sample bytes (up to 2 GiB): half a minute of speech
// repeated, written as it goes so that memory does not grow with the file.
void write_long_recording(const std::filesystem::path& path, const Format& format,
                          std::uint64_t data_bytes);

}  // namespace veltrane::synth
