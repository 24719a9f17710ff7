#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

#include <functional>

#include <utility>
#include <vector>

// The rows of a report-style list: each row is a caption followed by its
// sub-items, one per column. The segment list is one of these; the window
// only shows it, so the runs and tests can read and change rows without a
// widget.
class ReportListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit ReportListModel(QStringList headers, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Lets the view edit these columns. An edit is not kept by the model:
    // it is handed on through textEdited, whose receiver decides what the
    // row shows.
    void setEditableColumns(QList<int> columns) { editableColumns_ = std::move(columns); }
    // Which rows may be edited at all; every row when not set.
    void setEditableRows(std::function<bool(int row)> editable) {
        editableRows_ = std::move(editable);
    }

    int count() const { return static_cast<int>(rows_.size()); }
    // Column 0 is the caption; 1.. are the sub-items. Out of range gives "".
    QString text(int row, int column) const;
    QStringList row(int row) const;

    // Returns the new row's index.
    int append(const QStringList& row);
    void insert(int row, const QStringList& texts);
    void setText(int row, int column, const QString& text);
    // A note on a row, shown under every cell's text in its tooltip; it goes
    // with the row when rows move and is gone when the row goes.
    QString note(int row) const;
    void setNote(int row, const QString& note);
    void remove(int row);
    void clear();
    // Replaces every row and its note (`notes` may be shorter). With the
    // same number of rows they change in place, so an editor open on a row
    // stays the view's own while its edit is handed on.
    void assign(std::vector<QStringList> rows, std::vector<QString> notes = {});

signals:
    void textEdited(int row, int column, const QString& text);

private:
    QList<int> editableColumns_;
    std::function<bool(int)> editableRows_;
    QStringList headers_;
    std::vector<QStringList> rows_;
    std::vector<QString> notes_; // one for every row
};
