#include "ui/qt_windows.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

#include "app/app.h"
#include "ui/icon.h"
#include "ui/main_window.h"
#include "ui/preview_launcher.h"
#include "ui/splash_window.h"

namespace veltrane {

QtWindows::QtWindows() = default;

QtWindows::~QtWindows() = default;

void QtWindows::attach(App& app) {
    app_ = &app;
    // Every window of the program shows the icon: the main window, the splash, the boxes.
    QApplication::setWindowIcon(program_icon());
    main_ = std::make_unique<MainWindow>(app);
    // Closing the window ends the program; a run in progress stops at its next yield.
    main_->on_close = [&app] { app.end(); };
    app.on_refresh = [this] { main_->refresh(); };
    app.on_progress = [this] { main_->progress(); };
    preview_ = std::make_unique<PreviewLauncher>(app, *main_);
}

void QtWindows::show_splash() {
    if (!splash_) splash_ = std::make_unique<SplashWindow>();
    splash_->show();
    splash_->raise();
    splash_->repaint();
}

void QtWindows::unload_splash() {
    splash_.reset();
}

void QtWindows::show_main() {
    if (!main_ || ended_) return;
    main_->refresh();
    if (!centred_) {
        // The first showing places the window in the middle of the screen.
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect place = main_->rect();
            place.moveCenter(screen->availableGeometry().center());
            main_->move(place.topLeft());
        }
        centred_ = true;
    }
    main_->show();
    main_->raise();
    main_->activateWindow();
    main_->focus_first_control();
}

void QtWindows::unload_main() {
    if (main_) main_->hide();
}

void QtWindows::end_program() {
    ended_ = true;
    if (main_) main_->hide();
    splash_.reset();
    // Leaves the running event loop once the current handler returns; before the loop
    // has started, exec() sees the flag instead.
    QCoreApplication::exit(0);
}

int QtWindows::exec() {
    if (ended_) return 0;
    return QApplication::exec();
}

bool QtWindows::main_window_open() const {
    return main_ && main_->isVisible() && !ended_;
}

}  // namespace veltrane
