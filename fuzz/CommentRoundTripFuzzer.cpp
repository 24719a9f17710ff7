// The comment round trip the program makes on a file: read its comments
// (ReadOggComments), write them back (WriteOggComments, through libvcedit and
// a replacement file), read them again. The input is the whole Ogg file.
// A rewrite either gives back exactly the comments it wrote or fails with the
// file untouched; it never leaves anything beside the file.

#include "fuzz/CommentLibrary.h"
#include "fuzz/FuzzEnvironment.h"
#include "platform/Error.h"
#include "tags/OggComments.h"

#include <cstdint>

namespace {

const QString FileName = QStringLiteral("song.ogg");

bool sameTag(const OGGTag& a, const OGGTag& b) {
    return a.Album == b.Album && a.Title == b.Title && a.Artist == b.Artist &&
           a.Comment == b.Comment && a.Genre == b.Genre && a.Date == b.Date &&
           a.TrackNumber == b.TrackNumber;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    holdCommentLibrary();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const FuzzEnvironment& scratch = FuzzEnvironment::instance();
    scratch.clear();
    const QByteArray original(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    scratch.write(FileName, original);
    const QString path = scratch.path(FileName);

    OGGTag tag;
    try {
        ReadOggComments(path, tag);
    } catch (const Error&) {
        require(scratch.read(FileName) == original, "reading changed the file");
        return 0;
    }

    bool replaced = false;
    try {
        replaced = WriteOggComments(path, tag);
    } catch (const Error&) {
        replaced = false;
    }
    require(scratch.entries() == QStringList{FileName}, "a rewrite left a file beside the song");
    if (!replaced) {
        require(scratch.read(FileName) == original, "a failed rewrite changed the file");
        return 0;
    }

    OGGTag again;
    try {
        ReadOggComments(path, again);
    } catch (const Error&) {
        require(false, "a rewritten file cannot be read");
    }
    require(sameTag(tag, again), "a rewritten file reads other comments than were written");
    return 0;
}
