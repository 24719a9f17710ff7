#pragma once

#include <QObject>
#include <QPointer>

class QAction;
class SegmentHistory;
class Tfm_main;
class WaveformEditor;

// Joins the waveform editor to the main window without changing its face:
// the Action menu's "Edit waveform…" item and its key, a double-click on
// the waveform strip, and undo and redo of segment edits in both windows.
class WaveformEditorHost : public QObject {
    Q_OBJECT

public:
    static inline const QString MenuCaption = QStringLiteral("Edit waveform…");
    static inline const QString NoFileMessage =
        QStringLiteral("Select a file in the file list to edit its waveform.");

    explicit WaveformEditorHost(Tfm_main& main);
    ~WaveformEditorHost() override;

    // Opens the editor on the selected file (or brings it to the front).
    void open();
    // The editor, once opened.
    WaveformEditor* editor() const;
    SegmentHistory& history() { return *history_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* addKey(const char* name, const QKeySequence& key,
                    void (WaveformEditorHost::*command)());
    void undo();
    void redo();
    // Shows a record changed by an undo or redo in the main window.
    void showChange();

    Tfm_main& main_;
    SegmentHistory* history_ = nullptr;
    QPointer<WaveformEditor> editor_;
};
