#include "engine/OutputNames.h"

#include "platform/CleanTitle.h"
#include "platform/Error.h"

#include <QDir>
#include <QFileInfo>

#include <functional>

namespace {

// Far beyond anything a folder holds; only a broken file system gets here.
constexpr int MaxVariant = 1000000;

QString firstFree(const QString& first, const std::function<QString(int)>& variant,
                  const std::function<bool(const QString&)>& taken) {
    if (!taken(first))
        return first;
    for (int n = 1; n <= MaxVariant; ++n) {
        const QString candidate = variant(n);
        if (!taken(candidate))
            return candidate;
    }
    throw Error(QStringLiteral("No free file name for %1").arg(first));
}

} // namespace

QString OutputNames::Extension(int formatIndex) {
    switch (formatIndex) {
    case 1:
        return QStringLiteral(".wav");
    case 2:
        return QStringLiteral(".wma");
    case 3:
        return QStringLiteral(".ogg");
    default:
        return QStringLiteral(".mp3");
    }
}

QString OutputNames::Base(const QString& caption) {
    const qsizetype dot = caption.indexOf(QLatin1Char('.'));
    return dot <= 0 ? caption : caption.left(dot);
}

QString OutputNames::ChangeExtension(const QString& name, const QString& extension) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? name : name.left(dot)) + extension;
}

QString OutputNames::Folder(const QString& outputDir) {
    if (outputDir.isEmpty() || outputDir.endsWith(QLatin1Char('/')))
        return outputDir;
    return outputDir + QLatin1Char('/');
}

QString OutputNames::SplitOutput(const QString& outputDir, const QString& caption,
                                 const QString& extension, bool numbered) {
    const QString folder = Folder(outputDir);
    const QString base = Base(caption);
    const QString first =
        folder +
        ChangeExtension(CleanTitle(numbered ? base + QStringLiteral("_1") : base), extension);
    // The numbered variants are cleaned too: a title read from a file's
    // comments may hold a "/", which must not lead into another folder.
    return firstFree(
        first,
        [&](int n) {
            return folder + CleanTitle(base + QLatin1Char('_') + QString::number(n)) + extension;
        },
        Exists);
}

QString OutputNames::Fallback(const QString& outputDir, const QString& sourcePath,
                              const QString& extension, const QStringList& sources) {
    const QString folder = Folder(outputDir);
    const QString name = QFileInfo(sourcePath).fileName();
    const QString stem = ChangeExtension(name, QString());
    return firstFree(
        folder + ChangeExtension(name, extension),
        [&](int n) { return folder + stem + QLatin1Char('_') + QString::number(n) + extension; },
        [&](const QString& path) {
            if (Exists(path))
                return true;
            for (const QString& source : sources)
                if (SameFile(path, source))
                    return true;
            return false;
        });
}

QString OutputNames::JoinOutput(const QString& chosen, const QString& extension) {
    if (chosen.endsWith(extension, Qt::CaseInsensitive))
        return chosen;
    return chosen + extension;
}

bool OutputNames::Exists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool OutputNames::SameFile(const QString& a, const QString& b) {
    const QFileInfo ia(a);
    const QFileInfo ib(b);
    if (ia.exists() && ib.exists())
        return ia.canonicalFilePath() == ib.canonicalFilePath();
    return QDir::cleanPath(ia.absoluteFilePath()) == QDir::cleanPath(ib.absoluteFilePath());
}
