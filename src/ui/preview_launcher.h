#pragma once
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <memory>

#include "ui/preview_window.h"

namespace veltrane {

struct App;
class MainWindow;

// Opens the preview from the main window: by Ctrl+P, by the window's context menu and by
// a double click on the file name box. Keeps an open preview in step with the model by
// hooking into the App's refresh, which runs after every handler.
// Where a window of `window` size (its frame included) goes beside the main window's
// frame `main` on a screen whose free room is `room`: to its right, else to its left,
// else narrowed on the side with more room when that leaves it `least_width`, else as far
// right as it fits.
QRect beside(const QRect& main, QSize window, int least_width, const QRect& room);

class PreviewLauncher : public QObject {
    Q_OBJECT
  public:
    PreviewLauncher(App& app, MainWindow& main);
    ~PreviewLauncher() override;

    // Shows the preview of the loaded file, creating the window on first use.
    void open();
    PreviewWindow* window() const { return window_; }
    // The context menu's entry, in the main window's language.
    QString menu_text() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void model_changed();

    App& app_;
    MainWindow& main_;
    QPointer<PreviewWindow> window_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    bool pending_ = false;
};

}  // namespace veltrane
