#include "core/RowSelection.h"

#include <QAbstractItemModel>
#include <QItemSelectionModel>

#include <algorithm>

RowSelection::RowSelection(QItemSelectionModel& selection) : selection_(selection) {}

int RowSelection::selected() const {
    const QModelIndexList rows = selection_.selectedRows();
    if (rows.isEmpty())
        return -1;
    int first = rows.front().row();
    for (const QModelIndex& index : rows)
        first = std::min(first, index.row());
    return first;
}

int RowSelection::selectedBelow(int rows) const {
    const int row = selected();
    return row < rows ? row : -1;
}

void RowSelection::select(int row) {
    const QAbstractItemModel* model = selection_.model();
    if (!model || row < 0 || row >= model->rowCount()) {
        clear();
        return;
    }
    const QModelIndex index = model->index(row, 0);
    selection_.setCurrentIndex(index,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void RowSelection::clear() {
    selection_.clearSelection();
}
