#include "core/JobListModel.h"

#include "platform/CleanTitle.h"
#include "platform/FormatTime.h"

#include <algorithm>
#include <cmath>
#include <utility>

JobListModel::JobListModel(std::vector<listrecord>& jobs, QObject* parent)
    : QAbstractTableModel(parent), jobs_(jobs) {}

int JobListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

int JobListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant JobListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    return text(index.row(), index.column());
}

QVariant JobListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case CaptionColumn:
        return QStringLiteral("File name");
    case TimeColumn:
        return QStringLiteral("Time");
    default:
        return {};
    }
}

QString JobListModel::text(int row, int column) const {
    if (row < 0 || row >= count())
        return {};
    const listrecord& job = jobs_[static_cast<size_t>(row)];
    switch (column) {
    case CaptionColumn:
        return job.Caption;
    case TimeColumn:
        return FormatTime(job.Duration);
    case SizeColumn:
        return SizeText(job.FileBytes);
    default:
        return {};
    }
}

QStringList JobListModel::row(int row) const {
    if (row < 0 || row >= count())
        return {};
    return {text(row, CaptionColumn), text(row, TimeColumn), text(row, SizeColumn)};
}

int JobListModel::append(listrecord job) {
    const int row = count();
    beginInsertRows({}, row, row);
    jobs_.push_back(std::move(job));
    endInsertRows();
    return row;
}

void JobListModel::remove(int row) {
    if (row < 0 || row >= count())
        return;
    beginRemoveRows({}, row, row);
    jobs_.erase(jobs_.begin() + row);
    endRemoveRows();
}

void JobListModel::swap(int a, int b) {
    if (a < 0 || b < 0 || a >= count() || b >= count() || a == b)
        return;
    // The rows stay where they are and show each other's job, as a swap of
    // their texts would: a selection stays on its row.
    std::swap(jobs_[static_cast<size_t>(a)], jobs_[static_cast<size_t>(b)]);
    emit dataChanged(index(std::min(a, b), 0), index(std::max(a, b), columnCount() - 1));
}

void JobListModel::clear() {
    if (jobs_.empty())
        return;
    beginResetModel();
    jobs_.clear();
    endResetModel();
}

void JobListModel::assign(std::vector<listrecord> jobs) {
    beginResetModel();
    jobs_ = std::move(jobs);
    endResetModel();
}

void JobListModel::setTags(int row, const AudioFileinfo& tags) {
    if (row < 0 || row >= count())
        return;
    listrecord& job = jobs_[static_cast<size_t>(row)];
    job.Tags = tags;
    if (const QString caption = TitleCaption(tags.Title); !caption.isEmpty())
        job.Caption = caption;
    changed(row);
}

void JobListModel::setCaption(int row, const QString& caption) {
    if (row < 0 || row >= count())
        return;
    jobs_[static_cast<size_t>(row)].Caption = caption;
    changed(row);
}

void JobListModel::changed(int row) {
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

QString JobListModel::TitleCaption(const QString& title) {
    return CleanTitle(title).trimmed();
}

QString JobListModel::SizeText(qint64 bytes) {
    const double megabytes = static_cast<double>(std::max<qint64>(bytes, 0)) / 1024.0 / 1024.0;
    // Five significant digits, shown with two decimals.
    const int integerDigits =
        megabytes < 1.0 ? 1 : static_cast<int>(std::floor(std::log10(megabytes))) + 1;
    const int decimals = std::clamp(5 - integerDigits, 0, 2);
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(megabytes * scale) / scale;
    return QString::number(rounded, 'f', 2) + QStringLiteral("MB");
}
