#pragma once
// The preview's silences corrected by hand: the edit list, one undo step per edit (a
// drag is one step however often the pointer moved), and the questions the window asks
// about edits, behind an interface that the tests answer in the user's place.
#include <QString>
#include <QUndoStack>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "preview/edit_list.h"
#include "preview/session.h"

class QWidget;

namespace veltrane {

enum class Unsaved { Save, Discard, Cancel };
enum class StartFrom { Detection, GapFile, Cancel };

class EditAsker {
  public:
    virtual ~EditAsker() = default;
    // Edits of `recording` would be lost: save them first, drop them, or stay.
    virtual Unsaved unsaved(QWidget* parent, preview::Language language,
                            const QString& recording) = 0;
    // Editing starts from the silences the settings find or from the GAP file's.
    virtual StartFrom start_from(QWidget* parent, preview::Language language) = 0;
    virtual void warn(QWidget* parent, const QString& message) = 0;
    // A labels file to open; empty when the user chose none.
    virtual QString labels_file(QWidget* parent, preview::Language language,
                                const QString& folder) = 0;
};

// Message boxes and the file dialog.
class DialogAsker : public EditAsker {
  public:
    Unsaved unsaved(QWidget* parent, preview::Language language, const QString& recording) override;
    StartFrom start_from(QWidget* parent, preview::Language language) override;
    void warn(QWidget* parent, const QString& message) override;
    QString labels_file(QWidget* parent, preview::Language language,
                        const QString& folder) override;
};

// The nearest edge within `tolerance_ms` of `ms`; the later silence's start wins a tie
// with the earlier one's end, so that touching silences can still be pulled apart.
struct EdgeAt {
    std::size_t index;
    preview::Edge edge;
};
std::optional<EdgeAt> edge_at(std::span<const GapRecord> records, double ms, double tolerance_ms);

// The line about the GAP file on disk beside the edited list.
std::string edited_disk_line(const preview::DiskGap& disk, std::span<const GapRecord> edited,
                             preview::Language language);

class EditSession {
  public:
    EditSession(std::span<const GapRecord> records, std::int32_t length_ms);

    const preview::EditList& list() const { return list_; }
    // For the list's operations; what they return goes to push().
    preview::EditList& edit_list() { return list_; }
    QUndoStack& stack() { return stack_; }
    bool unsaved() const { return !stack_.isClean(); }
    // The row the last change made, undid or redid begins at.
    std::size_t last_at() const { return last_at_; }

    // Makes the change an undo step; false when there was none.
    bool push(std::optional<preview::Edit> edit);
    // Every silence replaced by `records` (read from a labels file), as one step.
    bool replace_all(std::span<const GapRecord> records);

    // A drag: the change follows the pointer, made afresh from where the drag began at
    // each move, and becomes one step when the drag ends.
    void drag_edge(std::size_t index, preview::Edge edge);
    void drag_new(std::int32_t anchor);
    bool dragging() const { return drag_.has_value(); }
    // Returns whether the list now differs from what it was at the last move.
    bool drag_to(std::int32_t t);
    void end_drag();

  private:
    class Step;
    struct Drag {
        bool adding;
        std::size_t index;
        preview::Edge edge;
        std::int32_t anchor;
    };

    preview::EditList list_;
    QUndoStack stack_;
    std::optional<Drag> drag_;
    std::optional<preview::Edit> pending_;
    std::size_t last_at_ = 0;
};

}  // namespace veltrane
