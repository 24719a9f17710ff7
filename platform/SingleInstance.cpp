#include "platform/SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

SingleInstance::SingleInstance(const QString& title)
    : lock_(std::make_unique<QLockFile>(lockPath(title))) {
    // Never stale by age: a copy that runs for days still holds it. A lock of
    // a dead process is recognised by its process id.
    lock_->setStaleLockTime(0);
}

bool SingleInstance::acquire() {
    return lock_->tryLock(0);
}

QString SingleInstance::lockPath(const QString& title) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    QDir().mkpath(folder);
    QString name = title;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QDir(folder).filePath(name + QStringLiteral(".lock"));
}
