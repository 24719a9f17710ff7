#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class Desktop;
class QLineEdit;
class QMimeData;
class QWidget;

// Files and folders dropped on the window: audio files and folders go to the
// file list, everything else is named in one message. Text or a folder
// dropped on the output folder field sets the output folder when it names
// a folder.
class DropHandler : public QObject {
    Q_OBJECT

public:
    struct Hooks {
        // Adds files and folders as the command line does.
        std::function<void(const QStringList& paths)> addFiles;
        std::function<void(const QString& folder)> setOutputFolder;
        // Marks the segments a cue sheet or label file gives.
        std::function<void(const QString& sheet)> importSegments = {};
    };

    DropHandler(Desktop& desktop, Hooks hooks, QObject* parent = nullptr);

    // Takes file drops on `widget`.
    void watch(QWidget* widget);
    // Takes folder drops on the output folder field, and file drops as the
    // rest of the window does.
    void watchOutputField(QLineEdit* field);
    // Takes a cue sheet or label file dropped on the segment list as the
    // selected file's segments, and other drops as the rest of the window does.
    void watchSegmentList(QWidget* list);

    // The one cue sheet or label file that dropped data names; empty when
    // it names anything else.
    static QString sheetOf(const QMimeData& data);
    // The folder that dropped data names: one local folder, or text holding
    // the path or "file:" address of one. Empty when it names none.
    static QString folderOf(const QMimeData& data);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool takesFiles(const QMimeData& data) const;
    void dropFiles(const QMimeData& data);

    Desktop& desktop_;
    Hooks hooks_;
    QLineEdit* outputField_ = nullptr;
    QWidget* segmentList_ = nullptr;
};
