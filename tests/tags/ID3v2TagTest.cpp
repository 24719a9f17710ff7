#include "tags/ID3v2Tag.h"
#include "platform/Error.h"
#include "tests/support/FfmpegDecoder.h"
#include "tests/tags/Mp3Fixture.h"
#include "tests/tags/OggPageReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

namespace {

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

QByteArray emptyFrame(const char* id) {
    return QByteArray(id) + bytes({0, 0, 0, 1, 0, 0, 0});
}

// The frame ids of a tag, in file order.
QStringList frameIds(const QByteArray& tag) {
    QStringList ids;
    qsizetype at = 10;
    while (at + 10 <= tag.size() && tag.at(at) != '\0') {
        ids << QString::fromLatin1(tag.mid(at, 4));
        const auto size = (static_cast<unsigned char>(tag[at + 4]) << 24) |
                          (static_cast<unsigned char>(tag[at + 5]) << 16) |
                          (static_cast<unsigned char>(tag[at + 6]) << 8) |
                          static_cast<unsigned char>(tag[at + 7]);
        at += 10 + size;
    }
    return ids;
}

QString fromTagLib(const TagLib::String& s) {
    return QString::fromStdString(s.to8Bit(true));
}

class ID3v2TagTest : public ::testing::Test {
protected:
    QString mp3Path() {
        const QString path = dir_.filePath(QStringLiteral("piece.mp3"));
        writeMp3(path);
        return path;
    }
    QStringList leftovers() const {
        return QDir(dir_.path()).entryList({QStringLiteral("*.temp")}, QDir::Files);
    }

    QTemporaryDir dir_;
};

TEST_F(ID3v2TagTest, EmptyTextsGiveTheHundredAndOneByteTagAheadOfTheAudio) {
    QByteArray expected = QByteArray("ID3") + bytes({3, 0, 0, 0, 0, 0, 0x5B});
    for (const char* id : {"TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON"})
        expected += emptyFrame(id);
    expected += QByteArray("COMM") + bytes({0, 0, 0, 5, 0, 0, 0}) + "eng" + bytes({0});
    expected += QByteArray(10, '\0');
    ASSERT_EQ(expected.size(), 101);
    EXPECT_EQ(ID3v2TagBytes(BuildID3v2Buffer({})), expected);

    const QString path = mp3Path();
    const QByteArray audio = readBytes(path);
    ASSERT_FALSE(audio.startsWith("ID3"));
    WriteID3v2Tag(path, {});
    // Every byte the encoder wrote follows the tag, and nothing is appended.
    EXPECT_EQ(readBytes(path), expected + audio);
    EXPECT_TRUE(leftovers().isEmpty());
}

// An empty tag ahead of the audio is room kept for the tag: one that fits is
// written into it, keeping its size; one that does not takes its place, so
// the file never holds two tags.
TEST_F(ID3v2TagTest, RoomKeptAheadOfTheAudioIsFilledInPlaceOrGivesWay) {
    ID3StructV2 tag;
    tag.Title = QStringLiteral("Piece");
    const QByteArray written = ID3v2TagBytes(BuildID3v2Buffer(tag));
    for (const int room : {4096, 64}) {
        SCOPED_TRACE(room);
        const QString path = mp3Path();
        const QByteArray audio = readBytes(path);
        const int body = room - 10;
        QByteArray empty = QByteArray("ID3") + bytes({3, 0, 0, 0, 0, body >> 7, body & 0x7f});
        empty.append(QByteArray(body, '\0'));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(empty + audio);
        file.close();

        WriteID3v2Tag(path, tag);
        const QByteArray tagged = readBytes(path);
        if (room > written.size()) {
            EXPECT_EQ(tagged.size(), room + audio.size());
            EXPECT_EQ(tagged.left(6), written.left(6));
            EXPECT_EQ(tagged.mid(6, 4), empty.mid(6, 4));
            EXPECT_EQ(tagged.mid(10, written.size() - 20), written.mid(10, written.size() - 20));
            EXPECT_EQ(tagged.mid(room), audio);
        } else {
            EXPECT_EQ(tagged, written + audio);
        }
        TagLib::MPEG::File read(QFile::encodeName(path).constData());
        ASSERT_TRUE(read.ID3v2Tag());
        EXPECT_EQ(fromTagLib(read.ID3v2Tag()->title()), QStringLiteral("Piece"));
        EXPECT_TRUE(leftovers().isEmpty());
    }
}

TEST_F(ID3v2TagTest, FramesFollowTheirFixedOrderWithTheirTexts) {
    ID3StructV2 tag;
    tag.Title = QStringLiteral("abc");
    tag.Artist = QStringLiteral("Artist");
    tag.Album = QStringLiteral("Album");
    tag.Year = QStringLiteral("1999");
    tag.Track = QStringLiteral("7");
    tag.Comment = QStringLiteral("Note");
    tag.Genre = QStringLiteral("Jazz");
    const QByteArray out = ID3v2TagBytes(BuildID3v2Buffer(tag));

    EXPECT_EQ(frameIds(out), (QStringList{"TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON", "COMM"}));
    EXPECT_EQ(out.mid(10, 14), QByteArray("TIT2") + bytes({0, 0, 0, 4, 0, 0, 0}) + "abc");
    EXPECT_TRUE(out.contains(QByteArray("TRCK") + bytes({0, 0, 0, 2, 0, 0, 0}) + "7"));
    EXPECT_TRUE(out.contains(QByteArray("TYER") + bytes({0, 0, 0, 5, 0, 0, 0}) + "1999"));
    EXPECT_TRUE(out.endsWith(QByteArray("COMM") + bytes({0, 0, 0, 9, 0, 0, 0}) + "eng" +
                             bytes({0}) + "Note" + QByteArray(10, '\0')));
}

TEST_F(ID3v2TagTest, TextsAreKeptToTwoHundredFiftyFiveBytes) {
    ID3StructV2 tag;
    tag.Title = QString(255, QLatin1Char('t'));
    QByteArray out = ID3v2TagBytes(BuildID3v2Buffer(tag));
    EXPECT_EQ(out.mid(10, 10), QByteArray("TIT2") + bytes({0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(out.mid(21, 255), QByteArray(255, 't'));

    // Longer texts are cut; seven full texts still keep the size small.
    for (QString* field :
         {&tag.Title, &tag.Artist, &tag.Album, &tag.Year, &tag.Track, &tag.Comment, &tag.Genre})
        *field = QString(400, QLatin1Char('x'));
    out = ID3v2TagBytes(BuildID3v2Buffer(tag));
    EXPECT_EQ(out.mid(10, 8), QByteArray("TIT2") + bytes({0, 0, 1, 0}));
    EXPECT_EQ(out.at(6), 0);
    EXPECT_EQ(out.at(7), 0);
    for (int i = 6; i < 10; ++i)
        EXPECT_EQ(out.at(i) & 0x80, 0);
    const int size = (out.at(8) << 7) | out.at(9);
    EXPECT_EQ(size + 10, out.size());
    EXPECT_LT(size, 2000);
}

TEST_F(ID3v2TagTest, TextsOutsideLatin1AreWrittenAsUtf16CutBetweenCharacters) {
    const ID3v2Text latin = EncodeID3v2Text(QStringLiteral("Café"));
    EXPECT_EQ(latin.encoding, 0);
    EXPECT_EQ(latin.bytes, QByteArray("Caf\xE9"));

    const ID3v2Text wide = EncodeID3v2Text(QStringLiteral("日本"));
    EXPECT_EQ(wide.encoding, 1);
    EXPECT_EQ(wide.bytes, bytes({0xFF, 0xFE, 0xE5, 0x65, 0x2C, 0x67}));

    // 126 units fit; a pair that would be split is left out whole.
    const QString clef = QStringLiteral("\U0001D11E");
    const ID3v2Text cut = EncodeID3v2Text(QStringLiteral("a") + clef.repeated(200));
    EXPECT_EQ(cut.bytes.size(), 2 + 2 * 125);
    EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t*>(cut.bytes.constData() + 2),
                                 (cut.bytes.size() - 2) / 2),
              QStringLiteral("a") + clef.repeated(62));
    EXPECT_EQ(EncodeID3v2Text(QStringLiteral("日").repeated(300)).bytes.size(), 2 + 2 * 126);
}

TEST_F(ID3v2TagTest, TagLibReadsTheTagAndTheAudioStillDecodes) {
    const QString path = mp3Path();
    const QByteArray audio = readBytes(path);
    ID3StructV2 tag;
    tag.Title = QStringLiteral("日本語の歌");
    tag.Artist = QStringLiteral("Café Müller");
    tag.Album = QStringLiteral("Album");
    tag.Year = QStringLiteral("2003");
    tag.Track = QStringLiteral("4");
    tag.Comment = QStringLiteral("Ωmega");
    tag.Genre = QStringLiteral("Chanson");
    WriteID3v2Tag(path, tag);

    const QByteArray tagged = readBytes(path);
    const int tagSize = 10 + ((tagged.at(8) << 7) | tagged.at(9));
    EXPECT_EQ(tagged.mid(tagSize), audio);
    {
        TagLib::MPEG::File file(QFile::encodeName(path).constData());
        ASSERT_TRUE(file.isValid());
        ASSERT_TRUE(file.hasID3v2Tag());
        EXPECT_FALSE(file.hasID3v1Tag());
        TagLib::ID3v2::Tag* id3 = file.ID3v2Tag();
        EXPECT_EQ(id3->header()->majorVersion(), 3u);
        EXPECT_EQ(fromTagLib(id3->title()), tag.Title);
        EXPECT_EQ(fromTagLib(id3->artist()), tag.Artist);
        EXPECT_EQ(fromTagLib(id3->album()), tag.Album);
        EXPECT_EQ(id3->year(), 2003u);
        EXPECT_EQ(id3->track(), 4u);
        EXPECT_EQ(fromTagLib(id3->genre()), tag.Genre);
        EXPECT_EQ(fromTagLib(id3->comment()), tag.Comment);
        const auto comments = id3->frameList("COMM");
        ASSERT_EQ(comments.size(), 1u);
        const auto* comment = dynamic_cast<TagLib::ID3v2::CommentsFrame*>(comments.front());
        ASSERT_NE(comment, nullptr);
        EXPECT_EQ(comment->language(), TagLib::ByteVector("eng"));
        EXPECT_TRUE(comment->description().isEmpty());
    }
    const DecodedAudio decoded = decodeWithFfmpeg(path);
    EXPECT_TRUE(decoded.codec.startsWith(QStringLiteral("mp3")));
    EXPECT_NEAR(decoded.seconds(), 1.0, 0.1);
    // The middle of the tone: the encoder's padding at the ends is silence.
    const std::vector<float> mono = decoded.channel(0);
    const std::vector<float> middle(mono.begin() + decoded.rate / 4,
                                    mono.begin() + decoded.rate * 3 / 4);
    EXPECT_NEAR(dominantFrequency(middle, decoded.rate), 440.0, 10.0);
}

TEST_F(ID3v2TagTest, AReadOnlyOutputIsMadeWritableAndTagged) {
    const QString path = mp3Path();
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
    ID3StructV2 tag;
    tag.Title = QStringLiteral("Kept");
    WriteID3v2Tag(path, tag);
    EXPECT_EQ(QFile::permissions(path) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    EXPECT_EQ(fromTagLib(file.tag()->title()), QStringLiteral("Kept"));
}

TEST_F(ID3v2TagTest, AMissingFileIsAnErrorNamingItAndNothingIsCreated) {
    const QString path = dir_.filePath(QStringLiteral("gone.mp3"));
    try {
        WriteID3v2Tag(path, {});
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Cannot open ") + path));
    }
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(QDir(dir_.path()).isEmpty());
}

} // namespace
