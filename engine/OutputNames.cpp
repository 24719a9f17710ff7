#include "engine/OutputNames.h"

#include "engine/GivenNames.h"
#include "engine/PendingOutput.h"
#include "platform/CleanTitle.h"
#include "platform/Error.h"
#include "platform/FormatTime.h"
#include "platform/SettingsFile.h"
#include "platform/VisibleName.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <climits>
#include <functional>
#include <unistd.h>

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
        if (OutputNames::Exists(path))
            return true;
        for (const QString& key : OutputNames::PendingKeys(QFileInfo(path).fileName()))
            if (pending.contains(key))
                return true;
        return false;
    };
}

// `first` when it is free, else the first free of "<stem>_<n><extension>" in
// `folder`, for a run that has given out `given`. Each series goes on from
// the number it last found free: the names below it were given out or taken,
// so they need not be looked at again for the next piece.
QString firstFreeOf(const QString& folder, const QString& first, const QString& stem,
                    const QString& extension, GivenNames& given) {
    const auto taken = [&](const QString& path) {
        if (given.contains(path) || OutputNames::Exists(path))
            return true;
        const QSet<QString>& pending = given.pending(folder);
        for (const QString& key : OutputNames::PendingKeys(QFileInfo(path).fileName()))
            if (pending.contains(key))
                return true;
        return false;
    };
    if (!taken(first))
        return first;
    const QString series = folder + stem + QLatin1Char('\n') + extension;
    for (int n = given.firstNumber(series); n <= MaxVariant; ++n) {
        const QString candidate = folder + stem + QLatin1Char('_') + QString::number(n) + extension;
        if (!taken(candidate)) {
            given.foundFree(series, n);
            return candidate;
        }
    }
    throw Error(QStringLiteral("No free file name for %1").arg(first));
}

// A source's name (SourceName) as the stem of output names; never empty, so
// no name is only its extension.
QString stemOf(const QString& name) {
    const QString stem = VisibleName(CleanTitle(name));
    return stem.isEmpty() ? QStringLiteral("untitled") : stem;
}

// The temporary's marks around the final name's part: "." in front, and
// ".<tag>.part" (".<tag>.<hash>.part" when cut short) behind.
constexpr int HashLength = 8;
const QRegularExpression& temporaryForm() {
    static const QRegularExpression form(
        QStringLiteral("^\\.(.+)\\.[A-Za-z0-9]{6}\\.part(\\.[^.]+)?$"),
        QRegularExpression::DotMatchesEverythingOption);
    return form;
}
const QRegularExpression& shortTemporaryForm() {
    static const QRegularExpression form(
        QStringLiteral("^\\.(.*)\\.[A-Za-z0-9]{6}\\.([0-9a-f]{8})\\.part(\\.[^.]+)?$"),
        QRegularExpression::DotMatchesEverythingOption);
    return form;
}

QString hashOf(const QString& fileName) {
    return QString::fromLatin1(
        QCryptographicHash::hash(QFile::encodeName(fileName), QCryptographicHash::Md5)
            .toHex()
            .left(HashLength));
}

// The longest name, in bytes, the folder takes.
qsizetype nameLimit(const QString& folder) {
    const long limit =
        ::pathconf(QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder).constData(),
                   _PC_NAME_MAX);
    return limit > 0 ? limit : NAME_MAX;
}

// `text` cut to at most `bytes` bytes of its file-name encoding, never
// inside a character.
QString cutToBytes(const QString& text, qsizetype bytes) {
    QString cut = text;
    while (!cut.isEmpty() && QFile::encodeName(cut).size() > bytes) {
        cut.chop(1);
        if (!cut.isEmpty() && cut.back().isHighSurrogate())
            cut.chop(1);
    }
    return cut;
}

// A template's fields: "{title}", "{n:02}", ...
const QRegularExpression& fieldForm() {
    static const QRegularExpression form(QStringLiteral("\\{(\\w+)(?::0?(\\d{1,2}))?\\}"));
    return form;
}

bool knownField(const QString& key) {
    static const QStringList known{QStringLiteral("n"),      QStringLiteral("title"),
                                   QStringLiteral("artist"), QStringLiteral("album"),
                                   QStringLiteral("source"), QStringLiteral("begin")};
    return known.contains(key);
}

// What is left of a name once the separators an empty field leaves
// dangling ("{album} - {n}" without an album) are gone from its ends.
QString withoutDangling(const QString& name) {
    static const QRegularExpression dangling(QStringLiteral("^[\\s._-]+|[\\s._-]+$"));
    return CleanTitle(name).remove(dangling);
}

const QString PatternSection = QStringLiteral("Run");
const QString PatternKey = QStringLiteral("PieceNames");

} // namespace

QString OutputNames::Base(const QString& caption) {
    qsizetype start = 0;
    while (start < caption.size() && caption[start] == QLatin1Char('.'))
        ++start;
    const qsizetype dot = caption.indexOf(QLatin1Char('.'), start);
    return caption.mid(start, dot < 0 ? -1 : dot - start);
}

QString OutputNames::SourceName(const QString& caption, const QString& sourcePath) {
    // A title is whole ("Mr. Blue Sky"); the list shows a file without one
    // by its file name.
    return caption == QFileInfo(sourcePath).fileName() ? Base(caption) : caption;
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
    GivenNames given(planned);
    return SplitOutput(outputDir, caption, extension, numbered, given);
}

QString OutputNames::SplitOutput(const QString& outputDir, const QString& caption,
                                 const QString& extension, bool numbered, GivenNames& given) {
    const QString folder = Folder(outputDir);
    // Cleaned: a title read from a file's comments may hold a "/", which
    // must not lead into another folder, and what is left of "../x" must not
    // start with a dot.
    const QString stem = stemOf(caption);
    const QString first = folder + stem + (numbered ? QStringLiteral("_1") : QString()) + extension;
    return firstFreeOf(folder, first, stem, extension, given);
}

QString OutputNames::PieceStem(const QString& pattern, int n, const PieceTags& tags,
                               const QString& caption, std::int64_t beginMs) {
    // Each "/" opens a folder below the output folder. Values cannot add
    // one, and a folder whose fields came out empty is left out.
    const QStringList parts = pattern.split(QLatin1Char('/'));
    QStringList stem;
    for (qsizetype k = 0; k < parts.size(); ++k) {
        const QString part = StemPart(parts[k], n, tags, caption, beginMs);
        if (!part.isEmpty())
            stem.append(part);
        else if (k + 1 == parts.size())
            stem.append(QStringLiteral("untitled"));
    }
    return stem.join(QLatin1Char('/'));
}

QString OutputNames::StemPart(const QString& pattern, int n, const PieceTags& tags,
                              const QString& caption, std::int64_t beginMs) {
    QString name;
    qsizetype at = 0;
    for (auto it = fieldForm().globalMatch(pattern); it.hasNext();) {
        const auto m = it.next();
        name += pattern.mid(at, m.capturedStart() - at);
        at = m.capturedEnd();
        const QString key = m.captured(1);
        QString value;
        if (key == QLatin1String("n"))
            value = QStringLiteral("%1").arg(n, m.captured(2).toInt(), 10, QLatin1Char('0'));
        else if (key == QLatin1String("title"))
            value = tags.title;
        else if (key == QLatin1String("artist"))
            value = tags.artist;
        else if (key == QLatin1String("album"))
            value = tags.album;
        else if (key == QLatin1String("source"))
            value = caption;
        else if (key == QLatin1String("begin"))
            value = FormatTimeMs(beginMs).replace(QLatin1Char(':'), QLatin1Char('-'));
        else
            value = m.captured(0);
        // A character taken out ("Dos / Two") leaves no double space.
        name += VisibleName(CleanTitle(value)).simplified();
    }
    name += pattern.mid(at);
    // Also what keeps a folder from being "." or "..": no part begins with a dot.
    return withoutDangling(name);
}

QString OutputNames::DefaultPattern() {
    return QStringLiteral("{n:02} - {title}");
}

QString OutputNames::Pattern(const SettingsFile& settings) {
    return settings.ReadString(PatternSection, PatternKey, QString()).trimmed();
}

void OutputNames::SetPattern(SettingsFile& settings, const QString& pattern) {
    const QString kept = pattern.trimmed();
    if (!kept.isEmpty() || settings.Contains(PatternSection, PatternKey))
        settings.WriteString(PatternSection, PatternKey, kept);
}

QString OutputNames::ChosenPattern(const QString& asked, const SettingsFile& settings,
                                   bool titled) {
    if (!asked.isEmpty() || !titled)
        return asked;
    return Pattern(settings);
}

QString OutputNames::PatternFault(const QString& pattern) {
    if (pattern.trimmed().isEmpty())
        return {};
    const auto notAField = [](const QString& field) {
        return QStringLiteral("%1 is not a field of the name template. The fields are {n}, "
                              "{n:02}, {title}, {artist}, {album}, {source} and {begin}.")
            .arg(field);
    };
    // Braces belong to fields alone: "{title" or "{n:99999999999}" is a
    // field mistyped, never text to keep.
    const auto strayBrace = [&](qsizetype from, qsizetype to) {
        const QString between = pattern.mid(from, to - from);
        const qsizetype brace = between.indexOf(QRegularExpression(QStringLiteral("[{}]")));
        if (brace < 0)
            return QString();
        const qsizetype close = between.indexOf(QLatin1Char('}'), brace + 1);
        const qsizetype open = between.indexOf(QLatin1Char('{'), brace + 1);
        const qsizetype end = between[brace] == QLatin1Char('}')         ? brace + 1
                              : close >= 0 && (open < 0 || close < open) ? close + 1
                              : open >= 0                                ? open
                                                                         : between.size();
        return notAField(between.mid(brace, end - brace));
    };
    bool anyField = false;
    qsizetype at = 0;
    for (auto it = fieldForm().globalMatch(pattern); it.hasNext();) {
        const auto m = it.next();
        if (const QString stray = strayBrace(at, m.capturedStart()); !stray.isEmpty())
            return stray;
        if (!knownField(m.captured(1)))
            return notAField(m.captured(0));
        anyField = true;
        at = m.capturedEnd();
    }
    if (const QString stray = strayBrace(at, pattern.size()); !stray.isEmpty())
        return stray;
    // Folders lie inside the output folder.
    for (const QString& part : pattern.split(QLatin1Char('/'))) {
        const QString name = part.trimmed();
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
            return QStringLiteral("The name template \"%1\" names a folder that is empty, \".\" "
                                  "or \"..\", or begins with \"/\". Its folders lie inside the "
                                  "output folder, as in {artist}/{album}/{n:02} {title}.")
                .arg(pattern);
    }
    if (!anyField && withoutDangling(pattern).isEmpty())
        return QStringLiteral("The name template \"%1\" holds nothing but separators, which "
                              "gives no name.")
            .arg(pattern);
    return {};
}

QString OutputNames::NamedOutput(const QString& outputDir, const QString& stem,
                                 const QString& extension, const QSet<QString>& planned) {
    GivenNames given(planned);
    return NamedOutput(outputDir, stem, extension, given);
}

QString OutputNames::NamedOutput(const QString& outputDir, const QString& stem,
                                 const QString& extension, GivenNames& given) {
    // A stem with folders ("Band/Album/01 - Song") goes below the output
    // folder, never above it.
    QStringList folders = stem.split(QLatin1Char('/'));
    const QString name = folders.takeLast();
    QString folder = Folder(outputDir);
    for (const QString& part : folders)
        if (!part.isEmpty() && part != QLatin1String(".") && part != QLatin1String(".."))
            folder += part + QLatin1Char('/');
    return firstFreeOf(folder, folder + name + extension, name, extension, given);
}

QString OutputNames::PieceOutput(const QString& outputDir, const QString& caption,
                                 const QString& extension, bool numbered, const QString& pattern,
                                 bool titled, int index, const PieceTags& tags,
                                 std::int64_t beginMs, GivenNames& given) {
    if (pattern.isEmpty() && !titled)
        return SplitOutput(outputDir, caption, extension, numbered, given);
    // A piece of a numbered set keeps its number, also 0: the audio before
    // a cue sheet's first track.
    const int n = tags.track > 0 || tags.tracks > 0 ? tags.track : index + 1;
    const QString stem =
        PieceStem(pattern.isEmpty() ? DefaultPattern() : pattern, n, tags, caption, beginMs);
    return NamedOutput(outputDir, stem, extension, given);
}

QString OutputNames::Fallback(const QString& outputDir, const QString& sourcePath,
                              const QString& extension, const QStringList& sources) {
    const QString folder = Folder(outputDir);
    // Cleaned as a title is: a source may be hidden, or hold a line break.
    QString stem =
        VisibleName(CleanTitle(ChangeExtension(QFileInfo(sourcePath).fileName(), QString())));
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
    const QString folder = Folder(info.path());
    const QString suffix = info.suffix();
    const QString extension = suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix;
    const QString stem = info.fileName().chopped(extension.size());
    const QString marks = QLatin1Char('.') + tag + QStringLiteral(".part") + extension;
    const QString name = QLatin1Char('.') + stem + marks;
    const qsizetype limit = nameLimit(folder);
    if (QFile::encodeName(name).size() <= limit)
        return folder + name;
    // The hash keeps the name unique to its final name and lets Pending tell
    // which output is being written.
    const QString hashMarks = QLatin1Char('.') + tag + QLatin1Char('.') + hashOf(info.fileName()) +
                              QStringLiteral(".part") + extension;
    const qsizetype room = limit - 1 - QFile::encodeName(hashMarks).size();
    return folder + QLatin1Char('.') + cutToBytes(stem, std::max<qsizetype>(room, 0)) + hashMarks;
}

bool OutputNames::NameFits(const QString& path) {
    const QFileInfo info(path);
    return QFile::encodeName(info.fileName()).size() <= nameLimit(info.path());
}

bool OutputNames::IsTemporary(const QString& fileName) {
    return temporaryForm().match(fileName).hasMatch() ||
           shortTemporaryForm().match(fileName).hasMatch();
}

QStringList OutputNames::PendingKeys(const QString& fileName) {
    // A "/" is in no file name, so the hash never stands for one.
    return {fileName, QLatin1Char('/') + hashOf(fileName)};
}

QSet<QString> OutputNames::Pending(const QString& folder) {
    QSet<QString> names;
    const QStringList candidates =
        QDir(folder).entryList({QStringLiteral(".*.part*")}, QDir::Files | QDir::Hidden);
    for (const QString& name : candidates) {
        const QRegularExpressionMatch cut = shortTemporaryForm().match(name);
        const QRegularExpressionMatch whole = temporaryForm().match(name);
        if (!cut.hasMatch() && !whole.hasMatch())
            continue;
        if (PendingOutput::Abandoned(Folder(folder) + name))
            continue;
        if (cut.hasMatch())
            names.insert(QLatin1Char('/') + cut.captured(2));
        else
            names.insert(whole.captured(1) + whole.captured(2));
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
