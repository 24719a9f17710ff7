#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// A picture of the front cover, as the pieces of a source carry it.
class CoverArt {
public:
    QByteArray data;
    QString mime; // "image/jpeg" or "image/png"

    bool empty() const { return data.isEmpty(); }
    bool operator==(const CoverArt&) const = default;

    // The front cover a source carries: a FLAC PICTURE block, an ID3v2 APIC
    // frame, a Vorbis or Opus METADATA_BLOCK_PICTURE comment, an MP4 covr
    // atom or a WMA WM/Picture attribute. A picture marked as the front cover
    // is taken first, else the first picture. Empty when there is none or
    // the file cannot be read.
    static CoverArt OfSource(const QString& path);
    // The cover picture in one of `folders`, in their order: cover, folder
    // or front (any case), .jpg, .jpeg or .png. Empty when there is none.
    static CoverArt InFolders(const QStringList& folders);
    // The source's own cover, else one beside it or beside its sheet.
    static CoverArt For(const QString& sourcePath, const QString& sheetPath);

    // The type of picture `data` is by its first bytes; empty when neither
    // a JPEG nor a PNG.
    static QString MimeOf(const QByteArray& data);
};
