#pragma once
// The preview's list: the silences found now, then those only in the GAP file; made
// from the session's records when shown, so that a long list costs no more than its rows.
#include <QAbstractTableModel>
#include <vector>

#include "audio/gap_file.h"
#include "preview/session.h"
#include "preview/why.h"

namespace veltrane {

class PreviewTable : public QAbstractTableModel {
  public:
    struct Row {
        GapRecord record;
        int number;  // 1 on; 0 for a record only in the file
        preview::Match match;
        bool edited = false;  // changed or made by hand
    };
    using QAbstractTableModel::QAbstractTableModel;

    // `compared`: the GAP file on disk was read, and the last column says how each row
    // stands against it.
    void show(std::vector<Row> rows, bool compared, preview::Language language);
    const Row& row(int i) const { return rows_[static_cast<std::size_t>(i)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::vector<Row> rows_;
    bool compared_ = false;
    preview::Language language_ = preview::Language::English;
};

}  // namespace veltrane
