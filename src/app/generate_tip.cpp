#include "app/generate_tip.h"

#include <cctype>
#include <string_view>
#include <vector>

#include "app/app.h"
#include "audio/wav_layout.h"
#include "base/byte_source.h"

namespace veltrane {

namespace {

// The forms of the reasons, each number written as '#', and their German.
struct Form {
    std::string_view english;
    std::string_view german;
};
constexpr Form kForms[] = {
    {"not a WAV file", "keine WAV-Datei"},
    {"no \"data\" chunk among its first # chunks", "kein \"data\"-Chunk unter den ersten # Chunks"},
    {"no \"data\" chunk in its first # MiB", "kein \"data\"-Chunk in den ersten # MiB"},
    {"no \"data\" chunk", "kein \"data\"-Chunk"},
    {"no \"fmt \" chunk before its \"data\" chunk", "kein \"fmt \"-Chunk vor dem \"data\"-Chunk"},
    {"its \"fmt \" chunk is too short", "der \"fmt \"-Chunk ist zu kurz"},
    {"its header is not the plain #-byte layout: no \"fmt \" chunk at byte #",
     "der Dateikopf hat nicht die einfache #-Byte-Form: kein \"fmt \"-Chunk bei Byte #"},
    {"floating-point samples; Veltrane scans #- and #-bit PCM",
     "Gleitkomma-Samples; Veltrane prüft #- und #-Bit-PCM"},
    {"an extensible format header (format tag #); Veltrane scans plain PCM (format tag #)",
     "ein erweiterter Formatkopf (Format-Tag #); Veltrane prüft einfaches PCM (Format-Tag #)"},
    {"format tag #; Veltrane scans uncompressed PCM (format tag #)",
     "Format-Tag #; Veltrane prüft unkomprimiertes PCM (Format-Tag #)"},
    {"#-bit samples; Veltrane scans #- and #-bit PCM",
     "#-Bit-Samples; Veltrane prüft #- und #-Bit-PCM"},
    {"# channels; Veltrane scans mono and stereo", "# Kanäle; Veltrane prüft Mono und Stereo"},
    {"a block alignment of # bytes; Veltrane scans #, # or #",
     "eine Blockausrichtung von # Bytes; Veltrane prüft #, # oder #"},
    {"a byte rate of # bytes per second", "eine Byterate von # Bytes pro Sekunde"},
    {"no sample layout to scan", "keine Sample-Anordnung zum Prüfen"},
};

// A known compression: "<its name>; Veltrane scans uncompressed PCM".
constexpr std::string_view kCompressed = "; Veltrane scans uncompressed PCM";
constexpr std::string_view kCompressedGerman = "; Veltrane prüft unkomprimiertes PCM";

// `text` with each run of digits (a leading minus sign with it) written as '#', and
// the runs in order.
std::string numbers_out(const std::string& text, std::vector<std::string>& numbers) {
    std::string form;
    for (std::size_t i = 0; i < text.size();) {
        const bool sign = text[i] == '-' && i + 1 < text.size() &&
                          std::isdigit(static_cast<unsigned char>(text[i + 1])) &&
                          (i == 0 || text[i - 1] == ' ');
        if (sign || std::isdigit(static_cast<unsigned char>(text[i]))) {
            std::size_t end = i + 1;
            while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
            numbers.push_back(text.substr(i, end - i));
            form += '#';
            i = end;
        } else {
            form += text[i++];
        }
    }
    return form;
}

std::string german(const std::string& reason) {
    std::vector<std::string> numbers;
    const std::string form = numbers_out(reason, numbers);
    for (const Form& f : kForms) {
        if (f.english != form) continue;
        std::string text;
        std::size_t next = 0;
        for (const char c : f.german) {
            if (c == '#' && next < numbers.size())
                text += numbers[next++];
            else
                text += c;
        }
        return text;
    }
    if (reason.ends_with(kCompressed))
        return reason.substr(0, reason.size() - kCompressed.size()) +
               std::string(kCompressedGerman);
    return reason;
}

}  // namespace

std::string generate_tip(const std::string& reason, Wording wording) {
    std::string tip = wording == Wording::German ? german(reason) : reason;
    if (!tip.empty()) tip[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(tip[0])));
    return tip;
}

void word_generate_tip(OpenFile& f) {
    f.Command3.tooltip =
        generate_tip(f.not_scanned, f.lan.caption == "2" ? Wording::German : Wording::English);
}

void explain_generate(App& app) {
    OpenFile& f = app.f();
    const std::string& path = f.CommonDialog1.FileName;
    f.not_scanned.clear();
    if (!path.empty()) {
        try {
            FileSource source(path);
            f.not_scanned = why_not_scanned(source, app.find_chunks);
        } catch (...) {
            // Unreadable: the examination says what it can; the tooltip says nothing.
        }
    }
    word_generate_tip(f);
}

}  // namespace veltrane
