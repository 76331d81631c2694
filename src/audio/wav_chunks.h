#pragma once
// Where the "fmt " and "data" chunks of a RIFF/WAVE file really stand. The window reads
// the plain 44-byte layout only; this walk is for the command-line tool's --find-chunks
// and for telling the user which layout a file has. A pure function over bytes: it never
// reads outside the bytes it is given, whatever the chunk sizes claim.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace veltrane {

namespace wav_chunks {
// The first chunk header follows "RIFF", the RIFF size and "WAVE".
inline constexpr std::uint64_t kFirstChunk = 12;
// A chunk header: a 4-byte id and a 32-bit little-endian size of the body that follows.
inline constexpr std::uint64_t kChunkHeader = 8;
// The fields of a "fmt " chunk that the scan needs (tag to bits per sample).
inline constexpr std::uint32_t kFmtFieldsSize = 16;
// Where the chunks stand in the plain 44-byte layout.
inline constexpr std::uint64_t kPlainFmtAt = 12;
inline constexpr std::uint64_t kPlainDataAt = 36;
inline constexpr std::uint64_t kPlainHeaderSize = 44;
// The walk gives up after this many chunk headers ...
inline constexpr int kMostChunks = 1024;
// Of the other chunks before "data", this many are named ...
inline constexpr std::size_t kMostNamedChunks = 32;
// ... and a file is searched for them in at most its first this many bytes.
inline constexpr std::uint64_t kSearchBytes = std::uint64_t{16} << 20;

inline constexpr std::uint32_t kFmtId = 0x20746D66;   // "fmt "
inline constexpr std::uint32_t kDataId = 0x61746164;  // "data"
}  // namespace wav_chunks

// One chunk found by the walk. Offsets count from 0 at the start of the file.
struct WavChunk {
    std::uint64_t header_at = 0;      // where its id stands
    std::uint64_t body_at = 0;        // its first byte after the header
    std::uint32_t declared_size = 0;  // the size its header claims
    std::uint64_t size = 0;           // the part of that size the file holds
    bool operator==(const WavChunk&) const = default;
};

// The fields of a "fmt " chunk, full width.
struct WavFmt {
    std::uint16_t format_tag = 0;
    std::uint16_t channels = 0;
    std::uint32_t sample_rate = 0;
    std::uint32_t byte_rate = 0;
    std::uint16_t block_align = 0;
    std::uint16_t bits_per_sample = 0;
    bool operator==(const WavFmt&) const = default;
};

// Why the walk stopped.
enum class ChunkWalkEnd {
    FoundData,     // the "data" chunk was reached
    NotRiffWave,   // the file does not begin with RIFF ... WAVE
    FileEnd,       // the chunks ran to (or a size ran past) the end of the file
    BytesEnd,      // the next chunk header lies beyond the bytes given (a longer start
                   // of the file would let the walk go on)
    TooManyChunks  // kMostChunks headers without a "data" chunk
};

struct WavChunks {
    ChunkWalkEnd end = ChunkWalkEnd::NotRiffWave;
    std::optional<WavChunk> fmt;   // the first "fmt " chunk before "data"
    std::optional<WavFmt> format;  // its fields, when its body holds all of them
    std::optional<WavChunk> data;  // the first "data" chunk
    // The ids of the other chunks before "data" ("LIST", "bext", a second "fmt "), in
    // order, characters that are not printable as "?".
    std::vector<std::string> others;

    bool riff_wave() const { return end != ChunkWalkEnd::NotRiffWave; }
    // The layout the window reads: "fmt " at byte 12 and "data" at byte 36.
    bool plain() const;
    // The offset of the first sample byte, when there is a "data" chunk.
    std::optional<std::uint64_t> data_offset() const;
};

// Walks the chunks of a RIFF/WAVE file. `head` holds the file's first bytes (all of it or
// a start of it); `file_size` is the whole file's length, for the sizes that reach beyond
// `head` (taken as head.size() when smaller). Chunk bodies are padded to an even length;
// sizes are unsigned, so a size that reads as negative runs past the end of the file.
WavChunks find_wav_chunks(std::span<const std::uint8_t> head, std::uint64_t file_size);
inline WavChunks find_wav_chunks(std::span<const std::uint8_t> file) {
    return find_wav_chunks(file, file.size());
}

}  // namespace veltrane
