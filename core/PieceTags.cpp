#include "core/PieceTags.h"

#include "core/AudioFileinfo.h"

namespace {

const QString& firstOf(const QString& a, const QString& b) {
    return a.isEmpty() ? b : a;
}

} // namespace

PieceTags PieceTags::Derive(const PieceTags& piece, const PieceTags& sheet,
                            const AudioFileinfo& source) {
    PieceTags tags;
    tags.title = firstOf(piece.title, source.Title);
    tags.artist = firstOf(piece.artist, firstOf(sheet.artist, source.Artist));
    tags.album = firstOf(sheet.album, source.Album);
    tags.date = firstOf(piece.date, firstOf(sheet.date, source.Year));
    tags.genre = firstOf(piece.genre, firstOf(sheet.genre, source.Genre));
    tags.track = piece.track;
    tags.tracks = piece.tracks;
    const bool own = piece.discNumber > 0;
    tags.discNumber = own ? piece.discNumber : sheet.discNumber;
    tags.discTotal = own ? piece.discTotal : sheet.discTotal;
    tags.composer = firstOf(piece.composer, sheet.composer);
    tags.comment = firstOf(piece.comment, sheet.comment);
    tags.isrc = piece.isrc;
    tags.catalog = firstOf(piece.catalog, sheet.catalog);
    return tags;
}

AudioFileinfo PieceTags::fileinfo(const AudioFileinfo& source) const {
    AudioFileinfo info = source;
    info.Title = title;
    info.Artist = artist;
    info.Album = album;
    info.Year = date;
    info.Genre = genre;
    if (track > 0)
        info.Track =
            tracks > 0 ? QStringLiteral("%1/%2").arg(track).arg(tracks) : QString::number(track);
    if (discNumber > 0)
        info.Disc = discTotal > 0 ? QStringLiteral("%1/%2").arg(discNumber).arg(discTotal)
                                  : QString::number(discNumber);
    return info;
}
