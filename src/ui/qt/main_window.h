#pragma once
#include <QElapsedTimer>
#include <QWidget>
#include <cstddef>
#include <functional>
#include <vector>

class QButtonGroup;

namespace veltrane {

struct App;
struct Control;

// Check boxes and option buttons place their captions themselves, wrapped onto more
// lines where one is too narrow; they tell where the lines went.
class PlacedCaption {
  public:
    virtual ~PlacedCaption() = default;
    // The caption's lines, in the widget's coordinates.
    virtual QRect caption_lines() const = 0;
};

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

  protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void build();
    QWidget* make_widget(std::size_t index, Control& c);
    void mirror(Control& c, QWidget* w);
    // The control at `index` of the current model, kept alive while its handler runs
    // even if the handler replaces the model.
    void forward(std::size_t index, const std::function<void(Control&)>& action);

    App& app_;
    std::vector<QWidget*> widgets_;
    QButtonGroup* options_ = nullptr;
    bool mirroring_ = false;
    QElapsedTimer last_progress_paint_;
};

}  // namespace veltrane
