#include "base/error.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace veltrane {

const char* errc_text(Errc code) {
    switch (code) {
        case Errc::Open:
            return "Cannot open";
        case Errc::Read:
            return "Cannot read";
        case Errc::Write:
            return "Cannot write";
        case Errc::Replace:
            return "Cannot replace";
        case Errc::Start:
            return "Cannot start";
        case Errc::BadGapFile:
            return "Not a GAP file";
        case Errc::NoScan:
            return "Cannot scan";
        case Errc::Internal:
            return "Unexpected failure with";
    }
    return "Unexpected failure with";
}

static std::string what_text(Errc code, const std::filesystem::path& file,
                             const std::string& cause) {
    std::string s = errc_text(code);
    s += " \"" + file.string() + "\"";
    if (!cause.empty()) s += ": " + cause;
    return s;
}

Error::Error(Errc code, std::filesystem::path file, std::string cause)
    : std::runtime_error(what_text(code, file, cause)),
      code_(code),
      file_(std::move(file)),
      cause_(std::move(cause)) {}

namespace {

// The German for errc_text(code) with the file's name in place of %s.
const char* german_text(Errc code) {
    switch (code) {
        case Errc::Open:
            return "„%s“ lässt sich nicht öffnen";
        case Errc::Read:
            return "„%s“ lässt sich nicht lesen";
        case Errc::Write:
            return "„%s“ lässt sich nicht schreiben";
        case Errc::Replace:
            return "„%s“ lässt sich nicht ersetzen";
        case Errc::Start:
            return "„%s“ lässt sich nicht starten";
        case Errc::BadGapFile:
            return "„%s“ ist keine GAP-Datei";
        case Errc::NoScan:
            return "„%s“ lässt sich nicht durchsuchen";
        case Errc::Internal:
            break;
    }
    return "Unerwarteter Fehler mit „%s“";
}

}  // namespace

std::string describe(const Error& e, Wording wording) {
    if (wording == Wording::English) return e.what();
    const std::string_view text = german_text(e.code());
    const std::size_t at = text.find("%s");
    std::string s =
        std::string(text.substr(0, at)) + e.file().string() + std::string(text.substr(at + 2));
    if (!e.cause().empty()) s += ": " + e.cause();
    return s;
}

std::string current_failure_text(Wording wording) {
    const bool german = wording == Wording::German;
    try {
        throw;
    } catch (const Error& e) {
        return describe(e, wording);
    } catch (const std::exception& e) {
        return std::string(german ? "Unerwarteter Fehler: " : "Unexpected failure: ") + e.what();
    } catch (...) {
        return german ? "Unerwarteter Fehler." : "Unexpected failure.";
    }
}

const char* not_regular_cause(mode_t mode) {
    if (S_ISREG(mode)) return "";
    if (S_ISDIR(mode)) return "is a directory";
    if (S_ISFIFO(mode)) return "is a FIFO";
    if (S_ISSOCK(mode)) return "is a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device";
    return "is not a regular file";
}

std::string folder_cause(const std::filesystem::path& folder, const std::string& cause) {
    return "its folder \"" + folder.string() + "\" may not be written to (" + cause + ")";
}

std::string errno_text() {
    return std::strerror(errno);
}

}  // namespace veltrane
