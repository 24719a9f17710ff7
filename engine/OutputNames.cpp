#include "engine/OutputNames.h"

#include "platform/CleanTitle.h"
#include "platform/Error.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

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

// Taken: there is a file of that name, or an output is being written for it.
std::function<bool(const QString&)> takenIn(const QString& folder) {
    return [pending = OutputNames::Pending(folder)](const QString& path) {
        return OutputNames::Exists(path) || pending.contains(QFileInfo(path).fileName());
    };
}

// A file list caption as the stem of output names; never empty, so no name
// is only its extension.
QString stemOf(const QString& caption) {
    const QString base = OutputNames::Base(CleanTitle(caption));
    return base.isEmpty() ? QStringLiteral("untitled") : base;
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
    qsizetype start = 0;
    while (start < caption.size() && caption[start] == QLatin1Char('.'))
        ++start;
    const qsizetype dot = caption.indexOf(QLatin1Char('.'), start);
    return caption.mid(start, dot < 0 ? -1 : dot - start);
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
                                 const QString& extension, bool numbered,
                                 const QSet<QString>& planned) {
    const QString folder = Folder(outputDir);
    // Cleaned before the base is taken: a title read from a file's comments
    // may hold a "/", which must not lead into another folder, and what is
    // left of "../x" must not start with a dot. The stem holds no dot, so the
    // numbered variants count on from the first name.
    const QString stem = stemOf(caption);
    const QString first = folder + stem + (numbered ? QStringLiteral("_1") : QString()) + extension;
    return firstFree(
        first,
        [&](int n) { return folder + stem + QLatin1Char('_') + QString::number(n) + extension; },
        [&planned, taken = takenIn(folder)](const QString& path) {
            return planned.contains(path) || taken(path);
        });
}

QString OutputNames::Fallback(const QString& outputDir, const QString& sourcePath,
                              const QString& extension, const QStringList& sources) {
    const QString folder = Folder(outputDir);
    // Cleaned as a title is: a source may be hidden, or hold a line break.
    QString stem = CleanTitle(ChangeExtension(QFileInfo(sourcePath).fileName(), QString()));
    if (stem.isEmpty())
        stem = QStringLiteral("untitled");
    const auto taken = takenIn(folder);
    return firstFree(
        folder + stem + extension,
        [&](int n) { return folder + stem + QLatin1Char('_') + QString::number(n) + extension; },
        [&](const QString& path) {
            if (taken(path))
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

QString OutputNames::FreeVariant(const QString& path) {
    const QFileInfo info(path);
    const QString folder = Folder(info.path());
    const QString suffix = info.suffix();
    const QString extension = suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix;
    const QString stem = info.fileName().chopped(extension.size());
    return firstFree(
        path,
        [&](int n) { return folder + stem + QLatin1Char('_') + QString::number(n) + extension; },
        takenIn(folder));
}

QString OutputNames::Temporary(const QString& finalPath, const QString& tag) {
    const QFileInfo info(finalPath);
    const QString suffix = info.suffix();
    const QString extension = suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix;
    const QString stem = info.fileName().chopped(extension.size());
    return Folder(info.path()) + QLatin1Char('.') + stem + QLatin1Char('.') + tag +
           QStringLiteral(".part") + extension;
}

QSet<QString> OutputNames::Pending(const QString& folder) {
    static const QRegularExpression temporary(
        QStringLiteral("^\\.(.+)\\.[A-Za-z0-9]{6}\\.part(\\.[^.]+)?$"));
    QSet<QString> names;
    const QStringList candidates =
        QDir(folder).entryList({QStringLiteral(".*.part*")}, QDir::Files | QDir::Hidden);
    for (const QString& name : candidates) {
        const QRegularExpressionMatch match = temporary.match(name);
        if (match.hasMatch())
            names.insert(match.captured(1) + match.captured(2));
    }
    return names;
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
