#include "core/ReportListModel.h"

#include <utility>

ReportListModel::ReportListModel(QStringList headers, QObject* parent)
    : QAbstractTableModel(parent), headers_(std::move(headers)) {}

int ReportListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

int ReportListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QVariant ReportListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::EditRole))
        return {};
    const QString cell = text(index.row(), index.column());
    if (role == Qt::ToolTipRole && !note(index.row()).isEmpty())
        return cell + QLatin1Char('\n') + note(index.row());
    return cell;
}

QVariant ReportListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return headers_.value(section);
}

Qt::ItemFlags ReportListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && editableColumns_.contains(index.column()) &&
        (!editableRows_ || editableRows_(index.row())))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool ReportListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    emit textEdited(index.row(), index.column(), value.toString());
    return true;
}

QString ReportListModel::text(int row, int column) const {
    if (row < 0 || row >= count())
        return {};
    return rows_[static_cast<size_t>(row)].value(column);
}

QStringList ReportListModel::row(int row) const {
    if (row < 0 || row >= count())
        return {};
    return rows_[static_cast<size_t>(row)];
}

int ReportListModel::append(const QStringList& texts) {
    insert(count(), texts);
    return count() - 1;
}

void ReportListModel::insert(int row, const QStringList& texts) {
    if (row < 0 || row > count())
        return;
    beginInsertRows({}, row, row);
    rows_.insert(rows_.begin() + row, texts);
    notes_.insert(notes_.begin() + row, QString());
    endInsertRows();
}

void ReportListModel::setText(int row, int column, const QString& text) {
    if (row < 0 || row >= count() || column < 0)
        return;
    QStringList& texts = rows_[static_cast<size_t>(row)];
    while (texts.size() <= column)
        texts.append(QString());
    texts[column] = text;
    emit dataChanged(index(row, column), index(row, column));
}

QString ReportListModel::note(int row) const {
    if (row < 0 || row >= count())
        return {};
    return notes_[static_cast<size_t>(row)];
}

void ReportListModel::setNote(int row, const QString& note) {
    if (row < 0 || row >= count())
        return;
    notes_[static_cast<size_t>(row)] = note;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1), {Qt::ToolTipRole});
}

void ReportListModel::remove(int row) {
    if (row < 0 || row >= count())
        return;
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    notes_.erase(notes_.begin() + row);
    endRemoveRows();
}

void ReportListModel::clear() {
    if (rows_.empty())
        return;
    beginResetModel();
    rows_.clear();
    notes_.clear();
    endResetModel();
}

void ReportListModel::assign(std::vector<QStringList> rows, std::vector<QString> notes) {
    notes.resize(rows.size());
    if (rows.size() != rows_.size()) {
        beginResetModel();
        rows_ = std::move(rows);
        notes_ = std::move(notes);
        endResetModel();
        return;
    }
    for (size_t r = 0; r < rows.size(); ++r) {
        const int row = static_cast<int>(r);
        if (rows_[r] != rows[r]) {
            rows_[r] = std::move(rows[r]);
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        }
        if (notes_[r] != notes[r])
            setNote(row, notes[r]);
    }
}
