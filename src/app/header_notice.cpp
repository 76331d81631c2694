#include "app/header_notice.h"

#include "app/app.h"
#include "audio/wav_chunks.h"
#include "audio/wav_layout.h"
#include "base/byte_source.h"
#include "base/error.h"

namespace veltrane {

std::optional<HeaderNotice> header_notice(const std::string& path, const std::string& title) {
    try {
        const std::unique_ptr<FileSource> file = open_recording(path);
        if (!file) return std::nullopt;
        const WavChunks chunks = read_wav_chunks(*file);
        const std::optional<std::uint64_t> at = chunks.data_offset();
        if (!at || chunks.plain()) return std::nullopt;
        return HeaderNotice{title, chunks.others, *at};
    } catch (const Error&) {
        return std::nullopt;
    }
}

std::string notice_text(const HeaderNotice& n, std::string_view lan) {
    std::string names;
    for (std::size_t i = 0; i < n.chunks.size(); ++i)
        names += (i == 0 ? "\"" : ", \"") + n.chunks[i] + "\"";
    const std::string at = std::to_string(n.data_at);
    const std::string name = "\"" + n.title + "\"";
    const std::string commands = "  sox " + name + " -b 16 plain/" + name + "\n" + "  ffmpeg -i " +
                                 name + " -map_metadata -1 -fflags +bitexact plain/" + name + "\n";
    if (lan == "2")
        return name + " hat vor seinen Samples weitere Chunks" +
               (names.empty() ? "" : " (" + names + ")") + ": die Samples beginnen bei Byte " + at +
               ", nicht bei Byte 44. Veltrane liest den einfachen 44-Byte-Kopf, darum zeigt es "
               "die Länge 0 und schreibt beim Erstellen keine GAP-Datei.\n"
               "Abhilfe: eine einfache Kopie schreiben und diese laden (der Ordner plain muss "
               "bestehen),\n" +
               commands + "oder die Datei so, wie sie ist, durchsuchen:\n" +
               "  veltrane-cli generate --find-chunks " + name;
    return name + " has other chunks before its samples" +
           (names.empty() ? "" : " (" + names + ")") + ": they begin at byte " + at +
           ", not at byte 44. Veltrane reads the plain 44-byte header, so it shows a length "
           "of 0 and Generate writes no GAP file for it.\n"
           "To fix it, write a plain copy and load that (the folder plain must exist),\n" +
           commands + "or scan the file as it is:\n" + "  veltrane-cli generate --find-chunks " +
           name;
}

void note_loaded_file(App& app, const std::string& path, const std::string& title) {
    app.header_notice = path.empty() ? std::nullopt : header_notice(path, title);
    ++app.notice_serial;
}

}  // namespace veltrane
