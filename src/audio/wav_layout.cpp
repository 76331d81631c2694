#include "audio/wav_layout.h"

#include <algorithm>
#include <array>
#include <vector>

#include "audio/wav_header.h"

namespace veltrane {

namespace {

// Most headers are found in the first read; only files with large chunks before their
// data need a second, longer one.
constexpr std::uint64_t kFirstRead = 64 * 1024;

}  // namespace

WavFmt plain_wav_fmt(std::span<const std::uint8_t> b) {
    auto u16 = [&](std::size_t at) {
        return static_cast<std::uint16_t>(byte_at(b, at) | byte_at(b, at + 1) << 8);
    };
    return {u16(wav::kFormatTag),    u16(wav::kChannels),   le32(b, wav::kSampleRate),
            le32(b, wav::kByteRate), u16(wav::kBlockAlign), u16(wav::kBitsPerSample)};
}

namespace {

// Why samples of this format cannot be scanned; empty when they can. The rules are those
// of the scan: PCM by the low byte of the tag, a layout of 1, 2 or 4 bytes per sample
// frame, a byte rate above 0; and, so that a file is not scanned as something it is not,
// 8- or 16-bit samples on one or two channels.
std::string format_refusal(const WavFmt& f) {
    const auto tag = static_cast<std::uint8_t>(f.format_tag & 0xFF);
    if (tag != wav::kPcm) {
        if (f.format_tag == 3) return "floating-point samples; Veltrane scans 8- and 16-bit PCM";
        if (f.format_tag == 0xFFFE)
            return "an extensible format header (format tag 65534); Veltrane scans plain PCM "
                   "(format tag 1)";
        if (known_format(tag))
            return std::string(format_name(tag)) + "; Veltrane scans uncompressed PCM";
        return "format tag " + std::to_string(f.format_tag) +
               "; Veltrane scans uncompressed PCM (format tag 1)";
    }
    if (f.bits_per_sample != 8 && f.bits_per_sample != 16)
        return std::to_string(f.bits_per_sample) + "-bit samples; Veltrane scans 8- and 16-bit PCM";
    if (f.channels != 1 && f.channels != 2)
        return std::to_string(f.channels) + " channels; Veltrane scans mono and stereo";
    if (f.block_align != 1 && f.block_align != 2 && f.block_align != 4)
        return "a block alignment of " + std::to_string(f.block_align) +
               " bytes; Veltrane scans 1, 2 or 4";
    if (static_cast<std::int32_t>(f.byte_rate) <= 0)
        return "a byte rate of " + std::to_string(static_cast<std::int32_t>(f.byte_rate)) +
               " bytes per second";
    return "";
}

std::vector<std::uint8_t> read_start(ByteSource& source, std::uint64_t n) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min<std::uint64_t>(
        n, static_cast<std::uint64_t>(std::max<std::int64_t>(source.size(), 0)))));
    bytes.resize(source.read_at(0, bytes));
    return bytes;
}

}  // namespace

WavChunks read_wav_chunks(ByteSource& source) {
    const auto size = static_cast<std::uint64_t>(std::max<std::int64_t>(source.size(), 0));
    std::vector<std::uint8_t> head = read_start(source, kFirstRead);
    WavChunks chunks = find_wav_chunks(head, size);
    if (chunks.end == ChunkWalkEnd::BytesEnd && head.size() < wav_chunks::kSearchBytes) {
        head = read_start(source, wav_chunks::kSearchBytes);
        chunks = find_wav_chunks(head, size);
    }
    return chunks;
}

std::optional<LocatedLayout> located_layout(const WavChunks& chunks) {
    if (chunks.plain() && chunks.data->declared_size <= kWindowDataLimit) return std::nullopt;
    LocatedLayout layout;
    if (!chunks.data || !chunks.format || format_refusal(*chunks.format) != "") return layout;
    const WavFmt& f = *chunks.format;
    layout.bytes_per_sample = f.block_align;
    layout.channels = f.channels == 1 ? "Mono" : "Stereo";
    layout.byte_rate = static_cast<std::int32_t>(f.byte_rate);
    const auto offset = static_cast<std::int64_t>(chunks.data->body_at);
    layout.data_start = offset + 1;
    layout.end_mark = static_cast<std::int64_t>(chunks.data->size) + offset -
                      static_cast<std::int64_t>(wav_chunks::kPlainHeaderSize);
    return layout;
}

std::optional<ChunkNote> chunk_note(const WavChunks& chunks) {
    if (!chunks.data || chunks.plain()) return std::nullopt;
    const std::optional<LocatedLayout> located = located_layout(chunks);
    return ChunkNote{chunks.data->body_at, located && located->bytes_per_sample != 0};
}

std::optional<ChunkNote> chunk_note(ByteSource& file) {
    return chunk_note(read_wav_chunks(file));
}

std::string data_size_note(std::uint32_t data_size) {
    if (data_size <= kWindowDataLimit) return "";
    return "the header gives " + std::to_string(data_size) + " bytes of data, past the " +
           std::to_string(kWindowDataLimit) +
           " the window reads: the window takes the size as negative and scans nothing "
           "(--find-chunks reads it as it is and scans the whole recording)";
}

std::string why_not_scanned(ByteSource& source, bool find_chunks) {
    if (find_chunks) {
        const WavChunks chunks = read_wav_chunks(source);
        if (!chunks.riff_wave()) return "not a WAV file";
        if (!chunks.data) {
            switch (chunks.end) {
                case ChunkWalkEnd::TooManyChunks:
                    return "no \"data\" chunk among its first " +
                           std::to_string(wav_chunks::kMostChunks) + " chunks";
                case ChunkWalkEnd::BytesEnd:
                    return "no \"data\" chunk in its first " +
                           std::to_string(wav_chunks::kSearchBytes >> 20) + " MiB";
                default:
                    return "no \"data\" chunk";
            }
        }
        if (!chunks.fmt) return "no \"fmt \" chunk before its \"data\" chunk";
        if (!chunks.format) return "its \"fmt \" chunk is too short";
        return format_refusal(*chunks.format);
    }
    std::array<std::uint8_t, wav::kHeaderSize> buf{};
    const std::span<const std::uint8_t> head(buf.data(), source.read_at(0, buf));
    const WavInfo w = parse_wav_header(head);
    if (!w.is_riff_wave()) return "not a WAV file";
    if (w.fmt_id != wav::kFmt)
        return "its header is not the plain 44-byte layout: no \"fmt \" chunk at byte 12";
    return format_refusal(plain_wav_fmt(head));
}

}  // namespace veltrane
