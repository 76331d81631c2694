#include "audio/wav_header.h"

#include <array>
#include <memory>

namespace veltrane {

std::uint8_t byte_at(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return offset < bytes.size() ? bytes[offset] : 0;
}

std::uint32_t le32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v |= std::uint32_t(byte_at(bytes, offset + i)) << (8 * i);
    return v;
}

WavInfo parse_wav_header(std::span<const std::uint8_t> b) {
    using namespace wav;
    auto s32 = [&](std::size_t off) { return static_cast<std::int32_t>(le32(b, off)); };
    WavInfo w;
    w.riff_id = le32(b, kRiffId);
    w.riff_size = s32(kRiffSize);
    w.wave_id = le32(b, kWaveId);
    w.fmt_id = le32(b, kFmtId);
    w.fmt_length = s32(kFmtLength);
    w.format_tag = byte_at(b, kFormatTag);
    w.channels = byte_at(b, kChannels);
    w.sample_rate = s32(kSampleRate);
    w.byte_rate = s32(kByteRate);
    w.block_align = byte_at(b, kBlockAlign);
    w.bits_per_sample = byte_at(b, kBitsPerSample);
    w.data_size = s32(kDataSize);
    return w;
}

WavInfo read_wav_header(ByteSource& source) {
    std::array<std::uint8_t, wav::kHeaderSize> buf{};
    return parse_wav_header(std::span(buf.data(), source.read_at(0, buf)));
}

WavInfo read_wav_header(const std::filesystem::path& path) {
    const std::unique_ptr<FileSource> file = open_recording(path);
    return file ? read_wav_header(*file) : parse_wav_header({});
}

std::string_view format_name(std::uint8_t tag) {
    switch (tag) {
        case 1:
            return "PCM - Uncompressed";
        case 2:
            return "Microsoft ADPCM";
        case 6:
            return "ITU G.711 a-law";
        case 7:
            return "ITU G.711 \xC2\xB5-law";
        case 17:
            return "IMA ADPCM";
        case 20:
            return "ITU G.723 ADPCM";
        case 49:
            return "GSM 6.10";
        case 64:
            return "ITU G.721 ADPCM";
        case 80:
            return "MPEG";
        default:
            return "Unknown Compression";
    }
}

bool known_format(std::uint8_t tag) {
    return format_name(tag) != "Unknown Compression";
}

}  // namespace veltrane
