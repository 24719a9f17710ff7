#pragma once

class Desktop;
class PreviewSlider;
class QItemSelectionModel;
class JobListModel;
class ReportListModel;
struct AppState;
struct SkinObjects;

// What the window's editing pieces (the job list, the segment editor and the
// preview) share: the job model, the two lists with their selections, the
// preview slider, the skin objects and the desktop. The window, or a test,
// owns them all; the pieces only borrow them.
struct EditorContext {
    AppState& state;
    Desktop& desktop;
    JobListModel& lv;
    QItemSelectionModel& lvSelection;
    ReportListModel& lvTime;
    QItemSelectionModel& lvTimeSelection;
    PreviewSlider& slider;
    const SkinObjects& skin;
};
