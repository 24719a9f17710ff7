#include "tags/CoverArt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <taglib/aifffile.h>
#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/rifffile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

namespace {

// A picture file larger than this is no cover.
constexpr qint64 MaxCoverBytes = 16 << 20;

QByteArray bytesOf(const TagLib::ByteVector& v) {
    return QByteArray(v.data(), static_cast<qsizetype>(v.size()));
}

// The candidates of a source, front covers ahead of the rest.
struct Pick {
    CoverArt front;
    CoverArt any;
    void offer(const TagLib::ByteVector& data, bool isFront) {
        CoverArt art;
        art.data = bytesOf(data);
        art.mime = CoverArt::MimeOf(art.data);
        if (art.mime.isEmpty())
            return;
        if (isFront && front.empty())
            front = art;
        if (any.empty())
            any = art;
    }
    CoverArt best() const { return front.empty() ? any : front; }
};

void fromFlacPictures(const TagLib::List<TagLib::FLAC::Picture*>& pictures, Pick& pick) {
    for (const TagLib::FLAC::Picture* p : pictures)
        pick.offer(p->data(), p->type() == TagLib::FLAC::Picture::FrontCover);
}

void fromId3(TagLib::ID3v2::Tag* tag, Pick& pick) {
    if (!tag)
        return;
    for (const TagLib::ID3v2::Frame* frame : tag->frameList("APIC"))
        if (const auto* apic = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame))
            pick.offer(apic->picture(),
                       apic->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover);
}

void fromXiph(TagLib::Ogg::XiphComment* comment, Pick& pick) {
    if (comment)
        fromFlacPictures(comment->pictureList(), pick);
}

} // namespace

QString CoverArt::MimeOf(const QByteArray& data) {
    if (data.startsWith("\xFF\xD8\xFF"))
        return QStringLiteral("image/jpeg");
    if (data.startsWith("\x89PNG\r\n\x1A\n"))
        return QStringLiteral("image/png");
    return {};
}

CoverArt CoverArt::OfSource(const QString& path) {
    const TagLib::FileRef ref(QFile::encodeName(path).constData(), false);
    if (ref.isNull() || !ref.file()->isValid())
        return {};
    TagLib::File* file = ref.file();
    Pick pick;
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) {
        fromFlacPictures(flac->pictureList(), pick);
        fromXiph(flac->xiphComment(), pick);
        fromId3(flac->ID3v2Tag(), pick);
    } else if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) {
        fromId3(mpeg->ID3v2Tag(), pick);
    } else if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(file)) {
        fromXiph(vorbis->tag(), pick);
    } else if (auto* opus = dynamic_cast<TagLib::Ogg::Opus::File*>(file)) {
        fromXiph(opus->tag(), pick);
    } else if (auto* oggFlac = dynamic_cast<TagLib::Ogg::FLAC::File*>(file)) {
        fromXiph(oggFlac->tag(), pick);
    } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file)) {
        if (mp4->tag() && mp4->tag()->contains("covr"))
            for (const TagLib::MP4::CoverArt& art : mp4->tag()->item("covr").toCoverArtList())
                pick.offer(art.data(), true);
    } else if (auto* asf = dynamic_cast<TagLib::ASF::File*>(file)) {
        if (asf->tag() && asf->tag()->contains("WM/Picture"))
            for (const TagLib::ASF::Attribute& a : asf->tag()->attribute("WM/Picture")) {
                const TagLib::ASF::Picture p = a.toPicture();
                if (p.isValid())
                    pick.offer(p.picture(), p.type() == TagLib::ASF::Picture::FrontCover);
            }
    } else if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file)) {
        fromId3(wav->ID3v2Tag(), pick);
    } else if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(file)) {
        fromId3(aiff->tag(), pick);
    }
    return pick.best();
}

CoverArt CoverArt::InFolders(const QStringList& folders) {
    static const QStringList names{QStringLiteral("cover"), QStringLiteral("folder"),
                                   QStringLiteral("front")};
    static const QStringList suffixes{QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                      QStringLiteral("png")};
    for (const QString& folder : folders) {
        const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
        for (const QString& name : names)
            for (const QString& suffix : suffixes)
                for (const QFileInfo& entry : entries) {
                    if (entry.completeBaseName().compare(name, Qt::CaseInsensitive) != 0 ||
                        entry.suffix().compare(suffix, Qt::CaseInsensitive) != 0 ||
                        entry.size() > MaxCoverBytes)
                        continue;
                    QFile picture(entry.filePath());
                    if (!picture.open(QIODevice::ReadOnly))
                        continue;
                    CoverArt art;
                    art.data = picture.readAll();
                    art.mime = MimeOf(art.data);
                    // A file named so that is no picture is passed over.
                    if (!art.mime.isEmpty())
                        return art;
                }
    }
    return {};
}

CoverArt CoverArt::For(const QString& sourcePath, const QString& sheetPath) {
    CoverArt own = OfSource(sourcePath);
    if (!own.empty())
        return own;
    QStringList folders{QFileInfo(sourcePath).absolutePath()};
    if (!sheetPath.isEmpty() && !folders.contains(QFileInfo(sheetPath).absolutePath()))
        folders.append(QFileInfo(sheetPath).absolutePath());
    return InFolders(folders);
}
