#pragma once
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

#include "base/byte_source.h"

namespace veltrane {

// Byte offsets of the fields of the canonical 44-byte WAV header. Only these bytes
// are read; no chunk is searched for.
namespace wav {
inline constexpr std::size_t kRiffId = 0;
inline constexpr std::size_t kRiffSize = 4;
inline constexpr std::size_t kWaveId = 8;
inline constexpr std::size_t kFmtId = 12;
inline constexpr std::size_t kFmtLength = 16;
inline constexpr std::size_t kFormatTag = 20;
inline constexpr std::size_t kChannels = 22;
inline constexpr std::size_t kSampleRate = 24;
inline constexpr std::size_t kByteRate = 28;
inline constexpr std::size_t kBlockAlign = 32;
inline constexpr std::size_t kBitsPerSample = 34;
inline constexpr std::size_t kDataSize = 40;
inline constexpr std::size_t kHeaderSize = 44;

inline constexpr std::uint32_t kRiff = 0x46464952;  // "RIFF"
inline constexpr std::uint32_t kWave = 0x45564157;  // "WAVE"
inline constexpr std::uint32_t kFmt = 0x20746D66;   // "fmt "
inline constexpr std::uint8_t kPcm = 1;
}  // namespace wav

// The header fields as they stand in the file; bytes past the end read as zero.
struct WavInfo {
    std::uint32_t riff_id = 0;
    std::int32_t riff_size = 0;
    std::uint32_t wave_id = 0;
    std::uint32_t fmt_id = 0;
    std::int32_t fmt_length = 0;
    std::uint8_t format_tag = 0;  // low byte of the 16-bit tag
    std::uint8_t channels = 0;    // low byte
    std::int32_t sample_rate = 0;
    std::int32_t byte_rate = 0;
    std::uint8_t block_align = 0;      // low byte
    std::uint8_t bits_per_sample = 0;  // low byte
    std::int32_t data_size = 0;

    bool is_riff_wave() const { return riff_id == wav::kRiff && wave_id == wav::kWave; }
};

WavInfo parse_wav_header(std::span<const std::uint8_t> bytes);

// Reads the header from the start of a source.
WavInfo read_wav_header(ByteSource& source);
// Reads the header of a file. A path that names no file reads as an empty file (and
// none is created); anything else that cannot be read throws an Error.
WavInfo read_wav_header(const std::filesystem::path& path);

// The name shown for a format tag, and whether it is one of the known formats.
std::string_view format_name(std::uint8_t tag);
bool known_format(std::uint8_t tag);

// Little-endian reads at a byte offset; bytes past the end read as zero.
std::uint32_t le32(std::span<const std::uint8_t> bytes, std::size_t offset);
std::uint8_t byte_at(std::span<const std::uint8_t> bytes, std::size_t offset);

}  // namespace veltrane
