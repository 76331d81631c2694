#include "ui/preview_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/app.h"
#include "app/startup.h"
#include "base/atomic_file.h"
#include "base/error.h"
#include "platform/qt/qstring.h"
#include "preview/qt/fonts.h"
#include "preview/qt/preview_picture.h"
#include "preview/selection.h"
#include "preview/wording.h"
#include "preview/zoom.h"
#include "ui/preview_table.h"

namespace veltrane {

namespace {

using preview::Language;

// Buckets of the waveform of the whole file: enough for a wide window and some zoom
// before the visible part is read again.
constexpr std::size_t kBuckets = 8192;
// How often the playhead moves on (40 times a second), and how long after a zoom or
// scroll of the user's the view leaves the playhead alone.
constexpr int kPlayheadMs = 25;
constexpr qint64 kUserViewMs = 1500;

const preview::WindowWords& words(Language l) {
    return preview::window_words(l);
}

// Errors in the window's language.
std::string described(const Error& e, Language l) {
    return describe(e, l == Language::German ? Wording::German : Wording::English);
}

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// The file the main window has loaded: the one chosen by Load File, else the one named
// on the command line.
std::string loaded_file(App& app) {
    const OpenFile& f = app.f();
    if (!f.CommonDialog1.FileName.empty()) return f.CommonDialog1.FileName;
    if (!app.command_line.empty()) return command_line_file(app.command_line).full_path;
    return {};
}

preview::Settings settings_of(App& app) {
    const OpenFile& f = app.f();
    return {f.Slider1.value(), f.Slider2.value(), f.Fast.ticked()};
}

}  // namespace

// The picture: draws the window's scene; the wheel zooms and scrolls, a click picks a
// silence, the arrow keys scroll.
class PreviewWindow::Picture : public QWidget {
  public:
    explicit Picture(PreviewWindow* owner) : QWidget(owner), owner_(owner) {
        setFocusPolicy(Qt::StrongFocus);
        setMinimumSize(480, 200);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        setMouseTracking(true);
    }
    QRect wave() const { return picture_geometry(size(), false).wave; }

  protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::ToolTip) {
            // The hatched end says why no silence is recorded there.
            const auto* help = static_cast<QHelpEvent*>(e);
            const preview::Scene& s = owner_->scene();
            const double ms = ms_at(s, wave(), help->pos().x());
            if (s.unrecorded_tail && wave().contains(help->pos()) &&
                ms >= s.unrecorded_tail->start_ms && ms <= s.unrecorded_tail->end_ms)
                QToolTip::showText(help->globalPos(),
                                   text(words(owner_->language()).unrecorded_tail), this);
            else
                QToolTip::hideText();
            return true;
        }
        return QWidget::event(e);
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        const double x = e->position().x();
        if (!owner_->drag_at(x))
            setCursor(owner_->over_edge(x) ? Qt::SplitHCursor : Qt::ArrowCursor);
        owner_->point_at(x);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) owner_->release();
    }
    void leaveEvent(QEvent*) override { owner_->readout_->clear(); }
    bool focusNextPrevChild(bool next) override {
        // Tab steps through the silences; past the last (or the first) it leaves.
        const int before = owner_->selected_;
        owner_->select_next(next ? 1 : -1);
        return owner_->selected_ != before || QWidget::focusNextPrevChild(next);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        draw_picture(p, size(), owner_->scene());
        if (owner_->load_after_paint_) {
            // On screen now: the reading can start and show how far it has come.
            owner_->load_after_paint_ = false;
            QTimer::singleShot(0, owner_, [o = QPointer<PreviewWindow>(owner_)] {
                if (o) o->sync();
            });
        }
    }
    void resizeEvent(QResizeEvent*) override { owner_->redraw(); }
    void wheelEvent(QWheelEvent* e) override {
        const QPoint d = e->angleDelta();
        const bool sideways =
            e->modifiers() & Qt::ShiftModifier || std::abs(d.x()) > std::abs(d.y());
        const double steps = (sideways ? (d.x() != 0 ? d.x() : d.y()) : d.y()) / 120.0;
        owner_->user_moved_view();
        if (sideways)
            owner_->scroll_by(-steps * 0.1);
        else
            owner_->zoom(std::pow(0.8, steps), ms_at(owner_->scene(), wave(), e->position().x()));
        e->accept();
    }
    void mousePressEvent(QMouseEvent* e) override {
        setFocus(Qt::MouseFocusReason);
        if (e->button() == Qt::LeftButton &&
            !owner_->press_at(e->position().x(), e->modifiers() & Qt::ControlModifier))
            owner_->click_at(e->position().x());
    }
    void keyPressEvent(QKeyEvent* e) override {
        const int k = e->key();
        if (owner_->nudge_key(k, e->modifiers() & Qt::ShiftModifier)) return;
        if (k == Qt::Key_Left || k == Qt::Key_Right || k == Qt::Key_PageUp ||
            k == Qt::Key_PageDown || k == Qt::Key_Home || k == Qt::Key_End)
            owner_->user_moved_view();
        switch (k) {
            case Qt::Key_Left:
                return owner_->scroll_by(-0.1);
            case Qt::Key_Right:
                return owner_->scroll_by(0.1);
            case Qt::Key_PageUp:
                return owner_->scroll_by(-0.9);
            case Qt::Key_PageDown:
                return owner_->scroll_by(0.9);
            case Qt::Key_Home:
                return owner_->scroll_by(-1e12);
            case Qt::Key_End:
                return owner_->scroll_by(1e12);
            default:
                QWidget::keyPressEvent(e);
        }
    }

  private:
    PreviewWindow* owner_;
};

PreviewWindow::PreviewWindow(App& app, QWidget* parent)
    : QWidget(parent, Qt::Window), app_(app), session_(kBuckets) {
    setObjectName("PreviewWindow");
    setFont(ui_font(8.25));
    resize(900, 600);

    summary_ = new QLabel(this);
    summary_->setTextFormat(Qt::PlainText);
    summary_->setWordWrap(true);
    picture_ = new Picture(this);
    scroll_ = new QScrollBar(Qt::Horizontal, this);
    connect(scroll_, &QScrollBar::valueChanged, this, [this](int v) {
        user_moved_view();
        const double span = to_ms_ - from_ms_;
        show_range(v, v + span);
    });

    why_title_ = new QLabel(this);
    QFont bold = font();
    bold.setBold(true);
    why_title_->setFont(bold);
    why_ = new QLabel(this);
    why_->setTextFormat(Qt::PlainText);
    why_->setWordWrap(true);
    why_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    disk_ = new QLabel(this);
    disk_->setTextFormat(Qt::PlainText);
    disk_->setWordWrap(true);

    table_ = new PreviewTable(this);
    list_ = new QTreeView(this);
    list_->setModel(table_);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->header()->setStretchLastSection(true);
    // Widths for the numbers set once: measuring every row at every change would cost
    // more than the scan.
    const QFontMetrics digits(list_->font());
    list_->setColumnWidth(0, digits.horizontalAdvance("00000") + 16);
    for (int c = 1; c < 4; ++c)
        list_->setColumnWidth(c, digits.horizontalAdvance("Length (ms)") + 24);
    list_->setMinimumHeight(120);
    // Whatever moves the list's current row (a click, the arrow keys) selects that silence
    // in the picture too; Enter plays around it.
    connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& i) {
                if (!listing_ && i.isValid()) select(i.row());
            });
    connect(list_, &QTreeView::clicked, this, [this](const QModelIndex& i) { select(i.row()); });
    list_->installEventFilter(this);

    hint_ = new QLabel(this);
    hint_->setWordWrap(true);
    sound_line_ = new QLabel(this);
    sound_line_->setTextFormat(Qt::PlainText);
    sound_line_->setVisible(false);
    readout_ = new QLabel(this);
    readout_->setTextFormat(Qt::PlainText);
    readout_->setMinimumWidth(
        QFontMetrics(readout_->font()).horizontalAdvance("0:00:00.000 · −100.0 dBFS"));
    play_ = new QPushButton(this);
    around_ = new QPushButton(this);
    connect(play_, &QPushButton::clicked, this, &PreviewWindow::play_pause);
    connect(around_, &QPushButton::clicked, this, &PreviewWindow::play_around);
    whole_ = new QPushButton(this);
    save_ = new QPushButton(this);
    close_ = new QPushButton(this);
    connect(whole_, &QPushButton::clicked, this, &PreviewWindow::show_whole_file);
    connect(save_, &QPushButton::clicked, this, &PreviewWindow::save_labels);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);

    // Zoom keys anywhere in the window; the arrows belong to the picture and the list.
    auto* in = new QShortcut(QKeySequence(Qt::Key_Plus), this);
    auto* in2 = new QShortcut(QKeySequence(Qt::Key_Equal), this);
    auto* out = new QShortcut(QKeySequence(Qt::Key_Minus), this);
    auto* all = new QShortcut(QKeySequence(Qt::Key_0), this);
    for (QShortcut* s : {in, in2})
        connect(s, &QShortcut::activated, this, [this] { zoom(0.5, (from_ms_ + to_ms_) / 2); });
    connect(out, &QShortcut::activated, this, [this] { zoom(2, (from_ms_ + to_ms_) / 2); });
    connect(all, &QShortcut::activated, this, &PreviewWindow::show_whole_file);
    auto* space = new QShortcut(QKeySequence(Qt::Key_Space), this);
    auto* around = new QShortcut(QKeySequence(Qt::Key_P), this);
    connect(space, &QShortcut::activated, this, &PreviewWindow::play_pause);
    connect(around, &QShortcut::activated, this, &PreviewWindow::play_around);
    play_keys_ = {space, around};
    auto* next = new QShortcut(QKeySequence(Qt::Key_N), this);
    auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_N), this);
    connect(next, &QShortcut::activated, this, [this] { select_next(1); });
    connect(previous, &QShortcut::activated, this, [this] { select_next(-1); });

    play_timer_ = new QTimer(this);
    play_timer_->setInterval(kPlayheadMs);
    connect(play_timer_, &QTimer::timeout, this, &PreviewWindow::follow_playback);
    playback_ = app_.platform.sound.playback();
    // Watched, not polled: another program writing the GAP file shows at once.
    watcher_ = new QFileSystemWatcher(this);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &PreviewWindow::changed_on_disk);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, &PreviewWindow::changed_on_disk);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(sound_line_);
    layout->addWidget(picture_, 3);
    layout->addWidget(scroll_);
    layout->addWidget(why_title_);
    layout->addWidget(why_);
    layout->addWidget(disk_);
    layout->addWidget(list_, 2);
    layout->addLayout(set_up_editing());
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(readout_, 1);
    buttons->addWidget(play_);
    buttons->addWidget(around_);
    buttons->addWidget(whole_);
    buttons->addWidget(save_);
    buttons->addWidget(close_);
    layout->addLayout(buttons);
    layout->addWidget(hint_);

    language_ = preview::language_of(app_.f().lan.caption);
    retranslate();
    rebuild();
}

PreviewWindow::~PreviewWindow() {
    end_editing();
    stop_playing();
}

QWidget* PreviewWindow::picture() const {
    return picture_;
}

QRect PreviewWindow::wave_rect() const {
    return picture_->wave();
}

void PreviewWindow::retranslate() {
    const Language l = language();
    why_title_->setText(text(words(l).why_title));
    hint_->setText(text(words(l).hint));
    whole_->setText(text(words(l).whole_file));
    save_->setText(text(words(l).save_labels));
    close_->setText(text(words(l).close));
    around_->setText(text(words(l).play_around));
    picture_->setAccessibleName(text(words(l).picture_name));
    list_->setAccessibleName(text(words(l).list_name));
    list_->setAccessibleDescription(text(words(l).list_description));
    scroll_->setAccessibleName(text(words(l).scroll_name));
    retranslate_editing();
    update_play_controls();
}

void PreviewWindow::sync_once_shown() {
    if (looked_ && loaded_file(app_) == path_) return sync();
    // A new file: the window shows first, then reads it. A window that is never
    // painted reads it all the same, a little later.
    const QString name = q(std::filesystem::path(loaded_file(app_)).filename().string());
    show_nothing();
    setWindowTitle(text(words(language()).title) + name);
    summary_->setText(text(words(language()).reading).arg(name));
    load_after_paint_ = true;
    picture_->update();
    QTimer::singleShot(250, this, [this] {
        if (load_after_paint_) {
            load_after_paint_ = false;
            sync();
        }
    });
}

void PreviewWindow::sync() {
    if (explaining_) {
        resync_ = true;  // after the reasons have stopped
        return;
    }
    const preview::Settings settings = settings_of(app_);
    const Language language = preview::language_of(app_.f().lan.caption);
    const bool retold = language != language_;
    language_ = language;
    if (retold) retranslate();
    const std::string path = loaded_file(app_);
    if (edits_ && !edits_may_follow(path, retold)) {
        if (retold) rebuild();
        return;
    }
    if (!looked_ || path != path_ || (!session_.is_open() && !path.empty())) {
        looked_ = true;
        path_ = path;
        open_file(settings);
        return;
    }
    bool changed = false;
    // The silence selected before, to select the one most like it afterwards.
    std::vector<GapRecord> before;
    if (selected_ >= 0 && !edits_) before = session_.records();
    try {
        changed = session_.update(settings);
    } catch (const Error& e) {
        problem_ = described(e, language_);
        session_ = preview::Session(kBuckets);
        changed = true;
    }
    if (changed) {
        // The recording may have changed length: the view stays inside it.
        const double total = preview::total_ms(session_);
        if (to_ms_ > total) show_range(std::max(0.0, total - (to_ms_ - from_ms_)), total);
        if (!edits_) selected_ = preview::kept_selection(before, selected_, session_.records());
        watch();
    }
    if (changed || retold) rebuild();
}

void PreviewWindow::show_nothing() {
    stop_playing();
    end_editing();
    cursor_ms_.reset();
    selected_ = -1;
    detail_.reset();
    session_ = preview::Session(kBuckets);
    from_ms_ = 0;
    to_ms_ = 1;
    table_->show({}, false, language());
    disk_->clear();
    save_->setEnabled(false);
    why_title_->setVisible(false);
    why_->setVisible(false);
    redraw();
    update_play_controls();
}

void PreviewWindow::open_file(const preview::Settings& settings) {
    problem_.clear();
    show_nothing();
    const Language l = language();
    if (path_.empty()) {
        problem_ = words(l).no_file;
        rebuild();
        return;
    }
    const QString name = q(std::filesystem::path(path_).filename().string());
    setWindowTitle(text(words(l).title) + name);
    // Nothing of the file before stays on screen while this one is read.
    picture_->repaint();
    list_->viewport()->repaint();
    QElapsedTimer shown;
    shown.start();
    try {
        session_.open(path_, settings, [&](double done) {
            // No events run while the file is read: the line is painted as it goes.
            if (shown.elapsed() < 100) return;
            shown.start();
            summary_->setText(
                text(words(l).reading_done).arg(name).arg(static_cast<int>(done * 100)));
            summary_->repaint();
        });
    } catch (const Error& e) {
        problem_ = described(e, language_);
        session_ = preview::Session(kBuckets);
    }
    from_ms_ = 0;
    to_ms_ = std::max(1.0, preview::total_ms(session_));
    watch();
    rebuild();
}

void PreviewWindow::rebuild() {
    const Language l = language();
    const bool open = session_.is_open();
    if (open)
        setWindowTitle(text(words(l).title) + q(session_.path().filename().string()));
    else if (path_.empty())
        setWindowTitle(text(words(l).untitled));
    // Double Speed's count beside a 16-bit scan at normal speed; when nothing is found
    // the reasons below say it.
    const std::string speed =
        open && !session_.records().empty() ? preview::speed_line(session_, l) : "";
    const bool compared = session_.disk().exists && session_.disk().problem.empty();
    summary_->setText(
        open ? q(preview::summary_line(session_, l) + (speed.empty() ? "" : "\n") + speed)
             : q(problem_));
    disk_->setText(!open                ? QString()
                   : edits_ && compared ? q(edited_disk_line(session_.disk(), edited_records_, l))
                                        : q(preview::disk_line(session_, l)));
    disk_->setVisible(open);

    const auto& records = records_shown();
    const preview::Comparison cmp =
        edits_ ? preview::compare(records, session_.disk().records) : session_.comparison();
    std::vector<PreviewTable::Row> rows;
    rows.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        rows.push_back({records[i], static_cast<int>(i + 1),
                        compared && i < cmp.now.size() ? cmp.now[i] : preview::Match::Same,
                        edits_ && edits_->list().silences()[i].edited});
    if (compared) {
        const auto& disk = session_.disk().records;
        for (std::size_t i = 0; i < disk.size() && i < cmp.disk.size(); ++i)
            if (cmp.disk[i] == preview::Match::OnlyOnDisk)
                rows.push_back({disk[i], 0, preview::Match::OnlyOnDisk});
    }
    table_->show(std::move(rows), compared, l);
    list_to_selection();
    save_->setEnabled(!records.empty());
    retranslate_editing();
    update_play_controls();

    const bool nothing = open && records.empty() && !edits_;
    why_title_->setVisible(nothing);
    why_->setVisible(nothing);
    if (nothing) {
        why_->setText(text(words(l).looking_for_reason));
        explain_later();
    }
    redraw();
}

void PreviewWindow::explain_later() {
    // The picture first, then the reasons, which read the file a few times over.
    const unsigned round = ++explain_round_;
    QTimer::singleShot(0, this, [this, round] { explain(round); });
}

void PreviewWindow::explain(unsigned round) {
    if (round != explain_round_ || explaining_ || !session_.is_open() ||
        !session_.records().empty())
        return;
    // A long recording takes seconds: the window goes on answering meanwhile, and a
    // change of the model stops the work, which starts again for the new state.
    explaining_ = true;
    QPointer<PreviewWindow> alive(this);
    QElapsedTimer since;
    since.start();
    std::vector<std::string> lines;
    bool stopped = false;
    try {
        lines = session_.why(language(), [&] {
            if (since.elapsed() >= 50) {
                QCoreApplication::processEvents();
                since.start();
            }
            return alive && round == explain_round_ && !resync_;
        });
    } catch (const preview::Stopped&) {
        stopped = true;
    } catch (const Error& e) {
        lines = {described(e, language())};
    }
    if (!alive) return;
    explaining_ = false;
    if (resync_) {
        resync_ = false;
        sync();
        return;
    }
    if (stopped) return;
    QStringList shown;
    for (const std::string& line : lines) shown << "• " + q(line);
    why_->setText(shown.join("\n"));
}

void PreviewWindow::redraw() {
    const preview::Waveform* shown = nullptr;
    const int columns = std::max(1, picture_->wave().width());
    const preview::Waveform& whole = session_.waveform();
    if (session_.is_open() && whole.to > whole.from && session_.layout().frame_bytes > 0) {
        // The whole file's buckets while there are at least as many in view as columns;
        // closer in, the part in view is read again.
        const double per_ms = session_.bytes_per_ms();
        const double ms_per_frame = session_.layout().frame_bytes / per_ms;
        const double first_ms = static_cast<double>(session_.layout().first) / per_ms;
        const double bucket_frames =
            static_cast<double>(whole.to - whole.from) / static_cast<double>(whole.buckets());
        const double frames_in_view = (to_ms_ - from_ms_) / ms_per_frame;
        if (frames_in_view / bucket_frames < columns) {
            const auto from = std::clamp<std::int64_t>(
                static_cast<std::int64_t>(std::floor((from_ms_ - first_ms) / ms_per_frame)) - 1, 0,
                whole.to);
            const auto to = std::clamp<std::int64_t>(
                static_cast<std::int64_t>(std::ceil((to_ms_ - first_ms) / ms_per_frame)) + 1, from,
                whole.to);
            const auto buckets = static_cast<std::size_t>(columns);
            if (!detail_ || from != detail_from_ || to != detail_to_ ||
                buckets != detail_buckets_) {
                try {
                    detail_ = session_.detail(from, to, buckets);
                } catch (const Error&) {
                    // The file can no longer be read: the whole file's buckets stand in,
                    // and the next look at the model says what happened.
                    detail_.reset();
                }
                detail_from_ = from;
                detail_to_ = to;
                detail_buckets_ = buckets;
            }
            if (detail_) shown = &*detail_;
        }
    }
    scene_ = preview::make_scene(session_, language(), from_ms_, to_ms_, shown, selected_);
    scene_.title.clear();  // the line above the picture says it
    if (!session_.is_open()) scene_.note = problem_;
    scene_.cursor_ms = cursor_ms_;
    scene_.playhead_ms = playhead_ms_;
    if (edits_) show_edits_in(scene_);
    picture_->setAccessibleDescription(text(words(language()).picture_description)
                                           .arg(static_cast<qulonglong>(records_shown().size()))
                                           .arg(q(preview::axis_time(from_ms_, 1, language())))
                                           .arg(q(preview::axis_time(to_ms_, 1, language()))));

    const double total = std::max(1.0, preview::total_ms(session_));
    const double span = to_ms_ - from_ms_;
    const QSignalBlocker block(scroll_);
    scroll_->setRange(0, static_cast<int>(std::max(0.0, std::ceil(total - span))));
    scroll_->setPageStep(std::max(1, static_cast<int>(span)));
    scroll_->setSingleStep(std::max(1, static_cast<int>(span / 10)));
    scroll_->setValue(static_cast<int>(from_ms_));
    scroll_->setVisible(span < total);
    picture_->update();
}

void PreviewWindow::show_range(double from_ms, double to_ms) {
    const double frame_ms = session_.layout().frame_bytes > 0
                                ? session_.layout().frame_bytes / session_.bytes_per_ms()
                                : 0;
    const preview::View v =
        preview::fitted({from_ms, to_ms}, preview::total_ms(session_), frame_ms);
    from_ms_ = v.from_ms;
    to_ms_ = v.to_ms;
    redraw();
}

void PreviewWindow::show_whole_file() {
    show_range(0, preview::total_ms(session_));
}

void PreviewWindow::zoom(double factor, double around_ms) {
    const preview::View v = preview::zoomed({from_ms_, to_ms_}, factor, around_ms);
    show_range(v.from_ms, v.to_ms);
}

void PreviewWindow::scroll_by(double share) {
    const preview::View v = preview::scrolled({from_ms_, to_ms_}, share);
    show_range(v.from_ms, v.to_ms);
}

void PreviewWindow::select(int row) {
    if (row < 0 || row >= table_->rowCount()) return;
    const PreviewTable::Row& r = table_->row(row);
    selected_ = r.number > 0 ? r.number - 1 : -1;
    if (list_->currentIndex().row() != row) {
        listing_ = true;
        list_->setCurrentIndex(table_->index(row, 0));
        listing_ = false;
    }
    list_->scrollTo(list_->currentIndex());
    const double start = r.record.start_ms, end = r.record.end_ms;
    const double margin = std::max(250.0, (end - start) / 2);
    show_range(start - margin, end + margin);
}

void PreviewWindow::click_at(double x) {
    const QRect wave = picture_->wave();
    const double ms = ms_at(scene_, wave, x);
    if (!session_.is_open()) return;
    // The cursor: where playback starts. Playing goes on from there.
    cursor_ms_ = std::clamp(ms, 0.0, preview::total_ms(session_));
    if (playback_ && playback_->state() != Playback::State::Stopped) {
        stop_playing();
        play_pause();
    }
    const auto& records = records_shown();
    // The silence under the pointer, if any; records follow each other in time.
    const auto it = std::lower_bound(records.begin(), records.end(), ms,
                                     [](const GapRecord& r, double t) { return r.end_ms < t; });
    if (it != records.end() && ms >= it->start_ms) {
        selected_ = static_cast<int>(it - records.begin());
        list_to_selection();
    }
    redraw();
}

void PreviewWindow::list_to_selection() {
    const QModelIndex at = selected_ >= 0 ? table_->index(selected_, 0) : QModelIndex();
    listing_ = true;
    if (at.isValid())
        list_->setCurrentIndex(at);
    else
        list_->selectionModel()->clear();
    listing_ = false;
    if (at.isValid()) list_->scrollTo(at);
}

void PreviewWindow::select_next(int step) {
    const int next =
        preview::stepped_selection(records_shown(), selected_, step, cursor_ms_.value_or(from_ms_));
    if (next >= 0 && next != selected_) select(next);
}

void PreviewWindow::point_at(double x) {
    const QRect wave = picture_->wave();
    if (!session_.is_open() || x < wave.left() || x > wave.right()) return readout_->clear();
    const double ms = ms_at(scene_, wave, x);
    const std::optional<int> peak = preview::peak_between(scene_, ms, ms_at(scene_, wave, x + 1));
    const double span = to_ms_ - from_ms_;
    const double step = span < 2000 ? 1 : span < 20000 ? 10 : 100;
    readout_->setText(
        text(words(language()).readout)
            .arg(q(preview::axis_time(ms, step, language())))
            .arg(peak ? q(preview::decibels(preview::dbfs(*peak), language())) : "–"));
}

void PreviewWindow::update_play_controls() {
    const Language l = language();
    std::string why;
    if (!playback_)
        why = words(l).no_device;
    else if (playback_->fault() == Playback::Fault::NoDevice)
        why = words(l).no_device;
    else if (playback_->fault() == Playback::Fault::Failed)
        why = words(l).failed;
    else if (session_.is_open() && !preview::play_format(session_.layout()))
        why = preview::unplayable_cause(session_.layout(), l);
    else if (playback_->fault() == Playback::Fault::Refused)
        why = QString(words(l).refused)
                  .arg(q(preview::unplayable_cause(session_.layout(), l)))
                  .toStdString();
    can_play_ = why.empty() && session_.is_open();
    sound_line_->setText(why.empty() ? QString() : text(words(l).no_sound).arg(q(why)));
    sound_line_->setVisible(!why.empty());
    const bool playing = playback_ && playback_->state() == Playback::State::Playing;
    play_->setText(text(playing ? words(l).pause : words(l).play) + " (" +
                   QKeySequence(Qt::Key_Space).toString(QKeySequence::NativeText) + ")");
    around_->setText(text(words(l).play_around) + " (P)");
    play_->setEnabled(can_play_);
    around_->setEnabled(can_play_ && selected_ >= 0);
    for (QShortcut* k : play_keys_) k->setEnabled(can_play_);
}

void PreviewWindow::play(preview::ByteRange range) {
    if (!can_play_ || range.empty()) return;
    std::shared_ptr<ByteSource> source;
    try {
        // A reader of its own: the session may open the file afresh meanwhile.
        source = open_recording(session_.path());
    } catch (const Error&) {
    }
    if (!source) return;
    if (!playback_->start(std::move(source), range.from, range.to,
                          *preview::play_format(session_.layout()))) {
        update_play_controls();
        return;
    }
    playhead_ms_ = preview::ms_of(range.from, session_.bytes_per_ms());
    play_timer_->start();
    update_play_controls();
    redraw();
}

void PreviewWindow::play_pause() {
    if (!can_play_) return;
    switch (playback_->state()) {
        case Playback::State::Playing:
            playback_->pause();
            break;
        case Playback::State::Paused:
            playback_->resume();
            break;
        case Playback::State::Stopped: {
            const double from = cursor_ms_.value_or(from_ms_);
            play(preview::frames_between(session_.layout(), session_.bytes_per_ms(), from,
                                         preview::total_ms(session_)));
            break;
        }
    }
    update_play_controls();
}

void PreviewWindow::play_around() {
    const auto& records = records_shown();
    if (!can_play_ || selected_ < 0 || selected_ >= static_cast<int>(records.size())) return;
    stop_playing();
    play(preview::around(session_.layout(), session_.bytes_per_ms(),
                         records[static_cast<std::size_t>(selected_)]));
}

void PreviewWindow::stop_playing() {
    if (playback_) playback_->stop();
    if (play_timer_) play_timer_->stop();
    const bool shown = playhead_ms_.has_value();
    playhead_ms_.reset();
    if (play_) update_play_controls();
    if (shown) redraw();
}

void PreviewWindow::follow_playback() {
    if (!playback_) return;
    const std::int64_t at = playback_->position();
    if (playback_->state() == Playback::State::Stopped || at < 0) return stop_playing();
    playhead_ms_ = preview::ms_of(at, session_.bytes_per_ms());
    const double span = to_ms_ - from_ms_;
    const bool user_busy = user_moved_.isValid() && user_moved_.elapsed() < kUserViewMs;
    if (!user_busy && (*playhead_ms_ < from_ms_ || *playhead_ms_ > to_ms_)) {
        show_range(*playhead_ms_, *playhead_ms_ + span);  // a page on
        return;
    }
    scene_.playhead_ms = playhead_ms_;
    picture_->update();
}

void PreviewWindow::watch() {
    const QStringList old = watcher_->files() + watcher_->directories();
    if (!old.isEmpty()) watcher_->removePaths(old);
    if (!session_.is_open()) return;
    // The folder tells of a GAP file made or replaced, the file of one written in place.
    QStringList paths{
        q(session_.path().parent_path().empty() ? std::string(".")
                                                : session_.path().parent_path().string()),
        q(session_.path().string())};
    if (session_.disk().exists) paths << q(session_.disk().path.string());
    watcher_->addPaths(paths);
}

void PreviewWindow::changed_on_disk() {
    // A burst of writes is looked at once, when it is over.
    if (disk_pending_) return;
    disk_pending_ = true;
    QTimer::singleShot(100, this, [this] {
        disk_pending_ = false;
        if (isVisible()) sync();
        watch();  // a file replaced is a new file to watch
    });
}

void PreviewWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        // Esc stops what plays; with nothing playing it closes the window.
        if (playback_ && playback_->state() != Playback::State::Stopped) return stop_playing();
        return void(close());
    }
    QWidget::keyPressEvent(event);
}

void PreviewWindow::closeEvent(QCloseEvent* event) {
    if (!settle_edits()) return event->ignore();
    end_editing();
    stop_playing();
    QWidget::closeEvent(event);
}

bool PreviewWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const auto* press = static_cast<QKeyEvent*>(event);
        const int key = press->key();
        if (nudge_key(key, press->modifiers() & Qt::ShiftModifier)) return true;
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            play_around();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PreviewWindow::save_labels() {
    const Language l = language();
    if (records_shown().empty()) return;
    const std::string wav = session_.path().string();
    const std::string suggested = wav.substr(0, wav.size() >= 4 ? wav.size() - 4 : 0) + ".txt";
    const QString chosen = QFileDialog::getSaveFileName(this, text(words(l).save_labels_title),
                                                        q(suggested), text(words(l).label_files));
    if (chosen.isEmpty()) return;
    const std::string problem = save_labels_to(chosen.toStdString());
    if (!problem.empty()) QMessageBox::warning(this, "Veltrane", q(problem));
}

std::string PreviewWindow::save_labels_to(const std::filesystem::path& file) {
    const std::string text = label_track(records_shown());
    try {
        write_file_atomically(
            file, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    } catch (const Error& e) {
        return described(e, language());
    }
    return {};
}

}  // namespace veltrane
