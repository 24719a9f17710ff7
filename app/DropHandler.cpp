#include "app/DropHandler.h"

#include "engine/SegmentFiles.h"
#include "engine/SourceIntake.h"
#include "platform/Desktop.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <utility>

DropHandler::DropHandler(Desktop& desktop, Hooks hooks, QObject* parent)
    : QObject(parent), desktop_(desktop), hooks_(std::move(hooks)) {}

void DropHandler::watch(QWidget* widget) {
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
}

void DropHandler::watchOutputField(QLineEdit* field) {
    outputField_ = field;
    watch(field);
}

void DropHandler::watchSegmentList(QWidget* list) {
    segmentList_ = list;
    watch(list);
}

QString DropHandler::sheetOf(const QMimeData& data) {
    if (!data.hasUrls() || data.urls().size() != 1 || !data.urls().front().isLocalFile())
        return {};
    const QString path = data.urls().front().toLocalFile();
    return SegmentFiles::IsSheet(path) && QFileInfo(path).isFile() ? path : QString();
}

QString DropHandler::folderOf(const QMimeData& data) {
    QString path;
    if (data.hasUrls()) {
        const QList<QUrl> urls = data.urls();
        if (urls.size() != 1 || !urls.front().isLocalFile())
            return {};
        path = urls.front().toLocalFile();
    } else if (data.hasText()) {
        path = data.text().trimmed();
        if (path.startsWith(QLatin1String("file:")))
            path = QUrl(path).toLocalFile();
        else if (path.startsWith(QLatin1String("~/")))
            path = QDir::homePath() + path.mid(1);
    }
    const QFileInfo info(path);
    if (path.isEmpty() || info.isRelative() || !info.isDir())
        return {};
    return QDir::cleanPath(info.absoluteFilePath());
}

bool DropHandler::takesFiles(const QMimeData& data) const {
    return data.hasUrls() && !data.urls().isEmpty();
}

bool DropHandler::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);
    const QMimeData* data = drop->mimeData();
    const bool onField = outputField_ && watched == outputField_;
    const bool folderForField = onField && data && !folderOf(*data).isEmpty();
    const QString sheet =
        segmentList_ && watched == segmentList_ && data ? sheetOf(*data) : QString();
    if (!data || (!folderForField && !takesFiles(*data))) {
        // Not ours; the field does not take arbitrary text either, since it
        // holds a folder.
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop) {
        if (folderForField) {
            if (hooks_.setOutputFolder)
                hooks_.setOutputFolder(folderOf(*data));
        } else if (!sheet.isEmpty() && hooks_.importSegments) {
            // After the drop is answered, as a refusal may show a message.
            QTimer::singleShot(0, this, [this, sheet] { hooks_.importSegments(sheet); });
        } else {
            dropFiles(*data);
        }
    }
    return true;
}

void DropHandler::dropFiles(const QMimeData& data) {
    const SourceIntake::Sorted sorted = SourceIntake::SortDropped(data.urls());
    if (!sorted.accepted.isEmpty() && hooks_.addFiles)
        hooks_.addFiles(sorted.accepted);
    if (!sorted.leftOut.isEmpty()) {
        // After the drop is answered: the program the files came from waits
        // for that answer, and a message box would keep it waiting.
        const QString message = SourceIntake::LeftOutMessage(sorted.leftOut);
        QTimer::singleShot(0, this, [this, message] { desktop_.warning(message); });
    }
}
