#include "manual/launcher.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

extern char** environ;

namespace veltrane::manual {

namespace fs = std::filesystem;

fs::path manual_page(const fs::path& folder, Language language) {
    return folder / "manual" / (language == Language::German ? "de" : "en") / "index.html";
}

namespace {

std::string quoted(const fs::path& p) {
    return "\"" + p.string() + "\"";
}

// Why the opener failed, from its exit status (the meanings xdg-open documents).
std::string opener_failure(const std::string& opener, int status, Language language) {
    const bool de = language == Language::German;
    switch (status) {
        case 2:
            return de ? opener + " hat die Datei nicht gefunden."
                      : opener + " did not find the file.";
        case 3:
            return de ? opener +
                            " hat kein Programm gefunden, das HTML-Seiten zeigt. Bitte einen "
                            "Webbrowser installieren."
                      : opener +
                            " found no program that shows HTML pages. Please install a web "
                            "browser.";
        case 4:
            return de ? "Der Webbrowser, den " + opener + " gestartet hat, ist gescheitert."
                      : "The web browser that " + opener + " started has failed.";
        default:
            return de ? opener + " ist mit dem Status " + std::to_string(status) + " ausgestiegen."
                      : opener + " ended with status " + std::to_string(status) + ".";
    }
}

}  // namespace

std::string open_page(const fs::path& page, const std::string& opener, Language language) {
    const bool de = language == Language::German;
    const std::string cannot = de ? "Das Handbuch " + quoted(page) + " kann nicht geöffnet werden: "
                                  : "Cannot open the manual " + quoted(page) + ": ";
    std::error_code ec;
    if (!fs::is_regular_file(page, ec))
        return cannot + (de ? "Die Datei fehlt. Bitte Veltrane neu installieren."
                            : "the file is missing. Please install Veltrane again.");

    std::string program = opener, argument = page.string();
    std::vector<char*> argv = {program.data(), argument.data(), nullptr};
    pid_t pid = 0;
    const int spawned =
        ::posix_spawnp(&pid, opener.c_str(), nullptr, nullptr, argv.data(), environ);
    if (spawned == ENOENT)
        return cannot + (de ? "Das Programm " + opener +
                                  ", das es im Webbrowser öffnet, ist nicht installiert "
                                  "(Debian-Paket xdg-utils)."
                            : "the program " + opener +
                                  ", which opens it in your web browser, is not installed "
                                  "(Debian package xdg-utils).");
    if (spawned != 0) return cannot + opener + ": " + std::strerror(spawned);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return cannot + opener + ": " + std::strerror(errno);
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return "";
    if (WIFEXITED(status)) return cannot + opener_failure(opener, WEXITSTATUS(status), language);
    return cannot +
           (de ? opener + " wurde durch ein Signal beendet." : opener + " was ended by a signal.");
}

}  // namespace veltrane::manual
