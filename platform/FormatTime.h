#pragma once

#include <QString>

// Whole seconds as "hh:mm:ss", each field at least two digits: 3725 gives
// "01:02:05", 360000 gives "100:00:00". Negative input is shown as 0.
QString FormatTime(qint64 seconds);

// Milliseconds as FormatTime shows seconds, with hundredths when the time is
// not a whole second: 257690 gives "00:04:17.69". Rounded to the nearest
// hundredth.
QString FormatTimeMs(qint64 ms);
