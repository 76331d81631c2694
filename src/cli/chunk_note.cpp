#include "cli/chunk_note.h"

#include "audio/wav_layout.h"
#include "base/error.h"

namespace veltrane {

std::string find_chunks_hint(const ChunkNote& note) {
    return "; --find-chunks finds its data at byte " + std::to_string(note.data_at);
}

std::string chunk_warning(const std::string& path, const ChunkNote& note) {
    return "\"" + path + "\" has other chunks before its data (at byte " +
           std::to_string(note.data_at) +
           ") but was read as the plain 44-byte layout, so what was scanned is not its sound" +
           (note.scannable ? "; --find-chunks scans its \"data\" chunk" : "");
}

void refuse_unscannable(ByteSource& file, const std::string& path, bool find_chunks) {
    std::string reason = why_not_scanned(file, find_chunks);
    if (reason.empty()) return;
    if (!find_chunks)
        if (const auto note = chunk_note(file); note && note->scannable)
            reason += find_chunks_hint(*note);
    throw Error(Errc::NoScan, path, reason);
}

std::optional<std::string> check_scannable(const std::string& path, bool find_chunks) {
    const std::unique_ptr<FileSource> file = open_recording(path);  // names a folder, a FIFO
    if (!file) throw Error(Errc::Open, path, "No such file or directory");
    refuse_unscannable(*file, path, find_chunks);
    if (find_chunks) return std::nullopt;
    if (const auto note = chunk_note(*file)) return chunk_warning(path, *note);
    return std::nullopt;
}

}  // namespace veltrane
