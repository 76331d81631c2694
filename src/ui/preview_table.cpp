#include "ui/preview_table.h"

#include <QColor>
#include <QString>

#include "preview/wording.h"

namespace veltrane {

using preview::Match;

void PreviewTable::show(std::vector<Row> rows, bool compared, preview::Language language) {
    beginResetModel();
    rows_ = std::move(rows);
    compared_ = compared;
    language_ = language;
    endResetModel();
}

int PreviewTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int PreviewTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 5;
}

QVariant PreviewTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Row& r = row(index.row());
    if (role == Qt::DisplayRole) {
        const preview::WindowWords& w = preview::window_words(language_);
        switch (index.column()) {
            case 0:
                // Edited by hand: a star beside the number.
                return r.number > 0 ? QString::number(r.number) + (r.edited ? " *" : "")
                                    : QString("–");
            case 1:
                return QString::number(r.record.start_ms);
            case 2:
                return QString::number(r.record.end_ms);
            case 3:
                return QString::number(std::int64_t{r.record.end_ms} - r.record.start_ms);
            default:
                if (!compared_) return QString();
                return QString::fromUtf8(r.match == Match::Same      ? w.same
                                         : r.match == Match::Changed ? w.moved
                                         : r.match == Match::New     ? w.added
                                                                     : w.only_in_file);
        }
    }
    if (role == Qt::ToolTipRole && r.edited)
        return QString::fromUtf8(preview::edit_words(language_).edited);
    if (role == Qt::TextAlignmentRole && index.column() < 4)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ForegroundRole && compared_ && r.match != Match::Same)
        return QColor(r.match == Match::Changed ? QColor(160, 110, 0)
                      : r.match == Match::New   ? QColor(200, 70, 0)
                                                : QColor(200, 30, 30));
    return {};
}

QVariant PreviewTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    const preview::WindowWords& w = preview::window_words(language_);
    switch (section) {
        case 0:
            return QString("#");
        case 1:
            return QString::fromUtf8(w.start);
        case 2:
            return QString::fromUtf8(w.end);
        case 3:
            return QString::fromUtf8(w.length);
        default:
            return QString::fromUtf8(w.gap_file);
    }
}

}  // namespace veltrane
