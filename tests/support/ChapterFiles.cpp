#include "ChapterFiles.h"

#include "EncoderCorpus.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <stdexcept>

const QString ChapterFiles::Titles[3] = {QStringLiteral("One"), QStringLiteral("Two parts"),
                                         QStringLiteral("Três")};

namespace {

QString clock(std::int64_t ms) {
    return QStringLiteral("00:00:%1.%2")
        .arg(ms / 1000, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

// "-c" or "--comment" arguments for the Vorbis and Opus encoders.
QStringList comments(const QString& option) {
    QStringList out;
    for (int i = 0; i < 3; ++i) {
        const QString key = QStringLiteral("CHAPTER%1").arg(i, 3, 10, QLatin1Char('0'));
        out << option << key + QLatin1Char('=') + clock(ChapterFiles::Starts[i]) << option
            << key + QStringLiteral("NAME=") + ChapterFiles::Titles[i];
    }
    return out;
}

void write(const QString& path, const QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
        throw std::runtime_error("cannot write " + path.toStdString());
}

QString ffmetadata() {
    QString text = QStringLiteral(";FFMETADATA1\n");
    for (int i = 0; i < 3; ++i)
        text += QStringLiteral("[CHAPTER]\nTIMEBASE=1/1000\nSTART=%1\nEND=%2\ntitle=%3\n")
                    .arg(ChapterFiles::Starts[i])
                    .arg(i < 2 ? ChapterFiles::Starts[i + 1] : 5000)
                    .arg(ChapterFiles::Titles[i]);
    return text;
}

QString cueSheet() {
    QString text = QStringLiteral("FILE \"source.wav\" WAVE\n");
    for (int i = 0; i < 3; ++i) {
        const std::int64_t cue = ChapterFiles::Starts[i] * 75 / 1000;
        text += QStringLiteral("  TRACK %1 AUDIO\n    INDEX 01 00:%2:%3\n")
                    .arg(i + 1, 2, 10, QLatin1Char('0'))
                    .arg(cue / 75, 2, 10, QLatin1Char('0'))
                    .arg(cue % 75, 2, 10, QLatin1Char('0'));
    }
    return text;
}

} // namespace

std::int64_t ChapterFiles::StartFrame(int i, int rate) {
    return Starts[i] * rate / 1000;
}

const ChapterFiles& ChapterFiles::Shared() {
    static const ChapterFiles files;
    return files;
}

ChapterFiles::ChapterFiles() {
    const QDir folder(dir_.path());
    const QString source = folder.filePath(QStringLiteral("source.wav"));
    const QString meta = folder.filePath(QStringLiteral("chapters.txt"));
    const QString cue = folder.filePath(QStringLiteral("source.cue"));
    struct Recipe {
        const char* name;
        int rate;
        std::vector<QStringList> commands;
    };
    const auto at = [&](const char* name) { return folder.filePath(QLatin1String(name)); };
    const QStringList ffmpeg{QStringLiteral("-loglevel"),
                             QStringLiteral("error"),
                             QStringLiteral("-i"),
                             source,
                             QStringLiteral("-i"),
                             meta,
                             QStringLiteral("-map"),
                             QStringLiteral("0:a"),
                             QStringLiteral("-map_chapters"),
                             QStringLiteral("1")};
    const std::vector<Recipe> recipes{
        {"oggenc.ogg",
         44100,
         {QStringList{QStringLiteral("oggenc"), QStringLiteral("-Q"), QStringLiteral("-o"),
                      at("oggenc.ogg")} +
          comments(QStringLiteral("-c")) + QStringList{source}}},
        {"opusenc.opus",
         48000,
         {QStringList{QStringLiteral("opusenc"), QStringLiteral("--quiet")} +
          comments(QStringLiteral("--comment")) + QStringList{source, at("opusenc.opus")}}},
        {"ffmpeg.mp3", 44100, {QStringList{QStringLiteral("ffmpeg")} + ffmpeg << at("ffmpeg.mp3")}},
        {"ffmpeg.m4a", 44100, {QStringList{QStringLiteral("ffmpeg")} + ffmpeg << at("ffmpeg.m4a")}},
        {"ffmpeg-track.m4b",
         44100,
         {QStringList{QStringLiteral("ffmpeg")} + ffmpeg +
              QStringList{QStringLiteral("-c:a"), QStringLiteral("aac"),
                          QStringLiteral("-movflags"), QStringLiteral("disable_chpl"),
                          QStringLiteral("-f"), QStringLiteral("ipod")}
          << at("ffmpeg-track.m4b")}},
        {"ffmpeg-nero.3gp",
         44100,
         {QStringList{QStringLiteral("ffmpeg")} + ffmpeg +
              QStringList{QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-f"),
                          QStringLiteral("3gp")}
          << at("ffmpeg-nero.3gp")}},
        {"metaflac.flac",
         44100,
         {{QStringLiteral("flac"), QStringLiteral("-s"), QStringLiteral("-o"), at("metaflac.flac"),
           source},
          {QStringLiteral("metaflac"), QStringLiteral("--import-cuesheet-from=") + cue,
           at("metaflac.flac")}}},
    };
    QString prepared;
    try {
        EncoderCorpus::WriteSource(source, 44100, 2, 5 * 44100);
        write(meta, ffmetadata());
        write(cue, cueSheet());
    } catch (const std::exception& e) {
        prepared = QString::fromLocal8Bit(e.what());
    }
    for (const Recipe& recipe : recipes) {
        File file;
        file.name = QLatin1String(recipe.name);
        file.rate = recipe.rate;
        file.titled = !file.name.endsWith(QLatin1String(".flac"));
        file.mp4 = file.name.endsWith(QLatin1String(".m4a")) ||
                   file.name.endsWith(QLatin1String(".m4b")) ||
                   file.name.endsWith(QLatin1String(".3gp"));
        for (const QStringList& command : recipe.commands)
            if (QStandardPaths::findExecutable(command.front()).isEmpty())
                file.skipped = command.front() + QStringLiteral(" missing");
        file.failure = prepared;
        if (file.skipped.isEmpty() && file.failure.isEmpty()) {
            try {
                for (const QStringList& command : recipe.commands)
                    EncoderCorpus::Run(command.front(), command.mid(1));
                file.path = at(recipe.name);
            } catch (const std::exception& e) {
                file.failure = QString::fromLocal8Bit(e.what());
            }
        }
        files_.push_back(file);
    }
    // Both kinds of MP4 chapters, the Nero titles differing: libavformat
    // takes the track's.
    File both;
    both.name = QStringLiteral("nero-differs.m4a");
    both.rate = 44100;
    both.mp4 = true;
    const File made = *std::find_if(files_.begin(), files_.end(), [](const File& f) {
        return f.name == QLatin1String("ffmpeg.m4a");
    });
    both.skipped = made.skipped;
    both.failure = made.failure;
    if (!made.path.isEmpty()) {
        QFile in(made.path);
        QByteArray bytes = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
        const qsizetype nero = bytes.indexOf("chpl");
        const qsizetype title = nero < 0 ? -1 : bytes.indexOf(Titles[0].toUtf8(), nero);
        QFile out(at("nero-differs.m4a"));
        if (title < 0 || !out.open(QIODevice::WriteOnly) ||
            out.write(bytes.replace(title, 3, "Uno")) != bytes.size())
            both.failure = QStringLiteral("cannot change the Nero titles");
        else
            both.path = out.fileName();
    }
    files_.push_back(both);
}
