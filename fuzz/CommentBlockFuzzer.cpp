// The Vorbis comment block parser: the input is a comment packet, put between
// a valid identification header and a valid setup header of a one-stream Ogg
// file. It is read the way the program reads a source (ReadOggComments) and
// through libvcedit directly; whatever libvorbis itself accepts as a comment
// block must read the same through libvcedit, and a block rewritten by
// libvcedit must read back unchanged.

#include "fuzz/CommentLibrary.h"
#include "fuzz/FuzzEnvironment.h"
#include "platform/Error.h"
#include "tags/OggComments.h"
#include "tags/VceditLibrary.h"
#include "tags/VceditSession.h"

#include <QBuffer>

#include <vorbis/vorbisenc.h>

#include <cstdint>
#include <cstring>

namespace {

struct Headers {
    QByteArray identification;
    QByteArray setup;
};

QByteArray packetBytes(const ogg_packet& packet) {
    return QByteArray(reinterpret_cast<const char*>(packet.packet), packet.bytes);
}

// The smallest headers the encoder makes: 8000 Hz mono.
Headers makeHeaders() {
    vorbis_info info;
    vorbis_info_init(&info);
    require(vorbis_encode_init_vbr(&info, 1, 8000, 0.0f) == 0, "the encoder refused 8000 Hz");
    vorbis_comment comments;
    vorbis_comment_init(&comments);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    ogg_packet id;
    ogg_packet comment;
    ogg_packet setup;
    vorbis_analysis_headerout(&dsp, &comments, &id, &comment, &setup);
    Headers headers{packetBytes(id), packetBytes(setup)};
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comments);
    vorbis_info_clear(&info);
    return headers;
}

ogg_packet makePacket(const QByteArray& bytes, long long number) {
    ogg_packet packet{};
    packet.packet = reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.constData()));
    packet.bytes = bytes.size();
    packet.b_o_s = number == 0 ? 1 : 0;
    packet.packetno = number;
    return packet;
}

QByteArray oggFile(const Headers& headers, const QByteArray& commentPacket) {
    ogg_stream_state stream;
    ogg_stream_init(&stream, 0x7a11);
    QByteArray file;
    ogg_page page;
    const auto flush = [&] {
        while (ogg_stream_flush(&stream, &page) != 0) {
            file.append(reinterpret_cast<const char*>(page.header), page.header_len);
            file.append(reinterpret_cast<const char*>(page.body), page.body_len);
        }
    };
    ogg_packet packet = makePacket(headers.identification, 0);
    ogg_stream_packetin(&stream, &packet);
    flush();
    packet = makePacket(commentPacket, 1);
    ogg_stream_packetin(&stream, &packet);
    packet = makePacket(headers.setup, 2);
    packet.e_o_s = 1;
    ogg_stream_packetin(&stream, &packet);
    flush();
    ogg_stream_clear(&stream);
    return file;
}

// libvorbis's own reading of the block: the comment texts and the vendor, or
// false when it refuses the block.
bool vorbisReads(const Headers& headers, const QByteArray& commentPacket, QList<QByteArray>& texts,
                 QByteArray& vendor) {
    vorbis_info info;
    vorbis_info_init(&info);
    vorbis_comment comments;
    vorbis_comment_init(&comments);
    ogg_packet id = makePacket(headers.identification, 0);
    ogg_packet comment = makePacket(commentPacket, 1);
    const bool read = vorbis_synthesis_headerin(&info, &comments, &id) == 0 &&
                      vorbis_synthesis_headerin(&info, &comments, &comment) == 0;
    if (read) {
        texts = commentTexts(comments);
        vendor = QByteArray(comments.vendor);
    }
    vorbis_comment_clear(&comments);
    vorbis_info_clear(&info);
    return read;
}

void checkParsed(const vorbis_comment& block) {
    const TStrComments parsed = ParseComments(block);
    require(parsed.size() == static_cast<std::size_t>(block.comments),
            "ParseComments lost or added comments");
    for (const TStrComment& comment : parsed) {
        for (const QChar c : comment.Name)
            require(c.unicode() >= 0x20 && c.unicode() <= 0x7D && c != QLatin1Char('='),
                    "a comment name holds a character names may not have");
        require(comment.Entry == (comment.Name.isEmpty()
                                      ? comment.Value
                                      : comment.Name + QLatin1Char('=') + comment.Value),
                "a comment's entry is not its name and value");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    holdCommentLibrary();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Headers headers = makeHeaders();
    const FuzzEnvironment& scratch = FuzzEnvironment::instance();
    const QByteArray commentPacket(reinterpret_cast<const char*>(data),
                                   static_cast<qsizetype>(size));
    const QByteArray file = oggFile(headers, commentPacket);
    scratch.write(QStringLiteral("in.ogg"), file);

    bool programReads = true;
    OGGTag tag;
    try {
        ReadOggComments(scratch.path(QStringLiteral("in.ogg")), tag);
    } catch (const Error&) {
        programReads = false;
    }

    const VceditLibrary vcedit;
    require(vcedit.isLoaded(), "libvcedit.so is not loaded");
    QByteArray input = file;
    QBuffer in(&input);
    in.open(QIODevice::ReadOnly);
    VceditSession state(vcedit);
    const bool opened = state.open(in) == 0;
    require(opened == programReads, "the program and libvcedit disagree about the block");

    QList<QByteArray> reference;
    QByteArray referenceVendor;
    if (vorbisReads(headers, commentPacket, reference, referenceVendor)) {
        require(opened, "libvcedit refuses a comment block libvorbis reads");
        require(commentTexts(*state.comments()) == reference,
                "libvcedit reads other comments than libvorbis");
        require(QByteArray(state.comments()->vendor) == referenceVendor,
                "libvcedit reads another vendor than libvorbis");
    }
    if (!opened)
        return 0;
    checkParsed(*state.comments());

    // Rewritten as it was read, the block reads back unchanged.
    const QList<QByteArray> texts = commentTexts(*state.comments());
    QByteArray output;
    QBuffer out(&output);
    out.open(QIODevice::WriteOnly);
    require(state.write(out) == 0, "libvcedit cannot write a block it has read");
    QBuffer again(&output);
    again.open(QIODevice::ReadOnly);
    VceditSession reread(vcedit);
    require(reread.open(again) == 0, "a rewritten block cannot be read");
    require(commentTexts(*reread.comments()) == texts, "a rewritten block reads differently");
    return 0;
}
