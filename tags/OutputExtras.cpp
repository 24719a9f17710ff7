#include "tags/OutputExtras.h"

#include "platform/Error.h"
#include "tags/AudioPayload.h"
#include "tags/CheckedFileStream.h"
#include "tags/OpusCommentRoom.h"
#include "tags/ReplacementFile.h"
#include "tags/SavedPermissions.h"

#include <QFile>

#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

namespace {

using Kind = OutputExtras::Container;

TagLib::String text(const QString& value) {
    return TagLib::String(value.toStdString(), TagLib::String::UTF8);
}

TagLib::ByteVector bytes(const QByteArray& data) {
    return TagLib::ByteVector(data.constData(), static_cast<unsigned>(data.size()));
}

QString number(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}

// The fields as "KEY", value: the names Vorbis comments use, and the
// descriptions of the ID3v2 TXXX frames and the MP4 free-form atoms.
using Fields = std::vector<std::pair<QString, QString>>;

Fields gainFields(const OutputExtras& extras) {
    Fields fields;
    const auto add = [&](const char* kind, const std::optional<OutputExtras::Loudness>& l) {
        if (!l)
            return;
        fields.emplace_back(QStringLiteral("REPLAYGAIN_%1_GAIN").arg(QLatin1String(kind)),
                            number(OutputExtras::ReplayGain(l->lufs), 2) + QStringLiteral(" dB"));
        fields.emplace_back(QStringLiteral("REPLAYGAIN_%1_PEAK").arg(QLatin1String(kind)),
                            number(l->peak, 6));
    };
    add("TRACK", extras.track);
    add("ALBUM", extras.album);
    if (extras.track || extras.album)
        fields.emplace_back(QStringLiteral("REPLAYGAIN_REFERENCE_LOUDNESS"),
                            QStringLiteral("-18.00 LUFS"));
    return fields;
}

void writeId3(TagLib::ID3v2::Tag& tag, const OutputExtras& extras) {
    using namespace TagLib::ID3v2;
    const auto setText = [&](const char* id, const QString& value) {
        if (value.isEmpty())
            return;
        tag.removeFrames(id);
        auto* frame = new TextIdentificationFrame(id, TagLib::String::UTF16);
        frame->setText(text(value));
        tag.addFrame(frame);
    };
    const auto setUser = [&](const QString& description, const QString& value) {
        if (value.isEmpty())
            return;
        if (Frame* old = UserTextIdentificationFrame::find(&tag, text(description)))
            tag.removeFrame(old);
        auto* frame = new UserTextIdentificationFrame(TagLib::String::UTF16);
        frame->setDescription(text(description));
        frame->setText(text(value));
        tag.addFrame(frame);
    };
    setText("TCOM", extras.composer);
    setText("TSRC", extras.isrc);
    if (!extras.comment.isEmpty()) {
        tag.removeFrames("COMM");
        auto* frame = new CommentsFrame(TagLib::String::UTF16);
        frame->setLanguage("eng");
        frame->setText(text(extras.comment));
        tag.addFrame(frame);
    }
    setUser(QStringLiteral("CATALOGNUMBER"), extras.catalog);
    setUser(QStringLiteral("BARCODE"), extras.catalog);
    for (const auto& [key, value] : gainFields(extras))
        setUser(key, value);
    if (!extras.cover.empty()) {
        tag.removeFrames("APIC");
        auto* frame = new AttachedPictureFrame;
        frame->setMimeType(text(extras.cover.mime));
        frame->setType(AttachedPictureFrame::FrontCover);
        frame->setPicture(bytes(extras.cover.data));
        tag.addFrame(frame);
    }
}

TagLib::FLAC::Picture* flacPicture(const CoverArt& cover) {
    auto* picture = new TagLib::FLAC::Picture;
    picture->setType(TagLib::FLAC::Picture::FrontCover);
    picture->setMimeType(text(cover.mime));
    picture->setData(bytes(cover.data));
    return picture;
}

void writeXiph(TagLib::Ogg::XiphComment& comment, const OutputExtras& extras, bool opus,
               bool pictureHere) {
    Fields fields{{QStringLiteral("COMPOSER"), extras.composer},
                  {QStringLiteral("COMMENT"), extras.comment},
                  {QStringLiteral("ISRC"), extras.isrc},
                  {QStringLiteral("CATALOGNUMBER"), extras.catalog},
                  {QStringLiteral("BARCODE"), extras.catalog}};
    if (opus) {
        // Opus players apply R128 gains, never ReplayGain fields.
        if (extras.track)
            fields.emplace_back(QStringLiteral("R128_TRACK_GAIN"),
                                QString::number(OutputExtras::R128Gain(extras.track->lufs)));
        if (extras.album)
            fields.emplace_back(QStringLiteral("R128_ALBUM_GAIN"),
                                QString::number(OutputExtras::R128Gain(extras.album->lufs)));
    } else {
        const Fields gains = gainFields(extras);
        fields.insert(fields.end(), gains.begin(), gains.end());
    }
    for (const auto& [key, value] : fields)
        if (!value.isEmpty())
            comment.addField(text(key), text(value), true);
    if (pictureHere && !extras.cover.empty()) {
        comment.removeAllPictures();
        comment.addPicture(flacPicture(extras.cover));
    }
}

void writeAsf(TagLib::ASF::Tag& tag, const OutputExtras& extras) {
    const auto set = [&](const char* name, const QString& value) {
        if (!value.isEmpty())
            tag.setAttribute(name, TagLib::ASF::Attribute(text(value)));
    };
    set("WM/Composer", extras.composer);
    set("WM/ISRC", extras.isrc);
    set("WM/CatalogNo", extras.catalog);
    set("WM/Barcode", extras.catalog);
    if (!extras.comment.isEmpty())
        tag.setComment(text(extras.comment));
    for (const auto& [key, value] : gainFields(extras))
        set(key.toLatin1().constData(), value);
    if (!extras.cover.empty()) {
        TagLib::ASF::Picture picture;
        picture.setType(TagLib::ASF::Picture::FrontCover);
        picture.setMimeType(text(extras.cover.mime));
        picture.setPicture(bytes(extras.cover.data));
        tag.setAttribute("WM/Picture", TagLib::ASF::Attribute(picture));
    }
}

void writeMp4(TagLib::MP4::Tag& tag, const OutputExtras& extras) {
    const auto set = [&](const TagLib::String& name, const QString& value) {
        if (!value.isEmpty())
            tag.setItem(name, TagLib::StringList(text(value)));
    };
    const TagLib::String freeForm = "----:com.apple.iTunes:";
    set("\251wrt", extras.composer);
    set("\251cmt", extras.comment);
    set(freeForm + "ISRC", extras.isrc);
    set(freeForm + "CATALOGNUMBER", extras.catalog);
    set(freeForm + "BARCODE", extras.catalog);
    for (const auto& [key, value] : gainFields(extras))
        set(freeForm + text(key.toLower()), value);
    if (!extras.cover.empty()) {
        const auto format = extras.cover.mime == QLatin1String("image/png")
                                ? TagLib::MP4::CoverArt::PNG
                                : TagLib::MP4::CoverArt::JPEG;
        TagLib::MP4::CoverArtList covers;
        covers.append(TagLib::MP4::CoverArt(format, bytes(extras.cover.data)));
        tag.setItem("covr", covers);
    }
}

// Opens `stream` as the output's format, writes the extras and saves;
// false when it does not read as that format or cannot be saved.
bool edit(TagLib::IOStream& stream, Kind kind, const OutputExtras& extras) {
    switch (kind) {
    case Kind::Id3v2: {
        TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        if (!file.isValid())
            return false;
        writeId3(*file.ID3v2Tag(true), extras);
        // The tag stays ID3v2.3, as the program writes it.
        return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v3);
    }
    case Kind::Vorbis: {
        TagLib::Ogg::Vorbis::File file(&stream, false);
        if (!file.isValid() || !file.tag())
            return false;
        writeXiph(*file.tag(), extras, false, true);
        return file.save();
    }
    case Kind::Opus: {
        TagLib::Ogg::Opus::File file(&stream, false);
        if (!file.isValid() || !file.tag())
            return false;
        writeXiph(*file.tag(), extras, true, true);
        return file.save();
    }
    case Kind::Flac: {
        TagLib::FLAC::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        if (!file.isValid())
            return false;
        writeXiph(*file.xiphComment(true), extras, false, false);
        if (!extras.cover.empty()) {
            file.removePictures();
            file.addPicture(flacPicture(extras.cover));
        }
        return file.save();
    }
    case Kind::Asf: {
        TagLib::ASF::File file(&stream, false);
        if (!file.isValid() || !file.tag())
            return false;
        writeAsf(*file.tag(), extras);
        return file.save();
    }
    case Kind::Mp4: {
        TagLib::MP4::File file(&stream, false);
        if (!file.isValid() || !file.tag())
            return false;
        writeMp4(*file.tag(), extras);
        return file.save();
    }
    case Kind::None:
        break;
    }
    return false;
}

// The audio a writer must leave as it was, where it can be told apart from
// the tags; invalid for the other formats.
AudioPayload payloadOf(Kind kind, const QString& path) {
    switch (kind) {
    case Kind::Flac:
        return AudioPayload::OfFlac(path);
    case Kind::Vorbis:
        return AudioPayload::OfOgg(path, 3);
    case Kind::Opus:
        return AudioPayload::OfOgg(path, 2);
    default:
        return {};
    }
}

} // namespace

bool OutputExtras::empty() const {
    return composer.isEmpty() && comment.isEmpty() && isrc.isEmpty() && catalog.isEmpty() &&
           cover.empty() && !track && !album;
}

double OutputExtras::ReplayGain(double lufs) {
    return -18.0 - lufs;
}

int OutputExtras::R128Gain(double lufs) {
    const double q78 = std::round((-23.0 - lufs) * 256.0);
    return static_cast<int>(std::clamp(q78, -32768.0, 32767.0));
}

void OutputExtras::write(const QString& path, Container kind) const {
    if (kind == Kind::None || empty())
        return;
    const auto fail = [&](const QString& reason) {
        return Error(QStringLiteral("Cannot write the tags of %1: %2").arg(path, reason));
    };
    // Room kept for the comments takes them in place; no audio is written.
    if (kind == Kind::Opus &&
        OpusCommentRoom::Fill(
            path, [&](TagLib::Ogg::XiphComment& c) { writeXiph(c, *this, true, true); }, fail))
        return;
    const AudioPayload audio = payloadOf(kind, path);

    // TagLib rewrites in place; a copy takes the file's place only once it
    // is whole, so a full disk leaves the file as it was.
    ReplacementFile copy(path);
    copy.openCopyOf(path, fail);
    {
        CheckedFileStream stream(copy.fileName());
        const bool saved = edit(stream, kind, *this);
        if (!stream.failure().isEmpty())
            throw fail(stream.failure());
        if (!saved)
            throw fail(QStringLiteral("the file does not read as its format"));
    }
    if (!copy.finish())
        throw fail(copy.errorString());
    if (audio.valid() && payloadOf(kind, copy.fileName()) != audio)
        throw fail(QStringLiteral("the disk did not take the whole new file"));
    if (!copy.commit(SavedPermissions::modeOf(path)))
        throw fail(copy.errorString());
}
