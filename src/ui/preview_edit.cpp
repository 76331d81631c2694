#include "ui/preview_edit.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <cmath>

#include "preview/wording.h"

namespace veltrane {

namespace {

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString count(std::size_t n, preview::Language l) {
    const preview::EditWords& w = preview::edit_words(l);
    return n == 1 ? text(w.one_silence) : text(w.silences).arg(static_cast<qulonglong>(n));
}

}  // namespace

Unsaved DialogAsker::unsaved(QWidget* parent, preview::Language l, const QString& recording) {
    const preview::EditWords& w = preview::edit_words(l);
    QMessageBox box(QMessageBox::Question, text(w.unsaved_title),
                    text(w.unsaved_question).arg(recording), QMessageBox::NoButton, parent);
    QPushButton* save = box.addButton(text(w.save_answer), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(text(w.discard), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(text(w.cancel), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save) return Unsaved::Save;
    if (box.clickedButton() == discard) return Unsaved::Discard;
    return Unsaved::Cancel;
}

StartFrom DialogAsker::start_from(QWidget* parent, preview::Language l) {
    const preview::EditWords& w = preview::edit_words(l);
    QMessageBox box(QMessageBox::Question, text(w.start_title), text(w.start_question),
                    QMessageBox::NoButton, parent);
    QPushButton* settings = box.addButton(text(w.from_settings), QMessageBox::AcceptRole);
    QPushButton* file = box.addButton(text(w.from_file), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(text(w.cancel), QMessageBox::RejectRole);
    box.setDefaultButton(settings);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == settings) return StartFrom::Detection;
    if (box.clickedButton() == file) return StartFrom::GapFile;
    return StartFrom::Cancel;
}

void DialogAsker::warn(QWidget* parent, const QString& message) {
    QMessageBox::warning(parent, "Veltrane", message);
}

QString DialogAsker::labels_file(QWidget* parent, preview::Language l, const QString& folder) {
    const preview::EditWords& w = preview::edit_words(l);
    return QFileDialog::getOpenFileName(parent, text(w.open_labels_title), folder,
                                        text(w.label_files));
}

std::optional<EdgeAt> edge_at(std::span<const GapRecord> records, double ms, double tolerance_ms) {
    std::optional<EdgeAt> best;
    double best_distance = tolerance_ms;
    // Records follow each other in time: only those near `ms` are looked at.
    auto it = std::lower_bound(records.begin(), records.end(), ms - tolerance_ms,
                               [](const GapRecord& r, double t) { return r.end_ms < t; });
    for (; it != records.end() && it->start_ms <= ms + tolerance_ms; ++it) {
        const auto i = static_cast<std::size_t>(it - records.begin());
        const double to_end = std::abs(it->end_ms - ms);
        const double to_start = std::abs(it->start_ms - ms);
        if (to_end < best_distance) {
            best = EdgeAt{i, preview::Edge::End};
            best_distance = to_end;
        }
        if (to_start <= best_distance) {
            best = EdgeAt{i, preview::Edge::Start};
            best_distance = to_start;
        }
    }
    return best;
}

std::string edited_disk_line(const preview::DiskGap& disk, std::span<const GapRecord> edited,
                             preview::Language l) {
    const preview::EditWords& w = preview::edit_words(l);
    const preview::Comparison c = preview::compare(edited, disk.records);
    const QString n = count(disk.records.size(), l);
    if (c.changed == 0 && c.added == 0 && c.removed == 0)
        return text(w.as_saved).arg(n).toStdString();
    return text(w.differs)
        .arg(n)
        .arg(static_cast<qulonglong>(c.same))
        .arg(static_cast<qulonglong>(c.changed))
        .arg(static_cast<qulonglong>(c.added))
        .arg(static_cast<qulonglong>(c.removed))
        .toStdString();
}

// One edit as an undo step. The edit list has made it already when the step is pushed,
// so the first redo, which pushing runs, changes nothing.
class EditSession::Step : public QUndoCommand {
  public:
    Step(EditSession& owner, preview::Edit edit) : owner_(owner), edit_(std::move(edit)) {}
    void redo() override {
        if (!first_) owner_.list_.apply(edit_);
        first_ = false;
        owner_.last_at_ = edit_.at;
    }
    void undo() override {
        owner_.list_.revert(edit_);
        owner_.last_at_ = edit_.at;
    }

  private:
    EditSession& owner_;
    preview::Edit edit_;
    bool first_ = true;
};

EditSession::EditSession(std::span<const GapRecord> records, std::int32_t length_ms)
    : list_(records, length_ms) {}

bool EditSession::push(std::optional<preview::Edit> edit) {
    if (!edit) return false;
    stack_.push(new Step(*this, std::move(*edit)));
    return true;
}

bool EditSession::replace_all(std::span<const GapRecord> records) {
    preview::Edit edit{0, list_.silences(), {}};
    for (const GapRecord& r : records) edit.after.push_back({r, true});
    if (edit.after == edit.before) return false;
    list_.apply(edit);
    return push(std::move(edit));
}

void EditSession::drag_edge(std::size_t index, preview::Edge edge) {
    end_drag();
    drag_ = Drag{false, index, edge, 0};
}

void EditSession::drag_new(std::int32_t anchor) {
    end_drag();
    drag_ = Drag{true, 0, preview::Edge::End, anchor};
}

bool EditSession::drag_to(std::int32_t t) {
    if (!drag_) return false;
    const std::vector<preview::EditedSilence> before = list_.silences();
    if (pending_) list_.revert(*pending_);
    pending_ =
        drag_->adding ? list_.add(drag_->anchor, t) : list_.move_edge(drag_->index, drag_->edge, t);
    if (pending_) last_at_ = pending_->at;
    return list_.silences() != before;
}

void EditSession::end_drag() {
    drag_.reset();
    if (pending_) push(std::exchange(pending_, std::nullopt));
}

}  // namespace veltrane
