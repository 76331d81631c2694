#include <QApplication>
#include <iostream>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/language.h"
#include "app/program_args.h"
#include "app/startup.h"
#include "base/error.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/stop_signals.h"
#include "preview/qt/fonts.h"
#include "ui/qt_windows.h"

int main(int argc, char* argv[]) {
    using veltrane::ProgramArgs;
    // --version and --help need no window, nor a display.
    if (const auto answer = veltrane::answer_at_once(std::vector<std::string>(argv, argv + argc))) {
        std::cout << answer->text << std::flush;
        return std::cout ? 0 : 1;
    }
    veltrane::StopSignals::catch_signals();
    QApplication qt(argc, argv);
    // What the toolkit left of the arguments, as given (file names are bytes).
    const ProgramArgs args = veltrane::program_files(std::vector<std::string>(argv, argv + argc));
    if (args.action == ProgramArgs::Action::Usage) {
        std::cerr << args.text;
        return 2;
    }
    QApplication::setApplicationName("Veltrane");
    // Ties the windows to the desktop entry veltrane.desktop (its name and icon).
    QGuiApplication::setDesktopFileName("veltrane");
    QApplication::setFont(veltrane::ui_font(8.25));
    // The program ends by Exit or the close box only, never because a window was hidden.
    QApplication::setQuitOnLastWindowClosed(false);

    veltrane::IniSettingsStore settings = veltrane::user_settings_store();
    veltrane::QtMessageBoxes boxes;
    veltrane::QtFileDialog dialog;
    veltrane::QtClock clock;
    veltrane::QtSound sound;
    veltrane::QtProcess process(args.files);
    veltrane::QtEventLoop loop;
    veltrane::QtWindows windows;
    veltrane::App app({settings, boxes, dialog, clock, sound, process, loop, windows});
    windows.attach(app);
    // A logout, `kill` or Ctrl+C in the terminal ends the program as its close box does.
    const veltrane::StopSignals stop_signals([&app] { app.end(); });

    try {
        veltrane::Main(app);
    } catch (const veltrane::RunStopped&) {
        // Closed during the run of a file named on the command line.
    } catch (...) {
        app.message(veltrane::current_failure_text(veltrane::wording(app)));
        if (!windows.main_window_open()) return 1;
    }
    const int status = windows.exec();
    app.flush_settings();
    return status;
}
