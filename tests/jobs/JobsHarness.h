#pragma once

#include "app/JobListEditor.h"
#include "app/PreviewSlider.h"
#include "app/SegmentEditor.h"
#include "app/SkinObjects.h"
#include "core/AppState.h"
#include "tests/support/FakeSkinObject.h"
#include "tests/support/ListModels.h"
#include "tests/support/ScriptedDesktop.h"

#include <QItemSelectionModel>

#include <memory>
#include <vector>

class IAudioFile2;

// The job list and segment editor on their own, without the main window: the
// two list models, recording skin objects and a scripted desktop. Tests set
// `reader`, `readComments` and `holdCommentReader` to what they need.
struct JobsHarness : ListModels {
    JobsHarness();

    ScriptedDesktop desktop;
    FakeSkinObject pb;
    FakeSkinObject timecaption;
    FakeSkinObject tataltime;
    SkinObjects skin;
    PreviewSlider slider{skin};

    IAudioFile2* reader = nullptr;
    std::function<void(const QString&, AudioFileinfo&)> readComments;
    std::function<std::shared_ptr<void>()> holdCommentReader;
    int nameColumnWidth = 0;
    int helpVisible = -1; // -1 never set
    int focusCount = 0;
    int stopCount = 0;
    QString folderCaption;
    QString folderAnswer; // what the folder dialog hands back

    std::unique_ptr<SegmentEditor> segments;
    std::unique_ptr<JobListEditor> jobs;

    // A record as the adding makes it, appended as a new row.
    void addRecord(const QString& caption, std::int32_t duration, std::int32_t sliderRange = 1084);
    void selectFile(int row);
    void selectSegment(int row);
    int selectedFile();
    int selectedSegment();
    // Moves the slider to the position that means `seconds` in a file of
    // `duration` seconds.
    void placeSlider(std::int32_t seconds, std::int32_t duration);
    QStringList segmentRows() const;
};
