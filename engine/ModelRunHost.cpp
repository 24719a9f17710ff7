#include "engine/ModelRunHost.h"

#include "platform/Desktop.h"

#include <QItemSelectionModel>

#include <utility>

ModelRunHost::ModelRunHost(Desktop& desktop, QItemSelectionModel& lvSelection, int formatIndex)
    : desktop_(desktop), lvSelection_(lvSelection), formatIndex_(formatIndex) {}

void ModelRunHost::processEvents() {
    desktop_.processEvents();
}

int ModelRunHost::selectFileRow(int row) {
    const QAbstractItemModel* model = lvSelection_.model();
    if (!model || row < 0 || row >= model->rowCount())
        return -1;
    const QModelIndex index = model->index(row, 0);
    lvSelection_.setCurrentIndex(index,
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const QModelIndexList rows = lvSelection_.selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

QStringList ModelRunHost::fileCaptions() const {
    QStringList captions;
    if (const QAbstractItemModel* model = lvSelection_.model())
        for (int row = 0; row < model->rowCount(); ++row)
            captions.append(model->index(row, 0).data().toString());
    return captions;
}

void ModelRunHost::PieceEnded(const RunOutcome::Piece& piece) {
    outcome_.pieces.push_back(piece);
}

RunOutcome ModelRunHost::takeOutcome() {
    return std::exchange(outcome_, {});
}
