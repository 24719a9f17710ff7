#include "core/LabelFile.h"

#include "core/FramePosition.h"
#include "core/SheetText.h"
#include "platform/Error.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace {

// Nine decimals keep numerator × rate far from overflowing.
constexpr int MaxDecimals = 9;

std::int64_t frameOf(const QString& text, int line, std::int32_t rate, std::int64_t frames) {
    // Editors in some locales write a decimal comma.
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d{1,12})(?:[.,](\\d*))?\\s*$"));
    const auto m = form.match(text);
    if (!m.hasMatch())
        throw Error(QStringLiteral("Label file line %1: \"%2\" is not a time in seconds")
                        .arg(line)
                        .arg(text));
    const QString decimals = m.captured(2).left(MaxDecimals);
    std::int64_t denominator = 1;
    for (qsizetype i = 0; i < decimals.size(); ++i)
        denominator *= 10;
    const std::int64_t frame = FramePosition::OfFraction(
        m.captured(1).toLongLong(), decimals.isEmpty() ? 0 : decimals.toLongLong(), denominator,
        rate);
    return std::min(frame, std::max<std::int64_t>(frames, 0));
}

} // namespace

std::vector<TitledPiece> LabelFile::Parse(const QString& text, std::int32_t rate,
                                          std::int64_t frames) {
    std::vector<TitledPiece> regions;
    std::vector<TitledPiece> points;
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (int i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('\\')))
            continue;
        QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() < 2) {
            // Written by hand or by another tool: start and end apart by spaces.
            static const QRegularExpression spaced(
                QStringLiteral("^\\s*(\\S+)\\s+(\\S+)\\s*(.*)$"));
            const auto m = spaced.match(line);
            if (m.hasMatch())
                fields = QStringList{m.captured(1), m.captured(2), m.captured(3)};
        }
        if (fields.size() < 2)
            throw Error(
                QStringLiteral("Label file line %1: no tab between start and end").arg(i + 1));
        TitledPiece label;
        label.begin = frameOf(fields[0], i + 1, rate, frames);
        label.end = frameOf(fields[1], i + 1, rate, frames);
        label.tags.title = fields.mid(2).join(QLatin1Char('\t')).trimmed();
        if (label.end < label.begin)
            throw Error(
                QStringLiteral("Label file line %1: the label ends before it starts").arg(i + 1));
        (label.begin == label.end ? points : regions).push_back(label);
    }
    const auto byBegin = [](const TitledPiece& a, const TitledPiece& b) {
        return a.begin < b.begin;
    };
    std::stable_sort(points.begin(), points.end(), byBegin);
    if (regions.empty()) {
        // Points cut the whole source.
        if (points.empty())
            return {};
        regions.push_back({0, std::max<std::int64_t>(frames, 0), {}});
    }
    std::vector<TitledPiece> pieces;
    for (const TitledPiece& region : regions) {
        TitledPiece piece = region;
        // Only the points from the region's start up to its end touch it;
        // looked up, so thousands of labels cost no more than their count.
        const auto first = std::lower_bound(
            points.begin(), points.end(), region.begin,
            [](const TitledPiece& point, std::int64_t frame) { return point.begin < frame; });
        for (auto it = first; it != points.end() && it->begin < region.end; ++it) {
            const TitledPiece& point = *it;
            // A point at a region's very start names it when the region has
            // no name of its own.
            if (point.begin == piece.begin && piece.tags.title.isEmpty())
                piece.tags.title = point.tags.title;
            if (point.begin <= piece.begin || point.begin >= piece.end)
                continue;
            TitledPiece before = piece;
            before.end = point.begin;
            pieces.push_back(before);
            piece.begin = point.begin;
            piece.tags.title = point.tags.title;
        }
        pieces.push_back(piece);
    }
    cutGaps(regions, points, frames, pieces);
    std::erase_if(pieces, [](const TitledPiece& p) { return p.begin >= p.end; });
    std::stable_sort(pieces.begin(), pieces.end(), byBegin);
    return pieces;
}

void LabelFile::cutGaps(std::vector<TitledPiece> regions, const std::vector<TitledPiece>& points,
                        std::int64_t frames, std::vector<TitledPiece>& pieces) {
    // A point outside every region starts a piece in the gap it lies in, up
    // to the next label, as an editor exports pieces at its labels; the gap
    // before it stays out, as every gap does.
    std::sort(regions.begin(), regions.end(),
              [](const TitledPiece& a, const TitledPiece& b) { return a.begin < b.begin; });
    // Where regions cover the source, overlapping ones merged.
    std::vector<std::pair<std::int64_t, std::int64_t>> covered;
    for (const TitledPiece& region : regions) {
        if (!covered.empty() && region.begin <= covered.back().second)
            covered.back().second = std::max(covered.back().second, region.end);
        else
            covered.emplace_back(region.begin, region.end);
    }
    const auto inRegion = [&](std::int64_t frame) {
        const auto after =
            std::upper_bound(covered.begin(), covered.end(), frame,
                             [](std::int64_t f, const auto& span) { return f < span.first; });
        return after != covered.begin() && frame < std::prev(after)->second;
    };
    std::vector<TitledPiece> gapPoints;
    for (const TitledPiece& point : points)
        if (!inRegion(point.begin) && (gapPoints.empty() || gapPoints.back().begin != point.begin))
            gapPoints.push_back(point);
    for (size_t k = 0; k < gapPoints.size(); ++k) {
        TitledPiece piece = gapPoints[k];
        piece.end = std::max<std::int64_t>(frames, 0);
        if (k + 1 < gapPoints.size())
            piece.end = gapPoints[k + 1].begin;
        const auto next =
            std::upper_bound(covered.begin(), covered.end(), piece.begin,
                             [](std::int64_t f, const auto& span) { return f < span.first; });
        if (next != covered.end())
            piece.end = std::min(piece.end, next->first);
        pieces.push_back(piece);
    }
}

std::vector<TitledPiece> LabelFile::Read(const QString& path, std::int32_t rate,
                                         std::int64_t frames) {
    // A file that cannot be read names itself.
    const QString text = ReadSheetText(path).text;
    try {
        return Parse(text, rate, frames);
    } catch (const Error& e) {
        throw Error(QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), e.message()));
    }
}

QString LabelFile::Seconds(std::int64_t frame, std::int32_t rate) {
    if (rate <= 0 || frame <= 0)
        return QStringLiteral("0.000000");
    const std::int64_t micro = FramePosition::Nearest(frame, rate, 1000000);
    return QStringLiteral("%1.%2")
        .arg(micro / 1000000)
        .arg(micro % 1000000, 6, 10, QLatin1Char('0'));
}

QString LabelFile::Text(const std::vector<TitledPiece>& pieces, std::int32_t rate) {
    QString text;
    for (const TitledPiece& piece : pieces) {
        QString title = piece.tags.title;
        title.replace(QLatin1Char('\t'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
        title.remove(QLatin1Char('\r'));
        text += Seconds(piece.begin, rate) + QLatin1Char('\t') + Seconds(piece.end, rate) +
                QLatin1Char('\t') + title + QLatin1Char('\n');
    }
    return text;
}
