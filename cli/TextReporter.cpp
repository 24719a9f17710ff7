#include "cli/TextReporter.h"

#include <QFileInfo>

namespace {

QString fileName(const QString& path) {
    return QFileInfo(path).fileName();
}

QString range(std::int64_t begin, std::int64_t end, std::int32_t rate) {
    return Reporter::Time(begin, rate) + QLatin1Char('-') + Reporter::Time(end, rate);
}

} // namespace

void TextReporter::split(const QString& source, const RunOutcome& outcome, const QString& result) {
    const QString name = fileName(source);
    if (result.isEmpty()) {
        for (const RunOutcome::Piece& piece : outcome.pieces) {
            QString line = name + QLatin1Char('\t') + range(piece.begin, piece.end, piece.rate) +
                           QLatin1Char('\t') + piece.where();
            if (!piece.title.isEmpty())
                line += QLatin1Char('\t') + piece.title;
            if (!piece.cut.isEmpty())
                line += QLatin1Char('\t') + piece.cut;
            Print(line);
        }
        return;
    }
    if (quiet_)
        return;
    QStringList written;
    QStringList leftOut;
    for (const RunOutcome::Piece& piece : outcome.pieces) {
        if (piece.status == RunOutcome::Status::LeftOut)
            leftOut.append(fileName(piece.where()));
        if (piece.status != RunOutcome::Status::Written)
            continue;
        QString entry = fileName(piece.path);
        // How a copied piece was made, as its row shows it in the window.
        if (!piece.note.isEmpty())
            entry += QStringLiteral(" [%1]").arg(piece.note);
        written.append(entry);
    }
    // A file that failed before any piece was written has said why.
    if (result == QLatin1String("failed") && written.isEmpty() && leftOut.isEmpty())
        return;
    QString line = QStringLiteral("%1: %2 -> %3")
                       .arg(name, result,
                            written.isEmpty() ? QStringLiteral("nothing written")
                                              : written.join(QStringLiteral(", ")));
    if (!leftOut.isEmpty())
        line += QStringLiteral("; left out: ") + leftOut.join(QStringLiteral(", "));
    Print(line);
}

void TextReporter::join(const QStringList& sources, const RunOutcome::Piece& joined,
                        const QString& result) {
    if (joined.status == RunOutcome::Status::Planned) {
        for (const RunOutcome::Range& part : joined.joined)
            Print(fileName(sources.value(part.file)) + QLatin1Char('\t') +
                  range(part.begin, part.end, part.rate));
        Print(QStringLiteral("-> %1").arg(joined.where()));
        return;
    }
    if (!quiet_ && joined.status == RunOutcome::Status::Written)
        Print(QStringLiteral("%1 files %2 -> %3").arg(sources.size()).arg(result, joined.path));
}

void TextReporter::summary(const QString& text) {
    if (!quiet_ && !text.isEmpty())
        Print(text);
}
