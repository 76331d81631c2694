#pragma once
// What the scan makes of a recording's header: which chunk layout it has, whether its
// samples can be scanned at all (and if not, why, in words for the user), and how a file
// whose chunks were located is scanned.
#include <cstdint>
#include <optional>
#include <string>

#include "audio/wav_chunks.h"
#include "base/byte_source.h"

namespace veltrane {

// The fields of the "fmt " chunk where the plain layout has them (bytes 20 to 35), full
// width; bytes past the end of `header` read as zero.
WavFmt plain_wav_fmt(std::span<const std::uint8_t> header);

// The chunks of a recording, looked for in its first bytes (at most
// wav_chunks::kSearchBytes, read only as far as the walk needs).
WavChunks read_wav_chunks(ByteSource& source);

// How a file whose chunks were located is scanned: the sample layout from its own
// "fmt " chunk, the positions from its "data" chunk.
//
// The scan ends near the end mark, a data length compared with file positions: with the
// plain header the data begin at byte 44 and the end mark is the data size, so the last
// 43 to 45 data bytes are never examined. A located "data" chunk whose data begin at byte
// D keeps that: its end mark is its size + D - 44, so the scan covers the same part of the
// data chunk wherever it stands. The size counts no further than the file goes.
struct LocatedLayout {
    int bytes_per_sample = 0;     // the block alignment; 0: nothing to scan
    std::string channels;         // "Mono", "Stereo" or empty
    std::int32_t byte_rate = 0;   // from the "fmt " chunk
    std::int64_t data_start = 0;  // 1-based position of the first data byte
    std::int64_t end_mark = 0;
};
// Empty for the plain layout, which is scanned exactly as the window scans it, unless
// its "data" size is past what the window reads (see data_size_note): then the size is
// read as the unsigned number it is, and the recording is scanned to its end.
std::optional<LocatedLayout> located_layout(const WavChunks& chunks);

// Of a recording whose data stand after other chunks (which the window, reading the plain
// 44-byte layout, does not scan as its sound): where the data begin, and whether a scan of
// the located chunks would scan them.
struct ChunkNote {
    std::uint64_t data_at = 0;
    bool scannable = false;
};
// Empty for the plain layout and for anything that cannot be read.
std::optional<ChunkNote> chunk_note(const WavChunks& chunks);
std::optional<ChunkNote> chunk_note(ByteSource& file);

// The window reads the 32-bit sizes of the plain header as signed numbers: a "data" size
// of more than 2,147,483,647 bytes (2 GiB) reads as negative, and the window scans
// nothing of such a recording. The words that say so, for the tools that tell the user;
// empty when the size is within what the window reads.
inline constexpr std::uint32_t kWindowDataLimit = 0x7FFFFFFF;
std::string data_size_note(std::uint32_t data_size);

// Why the samples of a recording cannot be scanned, for the user ("24-bit samples;
// Veltrane scans 8- and 16-bit PCM", "not a WAV file"); empty when they can. With
// `find_chunks` the located "fmt " and "data" chunks count, otherwise the plain layout.
std::string why_not_scanned(ByteSource& source, bool find_chunks);

}  // namespace veltrane
