#include "app/WindowRunHost.h"

#include "app/Tfm_main.h"
#include "app/WaveformPanel.h"
#include "app/skin/ISkinElement.h"
#include "app/skin/ISkinText.h"
#include "core/JobListModel.h"
#include "core/RowSelection.h"
#include "platform/Desktop.h"
#include "platform/Error.h"

#include <QComboBox>
#include <QTreeView>

WindowRunHost::WindowRunHost(Tfm_main& window, RunSteps* runs)
    : window_(window), runs_(runs), rows_(window.state(), window.lvTimeModel()) {}

RunContext WindowRunHost::context() {
    if (!window_.hasAudioComponents())
        throw Error(QStringLiteral("The audio components are not available."));
    if (!window_.settings())
        throw Error(QStringLiteral("The settings file is not open."));
    return RunContext{window_.state(),
                      window_.AudioFileRead(),
                      window_.AudioFile2write(),
                      window_.Mp3LameEncoder(),
                      window_.AudioTransform21(),
                      *window_.settings(),
                      window_.desktop(),
                      *this,
                      &window_.waveform().builder()};
}

void WindowRunHost::processEvents() {
    window_.desktop().processEvents();
}

int WindowRunHost::selectFileRow(int row) {
    RowSelection selection(window_.lvSelection());
    selection.select(row);
    return selection.selected();
}

void WindowRunHost::focusFileList() {
    if (window_.lv)
        window_.lv->setFocus();
}

int WindowRunHost::formatIndex() const {
    return window_.cb_format ? window_.cb_format->currentIndex() : 0;
}

void WindowRunHost::setFormatIndex(int index) {
    if (window_.cb_format)
        window_.cb_format->setCurrentIndex(index);
}

QStringList WindowRunHost::fileCaptions() const {
    const JobListModel& lv = window_.lvModel();
    QStringList captions;
    for (int row = 0; row < lv.count(); ++row)
        captions.append(lv.text(row, 0));
    return captions;
}

void WindowRunHost::RowsPlanned(const RunRows& rows) {
    rows_.ShowRunRows(rows);
}

void WindowRunHost::PieceStarted(int /*file*/, int row, int /*rows*/, const QString& note) {
    rows_.PieceStarted(row, note);
}

void WindowRunHost::PieceEnded(const RunOutcome::Piece& piece) {
    rows_.PieceEnded(piece);
}

void WindowRunHost::JoinEnded(const RunOutcome::Piece& /*piece*/) {
    // The join's rows were told one by one.
}

void WindowRunHost::JoinRowStarted(int row) {
    rows_.JoinRowStarted(row);
}

void WindowRunHost::JoinRowEnded(int row) {
    rows_.JoinRowEnded(row);
}

void WindowRunHost::RunStopped() {
    rows_.RunStopped();
}

void WindowRunHost::SetRunText(const QString& text) {
    const SkinObjects& skin = window_.skinObjects();
    if (skin.pbpos)
        skin.pbpos->SetText(text);
    if (skin.pbposElement)
        skin.pbposElement->Refresh();
}

void WindowRunHost::SetRunProgress(int v) {
    window_.SetRunProgress(v);
}

void WindowRunHost::StopPlayback() {
    window_.StopPlayback();
}

void WindowRunHost::RunCustomSplit() {
    runs().RunCustomSplit();
}

void WindowRunHost::RunTimeSplit() {
    runs().RunTimeSplit();
}

void WindowRunHost::RunSilenceSplit() {
    runs().RunSilenceSplit();
}

void WindowRunHost::RunCountSplit() {
    runs().RunCountSplit();
}

void WindowRunHost::RunUnifiedSplit() {
    runs().RunUnifiedSplit();
}

bool WindowRunHost::ChooseJoinOutput() {
    return runs().ChooseJoinOutput();
}

void WindowRunHost::RunCustomJoin() {
    runs().RunCustomJoin();
}

QString WindowRunHost::JoinedFile() const {
    if (runs_)
        return runs_->JoinedFile();
    return engine_ ? engine_->JoinedFile() : QString();
}

void WindowRunHost::RunWholeJoin() {
    runs().RunWholeJoin();
}

void WindowRunHost::UnifiAudoJoiner() {
    runs().UnifiAudoJoiner();
}

void WindowRunHost::RunEnded() {
    window_.ShowTotalTime();
}

RunSteps& WindowRunHost::runs() {
    if (runs_)
        return *runs_;
    if (!engine_) {
        context_.emplace(context());
        engine_.emplace(*context_);
    }
    return *engine_;
}
