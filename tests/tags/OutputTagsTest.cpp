#include "tags/OutputTags.h"
#include "platform/Error.h"
#include "tags/TagLibraries.h"
#include "tags/WmaTags.h"
#include "tests/support/OggFixture.h"
#include "tests/tags/AsfFixture.h"
#include "tests/tags/Mp3Fixture.h"
#include "tests/tags/OggPageReader.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

namespace {

QString fromTagLib(const TagLib::String& s) {
    return QString::fromStdString(s.to8Bit(true));
}

AudioFileinfo record() {
    AudioFileinfo info;
    info.Title = QStringLiteral("Title");
    info.Artist = QStringLiteral("Artist");
    info.Year = QStringLiteral("1987");
    info.Album = QStringLiteral("Album");
    info.Comment = QStringLiteral("never written");
    info.Genre = QStringLiteral("Genre");
    return info;
}

class OutputTagsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { LoadWmaLibrary(); }
    QTemporaryDir dir_;
};

TEST_F(OutputTagsTest, Mp3GetsTheRecordAsID3v2WithEmptyTrackAndComment) {
    const QString path = dir_.filePath(QStringLiteral("piece.MP3"));
    writeMp3(path);
    WriteId3OutputTags(path, record());
    const QByteArray tagged = readBytes(path);
    EXPECT_TRUE(tagged.contains(QByteArray("TRCK\0\0\0\x01\0\0\0", 11)));
    EXPECT_TRUE(tagged.contains(QByteArray("COMM\0\0\0\x05\0\0\0eng\0", 15)));
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    ASSERT_TRUE(file.hasID3v2Tag());
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
    EXPECT_EQ(fromTagLib(tag->title()), "Title");
    EXPECT_EQ(fromTagLib(tag->artist()), "Artist");
    EXPECT_EQ(fromTagLib(tag->album()), "Album");
    EXPECT_EQ(tag->year(), 1987u);
    EXPECT_EQ(fromTagLib(tag->genre()), "Genre");
    EXPECT_EQ(fromTagLib(tag->comment()), "");
    EXPECT_EQ(tag->track(), 0u);
}

TEST_F(OutputTagsTest, WmaGetsTheRecordWithEmptyDescriptionAndTrackZero) {
    const QString path = dir_.filePath(QStringLiteral("piece.wma"));
    writeWma(path);
    AudioFileinfo info = record();
    info.Title = QString(300, QLatin1Char('t')); // wider than the field
    WriteWmaOutputTags(path, info);
    TagLib::ASF::File file(QFile::encodeName(path).constData());
    TagLib::ASF::Tag* tag = file.tag();
    EXPECT_EQ(fromTagLib(tag->title()), QString(128, QLatin1Char('t')));
    EXPECT_EQ(fromTagLib(tag->artist()), "Artist");
    EXPECT_EQ(fromTagLib(tag->album()), "Album");
    EXPECT_EQ(fromTagLib(tag->genre()), "Genre");
    EXPECT_EQ(fromTagLib(tag->comment()), "");
    EXPECT_EQ(tag->year(), 1987u);
    EXPECT_EQ(tag->track(), 0u);
}

TEST_F(OutputTagsTest, OggGetsOnlyTheFilledFields) {
    const QString path = dir_.filePath(QStringLiteral("piece.OGG"));
    OggFixture ogg;
    ogg.comments = {"TITLE=source", "COMMENT=old"};
    ogg.write(path);
    AudioFileinfo onlyYear;
    onlyYear.Year = QStringLiteral("1999");
    onlyYear.Comment = QStringLiteral("not written");
    WriteOggOutputTags(path, onlyYear);
    EXPECT_EQ(vorbisComments(path), QStringList{"Date=1999"});

    WriteOggOutputTags(path, record());
    EXPECT_EQ(vorbisComments(path), (QStringList{"Title=Title", "Artist=Artist", "Album=Album",
                                                 "Date=1987", "Genre=Genre"}));
}

TEST_F(OutputTagsTest, WriterErrorsReachTheCaller) {
    EXPECT_THROW(WriteId3OutputTags(dir_.filePath(QStringLiteral("missing.mp3")), record()), Error);
    const QString fake = dir_.filePath(QStringLiteral("fake.ogg"));
    writeBytes(fake, QByteArray(64, 'z'));
    EXPECT_THROW(WriteOggOutputTags(fake, record()), Error);
    // A tag that could not be written is an error naming the file, also
    // where the writer only reports false.
    const QString fakeWma = dir_.filePath(QStringLiteral("fake.wma"));
    writeBytes(fakeWma, QByteArray(64, 'z'));
    try {
        WriteWmaOutputTags(fakeWma, record());
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), fakeWma + ": Cannot write the attributes: not a Windows Media file");
    }
}

} // namespace
