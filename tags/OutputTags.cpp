#include "tags/OutputTags.h"

#include "tags/ID3v2Tag.h"
#include "tags/OggComments.h"
#include "tags/WmaTags.h"

#include <QFileInfo>

void WriteOutputTags(const QString& outputName, AudioFileinfo info) {
    const QString suffix = QFileInfo(outputName).suffix();
    const QString extension = suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix.toLower();

    if (extension == QLatin1String(".mp3")) {
        ID3StructV2 tag;
        tag.Title = info.Title;
        tag.Artist = info.Artist;
        tag.Album = info.Album;
        tag.Year = info.Year;
        tag.Genre = info.Genre;
        WriteID3v2Tag(outputName, tag);
    }
    if (extension == QLatin1String(".wma")) {
        WmaTagBuffer tag;
        SetWmaField(tag.Title, info.Title);
        SetWmaField(tag.Artist, info.Artist);
        SetWmaField(tag.Album, info.Album);
        SetWmaField(tag.Year, info.Year);
        SetWmaField(tag.Genre, info.Genre);
        WriteWmaTags(outputName, tag);
    }
    if (extension == QLatin1String(".ogg")) {
        OGGTag tag;
        tag.Artist = info.Artist;
        tag.Date = info.Year;
        tag.Title = info.Title;
        tag.Genre = info.Genre;
        tag.Album = info.Album;
        WriteOggComments(outputName, tag);
    }
}
