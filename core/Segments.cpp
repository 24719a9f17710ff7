#include "core/Segments.h"

#include "core/FramePosition.h"
#include "core/listrecord.h"
#include "platform/FormatTime.h"

#include <QRegularExpression>

#include <algorithm>

std::vector<Segments::Piece> Segments::TimePieces(std::int32_t duration, std::int32_t seconds) {
    seconds = std::max(seconds, 1);
    duration = std::max(duration, 0);
    std::vector<Piece> pieces;
    const std::int32_t last = duration / seconds;
    pieces.reserve(static_cast<size_t>(last) + 1);
    for (std::int32_t k = 0; k <= last; ++k) {
        const qint64 begin = qint64(k) * seconds;
        const qint64 end = std::min<qint64>(begin + seconds, duration);
        pieces.push_back({static_cast<std::int32_t>(begin), static_cast<std::int32_t>(end)});
    }
    return pieces;
}

std::vector<Segments::Piece> Segments::CountPieces(std::int32_t duration, std::int32_t count) {
    count = std::clamp(count, 1, MaxCountPieces);
    duration = std::max(duration, 0);
    const std::int32_t width = duration / count;
    std::vector<Piece> pieces;
    pieces.reserve(static_cast<size_t>(count));
    for (std::int32_t k = 0; k < count; ++k) {
        const qint64 begin = qint64(k) * width;
        const qint64 end = std::min<qint64>(begin + width, duration);
        pieces.push_back({static_cast<std::int32_t>(begin), static_cast<std::int32_t>(end)});
    }
    return pieces;
}

QStringList Segments::SegmentRow(std::int32_t begin, std::int32_t end, const QString& status) {
    const qint64 length = qint64(end) - begin;
    return {FormatTime(begin) + QStringLiteral(" - ") + FormatTime(end),
            FormatTime(std::max<qint64>(length, 0)), status};
}

QStringList Segments::SegmentRowMs(std::int64_t beginMs, std::int64_t endMs,
                                   const QString& status) {
    const auto shown = [](std::int64_t ms) {
        return (std::max<std::int64_t>(ms, 0) + 5) / 10 * 10;
    };
    const std::int64_t begin = shown(beginMs);
    const std::int64_t end = shown(endMs);
    return {FormatTimeMs(begin) + QStringLiteral(" - ") + FormatTimeMs(end),
            FormatTimeMs(std::max<std::int64_t>(end - begin, 0)), status};
}

std::optional<std::int64_t> Segments::FrameOfClock(const QString& text, std::int32_t rate) {
    static const QRegularExpression form(
        QStringLiteral("^(?:(?:(\\d{1,5}):)?(\\d{1,5}):)?(\\d{1,7})(?:[.,](\\d{0,9}))?$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch() || rate <= 0)
        return std::nullopt;
    const bool hasHours = m.capturedLength(1) > 0;
    const bool hasMinutes = m.capturedLength(2) > 0;
    const std::int64_t hours = m.captured(1).toLongLong();
    const std::int64_t minutes = m.captured(2).toLongLong();
    const std::int64_t seconds = m.captured(3).toLongLong();
    // Below the first field the usual clock limits hold.
    if ((hasMinutes && seconds >= 60) || (hasHours && minutes >= 60))
        return std::nullopt;
    const QString decimals = m.captured(4);
    std::int64_t denominator = 1;
    for (qsizetype i = 0; i < decimals.size(); ++i)
        denominator *= 10;
    return FramePosition::OfFraction(hours * 3600 + minutes * 60 + seconds,
                                     decimals.isEmpty() ? 0 : decimals.toLongLong(), denominator,
                                     rate);
}

void Segments::Normalise(listrecord& record) {
    if (record.BeginTimes.empty() || record.EndTimes.empty()) {
        record.BeginTimes = {0};
        record.EndTimes = {record.Duration};
    }
    const auto held =
        static_cast<std::int32_t>(std::min(record.BeginTimes.size(), record.EndTimes.size()));
    record.SegmentCount = std::clamp(record.SegmentCount, 1, held);
}
