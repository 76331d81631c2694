#include "audio/wav_header.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "app/error.h"

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

WavInfo read_wav_header(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return parse_wav_header({});
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f) throw Error(Errc::Open, path, errno_text());
    std::array<std::uint8_t, wav::kHeaderSize> buf{};
    const std::size_t n = std::fread(buf.data(), 1, buf.size(), f.get());
    if (n < buf.size() && std::ferror(f.get())) throw Error(Errc::Read, path, errno_text());
    return parse_wav_header(std::span(buf.data(), n));
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
