#include "tests/jobs/JobsHarness.h"

#include "core/RowSelection.h"
#include "platform/MulDiv.h"

JobsHarness::JobsHarness() {
    skin.pb = &pb;
    skin.pbElement = &pb;
    skin.timecaption = &timecaption;
    skin.timecaptionElement = &timecaption;
    skin.tataltime = &tataltime;
    skin.tataltimeElement = &tataltime;

    const EditorContext editors{state,  desktop,         lv,     lvSelection,
                                lvTime, lvTimeSelection, slider, skin};
    segments = std::make_unique<SegmentEditor>(
        editors,
        SegmentEditor::Hooks{[this] { jobs->ShowTotalTime(); }, [this] { jobs->lvClick(); }});

    JobListEditor::Hooks hooks;
    hooks.reader = [this] { return reader; };
    hooks.readComments = [this](const QString& file, AudioFileinfo& tags) {
        if (readComments)
            readComments(file, tags);
    };
    hooks.holdCommentReader = [this] { return holdCommentReader ? holdCommentReader() : nullptr; };
    hooks.showFolderDialog = [this](const QString& caption) {
        folderCaption = caption;
        state.ChosenFolder = folderAnswer;
    };
    hooks.stopPlayback = [this] {
        ++stopCount;
        state.Playing = false;
    };
    hooks.setNameColumnWidth = [this](int width) { nameColumnWidth = width; };
    hooks.setHelpVisible = [this](bool visible) { helpVisible = visible ? 1 : 0; };
    hooks.focusFileList = [this] { ++focusCount; };
    jobs = std::make_unique<JobListEditor>(editors, *segments, hooks);
}

void JobsHarness::addRecord(const QString& caption, std::int32_t duration,
                            std::int32_t sliderRange) {
    listrecord record;
    record.FileName = QStringLiteral("/music/") + caption + QStringLiteral(".ogg");
    record.Caption = caption;
    record.FileBytes = 1024 * 1024;
    record.Duration = duration;
    record.SliderRange = sliderRange;
    record.SampleCount = duration * 44100;
    record.SampleRate = 44100;
    record.BeginTimes = {0};
    record.EndTimes = {duration};
    lv.append(record);
}

void JobsHarness::selectFile(int row) {
    RowSelection(lvSelection).select(row);
}

void JobsHarness::selectSegment(int row) {
    RowSelection(lvTimeSelection).select(row);
}

int JobsHarness::selectedFile() {
    return RowSelection(lvSelection).selected();
}

int JobsHarness::selectedSegment() {
    return RowSelection(lvTimeSelection).selected();
}

void JobsHarness::placeSlider(std::int32_t seconds, std::int32_t duration) {
    pb.SetPosition(MulDiv(seconds, slider.UsableRange(), duration));
}

QStringList JobsHarness::segmentRows() const {
    QStringList rows;
    for (int r = 0; r < lvTime.count(); ++r)
        rows.append(lvTime.row(r).join(QLatin1Char('|')));
    return rows;
}
