#pragma once

#include "app/editor/EditorPieces.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <functional>
#include <vector>

// The editor's table of pieces: number, begin, end, length (to the
// hundredth; the frames underneath stay exact), title and artist. Begin,
// end, title and artist are typed in place; the model keeps nothing typed itself but hands
// it on, and shows the pieces again once the job model took it.
class PieceTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column {
        NumberColumn,
        BeginColumn,
        EndColumn,
        LengthColumn,
        TitleColumn,
        ArtistColumn,
        Columns
    };

    struct Hooks {
        // A new range typed for a row, in frames; false when refused.
        std::function<bool(int row, std::int64_t begin, std::int64_t end)> setRange;
        std::function<bool(int row, const QString& title)> rename;
        std::function<bool(int row, const QString& artist)> setArtist;
    };

    explicit PieceTableModel(Hooks hooks, QObject* parent = nullptr);

    void setPieces(std::vector<EditorPieces::Region> regions, std::int32_t rate, bool editable);
    const std::vector<EditorPieces::Region>& pieces() const { return regions_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    Hooks hooks_;
    std::vector<EditorPieces::Region> regions_;
    std::int32_t rate_ = 0;
    bool editable_ = false;
};
