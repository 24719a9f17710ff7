#pragma once

#include "core/AppState.h"
#include "core/JobListModel.h"
#include "core/ReportListModel.h"

#include <QItemSelectionModel>
#include <QString>

// The job model and the main window's two lists without their views: the
// files (a view of the jobs) and the segments, each with its single-row
// selection. Fixtures and benchmarks that drive the job list, segment editor
// or runs inherit it.
struct ListModels {
    AppState state;
    JobListModel lv{state.JobList};
    ReportListModel lvTime{{QStringLiteral("Begin Time - End Time"), QStringLiteral("Length"),
                            QStringLiteral("Status")}};
    QItemSelectionModel lvSelection{&lv};
    QItemSelectionModel lvTimeSelection{&lvTime};
};
