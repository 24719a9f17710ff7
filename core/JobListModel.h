#pragma once

#include "core/AudioFileinfo.h"
#include "core/listrecord.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <vector>

// The file list `lv` as a view of the job list: row k is JobList[k], its
// caption, time and size read from that job whenever they are shown. Every
// change that adds, removes or reorders jobs while a view shows them goes
// through here, so a row can never show one file while its job is another's.
class JobListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // Column 0 is the caption, 1 the time; the size travels with the row but
    // is not shown.
    enum Column { CaptionColumn = 0, TimeColumn = 1, SizeColumn = 2 };

    explicit JobListModel(std::vector<listrecord>& jobs, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    int count() const { return static_cast<int>(jobs_.size()); }
    // The row's caption, time or size text; out of range gives "".
    QString text(int row, int column) const;
    QStringList row(int row) const;
    const std::vector<listrecord>& jobs() const { return jobs_; }

    // Returns the new row's index.
    int append(listrecord job);
    void remove(int row);
    void swap(int a, int b);
    void clear();
    // Exactly these jobs, in this order.
    void assign(std::vector<listrecord> jobs);
    // New tags for the row's job; a title that can name a file becomes the
    // caption, any other leaves the caption as it was.
    void setTags(int row, const AudioFileinfo& tags);
    void setCaption(int row, const QString& caption);

    // The caption a title gives: without the characters a file name cannot
    // hold and without blanks at either end; empty when nothing is left.
    static QString TitleCaption(const QString& title);
    // A size in bytes as megabytes: 3690987 gives "3.52MB".
    static QString SizeText(qint64 bytes);

private:
    void changed(int row);

    std::vector<listrecord>& jobs_;
};
