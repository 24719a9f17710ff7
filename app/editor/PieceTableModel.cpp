#include "app/editor/PieceTableModel.h"

#include "app/editor/TimeAxis.h"
#include "core/Segments.h"

#include <utility>

PieceTableModel::PieceTableModel(Hooks hooks, QObject* parent)
    : QAbstractTableModel(parent), hooks_(std::move(hooks)) {}

void PieceTableModel::setPieces(std::vector<EditorPieces::Region> regions, std::int32_t rate,
                                bool editable) {
    if (regions == regions_ && rate == rate_ && editable == editable_)
        return;
    if (regions.size() == regions_.size()) {
        regions_ = std::move(regions);
        rate_ = rate;
        editable_ = editable;
        if (!regions_.empty())
            emit dataChanged(index(0, 0), index(rowCount() - 1, Columns - 1));
        return;
    }
    beginResetModel();
    regions_ = std::move(regions);
    rate_ = rate;
    editable_ = editable;
    endResetModel();
}

int PieceTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(regions_.size());
}

int PieceTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Columns;
}

QVariant PieceTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const EditorPieces::Region& r = regions_[static_cast<size_t>(index.row())];
    if (role == Qt::TextAlignmentRole)
        return index.column() >= TitleColumn ? QVariant()
                                             : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    switch (index.column()) {
    case NumberColumn:
        return r.number;
    case BeginColumn:
        return TimeAxis::ClockText(r.begin, rate_);
    case EndColumn:
        return TimeAxis::ClockText(r.end, rate_);
    case LengthColumn:
        return TimeAxis::ClockText(r.end - r.begin, rate_);
    case TitleColumn:
        return r.title;
    case ArtistColumn:
        return r.artist;
    default:
        return {};
    }
}

QVariant PieceTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case NumberColumn:
        return tr("No.");
    case BeginColumn:
        return tr("Begin");
    case EndColumn:
        return tr("End");
    case LengthColumn:
        return tr("Length");
    case TitleColumn:
        return tr("Title");
    case ArtistColumn:
        return tr("Artist");
    default:
        return {};
    }
}

Qt::ItemFlags PieceTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    const int c = index.column();
    if (editable_ && (c == BeginColumn || c == EndColumn || c >= TitleColumn))
        f |= Qt::ItemIsEditable;
    return f;
}

bool PieceTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.row() >= rowCount())
        return false;
    const int row = index.row();
    const EditorPieces::Region& r = regions_[static_cast<size_t>(row)];
    const QString text = value.toString();
    if (index.column() == TitleColumn)
        return hooks_.rename && hooks_.rename(row, text);
    if (index.column() == ArtistColumn)
        return hooks_.setArtist && hooks_.setArtist(row, text);
    // What is typed as shown keeps its exact frame.
    if (text.trimmed() == data(index, Qt::DisplayRole).toString())
        return false;
    const auto frame = Segments::FrameOfClock(text, rate_);
    if (!frame || !hooks_.setRange)
        return false;
    return index.column() == BeginColumn ? hooks_.setRange(row, *frame, r.end)
                                         : hooks_.setRange(row, r.begin, *frame);
}
