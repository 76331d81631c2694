// The preview window's editing by hand: its buttons and keys, the picture's drags, the
// undo steps, saving to the GAP file, labels opened into the list, and the question
// about edits not saved.
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "base/byte_source.h"
#include "base/error.h"
#include "platform/qt/qstring.h"
#include "preview/labels.h"
#include "preview/qt/preview_picture.h"
#include "preview/wording.h"
#include "ui/preview_window.h"

namespace veltrane {

namespace {

using preview::Language;

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// How near an edge the pointer grabs it, in pixels.
constexpr double kGrabPx = 4;

}  // namespace

QHBoxLayout* PreviewWindow::set_up_editing() {
    edit_ = new QPushButton(this);
    back_ = new QPushButton(this);
    save_gap_ = new QPushButton(this);
    undo_ = new QPushButton(this);
    redo_ = new QPushButton(this);
    open_labels_ = new QPushButton(this);
    connect(edit_, &QPushButton::clicked, this, &PreviewWindow::edit);
    connect(back_, &QPushButton::clicked, this, &PreviewWindow::back_to_detection);
    connect(save_gap_, &QPushButton::clicked, this, &PreviewWindow::save_edits);
    connect(undo_, &QPushButton::clicked, this, [this] {
        if (edits_ && !edits_->dragging()) edits_->stack().undo();
    });
    connect(redo_, &QPushButton::clicked, this, [this] {
        if (edits_ && !edits_->dragging()) edits_->stack().redo();
    });
    connect(open_labels_, &QPushButton::clicked, this, &PreviewWindow::open_labels);

    const auto key = [this](QKeySequence sequence, auto&& act) {
        auto* s = new QShortcut(sequence, this);
        connect(s, &QShortcut::activated, this, act);
    };
    key(QKeySequence(Qt::Key_E), [this] { edit(); });
    key(QKeySequence(Qt::Key_Delete), [this] { remove_selected(); });
    key(QKeySequence(Qt::Key_M), [this] { merge_selected(); });
    key(QKeySequence(Qt::Key_S), [this] { split_selected(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { undo_->click(); });
    key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] { redo_->click(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_S), [this] {
        if (edits_) save_edits();
    });
    key(QKeySequence(Qt::CTRL | Qt::Key_O), [this] { open_labels(); });

    auto* row = new QHBoxLayout;
    row->addWidget(edit_);
    row->addWidget(undo_);
    row->addWidget(redo_);
    row->addWidget(save_gap_);
    row->addWidget(back_);
    row->addStretch(1);
    row->addWidget(open_labels_);
    return row;
}

void PreviewWindow::retranslate_editing() {
    if (!edit_) return;
    const preview::EditWords& w = preview::edit_words(language());
    const bool on = edits_ != nullptr;
    edit_->setText(text(w.edit));
    back_->setText(text(w.back));
    save_gap_->setText(text(w.save));
    undo_->setText(text(w.undo) + " (" +
                   QKeySequence(Qt::CTRL | Qt::Key_Z).toString(QKeySequence::NativeText) + ")");
    redo_->setText(
        text(w.redo) + " (" +
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z).toString(QKeySequence::NativeText) + ")");
    open_labels_->setText(text(w.open_labels));
    edit_->setVisible(!on);
    edit_->setEnabled(session_.is_open());
    open_labels_->setEnabled(session_.is_open());
    for (QPushButton* b : {back_, save_gap_, undo_, redo_}) b->setVisible(on);
    if (on) {
        undo_->setEnabled(edits_->stack().canUndo());
        redo_->setEnabled(edits_->stack().canRedo());
        const std::size_t changed = static_cast<std::size_t>(
            std::count_if(edits_->list().silences().begin(), edits_->list().silences().end(),
                          [](const preview::EditedSilence& s) { return s.edited; }));
        const std::size_t n = edited_records_.size();
        summary_->setText(text(w.editing)
                              .arg(n == 1 ? text(w.one_silence)
                                          : text(w.silences).arg(static_cast<qulonglong>(n)))
                              .arg(static_cast<qulonglong>(changed)));
        if (session_.is_open())
            setWindowTitle(text(preview::window_words(language()).title) +
                           q(session_.path().filename().string()) +
                           (edits_->unsaved() ? " *" : ""));
    }
    hint_->setText(text(on ? w.hint : preview::window_words(language()).hint));
}

const std::vector<GapRecord>& PreviewWindow::records_shown() const {
    return edits_ ? edited_records_ : session_.records();
}

void PreviewWindow::edit() {
    if (edits_ || !session_.is_open()) return;
    const preview::DiskGap& disk = session_.disk();
    bool from_file = false;
    if (disk.exists && disk.problem.empty() && disk.records != session_.records()) {
        asking_ = true;
        const StartFrom choice = asker_->start_from(this, language());
        asking_ = false;
        if (choice == StartFrom::Cancel) return;
        from_file = choice == StartFrom::GapFile;
    }
    start_editing(from_file);
}

void PreviewWindow::start_editing(bool from_gap_file) {
    if (!session_.is_open()) return;
    const std::vector<GapRecord>& start = from_gap_file && session_.disk().problem.empty()
                                              ? session_.disk().records
                                              : session_.records();
    edits_ = std::make_unique<EditSession>(
        start, preview::recording_ms(session_.file_size(), session_.header()));
    connect(&edits_->stack(), &QUndoStack::indexChanged, this, [this] {
        selected_ = static_cast<int>(edits_->last_at());
        edited();
    });
    connect(&edits_->stack(), &QUndoStack::cleanChanged, this, &PreviewWindow::retranslate_editing);
    edited();
}

void PreviewWindow::edited() {
    if (!edits_) return;
    edited_records_ = edits_->list().records();
    const int n = static_cast<int>(edited_records_.size());
    selected_ = n == 0 ? -1 : std::clamp(selected_, -1, n - 1);
    rebuild();
}

void PreviewWindow::end_editing() {
    if (!edits_) return;
    // The stack tells of its steps going as it goes: nobody listens any more.
    QObject::disconnect(&edits_->stack(), nullptr, this, nullptr);
    edits_.reset();
    edited_records_.clear();
    declined_path_.clear();
    selected_ = -1;
}

bool PreviewWindow::settle_edits() {
    if (!edits_ || !edits_->unsaved()) return true;
    asking_ = true;
    const Unsaved answer =
        asker_->unsaved(this, language(), q(session_.path().filename().string()));
    asking_ = false;
    if (answer == Unsaved::Save) return save_edits();
    return answer == Unsaved::Discard;
}

bool PreviewWindow::edits_may_follow(const std::string& path, bool retold) {
    if (asking_) return false;  // the question is still open
    if (path != path_) {
        // Another file: edits saved go, unsaved ones are asked about once per file.
        if (edits_->unsaved() && path == declined_path_) return false;
        if (!settle_edits()) {
            declined_path_ = path;
            return false;
        }
        end_editing();
        return true;
    }
    declined_path_.clear();
    if (retold && edits_->unsaved()) {
        // Cancel keeps editing in the new language.
        asking_ = true;
        const Unsaved answer =
            asker_->unsaved(this, language(), q(session_.path().filename().string()));
        asking_ = false;
        if (answer == Unsaved::Save)
            save_edits();
        else if (answer == Unsaved::Discard)
            end_editing();
    }
    return true;
}

void PreviewWindow::back_to_detection() {
    if (!edits_ || !settle_edits()) return;
    end_editing();
    rebuild();
}

bool PreviewWindow::save_edits() {
    if (!edits_ || !session_.is_open()) return false;
    try {
        // The recording is never written over, whatever the GAP file's name leads to.
        const FileSource wav(session_.path());
        write_gap_file(gap_path(session_.path().string()), edited_records_, wav.id());
    } catch (const Error& e) {
        asker_->warn(this,
                     text(preview::edit_words(language()).not_saved)
                         .arg(q(describe(e, language() == Language::German ? Wording::German
                                                                           : Wording::English))));
        return false;
    }
    edits_->stack().setClean();
    try {
        session_.update(session_.settings());  // reads the GAP file just written
    } catch (const Error&) {
    }
    rebuild();
    // Another file the user stayed away from for these edits is shown now.
    if (!declined_path_.empty()) QTimer::singleShot(0, this, &PreviewWindow::sync);
    return true;
}

void PreviewWindow::remove_selected() {
    if (edits_ && selected_ >= 0 && !edits_->dragging())
        edits_->push(edits_->edit_list().remove(static_cast<std::size_t>(selected_)));
}

void PreviewWindow::merge_selected() {
    if (edits_ && selected_ >= 0 && !edits_->dragging())
        edits_->push(edits_->edit_list().merge(static_cast<std::size_t>(selected_)));
}

void PreviewWindow::split_selected() {
    if (!edits_ || selected_ < 0 || !cursor_ms_ || edits_->dragging()) return;
    const auto at = static_cast<std::int32_t>(std::lround(*cursor_ms_));
    edits_->push(edits_->edit_list().split(static_cast<std::size_t>(selected_), at));
}

void PreviewWindow::nudge(int delta_ms) {
    if (edits_ && selected_ >= 0 && !edits_->dragging())
        edits_->push(
            edits_->edit_list().nudge(static_cast<std::size_t>(selected_), edge_, delta_ms));
}

bool PreviewWindow::nudge_key(int key, bool shift) {
    if (!edits_ || selected_ < 0 || (key != Qt::Key_Left && key != Qt::Key_Right)) return false;
    nudge((key == Qt::Key_Left ? -1 : 1) * (shift ? 10 : 1));
    return true;
}

bool PreviewWindow::over_edge(double x) const {
    if (!edits_) return false;
    const QRect wave = wave_rect();
    const double ms = ms_at(scene_, wave, x);
    return edge_at(edited_records_, ms, ms_at(scene_, wave, x + kGrabPx) - ms).has_value();
}

bool PreviewWindow::press_at(double x, bool add) {
    if (!edits_ || !session_.is_open()) return false;
    const QRect wave = wave_rect();
    const double ms = ms_at(scene_, wave, x);
    if (!add) {
        const std::optional<EdgeAt> at =
            edge_at(edited_records_, ms, ms_at(scene_, wave, x + kGrabPx) - ms);
        if (!at) return false;
        selected_ = static_cast<int>(at->index);
        edge_ = at->edge;
        edits_->drag_edge(at->index, at->edge);
        list_to_selection();
        redraw();
        return true;
    }
    edits_->drag_new(static_cast<std::int32_t>(std::lround(std::max(0.0, ms))));
    edge_ = preview::Edge::End;
    return true;
}

bool PreviewWindow::drag_at(double x) {
    if (!edits_ || !edits_->dragging()) return false;
    const double ms = std::max(0.0, ms_at(scene_, wave_rect(), x));
    if (edits_->drag_to(static_cast<std::int32_t>(std::lround(ms)))) {
        selected_ = static_cast<int>(edits_->last_at());
        edited();
    }
    return true;
}

void PreviewWindow::release() {
    if (edits_ && edits_->dragging()) edits_->end_drag();
}

void PreviewWindow::show_edits_in(preview::Scene& scene) const {
    const preview::Comparison cmp = preview::compare(edited_records_, session_.disk().records);
    scene.now = edited_records_;
    scene.now_marks = cmp.now;
    scene.disk_marks = cmp.disk;
    scene.now_edited.clear();
    for (const preview::EditedSilence& s : edits_->list().silences())
        scene.now_edited.push_back(s.edited);
}

void PreviewWindow::open_labels() {
    if (!session_.is_open()) return;
    asking_ = true;
    const QString chosen =
        asker_->labels_file(this, language(), q(session_.path().parent_path().string()));
    asking_ = false;
    if (chosen.isEmpty()) return;
    const std::string problem = open_labels_from(chosen.toStdString());
    if (!problem.empty()) asker_->warn(this, q(problem));
}

std::string PreviewWindow::open_labels_from(const std::filesystem::path& file) {
    if (!session_.is_open()) return {};
    // The form by the name's ending, as dump names them.
    std::string ending = file.extension().string();
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const preview::LabelFormat format = ending == ".csv"    ? preview::LabelFormat::Csv
                                        : ending == ".json" ? preview::LabelFormat::Json
                                                            : preview::LabelFormat::Labels;
    const preview::EditWords& w = preview::edit_words(language());
    std::vector<std::uint8_t> bytes;
    try {
        FileSource source(file);
        bytes.resize(static_cast<std::size_t>(source.size()));
        bytes.resize(source.read_at(0, bytes));
    } catch (const Error& e) {
        return describe(e, language() == Language::German ? Wording::German : Wording::English);
    }
    const preview::LabelsRead labels = preview::parse_labels(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), format,
        preview::recording_ms(session_.file_size(), session_.header()));
    if (labels.problem)
        return text(w.refused)
            .arg(q(file.filename().string()))
            .arg(static_cast<qulonglong>(labels.problem->line))
            .arg(q(labels.problem->cause))
            .toStdString();
    if (!edits_) start_editing(false);
    edits_->replace_all(labels.records);
    return {};
}

}  // namespace veltrane
