#pragma once
// What the commands say of a recording whose data stand after other chunks: the window
// reads the plain 44-byte layout, so what it scans there is not the recording's sound.
#include <cstdint>
#include <optional>
#include <string>

#include "audio/wav_layout.h"
#include "base/byte_source.h"

namespace veltrane {

// "; --find-chunks finds its data at byte N", for a refusal's reason.
std::string find_chunks_hint(const ChunkNote& note);
// The warning for a file that was read as the plain layout though its data lie elsewhere.
std::string chunk_warning(const std::string& path, const ChunkNote& note);

// Refuses a recording whose samples Generate will not scan: Errc::NoScan with the reason
// and, where it helps, the --find-chunks hint.
void refuse_unscannable(ByteSource& file, const std::string& path, bool find_chunks);

// Opens the recording and refuses it as above; returns the warning to give for one read as
// the plain layout though its data lie elsewhere, if any.
std::optional<std::string> check_scannable(const std::string& path, bool find_chunks);

}  // namespace veltrane
