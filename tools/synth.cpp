#include "synth.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <stdexcept>
#include <string_view>

namespace veltrane::synth {

namespace {

void put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void put16(std::vector<std::uint8_t>& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

// Appends one sample (amplitude -1..1) in the format's encoding, to every channel.
void put_sample(std::vector<std::uint8_t>& out, const Format& f, double x) {
    x = std::clamp(x, -1.0, 1.0);
    for (int c = 0; c < f.channels; ++c) {
        if (f.bits == 8)
            out.push_back(static_cast<std::uint8_t>(std::lround(128 + x * 127)));
        else
            put16(out,
                  static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(x * 32767))));
    }
}

struct Lcg {
    std::uint32_t s;
    double next() {  // uniform in [-1, 1)
        s = s * 1664525u + 1013904223u;
        return (s >> 8) / double(1u << 23) - 1.0;
    }
};

}  // namespace

std::vector<std::uint8_t> wav_bytes(const Format& f, const std::vector<std::uint8_t>& data) {
    const int block = f.channels * f.bits / 8;
    std::vector<std::uint8_t> b;
    b.reserve(44 + data.size());
    for (char c : std::string_view("RIFF")) b.push_back(static_cast<std::uint8_t>(c));
    put32(b, static_cast<std::uint32_t>(36 + data.size()));
    for (char c : std::string_view("WAVEfmt ")) b.push_back(static_cast<std::uint8_t>(c));
    put32(b, 16);
    put16(b, 1);
    put16(b, static_cast<std::uint16_t>(f.channels));
    put32(b, static_cast<std::uint32_t>(f.sample_rate));
    put32(b, static_cast<std::uint32_t>(f.sample_rate * block));
    put16(b, static_cast<std::uint16_t>(block));
    put16(b, static_cast<std::uint16_t>(f.bits));
    for (char c : std::string_view("data")) b.push_back(static_cast<std::uint8_t>(c));
    put32(b, static_cast<std::uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

std::vector<std::uint8_t> speech_data(const Format& f, double seconds, std::uint32_t seed) {
    Lcg rng{seed};
    const long total = std::lround(seconds * f.sample_rate);
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(total) * f.channels * f.bits / 8);
    long n = 0;
    bool voiced = false;
    while (n < total) {
        // Words last 0.15-0.6 s; pauses 0.03-0.5 s, so some pauses are too short to count.
        const double len =
            voiced ? 0.15 + 0.45 * (rng.next() + 1) / 2 : 0.03 + 0.47 * (rng.next() + 1) / 2;
        const long samples = std::min(total - n, std::lround(len * f.sample_rate));
        const double pitch = 90 + 80 * (rng.next() + 1) / 2;
        for (long i = 0; i < samples; ++i, ++n) {
            // A quiet studio's noise floor: a few steps of 16-bit (the detector joins the
            // high byte of one sample to the low byte of the next, so louder hiss never
            // reads as silence).
            double x = 0.00025 * rng.next();
            if (voiced) {
                const double t = double(i) / f.sample_rate;
                const double env = std::sin(std::numbers::pi * i / samples);
                x += 0.6 * env *
                     (std::sin(2 * std::numbers::pi * pitch * t) +
                      0.5 * std::sin(2 * std::numbers::pi * 2.7 * pitch * t) + 0.1 * rng.next());
            }
            put_sample(out, f, x);
        }
        voiced = !voiced;
    }
    return out;
}

std::vector<std::uint8_t> chime_data(const Format& f) {
    std::vector<std::uint8_t> out;
    const long total = f.sample_rate * 6 / 10;
    for (long i = 0; i < total; ++i) {
        const double t = double(i) / f.sample_rate;
        const double tone = t < 0.25 ? 880.0 : 1318.5;
        const double env = std::exp(-6.0 * std::fmod(t, 0.25 + (t >= 0.25) * 10));
        put_sample(out, f, 0.5 * env * std::sin(2 * std::numbers::pi * tone * t));
    }
    return out;
}

void write_long_recording(const std::filesystem::path& path, const Format& f,
                          std::uint64_t data_bytes) {
    const std::vector<std::uint8_t> speech = speech_data(f, 30.0, 3);
    // The header of a file of that many bytes; the sizes are 32-bit fields.
    std::vector<std::uint8_t> header = wav_bytes(f, {});
    const auto size32 = static_cast<std::uint32_t>(std::min<std::uint64_t>(data_bytes, 0x7FFFFFFF));
    for (int i = 0; i < 4; ++i) {
        header[4 + i] = static_cast<std::uint8_t>((size32 + 36) >> (8 * i));
        header[40 + i] = static_cast<std::uint8_t>(size32 >> (8 * i));
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(header.data()), 44);
    for (std::uint64_t left = data_bytes; left > 0 && out;) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(left, speech.size()));
        out.write(reinterpret_cast<const char*>(speech.data()), static_cast<std::streamsize>(n));
        left -= n;
    }
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

void write_file(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace veltrane::synth
