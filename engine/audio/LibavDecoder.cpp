#include "engine/audio/LibavDecoder.h"

#include "engine/audio/ChannelOrder.h"
#include "engine/audio/KeptByStamp.h"
#include "engine/audio/Mp3FrameIndex.h"
#include "engine/audio/Mp4SampleTable.h"
#include "platform/Error.h"
#include "platform/TerminationSignal.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/intreadwrite.h>
#include <libavutil/samplefmt.h>
}

#include <opus.h>

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace {

// The formats real files have, as on the Vorbis side.
constexpr int kMinRate = 8000;
constexpr int kMaxRate = 192000;
constexpr int kMaxChannels = 8;
// A lossy decoder needs packets before a seek target to settle: the MP3 bit
// reservoir reaches back up to 511 bytes (several small frames), AAC and
// Opus overlap their transforms and Opus asks for 80 ms of pre-roll.
constexpr int kPrerollPackets = 8;
constexpr int kPrerollMs = 200;
// Packets read after a demuxer's seek before giving up on recognising one.
constexpr int kMaxUnrecognised = 64;
// Packets a demuxer's seek may land before its target and still be used.
constexpr std::size_t kMaxSeekShortfall = 4096;

QString avReason(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

// Whether the first megabyte of `path` (or all of a shorter file) reads.
bool startReads(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 want = std::min<qint64>(file.size(), qint64{1} << 20);
    return file.read(want).size() == want;
}

// The container a file starting with `head` is, when FFmpeg knows it by
// what it holds rather than by its name and it is one the program reads;
// empty when not.
QString containerOf(QByteArray head) {
    AVProbeData probe{};
    probe.filename = "";
    probe.buf_size = static_cast<int>(head.size());
    head.append(QByteArray(AVPROBE_PADDING_SIZE, '\0'));
    probe.buf = reinterpret_cast<unsigned char*>(head.data());
    int score = 0;
    const AVInputFormat* format = av_probe_input_format3(&probe, 1, &score);
    if (!format || score <= AVPROBE_SCORE_EXTENSION)
        return {};
    const QList<QByteArray> read = QByteArray(LibavAudioDemuxers).split(',');
    for (const QByteArray& name : QByteArray(format->name).split(','))
        if (read.contains(name))
            return QString::fromUtf8(format->long_name ? format->long_name : format->name);
    return {};
}

long long toSamples(long long duration, AVRational timeBase, int rate) {
    return av_rescale_q_rnd(duration, timeBase, AVRational{1, rate},
                            static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

ChannelOrder::Speaker speakerOf(AVChannel channel) {
    switch (channel) {
    case AV_CHAN_FRONT_LEFT:
        return ChannelOrder::FrontLeft;
    case AV_CHAN_FRONT_RIGHT:
        return ChannelOrder::FrontRight;
    case AV_CHAN_FRONT_CENTER:
        return ChannelOrder::FrontCenter;
    case AV_CHAN_LOW_FREQUENCY:
        return ChannelOrder::Lfe;
    case AV_CHAN_BACK_LEFT:
        return ChannelOrder::BackLeft;
    case AV_CHAN_BACK_RIGHT:
        return ChannelOrder::BackRight;
    case AV_CHAN_BACK_CENTER:
        return ChannelOrder::BackCenter;
    case AV_CHAN_SIDE_LEFT:
        return ChannelOrder::SideLeft;
    case AV_CHAN_SIDE_RIGHT:
        return ChannelOrder::SideRight;
    default:
        return ChannelOrder::Other;
    }
}

// libavcodec delivers the channels in the order of the stream's layout
// (5.1: FL FR FC LFE BL BR); the program keeps them in the Vorbis order. A
// stream that names no layout has the usual one of its channel count.
std::vector<int> vorbisSlots(const AVChannelLayout& stream) {
    const int channels = stream.nb_channels;
    AVChannelLayout layout{};
    if (stream.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&layout, channels);
    else if (av_channel_layout_copy(&layout, &stream) < 0)
        av_channel_layout_default(&layout, channels);
    std::vector<ChannelOrder::Speaker> speakers;
    for (int c = 0; c < channels; ++c)
        speakers.push_back(speakerOf(av_channel_layout_channel_from_index(&layout, c)));
    av_channel_layout_uninit(&layout);
    const std::vector<int> map = ChannelOrder::Map(speakers, ChannelOrder::Vorbis(channels));
    std::vector<int> placeOf(map.size());
    for (std::size_t slot = 0; slot < map.size(); ++slot)
        placeOf[static_cast<std::size_t>(map[slot])] = static_cast<int>(slot);
    return placeOf;
}

// Indexes of files opened before, kept while the file is unchanged; every
// packet read is still checked against the index.
KeptByStamp<PacketIndex> keptIndexes;

} // namespace

LibavDecoder::LibavDecoder(const QString& path) : path_(path) {
    mp4_ = Mp4SampleTable::Open(path_);
    if (mp4_) {
        openMp4();
    } else {
        if (countMp3Frames()) {
            indexDeferred_ = true;
            totalFrames_ = countedFrames_;
        } else {
            openInput();
            indexPackets();
        }
    }
    durationMs_ = totalFrames_ / rate_ * 1000 + totalFrames_ % rate_ * 1000 / rate_;
    if (!indexDeferred_)
        walkTo(0);
    opened_ = true;
}

void LibavDecoder::indexPackets() {
    // Stamped before reading: a file changed meanwhile is indexed again.
    const FileStamp stamp = FileStamp::Of(path_);
    if (std::shared_ptr<const PacketIndex> kept = keptIndexes.find(stamp)) {
        index_ = std::move(kept);
        table_ = index_.get();
        totalFrames_ = index_->totalFrames();
        return;
    }
    buildIndex();
    keptIndexes.keep(stamp, index_);
}

bool LibavDecoder::countMp3Frames() {
    // An MP3 file whose frames fill it, as a copy needs them, is measured
    // from their headers, as its copies count it, and opened with libav
    // only when it is sought or read: adding it and copying from it read
    // it once, and never load FFmpeg.
    if (!Mp3FrameIndex::IsMp3(path_))
        return false;
    try {
        const std::shared_ptr<const Mp3FrameIndex> frames = Mp3FrameIndex::Of(path_);
        if (!frames->problem().isEmpty() || !frames->whole() || frames->totalFrames() <= 0 ||
            frames->sampleRate() < kMinRate)
            return false;
        countedFrames_ = frames->totalFrames();
        rate_ = frames->sampleRate();
        channels_ = frames->channels();
        // As takeFormat() finds it once the codec is open.
        settles_ = true;
        return true;
    } catch (const Error&) {
        return false;
    }
}

void LibavDecoder::indexWhenDeferred() {
    if (!indexDeferred_)
        return;
    // A file whose stream FFmpeg sees otherwise (another rate or channel
    // count) fails here as a file changed since it was opened.
    openInput();
    // The count stands: the packets may end in one of junk the frames leave
    // out (a tag FFmpeg does not know), which decodes to nothing.
    indexPackets();
    totalFrames_ = countedFrames_;
    walkTo(0);
    indexDeferred_ = false;
}

LibavDecoder::~LibavDecoder() = default;

void LibavDecoder::fail(const QString& reason) const {
    throw Error(QStringLiteral("Cannot open %1: %2").arg(path_, reason));
}

void LibavDecoder::failReading(const QString& reason) const {
    // While the file is being opened, no position has been read yet.
    if (!opened_)
        fail(reason);
    throw Error(QStringLiteral("Cannot read %1 at second %2: %3")
                    .arg(path_)
                    .arg(next_ / rate_)
                    .arg(reason));
}

void LibavDecoder::allocate() {
    if (!packet_)
        packet_.reset(av_packet_alloc());
    if (!frame_)
        frame_.reset(av_frame_alloc());
    if (!packet_ || !frame_)
        throw std::bad_alloc();
}

void LibavDecoder::openInput() {
    allocate();
    codec_.reset();
    format_.reset();
    havePacket_ = false;
    AVFormatContext* opened = nullptr;
    const QByteArray name = path_.toUtf8();
    const int result = LibavOpenLocal(&opened, name.constData());
    // Probing a file that is no known format fails in several ways; only a
    // file that cannot be read is something else. Demuxers also call a
    // header cut short an I/O error: a file whose start reads is not one.
    if (result == AVERROR(ENOENT) || result == AVERROR(EACCES) ||
        (result == AVERROR(EIO) && !startReads(path_)))
        fail(QStringLiteral("the file could not be read (%1)").arg(avReason(result)));
    if (result < 0) {
        QFile file(path_);
        const QByteArray head = file.open(QIODevice::ReadOnly) ? file.read(4096) : QByteArray();
        if (head.startsWith("#EXTM3U") || head.startsWith("[playlist]") ||
            head.startsWith("ffconcat"))
            fail(QStringLiteral("a playlist, not an audio file; the files it names are not read"));
        // Known by its start and still not opened, it has lost what describes
        // its audio: a recording cut off before its index was written, say.
        const QString container = containerOf(head);
        if (!container.isEmpty())
            fail(QStringLiteral("a damaged or incomplete %1 file").arg(container));
        fail(QStringLiteral("not an audio file"));
    }
    format_.reset(opened);
    if (avformat_find_stream_info(format_.get(), nullptr) < 0)
        fail(QStringLiteral("not an audio file"));
    const AVCodec* decoder = nullptr;
    const int stream = av_find_best_stream(format_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream == AVERROR_STREAM_NOT_FOUND)
        fail(QStringLiteral("the file has no audio stream"));
    if (stream < 0 || !decoder) {
        const AVCodecDescriptor* codec =
            avcodec_descriptor_get(format_->streams[stream < 0 ? 0 : stream]->codecpar->codec_id);
        fail(QStringLiteral("the audio codec %1 is not supported")
                 .arg(QString::fromLatin1(codec ? codec->name : "(unknown)")));
    }
    if (stream_ >= 0 && stream != stream_)
        failReading(QStringLiteral("the file has changed since it was opened"));
    stream_ = stream;
    // Only the audio stream is demuxed; pictures and other streams are
    // dropped unread.
    for (unsigned i = 0; i < format_->nb_streams; ++i)
        if (static_cast<int>(i) != stream_)
            format_->streams[i]->discard = AVDISCARD_ALL;
    openCodec();
}

const AVCodecParameters* LibavDecoder::params() const {
    return mp4_ ? mp4Params_.get() : format_->streams[stream_]->codecpar;
}

void LibavDecoder::openCodec() {
    const AVCodecParameters* params = this->params();
    const AVCodec* decoder = avcodec_find_decoder(params->codec_id);
    codec_.reset(avcodec_alloc_context3(decoder));
    if (!codec_)
        throw std::bad_alloc();
    if (avcodec_parameters_to_context(codec_.get(), params) < 0)
        fail(QStringLiteral("the audio stream's parameters are damaged"));
    codec_->pkt_timebase =
        mp4_ ? AVRational{1, mp4_->timescale()} : format_->streams[stream_]->time_base;
    // The index says which frames to drop, so the decoder drops none; one
    // thread keeps its output in step with the packets sent.
    codec_->flags2 |= AV_CODEC_FLAG2_SKIP_MANUAL;
    codec_->thread_count = 1;
    if (avcodec_open2(codec_.get(), decoder, nullptr) < 0)
        fail(QStringLiteral("the %1 audio cannot be decoded")
                 .arg(QString::fromLatin1(decoder->name)));
    const int rate = codec_->sample_rate;
    const int channels = codec_->ch_layout.nb_channels;
    if (rate <= 0 || channels <= 0)
        fail(QStringLiteral("the stream has no valid audio format"));
    if (rate < kMinRate || rate > kMaxRate)
        fail(QStringLiteral("a sample rate of %1 Hz is not supported").arg(rate));
    if (channels > kMaxChannels)
        fail(QStringLiteral("%1 channels are not supported").arg(channels));
    if (mp4_) {
        // The decoder's own format is known once it has decoded a packet
        // (HE-AAC doubles the rate its configuration names).
        if (rate_ != 0)
            return;
    } else if (rate_ != 0 && (rate != rate_ || channels != channels_)) {
        failReading(QStringLiteral("the file has changed since it was opened"));
    }
    takeFormat();
}

void LibavDecoder::takeFormat() {
    const AVCodecParameters* params = this->params();
    rate_ = codec_->sample_rate;
    channels_ = codec_->ch_layout.nb_channels;
    slotOf_ = vorbisSlots(codec_->ch_layout);
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(params->codec_id);
    lossless_ = descriptor && (descriptor->props & AV_CODEC_PROP_LOSSLESS);
    settles_ = lossless_ || params->codec_id == AV_CODEC_ID_MP3 ||
               params->codec_id == AV_CODEC_ID_MP2 || params->codec_id == AV_CODEC_ID_MP1 ||
               params->codec_id == AV_CODEC_ID_VORBIS;
    // Lossy audio has no depth of its own; float samples count as 32 bits.
    bits_ = 0;
    if (lossless_)
        bits_ = params->bits_per_raw_sample > 0   ? params->bits_per_raw_sample
                : codec_->bits_per_raw_sample > 0 ? codec_->bits_per_raw_sample
                                                  : av_get_bytes_per_sample(codec_->sample_fmt) * 8;
}

bool LibavDecoder::readPacket() {
    if (mp4_) {
        // The packet to deliver next is the one the position stands at.
        av_packet_unref(packet_.get());
        if (current_ >= mp4_->size())
            return false;
        const int size = mp4_->bytes(current_);
        if (size < 0)
            return false;
        if (av_new_packet(packet_.get(), size) < 0)
            throw std::bad_alloc();
        return mp4_->read(current_, packet_->data);
    }
    for (;;) {
        av_packet_unref(packet_.get());
        const int result = av_read_frame(format_.get(), packet_.get());
        // A demuxer that meets damage it cannot resync past ends there with
        // an error of its own; what came before stays readable.
        if (result < 0)
            return false;
        if (packet_->stream_index == stream_)
            return true;
    }
}

int LibavDecoder::decodedCount(const AVPacket& packet, int* decoderSkip) {
    int frames = 0;
    if (avcodec_send_packet(codec_.get(), &packet) < 0)
        return 0;
    while (avcodec_receive_frame(codec_.get(), frame_.get()) == 0) {
        // What the decoder itself would drop from the start (Opus pre-skip
        // from the stream header) comes with the first frame it delivers.
        const AVFrameSideData* side =
            av_frame_get_side_data(frame_.get(), AV_FRAME_DATA_SKIP_SAMPLES);
        if (decoderSkip && side && side->size >= 4 && *decoderSkip < 0)
            *decoderSkip = std::max(0, static_cast<int32_t>(AV_RL32(side->data)));
        frames += frame_->nb_samples;
        av_frame_unref(frame_.get());
    }
    return frames;
}

bool LibavDecoder::oneFrameSize() const {
    switch (format_->streams[stream_]->codecpar->codec_id) {
    case AV_CODEC_ID_AAC:
    case AV_CODEC_ID_AC3:
    case AV_CODEC_ID_EAC3:
    case AV_CODEC_ID_MP1:
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_MP3:
        return true;
    default:
        return false;
    }
}

long long LibavDecoder::parsedFrames(const AVPacket& packet) {
    AVCodecParameters* params = format_->streams[stream_]->codecpar;
    const AVCodecID codec = params->codec_id;
    if (codec == AV_CODEC_ID_VORBIS && vorbisParse_) {
        const int frames = av_vorbis_parse_frame(vorbisParse_.get(), packet.data, packet.size);
        return frames >= 0 ? frames : -1;
    }
    if (codec == AV_CODEC_ID_OPUS) {
        const int frames = opus_packet_get_nb_samples(packet.data, packet.size, rate_);
        return frames >= 0 ? frames : -1;
    }
    if (codec == AV_CODEC_ID_ALAC && params->extradata_size >= 16 && packet.size >= 7) {
        // An ALAC frame holds the stream's frame length (from its magic
        // cookie) unless its first element says otherwise: after a 3-bit
        // element type, 16 bits of tag and padding, a flag at bit 19, and
        // then, 4 bits on, a 32-bit count.
        const uint8_t* bits = packet.data;
        if (!(bits[2] & 0x10))
            return AV_RB32(params->extradata + 12);
        const uint64_t head = AV_RB64(bits) >> 8; // bits 0..55
        return static_cast<long long>((head >> (56 - 23 - 32)) & 0xffffffffu);
    }
    // PCM knows its length from its size; codecs of one frame size decode
    // every packet to that many frames, whatever the container's timestamps
    // say (an MP4 written from a source with uneven timestamps times its AAC
    // frames 1472, 576 ... frames long).
    const bool pcm = codec >= AV_CODEC_ID_FIRST_AUDIO && codec < AV_CODEC_ID_ADPCM_IMA_QT;
    if (pcm || (oneFrameSize() && frameSizeHolds_)) {
        const int frames = av_get_audio_frame_duration2(params, packet.size);
        return frames > 0 ? frames : -1;
    }
    return -1;
}

void LibavDecoder::buildIndex() {
    const AVStream* stream = format_->streams[stream_];
    const AVRational timeBase = stream->time_base;
    // A container whose ticks are longer than a frame (Matroska's and ASF's
    // milliseconds) gives durations rounded to its ticks; those packets are
    // counted from their contents instead.
    const bool exactTimes =
        timeBase.num > 0 && timeBase.den / timeBase.num >= static_cast<long long>(rate_);
    if (stream->codecpar->codec_id == AV_CODEC_ID_VORBIS && stream->codecpar->extradata)
        vorbisParse_.reset(
            av_vorbis_parse_init(stream->codecpar->extradata, stream->codecpar->extradata_size));
    int decoderSkip = -1;
    auto index = std::make_shared<PacketIndex>();
    index_ = index;
    table_ = index.get();
    while (readPacket()) {
        // Indexing a long file takes a while; Ctrl-C or the end of the
        // session must not wait for it.
        if (TerminationSignal::Requested())
            fail(QStringLiteral("stopped"));
        PacketIndex::Facts facts;
        facts.pos = packet_->pos;
        facts.pts = packet_->pts == AV_NOPTS_VALUE ? PacketIndex::NoTime : packet_->pts;
        facts.size = packet_->size;
        long long duration = -1;
        if (index->empty()) {
            // The first packet is decoded from a fresh decoder, to learn
            // what the decoder drops on its own, and whether the codec's
            // frame size is what it delivers (HE-AAC doubles it).
            const int decoded = decodedCount(*packet_, &decoderSkip);
            const long long parsed = parsedFrames(*packet_);
            frameSizeHolds_ = decoded == 0 || parsed == decoded;
            duration = decoded;
        } else {
            duration = parsedFrames(*packet_);
            if (duration < 0 && packet_->duration > 0 && exactTimes)
                duration = toSamples(packet_->duration, timeBase, rate_);
            if (duration < 0)
                duration = decodedCount(*packet_);
        }
        if (duration < 0 || duration > 16LL * rate_)
            fail(QStringLiteral("a packet's length cannot be true"));
        facts.frames = static_cast<int>(duration);
        std::size_t sideSize = 0;
        const uint8_t* side =
            av_packet_get_side_data(packet_.get(), AV_PKT_DATA_SKIP_SAMPLES, &sideSize);
        if (side && sideSize >= 10) {
            facts.skip = std::max(0, static_cast<int32_t>(AV_RL32(side)));
            facts.padding = static_cast<int>(std::min<uint32_t>(AV_RL32(side + 4), INT32_MAX));
        }
        if (index->empty() && facts.skip < 0 && decoderSkip > 0)
            facts.skip = decoderSkip;
        facts.discard = (packet_->flags & AV_PKT_FLAG_DISCARD) != 0;
        index->add(facts);
    }
    if (index->empty())
        fail(QStringLiteral("the file holds no audio"));
    index->place();
    totalFrames_ = index->totalFrames();
    settleLastPacket(*index);
    if (totalFrames_ == 0)
        fail(QStringLiteral("the file holds no audio"));
}

void LibavDecoder::settleLastPacket(PacketIndex& index) {
    // A last packet that decodes to nothing (one the file's end cut off)
    // holds no audio, as in a straight decode, rather than silence.
    const int got = decodeLastPacket();
    if (got != index.frames(index.size() - 1)) {
        index.setFrames(index.size() - 1, got);
        index.place();
        totalFrames_ = index.totalFrames();
    }
}

int LibavDecoder::decodeLastPacket() {
    // Containers give the last packet the length of the audio left in it
    // (MP4's last sample, Ogg's last granule position), while the decoder
    // delivers a whole frame and drops only what the side data says. What
    // it delivers is found by decoding that one packet.
    const std::size_t last = table_->size() - 1;
    const std::size_t start = prerollStart(last);
    if (!seekNear(start))
        walkTo(start);
    avcodec_flush_buffers(codec_.get());
    int got = 0;
    while (current_ <= last)
        got = decodeRaw();
    return got;
}

void LibavDecoder::openMp4() {
    allocate();
    table_ = mp4_.get();
    mp4Stamp_ = FileStamp::Of(path_);
    mp4Params_.reset(avcodec_parameters_alloc());
    if (!mp4Params_)
        throw std::bad_alloc();
    AVCodecParameters* params = mp4Params_.get();
    params->codec_type = AVMEDIA_TYPE_AUDIO;
    params->codec_id =
        mp4_->codec() == Mp4SampleTable::Codec::Aac ? AV_CODEC_ID_AAC : AV_CODEC_ID_ALAC;
    params->sample_rate = mp4_->sampleRate();
    av_channel_layout_default(&params->ch_layout, std::max(1, mp4_->channels()));
    const QByteArray& config = mp4_->codecConfig();
    params->extradata = static_cast<uint8_t*>(
        av_mallocz(static_cast<std::size_t>(config.size()) + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!params->extradata)
        throw std::bad_alloc();
    std::memcpy(params->extradata, config.constData(), static_cast<std::size_t>(config.size()));
    params->extradata_size = static_cast<int>(config.size());
    openCodec();
    // The first packet, decoded by a fresh decoder, tells its output format
    // and how many frames a packet decodes to.
    current_ = 0;
    if (!readPacket())
        fail(QStringLiteral("the file holds no audio"));
    const int decoded = decodedCount(*packet_);
    if (decoded <= 0 || decoded > 16 * 8192)
        fail(QStringLiteral("the %1 audio cannot be decoded")
                 .arg(QString::fromLatin1(avcodec_get_name(params->codec_id))));
    takeFormat();
    if (rate_ < kMinRate || rate_ > kMaxRate || channels_ <= 0 || channels_ > kMaxChannels)
        fail(QStringLiteral("the stream has no valid audio format"));
    // Both codecs have one frame length for every packet but the last,
    // whatever the sample table's timing says (files remuxed from Ogg time
    // theirs unevenly).
    mp4_->setFrameSize(decoded);
    mp4_->setLastFrames(decodeLastPacket());
    totalFrames_ = mp4_->totalFrames();
    if (totalFrames_ <= 0)
        fail(QStringLiteral("the file holds no audio"));
}

bool LibavDecoder::matches(std::size_t at) const {
    if (mp4_)
        return true;
    if (packet_->size != index_->bytes(at))
        return false;
    // Read in order, the packet expected is the one of its size at its byte
    // offset. Timestamps count only where the demuxer gives no offset: after
    // a seek, Ogg demuxing times a page's packets otherwise than a read from
    // the start does.
    const long long pos = index_->pos(at);
    if (packet_->pos >= 0 && pos >= 0)
        return packet_->pos == pos;
    const long long pts = index_->pts(at);
    return pts != PacketIndex::NoTime && packet_->pts == pts;
}

bool LibavDecoder::identifies(std::size_t at) const {
    if (!matches(at))
        return false;
    const long long pos = index_->pos(at);
    if (pos < 0)
        return true;
    // Packets sharing a byte offset (one Ogg page, one Matroska lace) cannot
    // be told apart; after a seek the demuxer starts at a page or block, so
    // only the first of them is taken as known.
    return at == 0 || index_->pos(at - 1) != pos;
}

void LibavDecoder::walkTo(std::size_t target) {
    if (mp4_) {
        // The packets are read where the tables opened say; a file written
        // anew since then is not read as if it were the same.
        if (opened_ && FileStamp::Of(path_) != mp4Stamp_)
            failReading(QStringLiteral("the file has changed since it was opened"));
        // A fresh decoder, as for a straight decode from the start.
        openCodec();
        havePacket_ = false;
        current_ = target;
        return;
    }
    // From the start the demuxer delivers the packets exactly as the index
    // has them; demuxing without decoding is quick.
    openInput();
    current_ = 0;
    skipTo(target);
}

bool LibavDecoder::verifiedSkipTo(std::size_t target) {
    while (current_ <= target && current_ < index_->size()) {
        if (!havePacket_ && !readPacket())
            return false;
        havePacket_ = true;
        if (!matches(current_))
            return false;
        if (current_ == target)
            return true; // kept in packet_ for the decode
        havePacket_ = false;
        ++current_;
    }
    return true;
}

void LibavDecoder::skipTo(std::size_t target) {
    if (mp4_ && current_ < target) {
        havePacket_ = false;
        current_ = target;
        return;
    }
    while (current_ < target) {
        if (!havePacket_ && !readPacket())
            failReading(QStringLiteral("the file has been cut short since it was opened"));
        havePacket_ = false;
        ++current_;
    }
}

bool LibavDecoder::seekNear(std::size_t target) {
    if (mp4_) {
        havePacket_ = false;
        current_ = target;
        return true;
    }
    const long long wanted = index_->pts(target);
    if (wanted == PacketIndex::NoTime ||
        av_seek_frame(format_.get(), stream_, wanted, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    havePacket_ = false;
    // The demuxer's seek lands somewhere before the target; where exactly,
    // only the packet it delivers first can tell.
    for (int tries = 0; tries < kMaxUnrecognised; ++tries) {
        if (!readPacket())
            return false;
        // Far before the target a seek has gone astray: walking is better.
        const std::size_t earliest = target > kMaxSeekShortfall ? target - kMaxSeekShortfall : 0;
        for (std::size_t i = target + 1; i-- > earliest;) {
            if (!identifies(i))
                continue;
            current_ = i;
            havePacket_ = true;
            // The packets that follow up to the target must agree too, or
            // the file is walked instead.
            return verifiedSkipTo(target);
        }
    }
    return false;
}

std::size_t LibavDecoder::prerollStart(std::size_t at) const {
    std::size_t start = at;
    if (lossless_)
        return start;
    const long long preroll = static_cast<long long>(rate_) * kPrerollMs / 1000;
    long long before = 0;
    while (start > 0 && (at - start < kPrerollPackets || before < preroll)) {
        --start;
        before += table_->frames(start);
    }
    return start;
}

void LibavDecoder::seek(long long frame) {
    indexWhenDeferred();
    const long long target = std::clamp<long long>(frame, 0, totalFrames_);
    // Where the next read starts already: the decoder goes on as it is,
    // so pieces cut one after another come out as one straight decode.
    if (target == next_)
        return;
    if (seeksByDecoding()) {
        if (target > next_) {
            // On from here: the frames in between are decoded and dropped.
            heldAt_ = static_cast<int>(std::min<long long>(heldEnd_, heldAt_ + (target - next_)));
            next_ = target;
        } else {
            next_ = target;
            heldAt_ = heldEnd_ = 0;
            walkTo(0);
        }
        return;
    }
    next_ = target;
    heldAt_ = heldEnd_ = 0;
    if (next_ >= totalFrames_)
        return;
    const std::size_t start = prerollStart(table_->packetAt(next_));
    // A short way on is quicker read than sought.
    if (start >= current_ && start - current_ < 64)
        skipTo(start);
    else if (start == 0 || !seekNear(start))
        walkTo(start);
    avcodec_flush_buffers(codec_.get());
}

void LibavDecoder::convert(const AVFrame& frame, int at) {
    const int count = frame.nb_samples;
    if (count <= 0)
        return;
    for (auto& plane : held_)
        if (plane.size() < static_cast<std::size_t>(at + count))
            plane.resize(static_cast<std::size_t>(at + count), 0.0f);
    float* out[kMaxChannels] = {};
    for (int c = 0; c < channels_; ++c)
        out[c] = held_[static_cast<std::size_t>(slotOf_[static_cast<std::size_t>(c)])].data() + at;
    if (frame.format == AV_SAMPLE_FMT_FLTP) {
        for (int c = 0; c < channels_; ++c)
            std::memcpy(out[c], frame.extended_data[c], static_cast<std::size_t>(count) * 4);
        return;
    }
    // Any other sample format becomes planar float through swresample, with
    // the rate and the channels left as they are.
    if (!swr_ || swrFormat_ != frame.format) {
        SwrContext* made = nullptr;
        // A shallow copy for the call, which takes the layout as non-const;
        // the frame keeps owning whatever the layout points to.
        AVChannelLayout layout = frame.ch_layout;
        if (swr_alloc_set_opts2(&made, &layout, AV_SAMPLE_FMT_FLTP, rate_, &layout,
                                static_cast<AVSampleFormat>(frame.format), rate_, 0, nullptr) < 0 ||
            swr_init(made) < 0) {
            swr_free(&made);
            failReading(QStringLiteral("the decoded sample format is not supported"));
        }
        swr_.reset(made);
        swrFormat_ = frame.format;
    }
    if (swr_convert(swr_.get(), reinterpret_cast<uint8_t**>(out), count,
                    const_cast<const uint8_t**>(frame.extended_data), count) != count)
        failReading(QStringLiteral("the decoded samples cannot be converted"));
}

int LibavDecoder::decodeRaw() {
    if (!havePacket_ && !readPacket())
        failReading(QStringLiteral("the audio ends before the end of the file; the file may "
                                   "have been changed or damaged since it was opened"));
    havePacket_ = false;
    if (!matches(current_))
        failReading(QStringLiteral("the file has changed since it was opened"));
    held_.resize(static_cast<std::size_t>(channels_));
    for (auto& plane : held_)
        plane.assign(static_cast<std::size_t>(std::max(table_->frames(current_), 1)), 0.0f);
    // Damaged audio the decoder refuses comes out as silence of the packet's
    // length, so everything after it stays in place.
    int got = 0;
    if (avcodec_send_packet(codec_.get(), packet_.get()) == 0) {
        while (avcodec_receive_frame(codec_.get(), frame_.get()) == 0) {
            if (frame_->ch_layout.nb_channels != channels_ || frame_->sample_rate != rate_) {
                av_frame_unref(frame_.get());
                failReading(QStringLiteral("the audio format changes within the file"));
            }
            convert(*frame_, got);
            got += frame_->nb_samples;
            av_frame_unref(frame_.get());
        }
    }
    // The sample table's lengths stand for what the decoder delivers; a
    // packet that decodes otherwise would move every frame after it.
    if (mp4_ && got > 0 && current_ + 1 < table_->size() && got != table_->frames(current_))
        failReading(QStringLiteral("a packet decodes to %1 frames where the file's sample table "
                                   "says %2")
                        .arg(got)
                        .arg(table_->frames(current_)));
    // A decoder that holds audio back (WMA's last frame) gives it up when
    // told the stream has ended, as a straight decode does at the end.
    if (current_ + 1 == table_->size() && avcodec_send_packet(codec_.get(), nullptr) == 0) {
        while (avcodec_receive_frame(codec_.get(), frame_.get()) == 0) {
            if (frame_->ch_layout.nb_channels == channels_ && frame_->sample_rate == rate_) {
                convert(*frame_, got);
                got += frame_->nb_samples;
            }
            av_frame_unref(frame_.get());
        }
        avcodec_flush_buffers(codec_.get());
    }
    ++current_;
    return got;
}

void LibavDecoder::decodeNext() {
    const std::size_t packet = current_;
    decodeRaw();
    heldAt_ = table_->keepFrom(packet);
    heldEnd_ = table_->keepTo(packet);
    // Frames before the position asked for lead up to it and are dropped.
    const long long first = table_->first(packet);
    if (next_ > first)
        heldAt_ += static_cast<int>(std::min<long long>(next_ - first, heldEnd_ - heldAt_));
}

LibavDecoder::Chunk LibavDecoder::read(int maxFrames) {
    indexWhenDeferred();
    for (;;) {
        if (next_ >= totalFrames_ || maxFrames <= 0)
            return Chunk{};
        if (heldAt_ < heldEnd_) {
            const int frames = static_cast<int>(
                std::min<long long>({maxFrames, heldEnd_ - heldAt_, totalFrames_ - next_}));
            view_.resize(static_cast<std::size_t>(channels_));
            for (int c = 0; c < channels_; ++c)
                view_[static_cast<std::size_t>(c)] =
                    held_[static_cast<std::size_t>(c)].data() + heldAt_;
            heldAt_ += frames;
            next_ += frames;
            return Chunk{view_.data(), frames, rate_, channels_};
        }
        if (current_ >= table_->size())
            failReading(QStringLiteral("the audio ends before the end of the file"));
        decodeNext();
    }
}
