#include "tags/OggComments.h"
#include "platform/Error.h"
#include "tags/TagLibraries.h"
#include "tests/support/FfmpegDecoder.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/OggFixture.h"
#include "tests/tags/OggPageReader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

constexpr auto Modes = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                       QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther |
                       QFile::ExeOther;

class OggCommentsTest : public ::testing::Test {
protected:
    void TearDown() override {
        TagLibraries::setFolder({});
        TagLibraries::setVorbisName({});
    }

    QString fixture(const QStringList& comments, const QString& name = QStringLiteral("a.ogg"),
                    double seconds = 1.0) {
        OggFixture ogg;
        ogg.seconds = seconds;
        ogg.comments = comments;
        return ogg.write(dir_.filePath(name));
    }
    OGGTag read(const QString& path) {
        OGGTag tag;
        ReadOggComments(path, tag);
        return tag;
    }
    QStringList files() const { return QDir(dir_.path()).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir dir_;
};

// Packets and pages of the audio: everything but the comment packet.
void expectAudioUnchanged(const OggScan& before, const OggScan& after) {
    EXPECT_EQ(after.strayBytes, 0);
    ASSERT_EQ(before.packets.size(), after.packets.size());
    for (size_t i = 0; i < before.packets.size(); ++i) {
        if (i == 1)
            continue;
        EXPECT_EQ(before.packets[i].bytes, after.packets[i].bytes) << "packet " << i;
        EXPECT_EQ(before.packets[i].granule, after.packets[i].granule) << "packet " << i;
    }
    // Audio pages keep their granule positions and their bodies; the page
    // numbers run on without a gap.
    std::vector<const OggPageInfo*> audioBefore;
    std::vector<const OggPageInfo*> audioAfter;
    for (const auto& p : before.pages)
        if (p.packetsBefore >= 3)
            audioBefore.push_back(&p);
    for (const auto& p : after.pages)
        if (p.packetsBefore >= 3)
            audioAfter.push_back(&p);
    ASSERT_EQ(audioBefore.size(), audioAfter.size());
    for (size_t i = 0; i < audioBefore.size(); ++i) {
        EXPECT_EQ(audioBefore[i]->granule, audioAfter[i]->granule);
        EXPECT_EQ(audioBefore[i]->bytes.mid(27), audioAfter[i]->bytes.mid(27));
    }
    for (size_t i = 0; i < after.pages.size(); ++i)
        EXPECT_EQ(after.pages[i].sequence, i) << "page " << i;
}

bool vceditLoaded() {
    void* handle =
        dlopen(QFile::encodeName(TagLibraries::vceditPath()).constData(), RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr)
        dlclose(handle);
    return handle != nullptr;
}

// Each read loads the editor library and frees it again, unless the library
// is held for a batch of reads; then it stays loaded until the hold ends.
TEST_F(OggCommentsTest, TheEditorLibraryStaysLoadedOnlyWhileHeld) {
    const QString path = fixture({"TITLE=One"});
    EXPECT_EQ(read(path).Title, "One");
    EXPECT_FALSE(vceditLoaded());
    {
        const std::shared_ptr<void> hold = HoldOggCommentLibrary();
        EXPECT_EQ(read(path).Title, "One");
        EXPECT_TRUE(vceditLoaded());
        EXPECT_EQ(read(path).Title, "One");
    }
    EXPECT_FALSE(vceditLoaded());
}

TEST_F(OggCommentsTest, ReadsTheSevenFields) {
    const QString path = fixture({"ALBUM=Album", "TITLE=Title", "ARTIST=Artist", "COMMENT=Note",
                                  "GENRE=Genre", "DATE=1999", "TRACKNUMBER=7", "OTHER=x"});
    const OGGTag tag = read(path);
    EXPECT_EQ(tag.Album, "Album");
    EXPECT_EQ(tag.Title, "Title");
    EXPECT_EQ(tag.Artist, "Artist");
    EXPECT_EQ(tag.Comment, "Note");
    EXPECT_EQ(tag.Genre, "Genre");
    EXPECT_EQ(tag.Date, "1999");
    EXPECT_EQ(tag.TrackNumber, "7");
}

TEST_F(OggCommentsTest, NamesMatchInAnyCaseAndTheLastOneWins) {
    const OGGTag tag = read(fixture({"TITLE=a", "title=b", "ARTIST=x", "GeNrE=y"}));
    EXPECT_EQ(tag.Title, "b");
    EXPECT_EQ(tag.Artist, "x");
    EXPECT_EQ(tag.Genre, "y");
}

TEST_F(OggCommentsTest, InvalidNamesBlanksAndUtf8) {
    const OGGTag tag = read(fixture({
        "TITLE X=spaced name",                // valid name, matches nothing
        QString::fromUtf8("TITLE\u00e9=bad"), // byte above 0x7D: no name at all
        "ALBUM~=bad",                         // 0x7E is not allowed either
        "=no name",
        "no equals sign",
        "ARTIST=  \t padded \t ",
        "COMMENT=\x01\x1f"
        "controls\x7f",
        QString::fromUtf8("GENRE=Żółw 日本 \U0001F3B5"),
    }));
    EXPECT_EQ(tag.Title, "");
    EXPECT_EQ(tag.Album, "");
    EXPECT_EQ(tag.Artist, "padded");
    EXPECT_EQ(tag.Comment, "controls");
    EXPECT_EQ(tag.Genre, QString::fromUtf8("Żółw 日本 \U0001F3B5"));
}

TEST_F(OggCommentsTest, ParseCommentsTakesTextsByTheirLengths) {
    char title[] = "TITLE=abcXYZ";
    char artist[] = "ARTIST=a\0b";
    char date[] = "DATE=1999\0";
    char bad[] = "N\xC3\xA9=v";
    char* texts[] = {title, artist, date, bad, nullptr};
    int lengths[] = {9, 10, 10, 5, 0};
    vorbis_comment block{};
    block.user_comments = texts;
    block.comment_lengths = lengths;
    block.comments = 4;

    const TStrComments parsed = ParseComments(block);
    ASSERT_EQ(parsed.size(), 4u);
    EXPECT_EQ(parsed[0].Name, "TITLE");
    EXPECT_EQ(parsed[0].Value, "abc");
    EXPECT_EQ(parsed[0].Entry, "TITLE=abc");
    EXPECT_EQ(parsed[1].Value, QString::fromUtf16(u"a\0b", 3));
    EXPECT_EQ(parsed[2].Value, "1999"); // a zero at the very end is dropped
    EXPECT_EQ(parsed[3].Name, "");
    EXPECT_EQ(parsed[3].Value, QString::fromUtf8("N\u00e9=v"));
    EXPECT_EQ(parsed[3].Entry, parsed[3].Value);
}

TEST_F(OggCommentsTest, WritingReplacesEveryCommentWithTheFilledFields) {
    const QString path = fixture({"ARTIST=old", "TITLE=old", "ALBUM=old", "FOO=bar"});
    OGGTag tag;
    tag.Title = QStringLiteral("New");
    tag.Date = QStringLiteral("2024");
    EXPECT_TRUE(WriteOggComments(path, tag));
    EXPECT_EQ(vorbisComments(path), (QStringList{"Title=New", "Date=2024"}));

    OGGTag all;
    all.Album = "Al";
    all.Title = QString::fromUtf8("Tïtle 日本");
    all.Artist = "Ar";
    all.Comment = "Co";
    all.Genre = "Ge";
    all.Date = "1999";
    all.TrackNumber = "3";
    EXPECT_TRUE(WriteOggComments(path, all));
    EXPECT_EQ(vorbisComments(path),
              (QStringList{QString::fromUtf8("Title=Tïtle 日本"), "Artist=Ar", "Album=Al",
                           "TrackNumber=3", "Date=1999", "Genre=Ge", "Comment=Co"}));
    const OGGTag back = read(path);
    EXPECT_EQ(back.Title, all.Title);
    EXPECT_EQ(back.TrackNumber, "3");
    EXPECT_EQ(files(), QStringList{"a.ogg"});
}

TEST_F(OggCommentsTest, ValuesWithZeroBytesAreWrittenWhole) {
    const QString path = fixture({"TITLE=old"});
    OGGTag tag;
    tag.Title = QString::fromUtf16(u"a\0b", 3);
    tag.Comment = QString::fromUtf16(u"x\0\0y\0z", 6);
    ASSERT_TRUE(WriteOggComments(path, tag));
    EXPECT_EQ(vorbisComments(path), (QStringList{QString::fromUtf16(u"Title=a\0b", 9),
                                                 QString::fromUtf16(u"Comment=x\0\0y\0z", 14)}));
    const OGGTag back = read(path);
    EXPECT_EQ(back.Title, tag.Title);
    EXPECT_EQ(back.Comment, tag.Comment);
}

TEST_F(OggCommentsTest, ARewriteWhoseCommentsWouldNotReadBackIsRefused) {
    // A damaged copy of the Vorbis stream's first page, serial number and
    // all, in front of it: readers pass over it as a stream of its own, but a
    // rewrite would put it among the new header pages.
    const QString path = fixture({"TITLE=old"});
    const QByteArray original = readBytes(path);
    QByteArray damaged = firstPage(original);
    damaged[damaged.indexOf("vorbis")] = 'X';
    setPageChecksum(damaged);
    writeBytes(path, damaged + original);
    EXPECT_EQ(read(path).Title, "old");

    OGGTag tag;
    tag.Title = QStringLiteral("new");
    try {
        WriteOggComments(path, tag);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(),
                  "Cannot write comments: the new file's comments cannot be read back");
    }
    EXPECT_EQ(readBytes(path), damaged + original);
    EXPECT_EQ(files(), QStringList{"a.ogg"});
}

TEST_F(OggCommentsTest, TheAudioStaysBitIdenticalWhenTheHeadersGrowAndShrink) {
    const QString path = fixture({"TITLE=short"}, QStringLiteral("a.ogg"), 3.0);
    const OggScan original = scanOgg(path);
    const DecodedAudio decoded = decodeWithFfmpeg(path);

    // A title large enough to need several header pages, then a small one.
    OGGTag tag;
    tag.Title = QString(150000, QLatin1Char('t'));
    ASSERT_TRUE(WriteOggComments(path, tag));
    const OggScan grown = scanOgg(path);
    EXPECT_GT(grown.pages.size(), original.pages.size());
    expectAudioUnchanged(original, grown);
    EXPECT_EQ(read(path).Title, tag.Title);

    tag.Title = QStringLiteral("tiny");
    ASSERT_TRUE(WriteOggComments(path, tag));
    const OggScan shrunk = scanOgg(path);
    EXPECT_EQ(shrunk.pages.size(), original.pages.size());
    expectAudioUnchanged(original, shrunk);
    EXPECT_EQ(decodeWithFfmpeg(path).samples, decoded.samples);
}

TEST_F(OggCommentsTest, LaterLinksOfAChainedFileAreCopiedUnchanged) {
    const QString first = fixture({"TITLE=one"}, QStringLiteral("first.ogg"));
    OggFixture second;
    second.rate = 22050;
    second.channels = 1;
    second.comments = {"TITLE=two"};
    const QByteArray tail = readBytes(second.write(dir_.filePath(QStringLiteral("second.ogg"))));
    const QString path = dir_.filePath(QStringLiteral("chain.ogg"));
    writeBytes(path, readBytes(first) + tail);

    OGGTag tag;
    tag.Title = QString(9000, QLatin1Char('n'));
    ASSERT_TRUE(WriteOggComments(path, tag));
    const QByteArray rewritten = readBytes(path);
    EXPECT_TRUE(rewritten.endsWith(tail));
    EXPECT_EQ(read(path).Title, tag.Title);
    const OggScan scan = scanOgg(path);
    EXPECT_EQ(scan.strayBytes, 0);
    EXPECT_EQ(scanOgg(dir_.filePath(QStringLiteral("first.ogg"))).packets.size() +
                  scanOgg(dir_.filePath(QStringLiteral("second.ogg"))).packets.size(),
              scan.packets.size());
}

TEST_F(OggCommentsTest, AReadOnlyFileIsReplacedAndKeepsItsMode) {
    const QString path = fixture({"TITLE=old"});
    const auto mode = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(path, mode));
    OGGTag tag;
    tag.Title = QStringLiteral("new");
    EXPECT_TRUE(WriteOggComments(path, tag));
    EXPECT_EQ(QFile::permissions(path) & Modes, mode);
    EXPECT_EQ(vorbisComments(path), QStringList{"Title=new"});
}

TEST_F(OggCommentsTest, AnUnrelatedTempFileIsNeverTouched) {
    const QString path = fixture({"TITLE=old"});
    const QString unrelated = dir_.filePath(QStringLiteral("a.temp"));
    writeBytes(unrelated, "somebody's notes");
    OGGTag tag;
    tag.Title = QStringLiteral("new");
    EXPECT_TRUE(WriteOggComments(path, tag));
    EXPECT_EQ(readBytes(unrelated), "somebody's notes");
    EXPECT_EQ(files(), (QStringList{"a.ogg", "a.temp"}));
}

TEST_F(OggCommentsTest, AFileThatIsNoOggVorbisIsAnErrorAndStaysAsItWas) {
    const QString path = dir_.filePath(QStringLiteral("a.ogg"));
    writeBytes(path, QByteArray(100000, 'x'));
    const auto mode = QFile::ReadOwner | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(path, mode));
    OGGTag untouched;
    untouched.Title = QStringLiteral("kept");
    try {
        ReadOggComments(path, untouched);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot open ") + path + ": not an Ogg bitstream");
    }
    EXPECT_EQ(untouched.Title, "kept");
    EXPECT_THROW(WriteOggComments(path, untouched), Error);
    EXPECT_EQ(readBytes(path), QByteArray(100000, 'x'));
    EXPECT_EQ(QFile::permissions(path) & Modes, mode);
    EXPECT_EQ(files(), QStringList{"a.ogg"});

    writeBytes(dir_.filePath(QStringLiteral("empty.ogg")), {});
    EXPECT_THROW(read(dir_.filePath(QStringLiteral("empty.ogg"))), Error);
    EXPECT_THROW(read(dir_.filePath(QStringLiteral("missing.ogg"))), Error);
}

TEST_F(OggCommentsTest, DamagedCommentBlocksAreErrorsNotCrashes) {
    const struct {
        CommentField field;
        std::uint32_t value;
    } damages[] = {
        {CommentField::VendorLength, 0x7fffffff},
        {CommentField::CommentCount, 0xffffffff},
        {CommentField::CommentCount, 3},
        {CommentField::FirstCommentLength, 0x10000},
        {CommentField::FirstCommentLength, 0xfffffffe},
    };
    for (const auto& damage : damages) {
        const QString path = fixture({"TITLE=abc", "ARTIST=def"});
        patchCommentHeader(path, damage.field, damage.value);
        const QByteArray damaged = readBytes(path);
        try {
            read(path);
            ADD_FAILURE() << "no error for value " << damage.value;
        } catch (const Error& e) {
            EXPECT_EQ(e.message(),
                      QStringLiteral("Cannot open ") + path + ": damaged comment header");
        }
        ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner));
        EXPECT_THROW(WriteOggComments(path, {}), Error);
        EXPECT_EQ(readBytes(path), damaged);
        EXPECT_EQ(QFile::permissions(path) & Modes, QFile::ReadOwner);
        EXPECT_EQ(files(), QStringList{"a.ogg"});
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }
}

TEST_F(OggCommentsTest, WithoutTheLibrariesTheTagWorkIsSkipped) {
    const QString path = fixture({"TITLE=old", "ARTIST=me"});
    const QByteArray original = readBytes(path);
    OGGTag tag;
    tag.Title = QStringLiteral("new");

    // No libvorbis: the file is rewritten with its old comments.
    const DecodedAudio decoded = decodeWithFfmpeg(path);
    TagLibraries::setVorbisName(QStringLiteral("libvorbis-not-installed.so.0"));
    EXPECT_TRUE(WriteOggComments(path, tag));
    EXPECT_EQ(vorbisComments(path), (QStringList{"TITLE=old", "ARTIST=me"}));
    EXPECT_EQ(decodeWithFfmpeg(path).samples, decoded.samples);

    // No libvcedit: nothing is read or written.
    QTemporaryDir empty;
    TagLibraries::setFolder(empty.path());
    const QByteArray before = readBytes(path);
    EXPECT_FALSE(WriteOggComments(path, tag));
    EXPECT_EQ(readBytes(path), before);
    OGGTag untouched;
    untouched.Artist = QStringLiteral("kept");
    ReadOggComments(path, untouched);
    EXPECT_EQ(untouched.Artist, "kept");
    EXPECT_EQ(untouched.Title, "");
    ReadOggComments(dir_.filePath(QStringLiteral("missing.ogg")), untouched);
}

TEST_F(OggCommentsTest, AFolderThatTakesNoNewFileLeavesTheOldOne) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "folder permissions do not bind the superuser";
    const QString path = fixture({"TITLE=old"});
    const QByteArray original = readBytes(path);
    ASSERT_TRUE(QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::ExeOwner));
    OGGTag tag;
    tag.Title = QStringLiteral("new");
    EXPECT_THROW(WriteOggComments(path, tag), Error);
    QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(readBytes(path), original);
    EXPECT_EQ(files(), QStringList{"a.ogg"});
}

TEST_F(OggCommentsTest, ADiskThatRefusesTheNewFileGivesTheSystemsReason) {
    const QString path = fixture({"TITLE=old"}, QStringLiteral("a.ogg"), 3.0);
    const QByteArray original = readBytes(path);
    const QString tooLarge = QString::fromLocal8Bit(std::strerror(EFBIG));
    OGGTag tag;
    tag.Title = QString(5000, QLatin1Char('t'));
    // Refused at the first page, in the middle and near the end.
    for (const qsizetype room : {qsizetype(100), original.size() / 2, original.size() - 10}) {
        SCOPED_TRACE(room);
        try {
            FileSizeLimit full(static_cast<rlim_t>(room));
            WriteOggComments(path, tag);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), "Cannot write comments: " + tooLarge);
        }
        EXPECT_EQ(readBytes(path), original);
        EXPECT_EQ(files(), QStringList{"a.ogg"});
    }
}

TEST_F(OggCommentsTest, StreamCallbacksCountWholeItems) {
    QByteArray data("0123456789");
    QBuffer in(&data);
    in.open(QIODevice::ReadOnly);
    char buffer[16] = {};
    EXPECT_EQ(StreamRead(buffer, 0, 4, &in), 0u);
    EXPECT_EQ(StreamRead(buffer, 4, 0, &in), 0u);
    EXPECT_EQ(StreamRead(buffer, 4, 3, &in), 2u); // ten bytes: two whole items
    EXPECT_EQ(QByteArray(buffer, 10), data);
    EXPECT_EQ(StreamRead(buffer, 1, 4, &in), 0u);

    QByteArray sink;
    QBuffer out(&sink);
    out.open(QIODevice::WriteOnly);
    EXPECT_EQ(StreamWrite("abcdef", 0, 2, &out), static_cast<size_t>(-1));
    EXPECT_EQ(StreamWrite("abcdef", 3, 2, &out), 2u);
    EXPECT_EQ(sink, "abcdef");
    EXPECT_EQ(StreamWrite("abcdef", 3, 2, &in), 0u); // a stream that refuses
}

} // namespace
