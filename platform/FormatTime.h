#pragma once

#include <QString>

// Whole seconds as "hh:mm:ss", each field at least two digits: 3725 gives
// "01:02:05", 360000 gives "100:00:00". Negative input is shown as 0.
QString FormatTime(qint64 seconds);
