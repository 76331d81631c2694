#pragma once
#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class QButtonGroup;
class QMimeData;

namespace veltrane {

struct App;
struct Control;

// Pixels per twip at 96 dpi: 15 twips make one pixel.
inline constexpr int kTwipsPerPixel = 15;
// The main window's client area height in twips.
inline constexpr int kClientHeightTwips = 4785;

// The main window: one widget per control of app.f(), placed as the model places it.
// The model is the truth. refresh() copies it into the widgets; what the user does is
// handed to the model's handlers through dispatch(). Widgets are tied to controls by
// their index in OpenFile::controls(), which stays the same when the model is replaced
// by a fresh one.
class MainWindow : public QWidget {
    Q_OBJECT
  public:
    explicit MainWindow(App& app, QWidget* parent = nullptr);

    // Copies the current model into the widgets without running any handler.
    void refresh();

    // Called once per block of scanning work: brings the window up to date and paints
    // it at once, at most a few times a second, since no events run during a scan.
    void progress();

    // The widget drawn for the control named `name`; null when there is none.
    QWidget* widget(const char* name) const;

    // Runs when the user closes the window by its close box.
    std::function<void()> on_close;

    // Puts the focus on the first control the keyboard can reach, "Load File" while it
    // is enabled, and shows where it is. Runs no focus handler.
    void focus_first_control();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void build();
    void make_shortcuts();
    QWidget* make_widget(std::size_t index, Control& c);
    void mirror(Control& c, QWidget* w);
    void fit_captions();
    // Gives the focus back to the control that had it before a refresh turned it off,
    // once it is on again.
    void restore_focus(QWidget* had_focus);
    // The files of a drag that the window takes, or none.
    std::vector<std::string> dropped_files(const QMimeData* data) const;
    // The control at `index` of the current model, kept alive while its handler runs
    // even if the handler replaces the model.
    void forward(std::size_t index, const std::function<void(Control&)>& action);

    App& app_;
    std::vector<QWidget*> widgets_;
    QButtonGroup* options_ = nullptr;
    bool mirroring_ = false;
    QPointer<QWidget> focus_back_;
    QElapsedTimer last_progress_paint_;
};

}  // namespace veltrane
