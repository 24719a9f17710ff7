// Source tags of every input format as FFmpeg's muxers and lame write them.
#include "tags/SourceTags.h"
#include "core/AudioFileinfo.h"
#include "platform/Error.h"
#include "tests/support/EncoderCorpus.h"
#include "tests/support/FormatCorpus.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(SourceTagsTest, ReadsTheTagsOfEveryInputFormat) {
    QTemporaryDir dir;
    const QStringList tags{"-metadata", "title=Tïtle", "-metadata", "artist=Artist",
                           "-metadata", "album=Album", "-metadata", "comment=Note",
                           "-metadata", "genre=Jazz",  "-metadata", "date=1999-04-02"};
    // The file, its muxer's options, the date as the format keeps it.
    const std::vector<std::tuple<QString, QStringList, QString>> files = {
        {"v2.mp3", {}, "1999-04-02"},
        {"a.flac", {}, "1999-04-02"},
        {"a.oga", {"-c:a", "flac"}, "1999-04-02"},
        {"a.opus", {}, "1999-04-02"},
        {"a.m4a", {}, "1999-04-02"},
        {"a.wav", {}, "1999"},
        {"a.aiff", {"-write_id3v2", "1"}, "1999-04-02"},
        {"v1.mp3", {}, "1999"}};
    for (const auto& [name, options, year] : files) {
        SCOPED_TRACE(name.toStdString());
        const QString path = dir.filePath(name);
        if (name == "v1.mp3")
            EncoderCorpus::Run("lame", {"--quiet", "--id3v1-only", "--tt", "Tïtle", "--ta",
                                        "Artist", "--tl", "Album", "--tc", "Note", "--tg", "Jazz",
                                        "--ty", "1999", dir.filePath("a.wav"), path});
        else
            FormatCorpus::Synthesize("sine=d=0.5", tags + options, path);
        AudioFileinfo read{"stale", "stale"};
        ReadSourceTags(path, read);
        EXPECT_EQ(
            QStringList({read.Title, read.Artist, read.Album, read.Comment, read.Genre, read.Year}),
            QStringList({"Tïtle", "Artist", "Album", "Note", "Jazz", year}));
    }
    // Untagged is empty, not an error; unreadable is one.
    FormatCorpus::Synthesize("sine=d=0.5", {}, dir.filePath("bare.flac"));
    AudioFileinfo read{"stale", "stale"};
    ReadSourceTags(dir.filePath("bare.flac"), read);
    EXPECT_EQ(read.Title + read.Artist, "");
    EXPECT_THROW(ReadSourceTags(dir.filePath("missing.flac"), read), Error);
}
