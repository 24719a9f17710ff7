#pragma once

// The real main window with the waveform editor opened beside it on the
// real recording, and the ways the editor's tests drive it: the mouse on
// the waveform, keys, the table typed in, undo and redo.
#include "app/editor/WaveformCanvas.h"
#include "app/editor/WaveformEditor.h"
#include "tests/support/MainWindowFixture.h"

#include <QString>

#include <cstdint>

struct listrecord;

class EditorWindowFixture : public MainWindowFixture {
public:
    // How long a wait on the window may take on a busy machine.
    static constexpr int Deadline = 60000;

protected:
    // The main window on `skin` with the real recording added and selected.
    void SetUp() override;
    QString skin() const;

    WaveformEditor& editor();
    WaveformCanvas& canvas() { return editor().canvas(); }
    listrecord& record();

    // Opens the editor from the Action menu and waits for its waveform.
    void openEditor();
    void focusEditor();
    void key(QWidget* target, Qt::Key k, Qt::KeyboardModifiers m = {});
    // Where `frame` lies on the canvas, and a height within its lanes.
    int xOf(std::int64_t frame);
    int laneY() const { return WaveformCanvas::RulerHeight + WaveformCanvas::TitleHeight + 40; }
    // A drag across the lanes, or on any widget, through a point between.
    void drag(int fromX, int toX, Qt::KeyboardModifiers m = {});
    void drag(QWidget* on, QPoint from, QPoint to, Qt::KeyboardModifiers m = {});
    // Types `text` into column `column` of the table's row `row` through
    // its editor, as a user does.
    void typeInTable(int row, int column, const QString& text);
    void undo() { key(&canvas(), Qt::Key_Z, Qt::ControlModifier); }
    void redo() { key(&canvas(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); }
    // With TARNWELL_SCREENSHOT_DIR set, saves the editor there as `name`.
    void shoot(const QString& name);

    QString path;
    std::int32_t rate = 0;
};
