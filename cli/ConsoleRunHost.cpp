#include "cli/ConsoleRunHost.h"
#include "core/Segments.h"

#include "app/SegmentEditor.h"
#include "core/ReportListModel.h"
#include "core/RowSelection.h"
#include "platform/Desktop.h"

#include <cstdio>
#include <utility>

namespace {

constexpr int StatusColumn = 2;

} // namespace

ConsoleRunHost::ConsoleRunHost(Desktop& desktop, QItemSelectionModel& lvSelection,
                               const ReportListModel& lvTime, bool showProgress)
    : desktop_(desktop), lvSelection_(lvSelection), lvTime_(lvTime), show_(showProgress) {}

ConsoleRunHost::~ConsoleRunHost() {
    clearLine();
}

void ConsoleRunHost::clearLine() {
    if (!lineShown_)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    lineShown_ = false;
    shownLine_.clear();
}

void ConsoleRunHost::processEvents() {
    desktop_.processEvents();
}

int ConsoleRunHost::selectFileRow(int row) {
    RowSelection selection(lvSelection_);
    selection.select(row);
    return selection.selected();
}

void ConsoleRunHost::SetRunText(const QString& text) {
    if (!show_)
        return;
    if (text.isEmpty()) {
        clearLine();
        return;
    }
    // The piece being written is the segment row the run marks.
    QString piece;
    for (int row = 0; row < lvTime_.count(); ++row) {
        if (lvTime_.text(row, StatusColumn) == SegmentStatus::Converting) {
            piece = QStringLiteral("piece %1 of %2: ").arg(row + 1).arg(lvTime_.count());
            break;
        }
    }
    const QString line = file_ + QStringLiteral(": ") + piece + text;
    // Every block reports; the line changes far less often.
    if (lineShown_ && line == shownLine_)
        return;
    shownLine_ = line;
    std::fprintf(stderr, "\r\033[K%s", qPrintable(line));
    std::fflush(stderr);
    lineShown_ = true;
}

void ConsoleRunHost::OutputWritten(const QString& path, const QString& note,
                                   const QString& tagFailure) {
    outputs_.push_back({path, note, tagFailure});
}

std::vector<ConsoleRunHost::Output> ConsoleRunHost::takeOutputs() {
    return std::exchange(outputs_, {});
}
