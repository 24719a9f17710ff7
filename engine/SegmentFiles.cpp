#include "engine/SegmentFiles.h"

#include "core/CueSheet.h"
#include "core/LabelFile.h"
#include "core/RecordPieces.h"
#include "engine/OutputNames.h"
#include "engine/audio/SourceChapters.h"
#include "platform/Error.h"
#include "tags/EmbeddedCueSheet.h"

#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

bool SegmentFiles::IsCueSheet(const QString& path) {
    return QFileInfo(path).suffix().compare(QLatin1String("cue"), Qt::CaseInsensitive) == 0;
}

bool SegmentFiles::IsSheet(const QString& path) {
    return IsCueSheet(path) ||
           QFileInfo(path).suffix().compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0;
}

namespace {

// The pieces a cue sheet, from a file or from inside the source, marks in
// the source; `sheetName` names it in errors and warnings.
SegmentFiles::Imported fromCueSheet(const CueSheet& sheet, const QString& sheetName,
                                    const QString& sourcePath, std::int32_t rate,
                                    std::int64_t frames, CueSheet::Pregap pregap) {
    SegmentFiles::Imported imported;
    const int file = sheet.fileFor(sourcePath);
    if (file < 0)
        throw Error(QStringLiteral("%1 has no FILE for %2")
                        .arg(sheetName, QFileInfo(sourcePath).fileName()));
    imported.disc = sheet.disc;
    imported.encoding = sheet.encoding;
    QStringList late;
    imported.pieces = sheet.pieces(file, rate, frames, pregap, &late);
    for (const QString& warning : late)
        imported.warnings.append(QStringLiteral("%1: %2").arg(sheetName, warning));
    return imported;
}

} // namespace

SegmentFiles::Imported SegmentFiles::ImportSheet(const QString& sheetPath,
                                                 const QString& sourcePath, std::int32_t rate,
                                                 std::int64_t frames, const CueChoices& choices) {
    Imported imported;
    if (!IsCueSheet(sheetPath)) {
        imported.pieces = LabelFile::Read(sheetPath, rate, frames);
        RecordPieces::Number(imported.pieces);
        return imported;
    }
    return fromCueSheet(CueSheet::Read(sheetPath, choices.encoding),
                        QFileInfo(sheetPath).fileName(), sourcePath, rate, frames, choices.pregap);
}

SegmentFiles::Imported SegmentFiles::ImportEmbedded(const QString& sourcePath, std::int32_t rate,
                                                    std::int64_t frames, CueSheet::Pregap pregap) {
    const std::optional<CueSheet> sheet = EmbeddedCueSheet::Read(sourcePath);
    const QString name = QFileInfo(sourcePath).fileName();
    if (!sheet)
        throw Error(QStringLiteral("%1 carries no cue sheet").arg(name));
    return fromCueSheet(*sheet, QStringLiteral("The cue sheet inside %1").arg(name), sourcePath,
                        rate, frames, pregap);
}

bool SegmentFiles::HasEmbeddedSheet(const QString& sourcePath) {
    try {
        return EmbeddedCueSheet::Read(sourcePath).has_value();
    } catch (const Error&) {
        return false;
    }
}

std::vector<TitledPiece> SegmentFiles::Import(const QString& sheetPath, const QString& sourcePath,
                                              std::int32_t rate, std::int64_t frames,
                                              PieceTags* disc) {
    Imported imported = ImportSheet(sheetPath, sourcePath, rate, frames, CueChoices());
    if (disc && IsCueSheet(sheetPath))
        *disc = imported.disc;
    return std::move(imported.pieces);
}

std::vector<TitledPiece> SegmentFiles::Chapters(const QString& sourcePath, std::int32_t rate,
                                                std::int64_t frames) {
    // libavformat reads a FLAC cue sheet as chapters from INDEX 00, titled
    // with the ISRC codes; the sheet itself cuts at INDEX 01.
    std::optional<CueSheet> sheet;
    try {
        sheet = EmbeddedCueSheet::Read(sourcePath);
    } catch (const Error&) {
        // A damaged sheet leaves the chapters the container gives.
    }
    if (sheet && sheet->fileFor(sourcePath) >= 0)
        return sheet->pieces(sheet->fileFor(sourcePath), rate, frames);
    const auto chapters = SourceChapters::Read(sourcePath, rate);
    std::vector<TitledPiece> pieces;
    for (size_t i = 0; i < chapters.size(); ++i) {
        TitledPiece piece;
        piece.begin = std::min(chapters[i].begin, frames);
        piece.end = chapters[i].end > chapters[i].begin ? chapters[i].end
                    : i + 1 < chapters.size()           ? chapters[i + 1].begin
                                                        : frames;
        // Comments give no ends, and the ends libavformat fills in for them
        // may run past the next chapter.
        if (i + 1 < chapters.size())
            piece.end = std::min(piece.end, chapters[i + 1].begin);
        piece.end = std::min(piece.end, frames);
        piece.tags.title = chapters[i].title;
        if (piece.begin < piece.end)
            pieces.push_back(piece);
    }
    RecordPieces::Number(pieces);
    return pieces;
}

std::vector<TitledPiece> SegmentFiles::OfPlan(const std::vector<PiecePlan::Piece>& pieces,
                                              const std::vector<TitledPiece>& marked) {
    std::vector<TitledPiece> out;
    for (const PiecePlan::Piece& piece : pieces) {
        if (!piece.written())
            continue;
        TitledPiece titled;
        if (piece.row >= 0 && piece.row < static_cast<int>(marked.size()))
            titled = marked[static_cast<size_t>(piece.row)];
        else
            titled.tags.title = piece.title;
        titled.begin = piece.begin;
        titled.end = piece.end;
        out.push_back(titled);
    }
    RecordPieces::Number(out);
    return out;
}

void SegmentFiles::Export(const QString& sheetPath, const QString& sourcePath,
                          const std::vector<TitledPiece>& pieces, const PieceTags& disc,
                          std::int32_t rate, std::int64_t frames) {
    const QString text = IsCueSheet(sheetPath)
                             ? CueSheet::Of(sourcePath, disc, pieces, rate, frames).text()
                             : LabelFile::Text(pieces, rate);
    QSaveFile file(sheetPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        throw Error(QStringLiteral("Cannot write %1: %2")
                        .arg(QFileInfo(sheetPath).fileName(), file.errorString()));
}
