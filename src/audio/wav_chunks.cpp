#include "audio/wav_chunks.h"

#include <algorithm>

namespace veltrane {

namespace {

using namespace wav_chunks;

constexpr std::uint32_t kRiffId = 0x46464952;  // "RIFF"
constexpr std::uint32_t kWaveId = 0x45564157;  // "WAVE"

// Whether n bytes from `at` lie inside `bytes` (without overflowing).
bool holds(std::span<const std::uint8_t> bytes, std::uint64_t at, std::uint64_t n) {
    return at <= bytes.size() && n <= bytes.size() - at;
}

// Little-endian reads; the caller has checked that the bytes are there.
std::uint32_t u32_at(std::span<const std::uint8_t> b, std::uint64_t at) {
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
           std::uint32_t{b[at + 3]} << 24;
}
std::uint16_t u16_at(std::span<const std::uint8_t> b, std::uint64_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

}  // namespace

bool WavChunks::plain() const {
    return fmt && data && fmt->header_at == kPlainFmtAt && data->header_at == kPlainDataAt;
}

std::optional<std::uint64_t> WavChunks::data_offset() const {
    if (!data) return std::nullopt;
    return data->body_at;
}

WavChunks find_wav_chunks(std::span<const std::uint8_t> head, std::uint64_t file_size) {
    file_size = std::max<std::uint64_t>(file_size, head.size());
    WavChunks found;
    if (!holds(head, 0, kFirstChunk) || u32_at(head, 0) != kRiffId || u32_at(head, 8) != kWaveId)
        return found;  // NotRiffWave

    std::uint64_t at = kFirstChunk;
    for (int chunks = 0;; ++chunks) {
        // A header needs 8 bytes of the file; fewer left is the end of the chunks.
        if (at > file_size || file_size - at < kChunkHeader) {
            found.end = ChunkWalkEnd::FileEnd;
            return found;
        }
        if (chunks == kMostChunks) {
            found.end = ChunkWalkEnd::TooManyChunks;
            return found;
        }
        if (!holds(head, at, kChunkHeader)) {
            found.end = ChunkWalkEnd::BytesEnd;
            return found;
        }
        WavChunk chunk;
        chunk.header_at = at;
        chunk.body_at = at + kChunkHeader;
        chunk.declared_size = u32_at(head, at + 4);
        chunk.size = std::min<std::uint64_t>(chunk.declared_size, file_size - chunk.body_at);
        const std::uint32_t id = u32_at(head, at);

        if (id == kDataId) {
            found.data = chunk;
            found.end = ChunkWalkEnd::FoundData;
            return found;
        }
        if (id != kFmtId || found.fmt) {
            if (found.others.size() < kMostNamedChunks) {
                std::string name;
                for (std::uint64_t i = 0; i < 4; ++i) {
                    const auto c = static_cast<char>(head[static_cast<std::size_t>(at + i)]);
                    name += c >= 0x20 && c < 0x7F ? c : '?';
                }
                found.others.push_back(name);
            }
        } else {
            found.fmt = chunk;
            if (chunk.declared_size >= kFmtFieldsSize) {
                if (!holds(head, chunk.body_at, kFmtFieldsSize)) {
                    // The fields lie in the file but beyond the bytes given.
                    if (chunk.size >= kFmtFieldsSize) {
                        found.end = ChunkWalkEnd::BytesEnd;
                        return found;
                    }
                } else {
                    const std::uint64_t b = chunk.body_at;
                    found.format =
                        WavFmt{u16_at(head, b),     u16_at(head, b + 2),  u32_at(head, b + 4),
                               u32_at(head, b + 8), u16_at(head, b + 12), u16_at(head, b + 14)};
                }
            }
        }
        // The next header follows the body and its pad byte. Sizes are at most 2^32 - 1,
        // offsets stay far below 2^64: the sum cannot wrap.
        at = chunk.body_at + chunk.declared_size + (chunk.declared_size & 1u);
    }
}

}  // namespace veltrane
