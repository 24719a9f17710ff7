#pragma once

#include <QString>

#include <functional>

class Error;
namespace TagLib::Ogg {
class XiphComment;
}

// The comment header of an Ogg Opus file lying alone on the file's second
// page with nothing but zeros after its comments, as copied pieces are made:
// room kept so that comments are written over it in place. The page keeps
// its size, so the pages of audio after it are neither moved nor written
// again, as a rewrite by TagLib would.
class OpusCommentRoom {
public:
    using Edit = std::function<void(TagLib::Ogg::XiphComment&)>;

    // Hands the file's comments to `edit` and writes them back in place.
    // False, with the file untouched, when the file has no such room or the
    // edited comments do not fit it. Throws `fail(why)` when the disk
    // refuses the write; the page is then put back as it was if it can be.
    static bool Fill(const QString& path, const Edit& edit,
                     const std::function<Error(const QString&)>& fail);
};
