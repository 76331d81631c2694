#pragma once
// WAV files built byte by byte for the tests: any format fields, and chunks that other
// programs put before the data.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string_view>
#include <vector>

namespace veltrane::test {

// 16-bit mono sample bytes: words and pauses whose hiss is a few dozen steps. Read a byte
// off the samples (normal speed), the hiss's low bytes land in the high byte and no pause
// stays inside the band; Double Speed reads whole samples and finds the pauses.
inline std::vector<std::uint8_t> hissing_speech_samples() {
    std::mt19937 rng(3);
    std::vector<std::uint8_t> data;
    for (int part = 0; part < 12; ++part) {
        for (int i = 0; i < 2400; ++i) {
            const int v = part % 2 == 0 ? static_cast<int>(9000 * std::sin(i * 0.07))
                                        : std::uniform_int_distribution<int>(-40, 40)(rng);
            data.push_back(static_cast<std::uint8_t>(v & 0xFF));
            data.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
        }
    }
    return data;
}

inline void put_le(std::vector<std::uint8_t>& b, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline void put_id(std::vector<std::uint8_t>& b, std::string_view id) {
    b.insert(b.end(), id.begin(), id.end());
}

struct FmtFields {
    std::uint16_t tag = 1, channels = 1;
    std::uint32_t rate = 8000;
    std::uint16_t bits = 8;
    std::uint16_t block_align = 0;  // 0: channels * bits / 8
};

// The plain 44-byte layout with these "fmt " fields, then `data`.
inline std::vector<std::uint8_t> wav_with(const FmtFields& f,
                                          const std::vector<std::uint8_t>& data) {
    const std::uint16_t block =
        f.block_align ? f.block_align : static_cast<std::uint16_t>(f.channels * f.bits / 8);
    std::vector<std::uint8_t> b;
    put_id(b, "RIFF");
    put_le(b, 36 + data.size(), 4);
    put_id(b, "WAVEfmt ");
    put_le(b, 16, 4);
    put_le(b, f.tag, 2);
    put_le(b, f.channels, 2);
    put_le(b, f.rate, 4);
    put_le(b, std::uint64_t{f.rate} * block, 4);
    put_le(b, block, 2);
    put_le(b, f.bits, 2);
    put_id(b, "data");
    put_le(b, data.size(), 4);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

// A chunk: id, size, body of `size` bytes of `fill`, and the pad byte of an odd size.
inline std::vector<std::uint8_t> chunk(std::string_view id, std::size_t size,
                                       std::uint8_t fill = 0) {
    std::vector<std::uint8_t> b;
    put_id(b, id);
    put_le(b, size, 4);
    b.insert(b.end(), size + size % 2, fill);
    return b;
}

// `wav` (plain layout) with `extra` inserted at byte `at` (12: before "fmt ", 36: before
// "data"); the RIFF size grows with it.
inline std::vector<std::uint8_t> inserted(std::vector<std::uint8_t> wav, std::size_t at,
                                          const std::vector<std::uint8_t>& extra) {
    wav.insert(wav.begin() + static_cast<std::ptrdiff_t>(at), extra.begin(), extra.end());
    const std::uint64_t riff = wav.size() - 8;
    for (int i = 0; i < 4; ++i) wav[4 + i] = static_cast<std::uint8_t>(riff >> (8 * i));
    return wav;
}

// Sound in stretches, each at its own loudness: from digital zero through a few steps
// to loud, so that every Sensitivity finds its own silences. 8-bit or 16-bit samples;
// a stretch lasts up to `longest` samples.
inline std::vector<std::uint8_t> stretches_of_loudness(std::mt19937& rng, std::size_t size,
                                                       bool wide, int longest = 900) {
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<std::uint8_t> out;
    while (out.size() < size) {
        const int length = uniform(1, 100) <= 30 ? uniform(1, 20) : uniform(20, longest);
        const int r = uniform(1, 100);
        const int amplitude = r <= 10 ? 0 : r <= 70 ? uniform(1, 60) : uniform(61, 128);
        for (int i = 0; i < length; ++i) {
            const int v = uniform(-amplitude, amplitude);
            if (wide) {
                const int x = std::clamp(v * 256 + uniform(-255, 255), -32768, 32767);
                out.push_back(static_cast<std::uint8_t>(x & 0xFF));
                out.push_back(static_cast<std::uint8_t>((x >> 8) & 0xFF));
            } else {
                out.push_back(static_cast<std::uint8_t>(std::clamp(128 + v, 0, 255)));
            }
        }
    }
    out.resize(size);
    return out;
}

}  // namespace veltrane::test
