#include "cli/JsonReporter.h"

#include "core/FramePosition.h"

#include <QJsonDocument>

namespace {

QJsonValue text(const QString& value) {
    return value.isEmpty() ? QJsonValue() : QJsonValue(value);
}

QJsonObject position(std::int64_t frame, std::int32_t rate) {
    return {{"frame", qint64{frame}}, {"seconds", FramePosition::Seconds(frame, rate)}};
}

QJsonValue status(RunOutcome::Status status) {
    switch (status) {
    case RunOutcome::Status::Written:
        return QStringLiteral("written");
    case RunOutcome::Status::Failed:
        return QStringLiteral("failed");
    case RunOutcome::Status::LeftOut:
        return QStringLiteral("left out");
    case RunOutcome::Status::Planned:
        return QStringLiteral("planned");
    }
    return {};
}

} // namespace

QJsonObject JsonReporter::Object(const RunOutcome::Piece& piece) {
    const bool planned = piece.status == RunOutcome::Status::Planned;
    // "copied", "re-encoded (why)", or simply encoded where copying was not
    // in question; a plan does not know yet.
    const QJsonValue made = planned                ? QJsonValue()
                            : piece.note.isEmpty() ? QJsonValue(QStringLiteral("encoded"))
                                                   : QJsonValue(piece.note);
    return {
        {"source", QJsonValue()},
        {"sources", QJsonValue()},
        {"begin", QJsonValue()},
        {"end", QJsonValue()},
        {"joined", QJsonValue()},
        // Where the piece is; where it would have been when none was kept.
        {"path", text(piece.where())},
        {"planned", text(piece.planned)},
        {"title", text(piece.title)},
        {"track", piece.track > 0 || piece.tracks > 0
                      ? QJsonValue(QStringLiteral("%1/%2").arg(piece.track).arg(piece.tracks))
                      : QJsonValue()},
        {"made", made},
        {"cut", text(piece.cut)},
        {"status", status(piece.status)},
        {"problem", text(piece.problem)},
        {"tagFailure", text(piece.tagFailure)},
    };
}

void JsonReporter::split(const QString& source, const RunOutcome& outcome, const QString&) {
    for (const RunOutcome::Piece& piece : outcome.pieces) {
        QJsonObject object = Object(piece);
        object.insert(QStringLiteral("source"), source);
        object.insert(QStringLiteral("begin"), position(piece.begin, piece.rate));
        object.insert(QStringLiteral("end"), position(piece.end, piece.rate));
        objects_.append(object);
    }
}

void JsonReporter::join(const QStringList& sources, const RunOutcome::Piece& joined,
                        const QString&) {
    QJsonObject object = Object(joined);
    object.insert(QStringLiteral("sources"), QJsonArray::fromStringList(sources));
    QJsonArray parts;
    for (const RunOutcome::Range& part : joined.joined)
        parts.append(QJsonObject{{"source", sources.value(part.file)},
                                 {"begin", position(part.begin, part.rate)},
                                 {"end", position(part.end, part.rate)}});
    object.insert(QStringLiteral("joined"), parts);
    objects_.append(object);
}

void JsonReporter::summary(const QString&) {
    Print(QString::fromUtf8(QJsonDocument(objects_).toJson(QJsonDocument::Indented)).trimmed());
}
