// Source tags of every input format, written by the formats' own tools.
#include "tags/SourceTags.h"
#include "core/AudioFileinfo.h"
#include "platform/Error.h"
#include "tests/support/EncoderCorpus.h"

#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Tagged {
    const char* name;
    QStringList command; // "%in" the source WAV, "%out" the file made
    const char* year;    // as the tool stores the date "1999-04-02"
};

QStringList ffmpeg(const QStringList& extra) {
    return QStringList{"ffmpeg",
                       "-nostdin",
                       "-v",
                       "error",
                       "-y",
                       "-i",
                       "%in",
                       "-metadata",
                       "title=Tïtle",
                       "-metadata",
                       "artist=Artist",
                       "-metadata",
                       "album=Album",
                       "-metadata",
                       "comment=Note",
                       "-metadata",
                       "genre=Jazz",
                       "-metadata",
                       "date=1999-04-02"} +
           extra + QStringList{"%out"};
}

QStringList lame(const QString& which) {
    return {"lame", "--quiet", which,  "--tt", "Tïtle", "--ta", "Artist", "--tl", "Album",
            "--tc", "Note",    "--tg", "Jazz", "--ty",  "1999", "%in",    "%out"};
}

QStringList flac(const QStringList& extra) {
    return QStringList{"flac",
                       "--silent",
                       "-f",
                       "-T",
                       "TITLE=Tïtle",
                       "-T",
                       "ARTIST=Artist",
                       "-T",
                       "ALBUM=Album",
                       "-T",
                       "COMMENT=Note",
                       "-T",
                       "GENRE=Jazz",
                       "-T",
                       "DATE=1999-04-02"} +
           extra + QStringList{"-o", "%out", "%in"};
}

TEST(SourceTagsTest, ReadsEveryFormatsTagsAsItsToolWroteThem) {
    const std::vector<Tagged> files = {
        {"id3v2.mp3", lame("--id3v2-only"), "1999"},
        {"id3v1.mp3", lame("--id3v1-only"), "1999"},
        {"native.flac", flac({}), "1999-04-02"},
        {"ogg.oga", flac({"--ogg"}), "1999-04-02"},
        {"opusenc.opus",
         {"opusenc", "--quiet", "--title", "Tïtle", "--artist", "Artist", "--album", "Album",
          "--comment", "COMMENT=Note", "--genre", "Jazz", "--date", "1999-04-02", "%in", "%out"},
         "1999-04-02"},
        {"atoms.m4a", ffmpeg({"-c:a", "aac"}), "1999-04-02"},
        // RIFF INFO keeps a year only, as TagLib reads it.
        {"info.wav", ffmpeg({}), "1999"},
        {"id3.aiff", ffmpeg({"-write_id3v2", "1"}), "1999-04-02"},
    };
    QTemporaryDir dir;
    const QString source = dir.filePath("source.wav");
    EncoderCorpus::WriteSource(source, 44100, 2, 22050);
    for (const Tagged& file : files) {
        SCOPED_TRACE(file.name);
        if (QStandardPaths::findExecutable(file.command.front()).isEmpty()) {
            ADD_FAILURE() << file.command.front().toStdString() << " missing";
            continue;
        }
        const QString out = dir.filePath(file.name);
        QStringList arguments = file.command.mid(1);
        for (QString& a : arguments)
            a.replace("%in", source).replace("%out", out);
        EncoderCorpus::Run(file.command.front(), arguments);

        AudioFileinfo tags;
        tags.Title = "stale";
        ReadSourceTags(out, tags);
        EXPECT_EQ(tags.Title, QStringLiteral("Tïtle"));
        EXPECT_EQ(tags.Artist, "Artist");
        EXPECT_EQ(tags.Album, "Album");
        EXPECT_EQ(tags.Comment, "Note");
        EXPECT_EQ(tags.Genre, "Jazz");
        EXPECT_EQ(tags.Year, file.year);
    }

    // Untagged is empty, not an error; unreadable is one.
    AudioFileinfo tags;
    tags.Artist = "stale";
    EXPECT_NO_THROW(ReadSourceTags(source, tags));
    EXPECT_EQ(tags.Artist, "");
    EXPECT_THROW(ReadSourceTags(dir.filePath("missing.flac"), tags), Error);
}

} // namespace
