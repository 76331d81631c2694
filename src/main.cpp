#include <QApplication>
#include "app/app.h"
#include "app/error.h"
#include "app/startup.h"
#include "platform/qt/qt_platform.h"
#include "ui/qt/fonts.h"
#include "ui/qt/qt_windows.h"

int main(int argc, char* argv[]) {
    QApplication qt(argc, argv);
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
    veltrane::QtProcess process;
    veltrane::QtEventLoop loop;
    veltrane::QtWindows windows;
    veltrane::App app({settings, boxes, dialog, clock, sound, process, loop, windows});
    windows.attach(app);

    try {
        veltrane::Main(app);
    } catch (const veltrane::RunStopped&) {
        // Closed during the run of a file named on the command line.
    } catch (...) {
        app.message(veltrane::current_failure_text());
        if (!windows.main_window_open()) return 1;
    }
    const int status = windows.exec();
    app.flush_settings();
    return status;
}
