// "user's manual.exe" and "Handbuch.exe": open the manual of their language; say why in
// a message box (and on the error output) when that is not possible.
#include <QApplication>
#include <QMessageBox>
#include <cstdlib>
#include <iostream>

#include "manual/launcher.h"

namespace {

constexpr veltrane::manual::Language kLanguage = VELTRANE_MANUAL_GERMAN
                                                     ? veltrane::manual::Language::German
                                                     : veltrane::manual::Language::English;

// The folder of this program itself, with links followed (as installed, a link may lead
// here).
std::filesystem::path own_folder(const char* argv0) {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) return self.parent_path();
    return std::filesystem::absolute(argv0, ec).parent_path();
}

}  // namespace

int main(int argc, char* argv[]) {
    const auto page =
        veltrane::manual::manual_page(own_folder(argc > 0 ? argv[0] : "."), kLanguage);
    const std::string failure = veltrane::manual::open_page(page, "xdg-open", kLanguage);
    if (failure.empty()) return 0;

    std::cerr << failure << "\n";
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((x11 && *x11) || (wayland && *wayland)) {
        QApplication qt(argc, argv);
        QMessageBox box(QMessageBox::Warning,
                        kLanguage == veltrane::manual::Language::German ? "Handbuch" : "Manual",
                        QString::fromStdString(failure), QMessageBox::Ok);
        box.exec();
    }
    return 1;
}
