#include "app/FileIntake.h"

#include "core/AppState.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QTimer>

#include <utility>

FileIntake::FileIntake(const AppState& state, AddFiles add, QObject* parent)
    : QObject(parent), state_(state), add_(std::move(add)) {}

void FileIntake::offer(const QStringList& paths) {
    pending_.append(paths);
    schedule();
}

void FileIntake::schedule() {
    // Through the event loop, never from inside the caller: a drop or a
    // message from another copy must be answered before the adding starts.
    if (scheduled_ || pending_.isEmpty())
        return;
    scheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        scheduled_ = false;
        deliver();
    });
}

void FileIntake::deliver() {
    // Adding pumps events, so this may be reached inside a command; the end
    // of that command schedules the delivery again, and so does the end of
    // the command that clears `Busy` (Stop, closing a failed run).
    if (commandDepth_ > 0 || state_.Busy || pending_.isEmpty())
        return;
    const QStringList paths = std::exchange(pending_, {});
    add_(paths);
}

FileIntake::CommandScope::CommandScope(FileIntake* intake) : intake_(intake) {
    if (intake_)
        ++intake_->commandDepth_;
}

FileIntake::CommandScope::~CommandScope() {
    if (intake_ && --intake_->commandDepth_ == 0)
        intake_->schedule();
}

FileIntake::Sorted FileIntake::sortDropped(const QList<QUrl>& urls) {
    Sorted sorted;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            sorted.leftOut.append(url.toDisplayString());
            continue;
        }
        const QString path = url.toLocalFile();
        const QFileInfo info(path);
        if (info.isDir() || (info.isFile() && isOggFile(path)))
            sorted.accepted.append(path);
        else
            sorted.leftOut.append(info.fileName().isEmpty() ? path : info.fileName());
    }
    return sorted;
}

bool FileIntake::isOggFile(const QString& path) {
    if (QFileInfo(path).suffix().compare(QLatin1String("ogg"), Qt::CaseInsensitive) == 0)
        return true;
    // Vorbis files named otherwise (".oga", no extension) by their content.
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    return type.inherits(QStringLiteral("audio/x-vorbis+ogg")) ||
           type.name() == QLatin1String("audio/ogg");
}

QString FileIntake::leftOutMessage(const QStringList& names) {
    return QStringLiteral("Only Ogg files and folders can be added. Left out:\n") +
           names.join(QLatin1Char('\n'));
}
