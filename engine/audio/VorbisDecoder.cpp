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
// Gaps in a row one read steps over before the rest is taken as lost.
constexpr int kMaxGaps = 1000;

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
    totalFrames_ = pages_->totalFrames();
    const long links = ov_streams(file_.get());
    if (links == 1) {
        // In two steps, so no length of frames can overflow.
        durationMs_ = totalFrames_ / rate_ * 1000 + totalFrames_ % rate_ * 1000 / rate_;
    } else {
        double seconds = 0;
        for (int i = 0; i < links; ++i)
            seconds += static_cast<double>(pages_->frames(i)) / ov_info(file_.get(), i)->rate;
        durationMs_ = static_cast<long long>(std::floor(seconds * 1000));
    }
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
    const ogg_int64_t total = ov_pcm_total(file_.get(), -1);
    if (links < 1 || total < 0)
        fail(path_, reasonFor(total < 0 ? static_cast<int>(total) : OV_EINVAL));
    const vorbis_info* first = ov_info(file_.get(), 0);
    rate_ = static_cast<int>(first->rate);
    channels_ = first->channels;
    totalFrames_ = total;
}

VorbisDecoder::~VorbisDecoder() = default;

void VorbisDecoder::seek(long long frame) {
    next_ = std::clamp<long long>(frame, 0, totalFrames_);
    silence_ = 0;
    heldFrames_ = 0;
    heldRate_ = rate_;
    heldChannels_ = channels_;
    restartedAt_ = -1;
    if (next_ == totalFrames_)
        return;
    // vorbisfile's own seek bisects on the positions pages claim and can go
    // astray on a damaged file; the index only holds positions it found in
    // order. The frames decoded before the target are dropped on reading.
    const int link = pages_->linkOf(next_);
    for (const OggPageIndex::Start& start : pages_->seekStarts(link, next_)) {
        // A seek to the very end first makes vorbisfile forget the link it
        // is in, so that it treats a link's first page as such.
        rawSeek(file_->end);
        rawSeek(start.offset);
        // Finding no position on the way, vorbisfile answers its own idea
        // of the file's length.
        if (told_ >= start.earliest && told_ <= next_)
            return;
    }
    throw Error(QStringLiteral("Cannot seek in %1: %2").arg(path_, reasonFor(OV_EBADLINK)));
}

void VorbisDecoder::rawSeek(long long offset) {
    const int result = ov_raw_seek(file_.get(), offset);
    if (result != 0)
        throw Error(QStringLiteral("Cannot seek in %1: %2").arg(path_, reasonFor(result)));
    told_ = ov_pcm_tell(file_.get());
    shift_ = 0;
}

void VorbisDecoder::restartAfterGap() {
    // After a gap vorbisfile decodes on with the state of the audio before
    // it and places what follows only at the next positioned page. Starting
    // afresh at the page after the gap places every frame where it belongs.
    const long long page = pages_->restartPoint(ov_raw_tell(file_.get()));
    if (page <= restartedAt_)
        return;
    restartedAt_ = page;
    rawSeek(page);
}

void VorbisDecoder::failReading(const QString& reason) const {
    const double seconds =
        totalFrames_ > 0 ? static_cast<double>(next_) / totalFrames_ * durationMs_ / 1000 : 0;
    throw Error(QStringLiteral("Cannot read %1 at second %2: %3")
                    .arg(path_)
                    .arg(static_cast<long long>(seconds))
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
    for (int gaps = 0;;) {
        const long long left = totalFrames_ - next_;
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
        if (got == OV_HOLE) {
            if (++gaps >= kMaxGaps)
                failReading(reasonFor(OV_HOLE));
            restartAfterGap();
            continue;
        }
        if (got < 0)
            failReading(reasonFor(static_cast<int>(got)));
        // Frames are numbered on from the ones before until vorbisfile places
        // them by a page. Placed by a page while decoding, the frames of the
        // first link are numbered from the stream's own zero, not from the
        // link's first frame as everything else, seeks included, counts.
        const ogg_int64_t told = ov_pcm_tell(file_.get());
        if (told - got != told_)
            shift_ = link == 0 ? file_->pcmlengths[0] : 0;
        told_ = told;
        if (told < 0)
            failReading(reasonFor(OV_EBADLINK));
        const long long end = told - shift_;
        if (got == 0)
            failReading(QStringLiteral("the audio ends before the end of the file; the file may "
                                       "have been changed or damaged since it was opened"));
        const vorbis_info* info = ov_info(file_.get(), link);
        held_ = planes;
        heldFrames_ = static_cast<int>(got);
        heldOffset_ = 0;
        heldRate_ = info ? static_cast<int>(info->rate) : rate_;
        heldChannels_ = info ? info->channels : channels_;
        // Where the pages place these frames decides what is delivered: a
        // gap before them is silence, frames before the position reached
        // are repeated or lead up to a seek target.
        const long long start = end - got;
        if (start > next_) {
            silence_ = start - next_;
        } else if (start < next_) {
            const auto skip = static_cast<int>(std::min<long long>(next_ - start, got));
            heldOffset_ += skip;
            heldFrames_ -= skip;
        }
    }
}
