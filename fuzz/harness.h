#pragma once
// The checks one fuzz input goes through, shared by the fuzzer and the corpus replay.
//
// An input is a WAV file followed by a trailer of kTrailerBytes bytes that supplies what
// the window would (Sensitivity and Filter) and chooses how the file is read. Shorter
// inputs are all trailer, zero-filled in front. Each check throws CheckFailed when the
// program disagrees with itself or breaks a promise; the fuzzer turns that into an abort.
// A check is a function of an Input; a new one joins the list kChecks in harness.cpp.
#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace veltrane::fuzz {

inline constexpr std::size_t kTrailerBytes = 8;

// The trailer as stored, field by field (16-bit fields little-endian).
struct Trailer {
    std::uint8_t sensitivity = 14;  // below 200: 1 + value % 50; above: an unusual value
    std::uint16_t filter = 30;      // below 60000: 20 + value % 481; above: an unusual value
    std::uint8_t disk = 0;          // % 32 == 31: also through a real file and GAP file
    std::uint16_t cut = 0xFFFF;     // where the file ends if it shrinks: share of 65535
    std::uint16_t tile = 0;         // % 16 == 15: samples repeated to about a read block

    std::array<std::uint8_t, kTrailerBytes> bytes() const {
        return {sensitivity,
                static_cast<std::uint8_t>(filter),
                static_cast<std::uint8_t>(filter >> 8),
                disk,
                static_cast<std::uint8_t>(cut),
                static_cast<std::uint8_t>(cut >> 8),
                static_cast<std::uint8_t>(tile),
                static_cast<std::uint8_t>(tile >> 8)};
    }
};

// What the trailer chooses, decoded.
struct Control {
    std::int32_t sensitivity = 15;
    std::int32_t filter_ms = 50;
    bool to_disk = false;
    std::uint16_t cut = 0xFFFF;
    // Above 0: the file's sample bytes repeated up to this length, so that a scan
    // reads more than one block.
    std::size_t tiled_size = 0;
};

// One input split into the WAV file and the decoded trailer.
struct Input {
    std::span<const std::uint8_t> file;
    Control control;
};

Input split_input(std::span<const std::uint8_t> data);

class CheckFailed : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Runs every check on one input.
void check_input(std::span<const std::uint8_t> data);

}  // namespace veltrane::fuzz
