#include "ui/preview_window.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/app.h"
#include "app/startup.h"
#include "base/atomic_file.h"
#include "base/error.h"
#include "preview/qt/fonts.h"
#include "preview/qt/preview_picture.h"
#include "ui/main_window.h"

namespace veltrane {

namespace {

using preview::Language;

// Buckets of the waveform of the whole file: enough for a wide window and some zoom
// before the visible part is read again.
constexpr std::size_t kBuckets = 8192;

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QString tr2(Language l, const char* english, const char* german) {
    return QString::fromUtf8(l == Language::German ? german : english);
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
    }
    QRect wave() const { return picture_geometry(size(), false).wave; }

  protected:
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
        if (sideways)
            owner_->scroll_by(-steps * 0.1);
        else
            owner_->zoom(std::pow(0.8, steps), ms_at(owner_->scene(), wave(), e->position().x()));
        e->accept();
    }
    void mousePressEvent(QMouseEvent* e) override {
        setFocus(Qt::MouseFocusReason);
        if (e->button() == Qt::LeftButton) owner_->click_at(e->position().x());
    }
    void keyPressEvent(QKeyEvent* e) override {
        switch (e->key()) {
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

// The list: the silences found now, then those only in the GAP file; made from the
// session's records when shown, so that a long list costs no more than its rows.
class PreviewWindow::Table : public QAbstractTableModel {
  public:
    struct Row {
        GapRecord record;
        int number;  // 1 on; 0 for a record only in the file
        preview::Match match;
    };
    using QAbstractTableModel::QAbstractTableModel;

    void show(std::vector<Row> rows, bool compared, Language language) {
        beginResetModel();
        rows_ = std::move(rows);
        compared_ = compared;
        language_ = language;
        endResetModel();
    }
    const Row& row(int i) const { return rows_[static_cast<std::size_t>(i)]; }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 5;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount()) return {};
        const Row& r = row(index.row());
        const Language l = language_;
        using preview::Match;
        if (role == Qt::DisplayRole) {
            switch (index.column()) {
                case 0:
                    return r.number > 0 ? QString::number(r.number) : QString("–");
                case 1:
                    return QString::number(r.record.start_ms);
                case 2:
                    return QString::number(r.record.end_ms);
                case 3:
                    return QString::number(std::int64_t{r.record.end_ms} - r.record.start_ms);
                default:
                    if (!compared_) return QString();
                    return r.match == Match::Same      ? tr2(l, "same", "gleich")
                           : r.match == Match::Changed ? tr2(l, "moved", "verschoben")
                           : r.match == Match::New     ? tr2(l, "new", "neu")
                                                   : tr2(l, "only in the file", "nur in der Datei");
            }
        }
        if (role == Qt::TextAlignmentRole && index.column() < 4)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (role == Qt::ForegroundRole && compared_ && r.match != Match::Same)
            return QColor(r.match == Match::Changed ? QColor(160, 110, 0)
                          : r.match == Match::New   ? QColor(200, 70, 0)
                                                    : QColor(200, 30, 30));
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        const Language l = language_;
        switch (section) {
            case 0:
                return QString("#");
            case 1:
                return tr2(l, "Start (ms)", "Beginn (ms)");
            case 2:
                return tr2(l, "End (ms)", "Ende (ms)");
            case 3:
                return tr2(l, "Length (ms)", "Länge (ms)");
            default:
                return tr2(l, "GAP file", "GAP-Datei");
        }
    }

  private:
    std::vector<Row> rows_;
    bool compared_ = false;
    Language language_ = Language::English;
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

    table_ = new Table(this);
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
    connect(list_, &QTreeView::clicked, this, [this](const QModelIndex& i) { select(i.row()); });
    connect(list_, &QTreeView::activated, this, [this](const QModelIndex& i) { select(i.row()); });

    hint_ = new QLabel(this);
    hint_->setWordWrap(true);
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

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(picture_, 3);
    layout->addWidget(scroll_);
    layout->addWidget(why_title_);
    layout->addWidget(why_);
    layout->addWidget(disk_);
    layout->addWidget(list_, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(hint_, 1);
    buttons->addWidget(whole_);
    buttons->addWidget(save_);
    buttons->addWidget(close_);
    layout->addLayout(buttons);

    language_ = preview::language_of(app_.f().lan.caption);
    retranslate();
    rebuild();
}

PreviewWindow::~PreviewWindow() = default;

QWidget* PreviewWindow::picture() const {
    return picture_;
}

void PreviewWindow::retranslate() {
    const Language l = language();
    why_title_->setText(tr2(l, "Why nothing was found", "Warum nichts gefunden wurde"));
    hint_->setText(tr2(l,
                       "Wheel: zoom · Shift+wheel or arrow keys: scroll · 0: whole file · "
                       "a click on a silence shows it",
                       "Mausrad: Zoom · Umschalt+Mausrad oder Pfeiltasten: blättern · 0: ganze "
                       "Datei · ein Klick auf eine Pause zeigt sie"));
    whole_->setText(tr2(l, "Whole file", "Ganze Datei"));
    save_->setText(tr2(l, "Save labels…", "Marken speichern…"));
    close_->setText(tr2(l, "Close", "Schließen"));
}

void PreviewWindow::sync_once_shown() {
    if (looked_ && loaded_file(app_) == path_) return sync();
    // A new file: the window shows first, then reads it. A window that is never
    // painted reads it all the same, a little later.
    const QString name = q(std::filesystem::path(loaded_file(app_)).filename().string());
    summary_->setText(tr2(language(), "Reading %1 …", "Lese %1 …").arg(name));
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
    if (!looked_ || path != path_ || (!session_.is_open() && !path.empty())) {
        looked_ = true;
        path_ = path;
        open_file(settings);
        return;
    }
    bool changed = false;
    try {
        changed = session_.update(settings);
    } catch (const Error& e) {
        problem_ = describe(e);
        session_ = preview::Session(kBuckets);
        changed = true;
    }
    if (changed) {
        // The recording may have changed length: the view stays inside it.
        const double total = preview::total_ms(session_);
        if (to_ms_ > total) show_range(std::max(0.0, total - (to_ms_ - from_ms_)), total);
        if (selected_ >= static_cast<int>(session_.records().size())) selected_ = -1;
    }
    if (changed || retold) rebuild();
}

void PreviewWindow::open_file(const preview::Settings& settings) {
    problem_.clear();
    selected_ = -1;
    detail_.reset();
    session_ = preview::Session(kBuckets);
    const Language l = language();
    if (path_.empty()) {
        problem_ = tr2(l, "No file is loaded. Load one with “Load File” first.",
                       "Keine Datei geladen. Zuerst mit „Datei laden“ eine laden.")
                       .toStdString();
        rebuild();
        return;
    }
    const QString name = q(std::filesystem::path(path_).filename().string());
    setWindowTitle(tr2(l, "Preview – ", "Vorschau – ") + name);
    QElapsedTimer shown;
    shown.start();
    try {
        session_.open(path_, settings, [&](double done) {
            // No events run while the file is read: the line is painted as it goes.
            if (shown.elapsed() < 100) return;
            shown.start();
            summary_->setText(tr2(l, "Reading %1 … %2%", "Lese %1 … %2 %")
                                  .arg(name)
                                  .arg(static_cast<int>(done * 100)));
            summary_->repaint();
        });
    } catch (const Error& e) {
        problem_ = describe(e);
        session_ = preview::Session(kBuckets);
    }
    from_ms_ = 0;
    to_ms_ = std::max(1.0, preview::total_ms(session_));
    rebuild();
}

void PreviewWindow::rebuild() {
    const Language l = language();
    const bool open = session_.is_open();
    if (open)
        setWindowTitle(tr2(l, "Preview – ", "Vorschau – ") +
                       q(session_.path().filename().string()));
    else if (path_.empty())
        setWindowTitle(tr2(l, "Preview", "Vorschau"));
    // Double Speed's count beside a 16-bit scan at normal speed; when nothing is found
    // the reasons below say it.
    const std::string speed =
        open && !session_.records().empty() ? preview::speed_line(session_, l) : "";
    summary_->setText(
        open ? q(preview::summary_line(session_, l) + (speed.empty() ? "" : "\n") + speed)
             : q(problem_));
    disk_->setText(open ? q(preview::disk_line(session_, l)) : QString());
    disk_->setVisible(open);

    const auto& records = session_.records();
    const auto& cmp = session_.comparison();
    const bool compared = session_.disk().exists && session_.disk().problem.empty();
    std::vector<Table::Row> rows;
    rows.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        rows.push_back({records[i], static_cast<int>(i + 1),
                        compared && i < cmp.now.size() ? cmp.now[i] : preview::Match::Same});
    if (compared) {
        const auto& disk = session_.disk().records;
        for (std::size_t i = 0; i < disk.size() && i < cmp.disk.size(); ++i)
            if (cmp.disk[i] == preview::Match::OnlyOnDisk)
                rows.push_back({disk[i], 0, preview::Match::OnlyOnDisk});
    }
    table_->show(std::move(rows), compared, l);
    save_->setEnabled(!records.empty());

    const bool nothing = open && records.empty();
    why_title_->setVisible(nothing);
    why_->setVisible(nothing);
    if (nothing) {
        why_->setText(tr2(l, "Looking for the reason…", "Suche nach dem Grund…"));
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
        lines = {describe(e)};
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
    const double total = std::max(1.0, preview::total_ms(session_));
    // The closest view: a few frames, and never under a millisecond.
    const double frame_ms = session_.layout().frame_bytes > 0
                                ? session_.layout().frame_bytes / session_.bytes_per_ms()
                                : 0;
    const double least = std::min(total, std::max(1.0, 16 * frame_ms));
    double span = std::clamp(to_ms - from_ms, least, total);
    from_ms = std::clamp(from_ms, 0.0, total - span);
    from_ms_ = from_ms;
    to_ms_ = from_ms + span;
    redraw();
}

void PreviewWindow::show_whole_file() {
    show_range(0, preview::total_ms(session_));
}

void PreviewWindow::zoom(double factor, double around_ms) {
    const double span = (to_ms_ - from_ms_) * factor;
    const double share = (around_ms - from_ms_) / (to_ms_ - from_ms_);
    const double from = around_ms - share * span;
    show_range(from, from + span);
}

void PreviewWindow::scroll_by(double share) {
    const double span = to_ms_ - from_ms_;
    show_range(from_ms_ + share * span, to_ms_ + share * span);
}

void PreviewWindow::select(int row) {
    if (row < 0 || row >= table_->rowCount()) return;
    const Table::Row& r = table_->row(row);
    selected_ = r.number > 0 ? r.number - 1 : -1;
    const QModelIndex at = table_->index(row, 0);
    if (list_->currentIndex().row() != row) list_->setCurrentIndex(at);
    const double start = r.record.start_ms, end = r.record.end_ms;
    const double margin = std::max(250.0, (end - start) / 2);
    show_range(start - margin, end + margin);
}

void PreviewWindow::click_at(double x) {
    const QRect wave = picture_->wave();
    const double ms = ms_at(scene_, wave, x);
    const auto& records = session_.records();
    // The silence under the pointer, if any; records follow each other in time.
    const auto it = std::lower_bound(records.begin(), records.end(), ms,
                                     [](const GapRecord& r, double t) { return r.end_ms < t; });
    if (it == records.end() || ms < it->start_ms) return;
    selected_ = static_cast<int>(it - records.begin());
    list_->setCurrentIndex(table_->index(selected_, 0));
    list_->scrollTo(list_->currentIndex());
    redraw();
}

void PreviewWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) return void(close());
    QWidget::keyPressEvent(event);
}

void PreviewWindow::save_labels() {
    const Language l = language();
    if (session_.records().empty()) return;
    const std::string wav = session_.path().string();
    const std::string suggested = wav.substr(0, wav.size() >= 4 ? wav.size() - 4 : 0) + ".txt";
    const QString chosen = QFileDialog::getSaveFileName(
        this, tr2(l, "Save labels", "Marken speichern"), q(suggested),
        tr2(l, "Label track (*.txt);;All files (*)", "Markenspur (*.txt);;Alle Dateien (*)"));
    if (chosen.isEmpty()) return;
    const std::string problem = save_labels_to(chosen.toStdString());
    if (!problem.empty()) QMessageBox::warning(this, "Veltrane", q(problem));
}

std::string PreviewWindow::save_labels_to(const std::filesystem::path& file) {
    const std::string text = label_track(session_.records());
    try {
        write_file_atomically(
            file, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    } catch (const Error& e) {
        return describe(e);
    }
    return {};
}

PreviewLauncher::PreviewLauncher(App& app, MainWindow& main) : app_(app), main_(main) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), &main);
    connect(shortcut, &QShortcut::activated, this, &PreviewLauncher::open);

    main.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&main, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(&main_);
        menu.addAction(menu_text(), this, &PreviewLauncher::open);
        menu.exec(main_.mapToGlobal(at));
    });
    if (QWidget* name_box = main.widget("Text1")) name_box->installEventFilter(this);

    // Every handler ends in a refresh of the view: the preview hears of it there.
    std::function<void()> before = app.on_refresh;
    app.on_refresh = [before, this, alive = std::weak_ptr<bool>(alive_)] {
        if (before) before();
        if (!alive.expired()) model_changed();
    };
}

PreviewLauncher::~PreviewLauncher() = default;

QString PreviewLauncher::menu_text() const {
    return tr2(preview::language_of(app_.f().lan.caption), "Preview silences…",
               "Vorschau der Pausen…");
}

void PreviewLauncher::open() {
    if (!window_) window_ = new PreviewWindow(app_, &main_);
    window_->show();
    window_->raise();
    window_->activateWindow();
    window_->sync_once_shown();
}

bool PreviewLauncher::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick && watched == main_.widget("Text1")) {
        open();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void PreviewLauncher::model_changed() {
    if (!window_ || !window_->isVisible() || pending_) return;
    pending_ = true;
    QTimer::singleShot(0, this, [this] {
        pending_ = false;
        if (window_ && window_->isVisible()) window_->sync();
    });
}

}  // namespace veltrane
