#include "engine/SourceIntake.h"

#include "core/FramePosition.h"
#include "core/JobListModel.h"
#include "engine/RunSupport.h"
#include "engine/audio/AudioDecoder.h"
#include "engine/audio/IAudioFile2.h"
#include "platform/Error.h"
#include "platform/FileHandle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>

#include <cerrno>
#include <climits>
#include <fcntl.h>

#include <algorithm>
#include <limits>
#include <utility>

namespace {

const QString NotSupported = QStringLiteral(" this File is not supported.");
const QString ErrorOrNotSupported = QStringLiteral(" this File is Error or not supported.");

// The names the open dialog offers; anything else is judged by its content.
const QStringList AudioSuffixes = {
    QStringLiteral("ogg"),  QStringLiteral("oga"), QStringLiteral("opus"), QStringLiteral("mp3"),
    QStringLiteral("flac"), QStringLiteral("wav"), QStringLiteral("aif"),  QStringLiteral("aiff"),
    QStringLiteral("aifc"), QStringLiteral("m4a"), QStringLiteral("m4b"),  QStringLiteral("mp4"),
    QStringLiteral("aac"),  QStringLiteral("mka"), QStringLiteral("webm"), QStringLiteral("wma"),
    QStringLiteral("ac3"),  QStringLiteral("wv"),  QStringLiteral("tta"),  QStringLiteral("caf"),
    QStringLiteral("w64"),  QStringLiteral("spx"),
};

bool isAudioType(const QMimeType& type) {
    // Playlists are audio types by name, but they only name audio files, as
    // a cue sheet does.
    static const QStringList playlists = {
        QStringLiteral("audio/x-scpls"), QStringLiteral("audio/x-ms-asx"),
        QStringLiteral("audio/x-iriver-pla"), QStringLiteral("audio/x-mpegurl")};
    if (type.inherits(QStringLiteral("text/plain")) ||
        std::any_of(playlists.begin(), playlists.end(),
                    [&](const QString& name) { return type.inherits(name); }))
        return false;
    // Ogg, MP4, Matroska, WebM and ASF containers are named by their content
    // as such even when they hold audio alone.
    static const QStringList containers = {QStringLiteral("application/ogg"),
                                           QStringLiteral("video/mp4"),
                                           QStringLiteral("application/x-matroska"),
                                           QStringLiteral("video/x-matroska"),
                                           QStringLiteral("video/webm"),
                                           QStringLiteral("application/vnd.ms-asf"),
                                           QStringLiteral("video/x-ms-asf")};
    if (type.name().startsWith(QLatin1String("audio/")) || containers.contains(type.name()))
        return true;
    const QStringList ancestors = type.allAncestors();
    return std::any_of(ancestors.begin(), ancestors.end(), [](const QString& name) {
        return name.startsWith(QLatin1String("audio/"));
    });
}

// Why a file that is there cannot be opened for reading ("Permission
// denied"); empty when it can, or is not there at all.
QString openProblem(const QString& path) {
    // Without blocking: a FIFO is refused later, as every file that is not
    // a regular one.
    const FileHandle file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file || errno == ENOENT || errno == ENOTDIR)
        return {};
    return qt_error_string(errno);
}

} // namespace

SourceIntake::SourceIntake(TagReader readTags) : readTags_(std::move(readTags)) {}

SourceIntake::Result SourceIntake::Take(const QString& path, IAudioFile2& reader,
                                        Source source) const {
    const QString name = QFileInfo(path).fileName();
    // A file that is there but cannot be opened is no question of its
    // format: that comes first, with the system's reason.
    if (const QString denied = openProblem(path); !denied.isEmpty())
        return {std::nullopt, {QStringLiteral("Cannot open %1: %2.").arg(name, denied), {}}};
    listrecord job;
    try {
        // Measured first: when the file is refused, the reader says why.
        job = measure(reader, path, source);
    } catch (...) {
        QString reason = RunSupport::ReasonOf(std::current_exception());
        resetReader(reader);
        if (QFileInfo(path).isDir())
            reason = QStringLiteral("%1 is a folder.").arg(path);
        return {std::nullopt, {name + NotSupported, reason}};
    }
    // Under a second there is nothing to cut, and every time shows 0; a
    // file that announces more than it holds is cut short or damaged.
    if (job.Duration == 0) {
        const double seconds = FramePosition::Seconds(job.SampleCount, job.SampleRate);
        const double announced = static_cast<double>(AudioDecoder::AnnouncedMs(path)) / 1000;
        const QString reason =
            announced >= 1.0 && announced > seconds + 0.5
                ? QStringLiteral("%1 ends after %2 seconds, though it announces %3: the file is "
                                 "cut short or damaged.")
                      .arg(path)
                      .arg(seconds, 0, 'f', 2)
                      .arg(announced, 0, 'f', 2)
                : QStringLiteral("%1 lasts less than one second: there is nothing to cut.")
                      .arg(path);
        return {std::nullopt, {name + ErrorOrNotSupported, reason}};
    }

    // A file without tags, or with tags in a form not read, is still cut:
    // its pieces are then untagged.
    AudioFileinfo read;
    if (readTags_) {
        try {
            readTags_(path, read);
        } catch (...) {
            read = AudioFileinfo{};
        }
    }
    // The caption becomes part of output file names, so it loses the
    // characters a file name cannot hold; the tag keeps the title as the
    // source has it, since every tag format holds them.
    const QString caption = JobListModel::TitleCaption(read.Title);
    if (!caption.isEmpty())
        job.Caption = caption;
    job.Tags.Title = read.Title.trimmed();
    job.Tags.Artist = read.Artist;
    job.Tags.Album = read.Album;
    job.Tags.Comment = read.Comment;
    job.Tags.Genre = read.Genre;
    job.Tags.Year = YearOf(read.Year);
    return {std::move(job), {}};
}

listrecord SourceIntake::measure(IAudioFile2& reader, const QString& path, Source source) {
    if (reader.IsOpen())
        reader.Close();
    reader.Open(path, 0, 1);
    const std::int64_t durationMs = std::max<std::int64_t>(reader.DurationMs(), 0);

    listrecord record;
    record.FileName = path;
    // Whole seconds and slider positions stay 32-bit: they pass it only
    // after 68 years of audio, the slider range (half seconds) after 34.
    record.Duration = static_cast<std::int32_t>(
        std::min<std::int64_t>(durationMs / 1000, std::numeric_limits<std::int32_t>::max()));
    record.SliderRange = static_cast<std::int32_t>(std::clamp<std::int64_t>(
        durationMs / 500, source == Source::OpenDialog ? OpenDialogMinRange : FolderMinRange,
        std::numeric_limits<std::int32_t>::max()));
    record.SampleCount = reader.SampleCount();
    record.SampleRate = reader.SampleRate();
    record.Channels = reader.Channels();
    record.BeginTimes = {0};
    record.EndTimes = {record.Duration};
    record.SegmentCount = 1;
    reader.Close();

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot read ") + path + QStringLiteral(": ") +
                    file.errorString());
    record.FileBytes = file.size();
    record.Caption = QFileInfo(path).fileName();
    return record;
}

void SourceIntake::resetReader(IAudioFile2& reader) {
    try {
        if (reader.IsOpen())
            reader.Close();
        reader.SetActive(false);
        reader.SetActive(true);
    } catch (...) {
        // The reset is a best effort; the next Open reports a reader that
        // still fails.
    }
}

bool SourceIntake::IsAudioFile(const QString& path) {
    if (AudioSuffixes.contains(QFileInfo(path).suffix().toLower()))
        return true;
    if (isAudioType(QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchContent)))
        return true;
    // Core Audio and Wave64 files, which the MIME database may not know by
    // their content, by their own signatures.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(16);
    return head.startsWith("caff") ||
           head.startsWith(QByteArray::fromHex("726966662e91cf11a5d628db04c10000"));
}

QStringList SourceIntake::FolderFiles(const QString& folder) {
    // A folder named like an audio file is not one.
    const QDir dir(folder);
    QStringList files;
    for (const QFileInfo& entry :
         dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase)) {
        const QString path = dir.filePath(entry.fileName());
        if (IsAudioFile(path))
            files.append(path);
    }
    return files;
}

SourceIntake::Sorted SourceIntake::SortDropped(const QList<QUrl>& urls) {
    Sorted sorted;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            sorted.leftOut.append(url.toDisplayString());
            continue;
        }
        const QString path = url.toLocalFile();
        const QFileInfo info(path);
        if (info.isDir() || (info.isFile() && IsAudioFile(path)))
            sorted.accepted.append(path);
        else
            sorted.leftOut.append(info.fileName().isEmpty() ? path : info.fileName());
    }
    return sorted;
}

QString SourceIntake::LeftOutMessage(const QStringList& names) {
    return QStringLiteral("Only audio files and folders can be added. Left out:\n") +
           names.join(QLatin1Char('\n'));
}

SourceIntake::Refusal SourceIntake::UnnameableRefusal(const QString& path) {
    return {ShortName(QFileInfo(path).fileName()) + NotSupported,
            QStringLiteral("The name %1 is longer than the system allows for a file.")
                .arg(ShortName(path))};
}

QString SourceIntake::YearOf(const QString& date) {
    // The first four digits that follow no other digit: "2001-05-03",
    // "03.05.2001" and "May 2001" all give 2001.
    static const QRegularExpression year(QStringLiteral("(?<!\\d)(\\d{4})"));
    const QRegularExpressionMatch match = year.match(date);
    return match.hasMatch() ? match.captured(1) : date.trimmed();
}

QString SourceIntake::ShortName(const QString& name) {
    constexpr qsizetype Longest = 120;
    if (name.size() <= Longest)
        return name;
    return name.left(80) + QChar(0x2026) + name.right(30) +
           QStringLiteral(" (%1 characters)").arg(name.size());
}

bool SourceIntake::CanNameAFile(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    if (bytes.isEmpty() || bytes.size() >= PATH_MAX)
        return false;
    for (const QByteArray& part : bytes.split('/'))
        if (part.size() > NAME_MAX)
            return false;
    return true;
}
