#include "CdImages.h"

#include "EncoderCorpus.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>

#include <stdexcept>

const QString CdImages::Titles[3] = {QStringLiteral("Intro"), QStringLiteral("Live at \"Home\""),
                                     QStringLiteral("Última")};
const QString CdImages::Isrc[3] = {QStringLiteral("USAAA0000001"), QStringLiteral("USAAA0000002"),
                                   QString()};

QByteArray CdImages::SheetText() {
    return QByteArrayLiteral("REM GENRE Game\n"
                             "REM DATE 2002\n"
                             "REM COMMENT \"ripped in the suite\"\n"
                             "CATALOG 0123456789012\n"
                             "PERFORMER \"Frozen Band\"\n"
                             "SONGWRITER \"Disc Writer\"\n"
                             "TITLE \"Bubbles\"\n"
                             "FILE \"image.wav\" WAVE\n"
                             "  TRACK 01 AUDIO\n"
                             "    TITLE \"Intro\"\n"
                             "    SONGWRITER \"First Writer\"\n"
                             "    ISRC USAAA0000001\n"
                             "    INDEX 00 00:00:00\n"
                             "    INDEX 01 00:01:00\n"
                             "  TRACK 02 AUDIO\n"
                             "    TITLE \"Live at \"Home\"\"\n"
                             "    ISRC USAAA0000002\n"
                             "    INDEX 00 00:04:00\n"
                             "    INDEX 01 00:05:30\n"
                             "  TRACK 03 AUDIO\n"
                             "    TITLE \"\xC3\x9Altima\"\n"
                             "    INDEX 01 00:09:00\n");
}

const CdImages& CdImages::Shared() {
    static const CdImages images;
    return images;
}

QString CdImages::sheetPath() const {
    return QDir(dir_.path()).filePath(QStringLiteral("image.cue"));
}

namespace {

QByteArray picture(const QString& path, const char* colour) {
    EncoderCorpus::Run(QStringLiteral("ffmpeg"),
                       {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
                        QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                        QStringLiteral("color=%1:s=32x32").arg(QLatin1String(colour)),
                        QStringLiteral("-frames:v"), QStringLiteral("1"), path});
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

} // namespace

CdImages::CdImages() {
    const QDir folder(dir_.path());
    const auto at = [&](const char* name) { return folder.filePath(QLatin1String(name)); };
    const QString source = at("image.wav");
    const QString text = QString::fromUtf8(SheetText());
    struct Recipe {
        const char* name;
        bool titled;
        bool ownCover;
        std::vector<QStringList> commands;
    };
    const QString flac = QStringLiteral("flac");
    const QString metaflac = QStringLiteral("metaflac");
    const std::vector<Recipe> recipes{
        {"block.flac",
         false,
         true,
         {{flac, QStringLiteral("-s"), QStringLiteral("-o"), at("block.flac"), source},
          {metaflac, QStringLiteral("--import-cuesheet-from=") + sheetPath(),
           QStringLiteral("--import-picture-from=3||||") + at("own.png"), at("block.flac")}}},
        {"text.flac",
         true,
         false,
         {{flac, QStringLiteral("-s"), QStringLiteral("-o"), at("text.flac"), source},
          {metaflac, QStringLiteral("--import-cuesheet-from=") + sheetPath(),
           QStringLiteral("--set-tag-from-file=CUESHEET=") + sheetPath(), at("text.flac")}}},
        {"comment.ogg",
         true,
         false,
         {{QStringLiteral("oggenc"), QStringLiteral("-Q"), QStringLiteral("-c"),
           QStringLiteral("CUESHEET=") + text, QStringLiteral("-o"), at("comment.ogg"), source}}},
        {"apetag.wv",
         true,
         false,
         {{QStringLiteral("ffmpeg"), QStringLiteral("-loglevel"), QStringLiteral("error"),
           QStringLiteral("-i"), source, QStringLiteral("-c:a"), QStringLiteral("wavpack"),
           QStringLiteral("-metadata"), QStringLiteral("Cuesheet=") + text, at("apetag.wv")}}},
    };
    QString prepared;
    try {
        EncoderCorpus::WriteSource(source, Rate, 2, Frames);
        QFile sheet(sheetPath());
        if (!sheet.open(QIODevice::WriteOnly) || sheet.write(SheetText()) < 0)
            throw std::runtime_error("cannot write the sheet");
        sheet.close();
        ownCover_ = picture(at("own.png"), "red");
        folderCover_ = picture(at("Folder.JPG"), "blue");
    } catch (const std::exception& e) {
        prepared = QString::fromLocal8Bit(e.what());
    }
    for (const Recipe& recipe : recipes) {
        File file;
        file.name = QLatin1String(recipe.name);
        file.titled = recipe.titled;
        file.ownCover = recipe.ownCover;
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
}
