#include "platform/FormatTime.h"

#include <algorithm>

QString FormatTime(qint64 seconds) {
    if (seconds < 0)
        seconds = 0;
    const qint64 hours = seconds / 3600;
    const qint64 minutes = (seconds % 3600) / 60;
    const qint64 rest = seconds % 60;
    return QStringLiteral("%1:%2:%3")
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(rest, 2, 10, QLatin1Char('0'));
}

QString FormatTimeMs(qint64 ms) {
    const qint64 hundredths = (std::max<qint64>(ms, 0) + 5) / 10;
    if (hundredths % 100 == 0)
        return FormatTime(hundredths / 100);
    return FormatTime(hundredths / 100) +
           QStringLiteral(".%1").arg(hundredths % 100, 2, 10, QLatin1Char('0'));
}
