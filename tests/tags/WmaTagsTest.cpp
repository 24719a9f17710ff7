#include "tags/WmaTags.h"
#include "tags/SharedLibrary.h"
#include "tags/TagLibraries.h"
#include "tests/support/FfmpegDecoder.h"
#include "tests/tags/AsfFixture.h"
#include "tests/tags/OggPageReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <taglib/asffile.h>
#include <taglib/asftag.h>

namespace {

constexpr auto Modes = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                       QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther |
                       QFile::ExeOther;

QString fromTagLib(const TagLib::String& s) {
    return QString::fromStdString(s.to8Bit(true));
}

// One attribute of the file's extended content, as TagLib reads it.
TagLib::ASF::Attribute attribute(TagLib::ASF::File& file, const char* name) {
    const auto& map = file.tag()->attributeListMap();
    if (!map.contains(name) || map[name].isEmpty())
        return {};
    return map[name].front();
}

class WmaTagsTest : public ::testing::Test {
protected:
    void SetUp() override {
        TagLibraries::setFolder({});
        LoadWmaLibrary();
    }
    void TearDown() override {
        TagLibraries::setFolder({});
        LoadWmaLibrary();
    }
    QString wma(const QString& name = QStringLiteral("piece.wma")) {
        const QString path = dir_.filePath(name);
        writeWma(path);
        return path;
    }
    QStringList files() const { return QDir(dir_.path()).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir dir_;
};

TEST_F(WmaTagsTest, AttributesAreStoredAndTheAudioIsKept) {
    ASSERT_TRUE(WmaInfoAvailable());
    const QString path = wma();
    const DecodedAudio before = decodeWithFfmpeg(path);
    WmaTagBuffer tag;
    SetWmaField(tag.Title, QStringLiteral("Title ü"));
    SetWmaField(tag.Artist, QString::fromUtf8("Артист"));
    SetWmaField(tag.Album, QStringLiteral("Album"));
    SetWmaField(tag.Year, QStringLiteral("2001"));
    SetWmaField(tag.Genre, QStringLiteral("Ambient"));
    EXPECT_TRUE(WriteWmaTags(path, tag));

    {
        TagLib::ASF::File file(QFile::encodeName(path).constData());
        ASSERT_TRUE(file.isValid());
        TagLib::ASF::Tag* asf = file.tag();
        EXPECT_EQ(fromTagLib(asf->title()), QStringLiteral("Title ü"));
        EXPECT_EQ(fromTagLib(asf->artist()), QString::fromUtf8("Артист"));
        EXPECT_EQ(fromTagLib(asf->comment()), QString());
        EXPECT_EQ(fromTagLib(attribute(file, "WM/AlbumTitle").toString()), "Album");
        EXPECT_EQ(fromTagLib(attribute(file, "WM/Year").toString()), "2001");
        EXPECT_EQ(fromTagLib(attribute(file, "WM/Genre").toString()), "Ambient");
        const TagLib::ASF::Attribute track = attribute(file, "WM/TrackNumber");
        EXPECT_EQ(track.type(), TagLib::ASF::Attribute::DWordType);
        EXPECT_EQ(track.toUInt(), 0u);
    }
    const DecodedAudio after = decodeWithFfmpeg(path);
    EXPECT_EQ(after.codec, QStringLiteral("wmav2"));
    EXPECT_EQ(after.samples, before.samples);
    EXPECT_EQ(files(), QStringList{"piece.wma"});
}

TEST_F(WmaTagsTest, FieldsHoldTheirFullWidthAndCutBetweenCharacters) {
    const QString path = wma();
    WmaTagBuffer tag;
    std::fill(std::begin(tag.Title), std::end(tag.Title), 'x'); // no zero byte at all
    SetWmaField(tag.Album, QStringLiteral("é").repeated(100));  // 200 bytes for 128
    EXPECT_EQ(WmaFieldText(tag.Album).size(), 128);
    EXPECT_TRUE(WriteWmaTags(path, tag));

    TagLib::ASF::File file(QFile::encodeName(path).constData());
    EXPECT_EQ(fromTagLib(file.tag()->title()), QString(128, QLatin1Char('x')));
    EXPECT_EQ(fromTagLib(attribute(file, "WM/AlbumTitle").toString()),
              QStringLiteral("é").repeated(64));
}

TEST_F(WmaTagsTest, AReadOnlyOutputGetsItsAttributesAndStaysReadOnly) {
    const QString path = wma();
    const auto mode = QFile::ReadOwner | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(path, mode));
    WmaTagBuffer tag;
    SetWmaField(tag.Title, QStringLiteral("Locked"));
    EXPECT_TRUE(WriteWmaTags(path, tag));
    EXPECT_EQ(QFile::permissions(path) & Modes, mode);
    TagLib::ASF::File file(QFile::encodeName(path).constData());
    EXPECT_EQ(fromTagLib(file.tag()->title()), QStringLiteral("Locked"));
}

TEST_F(WmaTagsTest, WithoutTheLibraryNothingIsWritten) {
    const QString path = wma();
    const auto mode = QFile::ReadOwner;
    ASSERT_TRUE(QFile::setPermissions(path, mode));
    const QByteArray original = readBytes(path);
    QTemporaryDir empty;
    TagLibraries::setFolder(empty.path());
    LoadWmaLibrary();
    EXPECT_FALSE(WmaInfoAvailable());
    WmaTagBuffer tag;
    SetWmaField(tag.Title, QStringLiteral("Lost"));
    EXPECT_FALSE(WriteWmaTags(path, tag));
    EXPECT_EQ(readBytes(path), original);
    EXPECT_EQ(QFile::permissions(path) & Modes, mode);
}

TEST_F(WmaTagsTest, AFileThatIsNoWmaIsLeftAlone) {
    const QString path = dir_.filePath(QStringLiteral("fake.wma"));
    writeBytes(path, QByteArray(5000, 'w'));
    WmaTagBuffer tag;
    SetWmaField(tag.Title, QStringLiteral("x"));
    EXPECT_FALSE(WriteWmaTags(path, tag));
    EXPECT_FALSE(WriteWmaTags(dir_.filePath(QStringLiteral("missing.wma")), tag));
    EXPECT_EQ(readBytes(path), QByteArray(5000, 'w'));
    EXPECT_EQ(files(), QStringList{"fake.wma"});
}

TEST_F(WmaTagsTest, TheInfoObjectSetsReadsAndStoresAttributes) {
    const QString path = wma();
    const SharedLibrary library(TagLibraries::wmaPath());
    const auto create = library.resolve<WMAudioCreateInfoFunc>("WMAudioCreateInfo");
    ASSERT_NE(create, nullptr);
    WMAudioInfo* info = nullptr;
    ASSERT_EQ(create(path.toStdU16String().c_str(), &info), 0);
    const WMAudioInfoVtbl& call = *info->lpVtbl;

    // An empty text is two bytes: the terminating zero alone.
    EXPECT_EQ(SetWmaText(info, u"Title", QByteArray()), 0);
    int32_t type = -1;
    uint16_t length = 0;
    EXPECT_EQ(call.GetAttributeByName(info, u"Title", &type, nullptr, &length), 0);
    EXPECT_EQ(type, WMA_TYPE_STRING);
    EXPECT_EQ(length, 2);

    EXPECT_EQ(SetWmaText(info, u"WM/Composer", QByteArray("Bach")), 0);
    EXPECT_EQ(SetWmaNumber(info, u"WM/TrackNumber", 12), 0);
    uint8_t value[64] = {};
    length = 4;
    EXPECT_EQ(call.GetAttributeByName(info, u"WM/Composer", &type, value, &length),
              WMA_E_BUFFERTOOSMALL);
    EXPECT_EQ(length, 10);
    length = sizeof value;
    EXPECT_EQ(call.GetAttributeByName(info, u"WM/Composer", &type, value, &length), 0);
    EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t*>(value)), "Bach");
    EXPECT_EQ(call.GetAttributeByName(info, u"WM/Nothing", &type, value, &length), WMA_E_NOTFOUND);

    uint16_t count = 0;
    EXPECT_EQ(call.GetAttributeCount(info, &count), 0);
    EXPECT_GE(count, 7);
    char16_t name[32] = {};
    uint16_t nameLength = 32;
    length = sizeof value;
    EXPECT_EQ(call.GetAttributeByIndex(info, 0, name, &nameLength, &type, value, &length), 0);
    EXPECT_EQ(QString::fromUtf16(name), "Title");
    EXPECT_EQ(call.GetAttributeByIndex(info, count, name, &nameLength, &type, value, &length),
              WMA_E_INVALIDARG);

    // Refused values: a number of the wrong size, an unknown type, a text
    // that cannot fit, a non-text title.
    const uint8_t three[3] = {};
    EXPECT_EQ(call.SetAttribute(info, u"WM/Track", WMA_TYPE_DWORD, three, 3), WMA_E_INVALIDARG);
    EXPECT_EQ(call.SetAttribute(info, u"WM/Track", 42, three, 3), WMA_E_INVALIDARG);
    EXPECT_EQ(SetWmaText(info, u"Title", QByteArray(600, 'x')), static_cast<int32_t>(0x80004005));
    EXPECT_EQ(SetWmaNumber(info, u"Title", 1), WMA_E_INVALIDARG);

    EXPECT_EQ(call.Save(info), 0);
    EXPECT_EQ(call.Release(info), 0u);

    TagLib::ASF::File file(QFile::encodeName(path).constData());
    EXPECT_EQ(fromTagLib(attribute(file, "WM/Composer").toString()), "Bach");
    EXPECT_EQ(attribute(file, "WM/TrackNumber").toUInt(), 12u);
    EXPECT_EQ(fromTagLib(file.tag()->title()), QString());
}

} // namespace
