#pragma once
#include <QWidget>

class QLabel;

namespace veltrane {

struct App;

// A small window of its own beside the main window that shows the notice about the file
// loaded last (App::header_notice), in the main window's language. It never touches the
// main window's controls: it only reads the model when the model has changed.
class NoticeWindow : public QWidget {
    Q_OBJECT
  public:
    NoticeWindow(App& app, QWidget& main);

    // Shows a new notice (or hides the window when the file loaded last has none) and
    // follows the language while it is shown. Runs after every refresh of the model.
    void sync();

    // The text shown now; empty when there is none.
    QString text() const;

  private:
    App& app_;
    QWidget& main_;
    QLabel* label_ = nullptr;
    unsigned shown_serial_ = 0;
};

}  // namespace veltrane
