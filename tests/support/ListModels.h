#pragma once

#include "core/ReportListModel.h"

#include <QItemSelectionModel>
#include <QString>

// The main window's two lists without their views: the files and the
// segments, each with its single-row selection. Fixtures and benchmarks that
// drive the job list, segment editor or runs inherit it.
struct ListModels {
    ReportListModel lv{{QStringLiteral("File name"), QStringLiteral("Time")}};
    ReportListModel lvTime{{QStringLiteral("Begin Time - End Time"), QStringLiteral("Length"),
                            QStringLiteral("Status")}};
    QItemSelectionModel lvSelection{&lv};
    QItemSelectionModel lvTimeSelection{&lvTime};
};
