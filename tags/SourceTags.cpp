#include "tags/SourceTags.h"

#include "core/AudioFileinfo.h"
#include "platform/Error.h"
#include "tags/OGGTag.h"
#include "tags/OggComments.h"

#include <QFile>

#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

#include <cstring>

namespace {

// Ogg Vorbis keeps its own reader, which knows every spelling of the field
// names the tag writers use; only the first page tells the codec.
bool isOggVorbis(QFile& file) {
    const QByteArray head = file.read(27 + 255 + 7);
    if (head.size() < 27 || std::memcmp(head.constData(), "OggS", 4) != 0)
        return false;
    const int packet = 27 + static_cast<unsigned char>(head[26]);
    return head.size() >= packet + 7 &&
           std::memcmp(head.constData() + packet, "\x01vorbis", 7) == 0;
}

void readVorbis(const QString& fileName, AudioFileinfo& tags) {
    OGGTag comments;
    ReadOggComments(fileName, comments);
    tags.Title = comments.Title;
    tags.Artist = comments.Artist;
    tags.Album = comments.Album;
    tags.Comment = comments.Comment;
    tags.Genre = comments.Genre;
    tags.Year = comments.Date;
}

QString field(const TagLib::PropertyMap& properties, const char* key) {
    const auto found = properties.find(key);
    if (found == properties.end() || found->second.isEmpty())
        return {};
    return QString::fromStdString(found->second.toString(" / ").to8Bit(true)).trimmed();
}

} // namespace

void ReadSourceTags(const QString& fileName, AudioFileinfo& tags) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot open %1: %2").arg(fileName, file.errorString()));
    if (isOggVorbis(file)) {
        file.close();
        readVorbis(fileName, tags);
        return;
    }
    file.close();
    // TagLib picks the format by the name, else by the content; the
    // property map gives every format's fields under the same keys, the
    // date as the file spells it and ID3v1 where an MP3 has no ID3v2.
    const TagLib::FileRef ref(QFile::encodeName(fileName).constData(), false);
    AudioFileinfo read;
    if (!ref.isNull() && ref.file()->isValid()) {
        const TagLib::PropertyMap properties = ref.file()->properties();
        read.Title = field(properties, "TITLE");
        read.Artist = field(properties, "ARTIST");
        read.Album = field(properties, "ALBUM");
        read.Comment = field(properties, "COMMENT");
        // The Vorbis comment field the format's own definition names, which
        // FFmpeg writes.
        if (read.Comment.isEmpty())
            read.Comment = field(properties, "DESCRIPTION");
        read.Genre = field(properties, "GENRE");
        read.Year = field(properties, "DATE");
    }
    tags = read;
}
