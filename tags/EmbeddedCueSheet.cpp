#include "tags/EmbeddedCueSheet.h"

#include "core/FramePosition.h"
#include "platform/Error.h"

#include <QFile>
#include <QFileInfo>

#include <FLAC/metadata.h>
#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

#include <memory>

namespace {

struct BlockDeleter {
    void operator()(FLAC__StreamMetadata* block) const { FLAC__metadata_object_delete(block); }
};
using Block = std::unique_ptr<FLAC__StreamMetadata, BlockDeleter>;

// The lead-out, which ends the last track, is numbered 170 on a CD and 255
// elsewhere; it is no track.
bool isLeadOut(const FLAC__StreamMetadata_CueSheet_Track& track) {
    return track.number == 170 || track.number == 255;
}

QString isrcOf(const FLAC__StreamMetadata_CueSheet_Track& track) {
    return QString::fromLatin1(track.isrc, static_cast<qsizetype>(qstrnlen(track.isrc, 12)))
        .trimmed();
}

// The FLAC CUESHEET block as a sheet of one FILE, the audio file itself.
std::optional<CueSheet> ofBlock(const QString& audioPath) {
    const QByteArray name = QFile::encodeName(audioPath);
    FLAC__StreamMetadata info;
    if (!FLAC__metadata_get_streaminfo(name.constData(), &info))
        return std::nullopt;
    const auto rate = static_cast<std::int32_t>(info.data.stream_info.sample_rate);
    FLAC__StreamMetadata* found = nullptr;
    if (rate <= 0 || !FLAC__metadata_get_cuesheet(name.constData(), &found) || !found)
        return std::nullopt;
    const Block block(found);
    const FLAC__StreamMetadata_CueSheet& cue = block->data.cue_sheet;
    CueSheet sheet;
    sheet.disc.catalog = QString::fromLatin1(cue.media_catalog_number).trimmed();
    CueSheet::File file{QFileInfo(audioPath).fileName(), {}, {}};
    for (unsigned t = 0; t < cue.num_tracks; ++t) {
        const FLAC__StreamMetadata_CueSheet_Track& track = cue.tracks[t];
        if (isLeadOut(track) || track.type != 0)
            continue;
        for (unsigned i = 0; i < track.num_indices; ++i) {
            if (track.indices[i].number != 1)
                continue;
            CueSheet::Track cut;
            cut.tags.track = track.number;
            cut.tags.isrc = isrcOf(track);
            const auto frame = static_cast<std::int64_t>(track.offset + track.indices[i].offset);
            cut.start = FramePosition::CueFramesOf(frame, rate);
            if (file.tracks.empty() || cut.start >= file.tracks.back().start)
                file.tracks.push_back(cut);
        }
    }
    if (file.tracks.empty())
        return std::nullopt;
    sheet.files.push_back(file);
    return sheet;
}

QString textOf(const QString& audioPath) {
    const TagLib::FileRef ref(QFile::encodeName(audioPath).constData(), false);
    if (ref.isNull() || !ref.file()->isValid())
        return {};
    const TagLib::PropertyMap properties = ref.file()->properties();
    const auto found = properties.find("CUESHEET");
    if (found == properties.end() || found->second.isEmpty())
        return {};
    return QString::fromStdString(found->second.front().to8Bit(true));
}

// The block's codes go to the text's tracks of the same number that have none.
void takeCodes(CueSheet& sheet, const CueSheet& block) {
    if (sheet.disc.catalog.isEmpty())
        sheet.disc.catalog = block.disc.catalog;
    for (CueSheet::File& file : sheet.files)
        for (CueSheet::Track& track : file.tracks)
            for (const CueSheet::Track& coded : block.files.front().tracks)
                if (coded.tags.track == track.tags.track && track.tags.isrc.isEmpty())
                    track.tags.isrc = coded.tags.isrc;
}

} // namespace

std::optional<CueSheet> EmbeddedCueSheet::Read(const QString& audioPath) {
    std::optional<CueSheet> block = ofBlock(audioPath);
    const QString text = textOf(audioPath);
    if (text.trimmed().isEmpty())
        return block;
    try {
        CueSheet sheet = CueSheet::Parse(text);
        sheet.encoding = QStringLiteral("UTF-8");
        if (block)
            takeCodes(sheet, *block);
        return sheet;
    } catch (const Error& e) {
        // A damaged text still leaves the block's exact cuts.
        if (block)
            return block;
        throw Error(QStringLiteral("The cue sheet inside %1: %2")
                        .arg(QFileInfo(audioPath).fileName(), e.message()));
    }
}
