#pragma once
// The preview window: the loaded file's waveform with the silences the main window's
// settings would record, their list, the GAP file on disk beside them, and why nothing
// was found. It follows the main window's model and never changes it.
#include <QElapsedTimer>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/sound.h"
#include "preview/listening.h"
#include "preview/scene.h"
#include "preview/session.h"
#include "ui/preview_edit.h"

class QFileSystemWatcher;
class QHBoxLayout;
class QLabel;
class QShortcut;
class QTimer;
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
    // Shows a silence of the list zoomed, with some sound either side; the list and the
    // picture show the same one.
    void select(int row);
    // The next (`step` > 0) or previous silence.
    void select_next(int step);
    int selected() const { return selected_; }

    // Listening. Playback starts at the cursor (a click in the picture puts it), else at
    // the left edge of the view, and runs to the end of the recording.
    void play_pause();
    // From a second before the selected silence to a second after it.
    void play_around();
    void stop_playing();
    bool can_play() const { return can_play_; }
    Playback* playback() const { return playback_.get(); }
    const std::optional<double>& cursor_ms() const { return cursor_ms_; }
    const std::optional<double>& playhead_ms() const { return playhead_ms_; }
    // Moves the playhead on to where playback has come (the window's timer does this at
    // least 30 times a second), the view following it unless the user is scrolling.
    void follow_playback();
    QLabel* sound_line() const { return sound_line_; }
    QLabel* readout() const { return readout_; }
    QPushButton* play_button() const { return play_; }
    QPushButton* around_button() const { return around_; }
    // The time and level under the pointer at a column of the picture.
    void point_at(double x);

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

    // Editing by hand ("Edit", E): from then on the list is the user's and no longer
    // follows the settings. Starts from the silences the settings find or, at the user's
    // choice, from those of the GAP file on disk.
    void edit();
    void start_editing(bool from_gap_file);
    bool editing() const { return edits_ != nullptr; }
    EditSession* edits() const { return edits_.get(); }
    // What the picture and the list show: the edited silences while editing, else those
    // the settings find.
    const std::vector<GapRecord>& records_shown() const;
    // On the selected silence: Delete, M (with the next), S (at the cursor), the arrow
    // keys (its selected edge by delta_ms).
    void remove_selected();
    void merge_selected();
    void split_selected();
    void nudge(int delta_ms);
    preview::Edge selected_edge() const { return edge_; }
    // Writes the edited silences to the GAP file as Generate would; false, after saying
    // why, when they were not written.
    bool save_edits();
    // Drops the edits, asking first when they are not saved.
    void back_to_detection();
    // "Open labels…" once the file is chosen: its silences replace the list as one edit.
    // Returns why the file was refused, empty when it was not.
    std::string open_labels_from(const std::filesystem::path& file);
    // Who answers the questions about edits (message boxes unless set).
    void set_asker(EditAsker* asker) { asker_ = asker ? asker : &dialogs_; }
    QPushButton* edit_button() const { return edit_; }
    QPushButton* back_button() const { return back_; }
    QPushButton* save_edits_button() const { return save_gap_; }
    QLabel* disk_line() const { return disk_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class Picture;

    // Shows no file at all: nothing of a file read before stays while another is read.
    void show_nothing();
    // Watches the recording's folder and its GAP file for writes by other programs.
    void watch();
    void changed_on_disk();
    // The list's current row to the selected silence, without moving the view.
    void list_to_selection();
    void play(preview::ByteRange range);
    void update_play_controls();
    void user_moved_view() { user_moved_.start(); }

    void open_file(const preview::Settings& settings);
    void rebuild();
    void redraw();
    void retranslate();
    void explain_later();
    void explain(unsigned round);
    void save_labels();

    // Editing's part of the window (preview_window_edit.cpp).
    QHBoxLayout* set_up_editing();
    void retranslate_editing();
    // The picture's mouse while editing: a press on an edge drags it, with Ctrl held
    // over an empty stretch it makes a new silence. Each returns whether it took the event.
    bool press_at(double x, bool add);
    bool drag_at(double x);
    void release();
    bool over_edge(double x) const;
    bool nudge_key(int key, bool shift);
    void show_edits_in(preview::Scene& scene) const;
    void edited();
    // Whether the window may follow the model to `path` in `retold` language now.
    bool edits_may_follow(const std::string& path, bool retold);
    // Asks about unsaved edits; true when they were saved or may go.
    bool settle_edits();
    void end_editing();
    void open_labels();
    QRect wave_rect() const;
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
    bool listing_ = false;           // the list's current row is being set from here

    std::unique_ptr<Playback> playback_;
    bool can_play_ = false;
    std::optional<double> cursor_ms_, playhead_ms_;
    QElapsedTimer user_moved_;  // since the user last zoomed or scrolled
    QTimer* play_timer_ = nullptr;
    QFileSystemWatcher* watcher_ = nullptr;
    bool disk_pending_ = false;
    std::vector<QShortcut*> play_keys_;

    QLabel* summary_ = nullptr;
    Picture* picture_ = nullptr;
    QScrollBar* scroll_ = nullptr;
    QLabel* why_title_ = nullptr;
    QLabel* why_ = nullptr;
    QLabel* disk_ = nullptr;
    QTreeView* list_ = nullptr;
    PreviewTable* table_ = nullptr;
    QLabel* hint_ = nullptr;
    QLabel* sound_line_ = nullptr;
    QLabel* readout_ = nullptr;
    QPushButton* play_ = nullptr;
    QPushButton* around_ = nullptr;
    QPushButton* whole_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* close_ = nullptr;

    std::unique_ptr<EditSession> edits_;
    std::vector<GapRecord> edited_records_;
    DialogAsker dialogs_;
    EditAsker* asker_ = &dialogs_;
    preview::Edge edge_ = preview::Edge::Start;
    std::string declined_path_;  // another file the user chose to stay away from
    bool asking_ = false;
    QPushButton* edit_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* save_gap_ = nullptr;
    QPushButton* undo_ = nullptr;
    QPushButton* redo_ = nullptr;
    QPushButton* open_labels_ = nullptr;
};

}  // namespace veltrane
