#pragma once
// The manual launchers: small programs beside Veltrane ("user's manual.exe",
// "Handbuch.exe") that open the manual of their language in the desktop's web browser.
#include <filesystem>
#include <string>

namespace veltrane::manual {

enum class Language { English, German };

// The manual's first page for a launcher that lies in `folder`. The build folder and
// the installed program folder hold the manuals alike, in manual/en/ and manual/de/.
std::filesystem::path manual_page(const std::filesystem::path& folder, Language language);

// Opens `page` with `opener` (a program looked up on PATH, normally "xdg-open") and
// waits for the opener to finish. Returns the empty text when it opened the page,
// otherwise a sentence in `language` that says why not.
std::string open_page(const std::filesystem::path& page, const std::string& opener,
                      Language language);

}  // namespace veltrane::manual
