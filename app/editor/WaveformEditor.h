#pragma once

#include "app/editor/EditorPieces.h"

#include "engine/SilenceFinder.h"

#include <QThreadPool>

#include <QTimer>
#include <QWidget>
#include <atomic>

#include <cstdint>
#include <functional>
#include <memory>

class Desktop;
class OverviewStrip;
class PieceTableModel;
class Preview;
class QItemSelectionModel;
class QLabel;
class QPushButton;
class QScrollBar;
class QSplitter;
class QTableView;
class JobListModel;
class ReportListModel;
class SegmentHistory;
class SettingsFile;
class WaveformBuilder;
class WaveformCanvas;
struct AppState;

// The waveform editor: a resizable window beside the main window showing
// the file selected there, large and zoomable, with its pieces as regions
// and in a table. It works on the same job model: an edit here shows in
// the main window's segment list at once, and the other way round.
class WaveformEditor : public QWidget {
    Q_OBJECT

public:
    // What the editor borrows from the main window.
    struct Links {
        AppState& state;
        Desktop& desktop;
        JobListModel& lv;
        QItemSelectionModel& lvSelection;
        ReportListModel& lvTime;
        WaveformBuilder& builder;
        Preview& preview;
        SegmentHistory& history;
        // Shows a changed record in the main window.
        std::function<void()> changed;
        std::function<void()> stopPlayback;
        std::function<SettingsFile*()> settings;
    };

    // Settings of the window's place and size.
    static inline const QString SettingsSection = QStringLiteral("Editor");

    WaveformEditor(Links links, QWidget* parent = nullptr);
    ~WaveformEditor() override;

    WaveformCanvas& canvas() { return *canvas_; }
    QTableView& table() { return *table_; }
    QScrollBar& scrollBar() { return *scroll_; }
    OverviewStrip& strip() { return *strip_; }
    QPushButton& adoptButton() { return *adopt_; }
    // Whether the silences of the shown file under the present settings are
    // found (they are looked for off the window's thread).
    bool silencesFound() const;
    const EditorPieces& pieces() const { return pieces_; }
    QString statusText() const;

    // Brings the window up to date with the main window's selection and the
    // job model.
    void sync();
    // Places the window as it was left, or beside `main` the first time.
    void restorePlace(const QWidget& main);

    // Selects piece `row` in the waveform and the table; -1 for none.
    void select(int row);

    // The commands of the keys.
    void playOrStop();
    void playAroundCut();
    // Plays exactly the frames of piece `row` (the selected one by default).
    void playPiece(int row);
    void playSelected();
    // The split function's planned cuts become the file's own segments.
    void adoptPlan();
    void setBeginAtPlayhead();
    void setEndAtPlayhead();
    void zoomIn();
    void zoomOut();
    void zoomToSelection();
    void showWholeFile();
    void removeSelected();
    void renameSelected();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void addKey(const char* name, QList<QKeySequence> keys, std::function<void()> command,
                bool autoRepeat = false);
    // Runs an edit of the pieces, recorded as one undoable step named `text`.
    bool edit(const QString& text, const std::function<bool()>& change);
    void tick();
    void syncScrollBar();
    void showStatus(const QString& note = {});
    void savePlace();
    // Looks for the silences of the shown file when they are not at hand.
    void findSilences(const std::shared_ptr<const AudioOverview>& overview);
    // Draws a first look at the shown file until its pyramid is built.
    void sketchWhileReading(const QString& path, bool reading);
    // Gives the table the width its columns need, as far as the window allows.
    void fitTable();
    template <typename F> void guarded(F&& action);

    Links links_;
    EditorPieces pieces_;
    WaveformCanvas* canvas_ = nullptr;
    QScrollBar* scroll_ = nullptr;
    OverviewStrip* strip_ = nullptr;
    QPushButton* adopt_ = nullptr;
    QTableView* table_ = nullptr;
    PieceTableModel* model_ = nullptr;
    QLabel* status_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QTimer sync_;
    QTimer tick_;
    QString shownPath_;
    int shownFile_ = -1;
    bool syncingScroll_ = false;
    QString note_;
    bool tableFitted_ = false;

    // The silences found, and what they were found for (the overview held,
    // so another file's cannot take its place).
    struct SilenceKey {
        std::shared_ptr<const AudioOverview> overview;
        std::int32_t threshold = 0;
        std::int32_t minimumMs = 0;
        bool operator==(const SilenceKey&) const = default;
    };
    SilenceKey silenceKey_;
    SilenceKey pendingSilences_;
    std::vector<Silence> silences_;
    QThreadPool silencePool_;

    QThreadPool sketchPool_;
    QString sketchPath_;
    std::shared_ptr<std::atomic<bool>> sketchCancel_;
};
