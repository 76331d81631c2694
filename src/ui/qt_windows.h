#pragma once
#include <memory>

#include "platform/windows.h"

namespace veltrane {

struct App;
class MainWindow;
class NoticeWindow;
class PreviewLauncher;
class SplashWindow;

// The program's two windows on Qt, for one App. The App must not outlive this object's
// use: its refresh hooks call into the main window.
class QtWindows : public Windows {
  public:
    QtWindows();
    ~QtWindows() override;

    // Creates the main window for `app` (hidden) and makes the app mirror into it.
    void attach(App& app);

    void show_splash() override;
    void unload_splash() override;
    void show_main() override;
    void unload_main() override;
    void end_program() override;

    // Runs the event loop until the program ends; returns at once when it has already
    // been ended (before the loop started). Returns the exit status.
    int exec();

    // The splash window is on screen (mapped and exposed), not only shown.
    bool splash_exposed() const;
    // The main window has been shown and not ended.
    bool main_window_open() const;
    MainWindow* main_window() const { return main_.get(); }

  private:
    void follow_language();

    App* app_ = nullptr;
    std::unique_ptr<MainWindow> main_;
    std::unique_ptr<PreviewLauncher> preview_;
    NoticeWindow* notice_ = nullptr;  // a child of the main window
    std::unique_ptr<SplashWindow> splash_;
    bool centred_ = false;
    bool ended_ = false;
};

}  // namespace veltrane
