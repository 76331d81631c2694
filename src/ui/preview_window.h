#pragma once
// The preview window: the loaded file's waveform with the silences the main window's
// settings would record, their list, the GAP file on disk beside them, and why nothing
// was found. It follows the main window's model and never changes it.
#include <QWidget>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "preview/scene.h"
#include "preview/session.h"

class QLabel;
class QPushButton;
class QScrollBar;
class QTreeView;

namespace veltrane {

struct App;
class PreviewTable;

class PreviewWindow : public QWidget {
    Q_OBJECT
  public:
    explicit PreviewWindow(App& app, QWidget* parent = nullptr);
    ~PreviewWindow() override;

    // Looks at the main window's model again and shows what changed: another loaded
    // file, other settings, the other language, a GAP file written meanwhile.
    void sync();
    // The same for a window just shown: a file not read yet is read once the window is
    // on screen, so that a long recording shows how far the reading has come.
    void sync_once_shown();

    // The time shown, in milliseconds from the start of the file.
    void show_range(double from_ms, double to_ms);
    void show_whole_file();
    // Shows a silence of the list zoomed, with some sound either side.
    void select(int row);

    const preview::Session& session() const { return session_; }
    const preview::Scene& scene() const { return scene_; }
    double from_ms() const { return from_ms_; }
    double to_ms() const { return to_ms_; }
    QTreeView* list() const { return list_; }
    QLabel* why() const { return why_; }
    QLabel* summary() const { return summary_; }
    QWidget* picture() const;
    QPushButton* save_button() const { return save_; }

    // Zooms around a time by a factor (below 1 zooms in); scrolls by a share of the view.
    void zoom(double factor, double around_ms);
    void scroll_by(double share);
    // A click in the picture at a column of the waveform.
    void click_at(double x);
    // "Save labels…" once a file is chosen: the silences as a label track, written whole
    // or not at all. Returns what went wrong, empty when nothing did.
    std::string save_labels_to(const std::filesystem::path& file);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    class Picture;

    void open_file(const preview::Settings& settings);
    void rebuild();
    void redraw();
    void retranslate();
    void explain_later();
    void explain(unsigned round);
    void save_labels();
    preview::Language language() const { return language_; }

    App& app_;
    preview::Session session_;
    std::string path_;
    bool looked_ = false;  // the model has been looked at once
    std::string problem_;  // why the file cannot be shown
    preview::Language language_ = preview::Language::English;
    double from_ms_ = 0, to_ms_ = 1;
    int selected_ = -1;
    std::optional<preview::Waveform> detail_;
    std::int64_t detail_from_ = -1, detail_to_ = -1;
    std::size_t detail_buckets_ = 0;
    preview::Scene scene_;
    unsigned explain_round_ = 0;
    bool explaining_ = false;        // the reasons are being worked out, events running meanwhile
    bool resync_ = false;            // a change came in meanwhile
    bool load_after_paint_ = false;  // a file waits to be read until the window shows

    QLabel* summary_ = nullptr;
    Picture* picture_ = nullptr;
    QScrollBar* scroll_ = nullptr;
    QLabel* why_title_ = nullptr;
    QLabel* why_ = nullptr;
    QLabel* disk_ = nullptr;
    QTreeView* list_ = nullptr;
    PreviewTable* table_ = nullptr;
    QLabel* hint_ = nullptr;
    QPushButton* whole_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* close_ = nullptr;
};

}  // namespace veltrane
