#pragma once
#include <QWidget>

namespace veltrane {

// The start-up picture shown while the program loads: a fixed, frameless window in the
// middle of the screen that reacts to nothing.
class SplashWindow : public QWidget {
    Q_OBJECT
  public:
    explicit SplashWindow(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
};

}  // namespace veltrane
