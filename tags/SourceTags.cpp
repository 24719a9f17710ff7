#include "tags/SourceTags.h"

#include "core/AudioFileinfo.h"
#include "tags/OGGTag.h"
#include "tags/OggComments.h"

void ReadSourceTags(const QString& fileName, AudioFileinfo& tags) {
    OGGTag comments;
    ReadOggComments(fileName, comments);
    tags.Title = comments.Title;
    tags.Artist = comments.Artist;
    tags.Album = comments.Album;
    tags.Comment = comments.Comment;
    tags.Genre = comments.Genre;
    tags.Year = comments.Date;
}
