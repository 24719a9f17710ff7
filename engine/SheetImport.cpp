#include "engine/SheetImport.h"

#include "core/FramePosition.h"
#include "platform/FormatTime.h"

#include <QFileInfo>

#include <utility>

SheetImport::SheetImport(QString sheetPath, QString sourcePath, std::int32_t rate,
                         std::int64_t frames)
    : sheetPath_(std::move(sheetPath)), sourcePath_(std::move(sourcePath)), rate_(rate),
      frames_(frames) {
    imported_ = read(forced_, pregap_);
    // Read apart from the user's choice: whether the first track starts
    // after the file's start.
    if (isCueSheet()) {
        const auto own = read(forced_, CueSheet::Pregap::Own);
        hasPregap_ = own.pieces.size() > imported_.pieces.size();
    }
}

bool SheetImport::isCueSheet() const {
    return embedded() || SegmentFiles::IsCueSheet(sheetPath_);
}

QString SheetImport::sheetName() const {
    if (embedded())
        return QStringLiteral("the cue sheet inside %1").arg(QFileInfo(sourcePath_).fileName());
    return QFileInfo(sheetPath_).fileName();
}

SegmentFiles::Imported SheetImport::read(const QString& encoding, CueSheet::Pregap pregap) const {
    if (embedded())
        return SegmentFiles::ImportEmbedded(sourcePath_, rate_, frames_, pregap);
    return SegmentFiles::ImportSheet(sheetPath_, sourcePath_, rate_, frames_, {encoding, pregap});
}

void SheetImport::setEncoding(const QString& name) {
    if (!encodingChoosable())
        return;
    imported_ = read(name, pregap_);
    forced_ = name;
}

void SheetImport::setPregap(CueSheet::Pregap pregap) {
    if (!isCueSheet())
        return;
    imported_ = read(forced_, pregap);
    pregap_ = pregap;
}

QString SheetImport::ExactTime(std::int64_t frame, std::int32_t rate) {
    if (rate <= 0)
        return {};
    // Rounded to the millisecond in whole numbers, so no second shows 60.
    const std::int64_t ms = FramePosition::Nearest(frame, rate, 1000);
    return FormatTime(ms / 1000) + QStringLiteral(".%1").arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

std::vector<SheetImport::Row> SheetImport::rows() const {
    std::vector<Row> rows;
    for (const TitledPiece& piece : imported_.pieces) {
        Row row;
        row.number = QStringLiteral("%1").arg(piece.tags.track, 2, 10, QLatin1Char('0'));
        row.title = piece.tags.title;
        row.performer = piece.tags.artist.isEmpty() ? imported_.disc.artist : piece.tags.artist;
        row.begin = ExactTime(piece.begin, rate_);
        row.end = ExactTime(piece.end, rate_);
        row.length = ExactTime(piece.end - piece.begin, rate_);
        rows.push_back(row);
    }
    return rows;
}

QStringList SheetImport::CommonEncodings() {
    return {QStringLiteral("UTF-8"),        QStringLiteral("UTF-16LE"),
            QStringLiteral("UTF-16BE"),     QStringLiteral("WINDOWS-1252"),
            QStringLiteral("ISO-8859-15"),  QStringLiteral("WINDOWS-1250"),
            QStringLiteral("ISO-8859-2"),   QStringLiteral("WINDOWS-1251"),
            QStringLiteral("KOI8-R"),       QStringLiteral("CP866"),
            QStringLiteral("WINDOWS-1253"), QStringLiteral("ISO-8859-7"),
            QStringLiteral("WINDOWS-1254"), QStringLiteral("WINDOWS-1257"),
            QStringLiteral("SHIFT_JIS"),    QStringLiteral("EUC-JP"),
            QStringLiteral("GB18030"),      QStringLiteral("BIG5"),
            QStringLiteral("EUC-KR")};
}
