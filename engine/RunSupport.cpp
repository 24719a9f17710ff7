#include "engine/RunSupport.h"

#include "core/AppState.h"
#include "core/ReportListModel.h"
#include "core/Segments.h"
#include "engine/RunHost.h"
#include "engine/audio/IAudioFile2.h"
#include "platform/Desktop.h"
#include "platform/Error.h"

#include <QUrl>

#include <algorithm>
#include <utility>

namespace {

constexpr int StatusColumn = 2;

} // namespace

void RunSupport::StopRun(AppState& state, RunHost& host, ReportListModel& lvTime) {
    state.Busy = false;
    // A run that failed left its piece at "Converting" and its percentage on
    // screen; a run still going marks its piece itself once it notices.
    ResetProgress(host);
    for (const auto& [row, status] : state.ConvertingRows)
        if (row < lvTime.count() && lvTime.text(row, StatusColumn) == SegmentStatus::Converting)
            lvTime.setText(row, StatusColumn, status);
    state.ConvertingRows.clear();
    // Rows a run made itself (a whole join's) had no status before.
    for (int row = 0; row < lvTime.count(); ++row)
        if (lvTime.text(row, StatusColumn) == SegmentStatus::Converting)
            lvTime.setText(row, StatusColumn, SegmentStatus::Unconvert);
}

void RunSupport::OpenOutputFolder(Desktop& desktop, const QString& outputDir) {
    desktop.openOrTell(QUrl::fromLocalFile(outputDir), QStringLiteral("the output folder"));
}

RunSupport::WorkingRows RunSupport::ApplyWorkingRowStep(ReportListModel& lvTime) {
    if (lvTime.count() == 1) {
        lvTime.setText(0, StatusColumn, SegmentStatus::Confirmed);
        return {1, false};
    }
    if (lvTime.count() == 0)
        return {0, false};
    lvTime.remove(lvTime.count() - 1);
    return {lvTime.count(), true};
}

void RunSupport::CloseQuietly(IAudioFile2& component) {
    try {
        if (component.IsOpen())
            component.Close();
    } catch (...) {
        // The first failure is the one the user sees.
    }
}

void RunSupport::ResetProgress(RunHost& host) {
    host.SetRunText(QString());
    host.SetRunProgress(0);
}

void RunSupport::RequireEnd(IAudioFile2& reader, const QString& file, qint64 position) {
    const qint64 frames = reader.SampleCount();
    if (position >= frames)
        return;
    const qint64 second = position / std::max(reader.SampleRate(), 1);
    throw Error(QStringLiteral("Cannot read %1 at second %2: the audio stopped before the end "
                               "of the file; it may have been changed or damaged")
                    .arg(file)
                    .arg(second));
}

QString RunSupport::ReasonOf(std::exception_ptr error) {
    try {
        std::rethrow_exception(std::move(error));
    } catch (const Error& e) {
        return e.message();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
    }
    return {};
}
