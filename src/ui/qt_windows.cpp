#include "ui/qt_windows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWindow>

#include "app/app.h"
#include "platform/qt/toolkit_language.h"
#include "ui/icon.h"
#include "ui/main_window.h"
#include "ui/notice_window.h"
#include "ui/preview_launcher.h"
#include "ui/preview_window.h"
#include "ui/splash_window.h"

namespace veltrane {

namespace {
// How long the splash waits for the window manager to show it.
constexpr qint64 kSplashExposeWaitMs = 1000;
constexpr auto kSplashEvents =
    QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers;
}  // namespace

QtWindows::QtWindows() = default;

QtWindows::~QtWindows() = default;

void QtWindows::attach(App& app) {
    app_ = &app;
    // Every window of the program shows the icon: the main window, the splash, the boxes.
    QApplication::setWindowIcon(program_icon());
    main_ = std::make_unique<MainWindow>(app);
    // Closing the window ends the program; a run in progress stops at its next yield.
    main_->on_close = [&app] { app.end(); };
    notice_ = new NoticeWindow(app, *main_);
    app.on_refresh = [this] {
        main_->refresh();
        notice_->sync();
        follow_language();
    };
    app.on_progress = [this] { main_->progress(); };
    preview_ = std::make_unique<PreviewLauncher>(app, *main_);
}

void QtWindows::show_splash() {
    if (!splash_) splash_ = std::make_unique<SplashWindow>();
    // The program may be ended while the splash is being shown (the toolkit lets events
    // through when it creates the window): it is then taken away, and so is this.
    const QPointer<SplashWindow> splash = splash_.get();
    splash->show();
    if (!splash || ended_) return;
    splash->raise();
    // A window manager maps the window some time after show(): until then nothing drawn
    // reaches the screen. Wait for that, briefly, letting no input through, nor a request
    // to end the program.
    QElapsedTimer waited;
    waited.start();
    while (splash && !ended_ && splash->windowHandle() && !splash->windowHandle()->isExposed() &&
           waited.elapsed() < kSplashExposeWaitMs)
        QCoreApplication::processEvents(kSplashEvents, 10);
    if (!splash || ended_) return;
    splash->repaint();
    QCoreApplication::processEvents(kSplashEvents);
}

bool QtWindows::splash_exposed() const {
    return splash_ && splash_->windowHandle() && splash_->windowHandle()->isExposed();
}

void QtWindows::unload_splash() {
    splash_.reset();
}

void QtWindows::follow_language() {
    // The toolkit's own texts (dialogs, the buttons of boxes) speak the window's language.
    const std::string& lan = app_->f().lan.caption;
    if (lan == "1") set_toolkit_language(ToolkitLanguage::English);
    if (lan == "2") set_toolkit_language(ToolkitLanguage::German);
}

void QtWindows::show_main() {
    if (!main_ || ended_) return;
    main_->refresh();
    follow_language();
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
    notice_->sync();
}

void QtWindows::unload_main() {
    if (main_) main_->hide();
}

void QtWindows::end_program() {
    ended_ = true;
    if (main_) main_->hide();
    // The splash goes once the toolkit is back in its loop: this may be called while it is
    // being shown.
    if (splash_) {
        splash_->hide();
        splash_.release()->deleteLater();
    }
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
