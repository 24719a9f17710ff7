#include "engine/SegmentFiles.h"

#include "core/CueSheet.h"
#include "core/LabelFile.h"
#include "core/RecordPieces.h"
#include "engine/OutputNames.h"
#include "engine/audio/SourceChapters.h"
#include "platform/Error.h"

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

SegmentFiles::Imported SegmentFiles::ImportSheet(const QString& sheetPath,
                                                 const QString& sourcePath, std::int32_t rate,
                                                 std::int64_t frames, const CueChoices& choices) {
    Imported imported;
    if (!IsCueSheet(sheetPath)) {
        imported.pieces = LabelFile::Read(sheetPath, rate, frames);
        RecordPieces::Number(imported.pieces);
        return imported;
    }
    const CueSheet sheet = CueSheet::Read(sheetPath, choices.encoding);
    const int file = sheet.fileFor(sourcePath);
    if (file < 0)
        throw Error(QStringLiteral("%1 has no FILE for %2")
                        .arg(QFileInfo(sheetPath).fileName(), QFileInfo(sourcePath).fileName()));
    imported.disc = sheet.disc;
    imported.encoding = sheet.encoding;
    QStringList late;
    imported.pieces = sheet.pieces(file, rate, frames, choices.pregap, &late);
    for (const QString& warning : late)
        imported.warnings.append(
            QStringLiteral("%1: %2").arg(QFileInfo(sheetPath).fileName(), warning));
    return imported;
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
