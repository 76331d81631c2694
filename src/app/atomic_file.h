#pragma once
#include <cstdint>
#include <filesystem>
#include <span>

namespace veltrane {

// Writes a whole file through a temporary file beside it, renamed into place only
// when everything was written: the file is never seen half-written, and on failure
// the old file (if any) stays as it was. Throws Error naming the file.
void write_file_atomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace veltrane
