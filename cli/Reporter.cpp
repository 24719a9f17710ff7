#include "cli/Reporter.h"

#include "core/FramePosition.h"
#include "platform/FormatTime.h"

#include <cstdio>

void Reporter::Print(const QString& text) {
    // Written whole: a tag value may hold a zero byte, which would end a
    // C string before the line does.
    const QByteArray line = (text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fflush(stdout);
}

QString Reporter::Time(std::int64_t frame, std::int32_t rate) {
    return FormatTimeMs(FramePosition::Milliseconds(frame, rate));
}
