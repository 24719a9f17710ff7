#include "engine/audio/VorbisDecoder.h"

#include "engine/audio/OggFileView.h"
#include "engine/audio/OggPageIndex.h"
#include "platform/Error.h"

#include <QFileInfo>

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// The formats real files have; beyond them a header is damage, and a block
// of a second's frames would no longer be a modest amount of memory.
constexpr long kMinRate = 8000;
constexpr long kMaxRate = 192000;
constexpr int kMaxChannels = 8;
// Beyond this vorbisfile's position comes from positions that are damage.
constexpr long long kMaxTold = 1LL << 61;

QString reasonFor(int code) {
    switch (code) {
    case OV_ENOTVORBIS:
        return QStringLiteral("not an Ogg Vorbis file");
    case OV_EBADHEADER:
        return QStringLiteral("the Vorbis headers are damaged or cut off");
    case OV_EVERSION:
        return QStringLiteral("unsupported Vorbis version");
    case OV_EREAD:
        return QStringLiteral("the file could not be read");
    case OV_EBADLINK:
    case OV_HOLE:
        return QStringLiteral("the audio data is damaged");
    case OV_EINVAL:
        return QStringLiteral("the file length cannot be determined");
    default:
        return QStringLiteral("the file cannot be decoded");
    }
}

[[noreturn]] void fail(const QString& path, const QString& reason) {
    throw Error(QStringLiteral("Cannot open %1: %2").arg(path, reason));
}

// vorbisfile reads the source through its view.
ov_callbacks viewCallbacks() {
    ov_callbacks callbacks{};
    callbacks.read_func = [](void* data, std::size_t size, std::size_t count,
                             void* source) -> std::size_t {
        const long got =
            static_cast<OggFileView*>(source)->read(static_cast<char*>(data), size * count);
        return got > 0 ? static_cast<std::size_t>(got) / std::max<std::size_t>(size, 1) : 0;
    };
    callbacks.seek_func = [](void* source, ogg_int64_t offset, int whence) {
        return static_cast<OggFileView*>(source)->seek(offset, whence);
    };
    callbacks.tell_func = [](void* source) {
        return static_cast<long>(static_cast<OggFileView*>(source)->tell());
    };
    return callbacks;
}

// Whether a link's headers set up a decoder, as vorbisfile does only when
// decoding reaches the link.
bool decodable(vorbis_info& info) {
    struct DspState {
        vorbis_dsp_state state{};
        bool ready = false;
        ~DspState() {
            if (ready)
                vorbis_dsp_clear(&state);
        }
    } dsp;
    dsp.ready = vorbis_synthesis_init(&dsp.state, &info) == 0;
    return dsp.ready;
}

} // namespace

void VorbisDecoder::Closer::operator()(OggVorbis_File* file) const {
    ov_clear(file);
    delete file;
}

VorbisDecoder::VorbisDecoder(const QString& path) : path_(path) {
    const QFileInfo info(path);
    if (!info.exists())
        fail(path, QStringLiteral("the file does not exist"));
    if (info.isDir())
        fail(path, QStringLiteral("it is a folder, not a file"));

    source_ = std::make_unique<OggFileView>(path);
    open();
    pages_ = std::make_unique<OggPageIndex>(*source_, *file_, path);
    if (!pages_->repeatedPages().empty()) {
        // Opened again without the repeated pages, every packet arrives
        // whole.
        file_.reset();
        source_->leaveOut(pages_->repeatedPages());
        open();
        pages_ = std::make_unique<OggPageIndex>(*source_, *file_, path);
    }
    decodedFrames_ = pages_->totalFrames();
    const long links = ov_streams(file_.get());
    long long frames = 0;
    for (int i = 0; i < links; ++i) {
        const int rate = static_cast<int>(ov_info(file_.get(), i)->rate);
        linkRates_.push_back(rate);
        linkFrames_.push_back(frames);
        // In two steps, so no length of frames can overflow.
        const long long own = pages_->frames(i);
        frames += rate == rate_ ? own : own / rate * rate_ + own % rate * rate_ / rate;
    }
    totalFrames_ = frames;
    durationMs_ = totalFrames_ / rate_ * 1000 + totalFrames_ % rate_ * 1000 / rate_;
    // vorbisfile leaves the file wherever measuring it ended.
    seek(0);
}

void VorbisDecoder::open() {
    source_->seek(0, SEEK_SET);
    auto opening = std::make_unique<OggVorbis_File>();
    const int opened = ov_open_callbacks(source_.get(), opening.get(), nullptr, 0, viewCallbacks());
    if (opened < 0)
        fail(path_, reasonFor(opened));
    file_.reset(opening.release());

    const long links = ov_streams(file_.get());
    for (int i = 0; i < links; ++i) {
        const vorbis_info* link = ov_info(file_.get(), i);
        if (!link || link->rate <= 0 || link->channels <= 0)
            fail(path_, QStringLiteral("the stream has no valid audio format"));
        if (link->rate < kMinRate || link->rate > kMaxRate)
            fail(path_, QStringLiteral("a sample rate of %1 Hz is not supported").arg(link->rate));
        if (link->channels > kMaxChannels)
            fail(path_, QStringLiteral("%1 channels are not supported").arg(link->channels));
        if (!decodable(file_->vi[i]))
            fail(path_, reasonFor(OV_EBADHEADER));
    }
    // The length vorbisfile measures from the positions on the pages is no
    // reason to refuse a file: some muxers write positions that run ahead of
    // the audio, and the index counts the audio itself.
    if (links < 1)
        fail(path_, reasonFor(OV_EINVAL));
    const vorbis_info* first = ov_info(file_.get(), 0);
    rate_ = static_cast<int>(first->rate);
    channels_ = first->channels;
}

long long VorbisDecoder::toDecoded(long long frame) const {
    auto link = linkFrames_.size();
    while (link > 1 && frame < linkFrames_[link - 1])
        --link;
    --link;
    const long long within = frame - linkFrames_[link];
    const long long rate = linkRates_[link];
    const long long own =
        rate == rate_ ? within : within / rate_ * rate + within % rate_ * rate / rate_;
    return pages_->startFrame(static_cast<int>(link)) +
           std::min<long long>(own, pages_->frames(static_cast<int>(link)));
}

long long VorbisDecoder::toFrames(long long decoded) const {
    const int link = pages_->linkOf(decoded);
    const long long within = decoded - pages_->startFrame(link);
    const long long rate = linkRates_[static_cast<size_t>(link)];
    return linkFrames_[static_cast<size_t>(link)] +
           (rate == rate_ ? within : within / rate * rate_ + within % rate * rate_ / rate);
}

VorbisDecoder::~VorbisDecoder() = default;

void VorbisDecoder::seek(long long frame) {
    next_ = toDecoded(std::clamp<long long>(frame, 0, totalFrames_));
    silence_ = 0;
    heldFrames_ = 0;
    heldRate_ = rate_;
    heldChannels_ = channels_;
    if (next_ >= decodedFrames_)
        return;
    // vorbisfile's own seek bisects on the positions pages claim and can go
    // astray on a damaged file, or on one whose positions run ahead of its
    // audio; the index knows where each page's audio really ends. The frames
    // decoded before the target are dropped on reading.
    const int link = pages_->linkOf(next_);
    for (const OggPageIndex::Start& start : pages_->seekStarts(link, next_)) {
        // A seek to the very end first makes vorbisfile forget the link it
        // is in, so that it treats a link's first page as such.
        rawSeek(file_->end);
        rawSeek(start.offset);
        link_ = link;
        // Finding no position on the way, vorbisfile answers its own idea
        // of the file's length; a position below zero it answers as zero.
        // From a link's first page frames before the link's first are
        // decoded and dropped.
        if (start.linkStart) {
            at_ = start.earliest;
            return;
        }
        if (told_ <= 0 || told_ > kMaxTold)
            continue;
        at_ = told_ - start.shift;
        if (at_ >= start.earliest && at_ <= next_)
            return;
    }
    throw Error(QStringLiteral("Cannot seek in %1: %2").arg(path_, reasonFor(OV_EBADLINK)));
}

void VorbisDecoder::rawSeek(long long offset) {
    const int result = ov_raw_seek(file_.get(), offset);
    if (result != 0)
        throw Error(QStringLiteral("Cannot seek in %1: %2").arg(path_, reasonFor(result)));
    told_ = ov_pcm_tell(file_.get());
}

void VorbisDecoder::failReading(const QString& reason) const {
    throw Error(QStringLiteral("Cannot read %1 at second %2: %3")
                    .arg(path_)
                    .arg(toFrames(next_) / rate_)
                    .arg(reason));
}

VorbisDecoder::Chunk VorbisDecoder::deliver(float** planes, int frames) {
    view_.resize(static_cast<size_t>(heldChannels_));
    for (int c = 0; c < heldChannels_; ++c)
        view_[static_cast<size_t>(c)] = planes ? planes[c] + heldOffset_ : zeros_.data();
    next_ += frames;
    return Chunk{view_.data(), frames, heldRate_, heldChannels_};
}

VorbisDecoder::Chunk VorbisDecoder::read(int maxFrames) {
    for (;;) {
        const long long left = decodedFrames_ - next_;
        if (left <= 0 || maxFrames <= 0)
            return Chunk{};
        const int most = static_cast<int>(std::min<long long>(maxFrames, left));
        if (silence_ > 0) {
            const int frames = static_cast<int>(std::min<long long>(most, silence_));
            if (zeros_.size() < static_cast<size_t>(frames))
                zeros_.assign(static_cast<size_t>(frames), 0.0f);
            silence_ -= frames;
            return deliver(nullptr, frames);
        }
        if (heldFrames_ > 0) {
            const int frames = std::min(most, heldFrames_);
            const Chunk chunk = deliver(held_, frames);
            heldOffset_ += frames;
            heldFrames_ -= frames;
            return chunk;
        }

        int link = 0;
        float** planes = nullptr;
        const long got = ov_read_float(file_.get(), &planes, most, &link);
        // Pages lost: decoding laps on across the gap, as oggdec's does.
        if (got == OV_HOLE)
            continue;
        if (got < 0)
            failReading(reasonFor(static_cast<int>(got)));
        if (got == 0)
            failReading(QStringLiteral("the audio ends before the end of the file; the file may "
                                       "have been changed or damaged since it was opened"));
        // Frames follow one another as decoded; only a new link starts
        // again where the index put it.
        if (link != link_) {
            link_ = link;
            at_ = pages_->startFrame(link);
        }
        const long long start = at_;
        at_ += got;
        const vorbis_info* info = ov_info(file_.get(), link);
        held_ = planes;
        heldFrames_ = static_cast<int>(got);
        heldOffset_ = 0;
        heldRate_ = info ? static_cast<int>(info->rate) : rate_;
        heldChannels_ = info ? info->channels : channels_;
        // Where these frames lie decides what is delivered: a link that
        // delivered less than indexed leaves silence, frames before the
        // position reached lead up to a seek target.
        if (start > next_) {
            silence_ = start - next_;
        } else if (start < next_) {
            const auto skip = static_cast<int>(std::min<long long>(next_ - start, got));
            heldOffset_ += skip;
            heldFrames_ -= skip;
        }
    }
}
