#pragma once

#include <QByteArray>
#include <QString>

#include <ogg/ogg.h>

#include <cstdint>
#include <vector>

// Where the audio packets of an Ogg Vorbis file lie and which frames each one
// yields, read once from the Ogg pages without decoding anything. Positions
// count frames the way vorbisfile does: across all links of a chained file,
// each link starting at the frame its granule positions put first. Packets
// are those vorbisfile decodes from the file's start (as oggdec does): none
// that start on the first link's header pages, none lost with pages missing
// or failing their checksum, and those of pages after one that ends the
// stream.
class VorbisPacketIndex {
public:
    struct Packet {
        std::int64_t page = 0;    // file offset of the page the packet starts on
        std::int64_t granule = 0; // where its output ends, as granule positions count
        int blocksize = 0;
        int bytes = 0;
        int ordinal = 0; // packets that start before it on the same page
    };
    struct Link {
        int serial = 0;
        int rate = 0;
        int channels = 0;
        QByteArray identification;
        QByteArray comments;
        QByteArray setup;
        // Granule positions of its first frame and just past its last.
        std::int64_t begin = 0;
        std::int64_t end = 0;
        // Position of its first frame in the whole file.
        std::int64_t start = 0;
        std::vector<Packet> packets;

        std::int64_t frames() const { return end - begin; }
    };

    // Throws Error when the file cannot be read. A file that is no Ogg Vorbis,
    // or whose pages or granule positions cannot be followed, gives an index
    // whose `problem()` says so.
    explicit VorbisPacketIndex(const QString& path);

    const QString& path() const { return path_; }
    const std::vector<Link>& links() const { return links_; }
    std::int64_t totalFrames() const;
    // Why the packets cannot be trusted to give the decoded audio back
    // exactly; empty when they can.
    const QString& problem() const { return problem_; }

    // Whether a packet after the headers is audio; the decoder skips the
    // others.
    static bool IsAudio(const ogg_packet& packet);

private:
    QString path_;
    std::vector<Link> links_;
    QString problem_;
};
