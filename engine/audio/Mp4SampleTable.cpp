#include "engine/audio/Mp4SampleTable.h"

#include "engine/audio/Mp4Box.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::uint64_t kWindowEntries = 4096;
constexpr std::uint64_t kMarkEvery = 1024;
// Packets from a second before an edit's start to its start.
constexpr std::uint64_t kMaxHeadPackets = 1 << 16;

// An MPEG-4 descriptor's length (up to four 7-bit groups) at `at`.
bool descriptorLength(const QByteArray& data, int& at, int& length) {
    length = 0;
    for (int i = 0; i < 4; ++i) {
        if (at >= data.size())
            return false;
        const auto byte = static_cast<unsigned char>(data[at++]);
        length = length << 7 | (byte & 0x7f);
        if (!(byte & 0x80))
            return at + length <= data.size();
    }
    return at + length <= data.size();
}

// The AudioSpecificConfig in an esds box's payload, as libavformat takes it;
// empty for anything but AAC.
QByteArray aacConfig(const QByteArray& esds) {
    int at = 4; // version and flags
    int length = 0;
    if (at >= esds.size() || esds[at++] != 0x03 || !descriptorLength(esds, at, length) ||
        at + 3 > esds.size())
        return {};
    const auto flags = static_cast<unsigned char>(esds[at + 2]);
    at += 3;
    if (flags & 0x80)
        at += 2;
    if (flags & 0x40) {
        if (at >= esds.size())
            return {};
        at += 1 + static_cast<unsigned char>(esds[at]);
    }
    if (flags & 0x20)
        at += 2;
    if (at >= esds.size() || esds[at++] != 0x04 || !descriptorLength(esds, at, length) ||
        length < 13)
        return {};
    const auto object = static_cast<unsigned char>(esds[at]);
    // MPEG-4 audio, or MPEG-2 AAC (main, LC, SSR).
    if (object != 0x40 && (object < 0x66 || object > 0x68))
        return {};
    at += 13;
    if (at >= esds.size() || esds[at++] != 0x05 || !descriptorLength(esds, at, length) ||
        length <= 0)
        return {};
    return esds.mid(at, length);
}

} // namespace

std::unique_ptr<Mp4SampleTable> Mp4SampleTable::Open(const QString& path) {
    std::unique_ptr<Mp4SampleTable> table(new Mp4SampleTable);
    table->file_.setFileName(path);
    if (!table->file_.open(QIODevice::ReadOnly) || !table->parse() || !table->applyEdits())
        return nullptr;
    table->place();
    return table;
}

bool Mp4SampleTable::parse() {
    const long long end = file_.size();
    Mp4Box box;
    long long at = 0;
    bool typed = false;
    bool moov = false;
    bool media = false;
    Mp4Box movie;
    while (Mp4Box::Read(file_, at, end, box)) {
        if (at == 0 && !box.is("ftyp") && !box.is("moov") && !box.is("mdat") && !box.is("wide") &&
            !box.is("free"))
            return false;
        typed = true;
        // Fragments hold samples no table lists.
        if (box.is("moof") || box.is("mfra"))
            return false;
        if (box.is("moov")) {
            if (moov)
                return false;
            moov = true;
            movie = box;
        }
        media = media || box.is("mdat");
        at = box.end;
    }
    if (!typed || !moov || !media)
        return false;
    int audioTracks = 0;
    int textTracks = 0;
    long long track = -1;
    long long trackEnd = 0;
    for (at = movie.payload; Mp4Box::Read(file_, at, movie.end, box); at = box.end) {
        if (box.is("mvex"))
            return false;
        if (box.is("mvhd")) {
            const QByteArray mvhd = Mp4Box::Contents(file_, box);
            if (mvhd.size() < (mvhd.size() > 0 && mvhd[0] == 1 ? 32 : 24))
                return false;
            const bool wide = mvhd[0] == 1;
            movieTimescale_ = Mp4Box::Be32(Mp4Box::Bytes(mvhd) + (wide ? 20 : 12));
            movieDuration_ = wide ? Mp4Box::Be64(Mp4Box::Bytes(mvhd) + 24)
                                  : Mp4Box::Be32(Mp4Box::Bytes(mvhd) + 16);
        } else if (box.is("trak")) {
            // Only the track's handler is looked at here: is it sound (or
            // the text track asked for)?
            Mp4Box mdia;
            std::uint32_t id = 0;
            for (long long t = box.payload; Mp4Box::Read(file_, t, box.end, mdia); t = mdia.end) {
                if (mdia.is("tkhd")) {
                    const QByteArray tkhd = Mp4Box::Contents(file_, mdia);
                    if (tkhd.size() >= 24)
                        id = Mp4Box::Be32(Mp4Box::Bytes(tkhd) + (tkhd[0] == 1 ? 20 : 12));
                }
                if (!mdia.is("mdia"))
                    continue;
                Mp4Box hdlr;
                for (long long m = mdia.payload; Mp4Box::Read(file_, m, mdia.end, hdlr);
                     m = hdlr.end)
                    if (hdlr.is("hdlr")) {
                        const QByteArray handler = Mp4Box::Contents(file_, hdlr);
                        const QByteArray kind = handler.mid(8, 4);
                        if (textTrack_ != 0 && id == textTrack_ &&
                            (kind == "text" || kind == "sbtl")) {
                            ++textTracks;
                            track = box.payload;
                            trackEnd = box.end;
                        }
                        if (textTrack_ == 0 && handler.size() >= 12 && kind == "soun") {
                            ++audioTracks;
                            track = box.payload;
                            trackEnd = box.end;
                        }
                    }
            }
        } else if (box.is("udta")) {
            // An iTunSMPB tag (moov/udta/meta/ilst/----) gives AAC's priming.
            Mp4Box meta, ilst, item, part;
            for (long long u = box.payload; Mp4Box::Read(file_, u, box.end, meta); u = meta.end) {
                if (!meta.is("meta"))
                    continue;
                for (long long m = meta.payload + 4; Mp4Box::Read(file_, m, meta.end, ilst);
                     m = ilst.end) {
                    if (!ilst.is("ilst"))
                        continue;
                    for (long long i = ilst.payload; Mp4Box::Read(file_, i, ilst.end, item);
                         i = item.end) {
                        if (!item.is("----"))
                            continue;
                        QByteArray name, value;
                        for (long long p = item.payload; Mp4Box::Read(file_, p, item.end, part);
                             p = part.end) {
                            if (part.is("name"))
                                name = Mp4Box::Contents(file_, part).mid(4);
                            else if (part.is("data"))
                                value = Mp4Box::Contents(file_, part).mid(8);
                        }
                        unsigned priming = 0, remainder = 0, samples = 0;
                        if (name == "iTunSMPB" &&
                            std::sscanf(value.constData(), "%*X %X %X %X", &priming, &remainder,
                                        &samples) == 3 &&
                            priming > 0 && priming < 16384)
                            priming_ = static_cast<int>(priming);
                    }
                }
            }
        }
    }
    const int tracks = textTrack_ != 0 ? textTracks : audioTracks;
    return tracks == 1 && movieTimescale_ > 0 && parseTrack(track, trackEnd);
}

bool Mp4SampleTable::parseTrack(long long at, long long end) {
    Mp4Box box, mdia, minf, stbl, part;
    bool sampleEntry = false;
    bool sizes = false;
    bool offsets = false;
    bool timing = false;
    bool chunks = false;
    bool local = false;
    for (; Mp4Box::Read(file_, at, end, box); at = box.end) {
        if (box.is("edts")) {
            for (long long e = box.payload; Mp4Box::Read(file_, e, box.end, part); e = part.end) {
                if (!part.is("elst"))
                    continue;
                const QByteArray elst = Mp4Box::Contents(file_, part);
                if (elst.size() < 8)
                    return false;
                const bool wide = elst[0] == 1;
                const std::uint32_t count = Mp4Box::Be32(Mp4Box::Bytes(elst) + 4);
                const int size = wide ? 20 : 12;
                if (elst.size() < 8 + static_cast<long long>(count) * size)
                    return false;
                for (std::uint32_t i = 0; i < count; ++i) {
                    const unsigned char* e8 = Mp4Box::Bytes(elst) + 8 + i * size;
                    const long long duration =
                        wide ? static_cast<long long>(Mp4Box::Be64(e8)) : Mp4Box::Be32(e8);
                    const long long time = wide ? static_cast<long long>(Mp4Box::Be64(e8 + 8))
                                                : static_cast<std::int32_t>(Mp4Box::Be32(e8 + 4));
                    const std::uint32_t rate = Mp4Box::Be32(e8 + (wide ? 16 : 8));
                    if (time == -1) {
                        delayed_ = true; // an empty edit delays the track, dropping nothing
                        continue;
                    }
                    // More than one part, or a part played at another speed,
                    // is left to libavformat.
                    if (hasEdit_ || time < 0 || rate != 0x10000 || duration <= 0)
                        return false;
                    hasEdit_ = true;
                    editStart_ = time;
                    editDuration_ = duration;
                }
            }
        }
        if (!box.is("mdia"))
            continue;
        for (long long m = box.payload; Mp4Box::Read(file_, m, box.end, mdia); m = mdia.end) {
            if (mdia.is("mdhd")) {
                const QByteArray mdhd = Mp4Box::Contents(file_, mdia);
                if (mdhd.size() < 24)
                    return false;
                const bool wide = mdhd[0] == 1;
                timescale_ = Mp4Box::Be32(Mp4Box::Bytes(mdhd) + (wide ? 20 : 12));
                if (mdhd.size() < (wide ? 32 : 20))
                    return false;
                mediaDuration_ = wide ? Mp4Box::Be64(Mp4Box::Bytes(mdhd) + 24)
                                      : Mp4Box::Be32(Mp4Box::Bytes(mdhd) + 16);
            }
            if (!mdia.is("minf"))
                continue;
            for (long long n = mdia.payload; Mp4Box::Read(file_, n, mdia.end, minf); n = minf.end) {
                if (minf.is("dinf")) {
                    // The samples must be in this file, not another named here.
                    const QByteArray dinf = Mp4Box::Contents(file_, minf);
                    local = dinf.size() >= 28 && dinf.mid(4, 4) == "dref" &&
                            Mp4Box::Be32(Mp4Box::Bytes(dinf) + 12) == 1 &&
                            dinf.mid(20, 4) == "url " &&
                            (Mp4Box::Be32(Mp4Box::Bytes(dinf) + 24) & 1);
                }
                if (!minf.is("stbl"))
                    continue;
                for (long long s = minf.payload; Mp4Box::Read(file_, s, minf.end, stbl);
                     s = stbl.end) {
                    const long long tableStart = stbl.payload + 8;
                    unsigned char head[12];
                    if (stbl.is("stss") || stbl.is("ctts") || stbl.is("stsh") || stbl.is("stdp") ||
                        stbl.is("sdtp"))
                        return false; // sync or reordered samples: libavformat's case
                    if (stbl.is("stsd")) {
                        if (sampleEntry)
                            return false;
                        sampleEntry = textTrack_ != 0
                                          ? parseTextEntry(Mp4Box::Contents(file_, stbl))
                                          : parseSampleEntry(Mp4Box::Contents(file_, stbl));
                        if (!sampleEntry)
                            return false;
                        continue;
                    }
                    const bool known = stbl.is("stts") || stbl.is("stsc") || stbl.is("stsz") ||
                                       stbl.is("stz2") || stbl.is("stco") || stbl.is("co64");
                    if (!known)
                        continue;
                    if (stbl.end - stbl.payload < 8 || !file_.seek(stbl.payload) ||
                        file_.read(reinterpret_cast<char*>(head), 12) < 8)
                        return false;
                    Table table;
                    table.offset = tableStart;
                    table.count = Mp4Box::Be32(head + 4);
                    if (stbl.is("stts")) {
                        table.entrySize = 8;
                        stts_ = table;
                        timing = true;
                    } else if (stbl.is("stsc")) {
                        table.entrySize = 12;
                        stsc_ = table;
                        chunks = true;
                    } else if (stbl.is("stsz")) {
                        // sample size, then the count; entries only without
                        // a size for all.
                        if (stbl.end - stbl.payload < 12)
                            return false;
                        constantSize_ = Mp4Box::Be32(head + 4);
                        table.count = Mp4Box::Be32(head + 8);
                        table.offset = stbl.payload + 12;
                        table.entrySize = constantSize_ > 0 ? 0 : 4;
                        samples_ = table.count;
                        stsz_ = table;
                        sizes = true;
                    } else if (stbl.is("stz2")) {
                        if (stbl.end - stbl.payload < 12)
                            return false;
                        sizeBits_ = head[7];
                        if (sizeBits_ != 8 && sizeBits_ != 16 && sizeBits_ != 32)
                            return false;
                        table.count = Mp4Box::Be32(head + 8);
                        table.offset = stbl.payload + 12;
                        table.entrySize = sizeBits_ / 8;
                        samples_ = table.count;
                        stsz_ = table;
                        sizes = true;
                    } else {
                        table.entrySize = stbl.is("co64") ? 8 : 4;
                        stco_ = table;
                        offsets = true;
                    }
                    if (table.offset + static_cast<long long>(table.count) * table.entrySize >
                        stbl.end)
                        return false;
                }
            }
        }
    }
    if (!sampleEntry || !sizes || !offsets || !timing || !chunks || !local || timescale_ == 0 ||
        samples_ < (textTrack_ != 0 ? 1 : 2) || stco_.count == 0 || stsc_.count == 0 ||
        stts_.count == 0)
        return false;
    // Raw audio timed one frame a sample is read a chunk at a time by
    // libavformat; not a case here.
    std::uint32_t firstDuration = 0;
    sampleTime(0, &firstDuration);
    if (textTrack_ == 0 && stts_.count == 1 && firstDuration == 1)
        return false;
    // Where each thousandth entry of the run-length tables stands, so that
    // a sample is found without reading them from the start.
    std::uint64_t sample = 0, time = 0;
    for (std::uint64_t i = 0; i < stts_.count; ++i) {
        if (i % kMarkEvery == 0)
            sttsMarks_.push_back(Mark{i, sample, time});
        const unsigned char* e = entry(stts_, i);
        if (!e)
            return false;
        sample += Mp4Box::Be32(e);
        time += static_cast<std::uint64_t>(Mp4Box::Be32(e)) * Mp4Box::Be32(e + 4);
    }
    if (sample < samples_)
        return false;
    tableDuration_ = time;
    std::uint64_t previousChunk = 0, chunkSamples = 0;
    sample = 0;
    for (std::uint64_t i = 0; i < stsc_.count; ++i) {
        const unsigned char* e = entry(stsc_, i);
        if (!e)
            return false;
        const std::uint64_t firstChunk = Mp4Box::Be32(e);
        if (firstChunk < 1 || (i > 0 && firstChunk <= previousChunk) || Mp4Box::Be32(e + 4) == 0 ||
            Mp4Box::Be32(e + 8) != 1)
            return false;
        if (i > 0)
            sample += (firstChunk - previousChunk) * chunkSamples;
        if (i % kMarkEvery == 0)
            stscMarks_.push_back(Mark{i, sample, firstChunk});
        previousChunk = firstChunk;
        chunkSamples = Mp4Box::Be32(e + 4);
    }
    if (previousChunk > stco_.count)
        return false;
    sample += (stco_.count - previousChunk + 1) * chunkSamples;
    return sample >= samples_;
}

bool Mp4SampleTable::parseTextEntry(const QByteArray& stsd) {
    // version and flags, entry count, then the one entry's box header.
    if (stsd.size() < 16 || Mp4Box::Be32(Mp4Box::Bytes(stsd) + 4) != 1)
        return false;
    const QByteArray type = stsd.mid(12, 4);
    return type == "text" || type == "tx3g";
}

bool Mp4SampleTable::parseSampleEntry(const QByteArray& stsd) {
    // version and flags, entry count, then the one entry: its box header,
    // 6 reserved bytes, the data reference, and the sound description.
    if (stsd.size() < 8 + 8 + 28 || Mp4Box::Be32(Mp4Box::Bytes(stsd) + 4) != 1)
        return false;
    const unsigned char* e = Mp4Box::Bytes(stsd) + 8;
    const long long size = Mp4Box::Be32(e);
    if (size < 36 || size > stsd.size() - 8)
        return false;
    const QByteArray type = stsd.mid(12, 4);
    const int version = static_cast<int>(Mp4Box::Be16(e + 16));
    channels_ = static_cast<int>(Mp4Box::Be16(e + 24));
    sampleRate_ = static_cast<int>(Mp4Box::Be32(e + 32) >> 16);
    long long children = 36;
    if (version == 1)
        children += 16;
    else if (version == 2)
        children += 36;
    else if (version != 0)
        return false;
    const QByteArray entryData = stsd.mid(8, static_cast<int>(size));
    for (long long at = children; at + 8 <= size;) {
        const long long length = Mp4Box::Be32(Mp4Box::Bytes(entryData) + at);
        if (length < 8 || at + length > size)
            return false;
        const QByteArray child = entryData.mid(static_cast<int>(at), static_cast<int>(length));
        if (type == "mp4a" && child.mid(4, 4) == "esds") {
            config_ = aacConfig(child.mid(8));
            codec_ = Codec::Aac;
            return !config_.isEmpty();
        }
        // ALAC's magic cookie goes to the decoder as the whole box.
        if (type == "alac" && child.mid(4, 4) == "alac" && length == 36) {
            config_ = child;
            codec_ = Codec::Alac;
            return true;
        }
        at += length;
    }
    return false;
}

bool Mp4SampleTable::applyEdits() {
    // As libavformat builds its index from the edit list: from a second
    // before the edit's start, the packets wholly before it are flagged
    // to be dropped, the one it starts in has its start skipped, and the
    // packets end with the one the edit ends in.
    std::uint64_t last = samples_ - 1;
    firstSample_ = 0;
    discarded_ = 0;
    skip_ = 0;
    if (hasEdit_) {
        const long long start = editStart_;
        // Rounded to the nearest, as libavformat does.
        const long long duration = static_cast<long long>(
            std::llround(static_cast<long double>(editDuration_) * timescale_ / movieTimescale_));
        const long long search = std::max<long long>(0, start - timescale_);
        firstSample_ = sampleAtTime(static_cast<std::uint64_t>(search));
        // The packets before the edit's start: the one it starts in has its
        // start skipped, those before it are dropped whole.
        for (std::uint64_t s = firstSample_; s < samples_; ++s) {
            // Real priming is a few packets; more is a damaged table.
            if (s - firstSample_ > kMaxHeadPackets)
                return false;
            std::uint32_t sampleDuration = 0;
            const auto time = static_cast<long long>(sampleTime(s, &sampleDuration));
            if (time >= start)
                break;
            // libavformat times the file's last sample as the edit's length.
            const long long length = s + 1 < samples_ ? sampleDuration : duration;
            if (time + length > start) {
                skip_ += start - time;
                break;
            }
            ++discarded_;
            skip_ += length;
        }
        // The packets end with the one the edit ends in.
        last =
            sampleAtTime(static_cast<std::uint64_t>(std::max<long long>(0, start + duration - 1)));
    } else if (codec_ == Codec::Aac) {
        skip_ = priming_;
    }
    // Seconds of encoder delay are a damaged table, not a real file.
    if (last < firstSample_ + discarded_ + 1 || skip_ > 16LL * timescale_)
        return false;
    count_ = static_cast<std::size_t>(last - firstSample_ + 1);
    return true;
}

std::unique_ptr<Mp4SampleTable> Mp4SampleTable::OpenText(const QString& path,
                                                         std::uint32_t trackId) {
    std::unique_ptr<Mp4SampleTable> table(new Mp4SampleTable);
    table->textTrack_ = trackId;
    table->file_.setFileName(path);
    if (trackId == 0 || !table->file_.open(QIODevice::ReadOnly) || !table->parse() ||
        table->delayed_)
        return nullptr;
    // An edit that shows the whole track from its start changes no time;
    // any other moves or cuts the samples as libavformat's index does.
    if (table->hasEdit_) {
        const long long duration =
            static_cast<long long>(std::llround(static_cast<long double>(table->editDuration_) *
                                                table->timescale_ / table->movieTimescale_));
        if (table->editStart_ != 0 || duration != static_cast<long long>(table->tableDuration_))
            return nullptr;
    }
    return table;
}

bool Mp4SampleTable::startsAtZero() const {
    if (delayed_)
        return false;
    if (hasEdit_)
        return editStart_ == 0 || codec_ == Codec::Aac; // AAC's skip evens out its start
    return priming_ == 0 || codec_ != Codec::Aac;
}

std::uint64_t Mp4SampleTable::start(std::uint64_t sample) const {
    return sampleTime(sample);
}

QByteArray Mp4SampleTable::sampleBytes(std::uint64_t sample, int bytes) const {
    const long long at = sampleOffset(sample);
    if (at < 0 || bytes < 0 || !file_.seek(at))
        return {};
    return file_.read(bytes);
}

void Mp4SampleTable::setFrameSize(int frames) {
    frameSize_ = frames;
    place();
}

void Mp4SampleTable::setLastFrames(int frames) {
    lastFrames_ = frames;
}

void Mp4SampleTable::place() {
    // What libavcodec drops on a straight decode: the flagged packets
    // whole, then the skip from the first packet on.
    head_.clear();
    headFrames_ = 0;
    long long skip = skip_;
    for (std::size_t at = 0; at + 1 < count_ && (at < discarded_ || skip > 0); ++at) {
        const int count = frames(at);
        Kept kept{0, count};
        if (at < discarded_) {
            skip = std::max<long long>(0, skip - count);
            kept.from = count;
        } else if (count <= skip) {
            skip -= count;
            kept.from = count;
        } else {
            kept.from = static_cast<int>(skip);
            skip = 0;
        }
        head_.push_back(kept);
        headFrames_ += kept.to - kept.from;
    }
}

const unsigned char* Mp4SampleTable::entry(const Table& table, std::uint64_t index) const {
    if (index >= table.count)
        return nullptr;
    if (index < table.windowFirst || index >= table.windowFirst + table.windowCount) {
        const std::uint64_t first = index - index % kWindowEntries;
        const std::uint64_t count = std::min(kWindowEntries, table.count - first);
        table.window.resize(static_cast<std::size_t>(count) * table.entrySize);
        table.windowCount = 0;
        const long long bytes = static_cast<long long>(table.window.size());
        if (!file_.seek(table.offset + static_cast<long long>(first) * table.entrySize) ||
            file_.read(reinterpret_cast<char*>(table.window.data()), bytes) != bytes)
            return nullptr;
        table.windowFirst = first;
        table.windowCount = count;
    }
    return table.window.data() + (index - table.windowFirst) * table.entrySize;
}

std::uint64_t Mp4SampleTable::chunkOffset(std::uint64_t chunk) const {
    const unsigned char* e = entry(stco_, chunk);
    if (!e)
        return UINT64_MAX;
    return stco_.entrySize == 8 ? Mp4Box::Be64(e) : Mp4Box::Be32(e);
}

int Mp4SampleTable::sampleSize(std::uint64_t sample) const {
    if (constantSize_ > 0 && sizeBits_ == 32)
        return static_cast<int>(std::min<std::uint32_t>(constantSize_, INT32_MAX));
    const unsigned char* e = entry(stsz_, sample);
    if (!e)
        return -1;
    if (sizeBits_ == 8)
        return e[0];
    if (sizeBits_ == 16)
        return static_cast<int>(Mp4Box::Be16(e));
    return static_cast<int>(std::min<std::uint32_t>(Mp4Box::Be32(e), INT32_MAX));
}

std::uint64_t Mp4SampleTable::sampleTime(std::uint64_t sample, std::uint32_t* duration) const {
    auto mark = std::upper_bound(sttsMarks_.begin(), sttsMarks_.end(), sample,
                                 [](std::uint64_t s, const Mark& m) { return s < m.sample; });
    Mark at = mark == sttsMarks_.begin() ? Mark{} : *(mark - 1);
    // Read in order, the entry of the sample before is the place to start.
    if (sttsCursor_.sample <= sample && sttsCursor_.entry >= at.entry)
        at = sttsCursor_;
    for (std::uint64_t i = at.entry; i < stts_.count; ++i) {
        const unsigned char* e = entry(stts_, i);
        if (!e)
            break;
        const std::uint64_t count = Mp4Box::Be32(e);
        const std::uint32_t delta = Mp4Box::Be32(e + 4);
        if (sample < at.sample + count) {
            if (duration)
                *duration = delta;
            sttsCursor_ = Mark{i, at.sample, at.time};
            return at.time + (sample - at.sample) * delta;
        }
        at.sample += count;
        at.time += count * delta;
    }
    if (duration)
        *duration = 0;
    return at.time;
}

std::uint64_t Mp4SampleTable::sampleAtTime(std::uint64_t time) const {
    auto mark = std::upper_bound(sttsMarks_.begin(), sttsMarks_.end(), time,
                                 [](std::uint64_t t, const Mark& m) { return t < m.time; });
    Mark at = mark == sttsMarks_.begin() ? Mark{} : *(mark - 1);
    std::uint64_t found = at.sample;
    for (std::uint64_t i = at.entry; i < stts_.count; ++i) {
        const unsigned char* e = entry(stts_, i);
        if (!e)
            break;
        const std::uint64_t count = Mp4Box::Be32(e);
        const std::uint64_t delta = Mp4Box::Be32(e + 4);
        if (count == 0)
            continue;
        if (time < at.time + count * delta || delta == 0) {
            found = delta == 0 ? at.sample + count - 1
                               : at.sample + std::min(count - 1, (time - at.time) / delta);
            break;
        }
        at.sample += count;
        at.time += count * delta;
        found = at.sample - 1;
    }
    return std::min(found, samples_ - 1);
}

long long Mp4SampleTable::sampleOffset(std::uint64_t sample) const {
    if (sample == cursorSample_ + 1 && sample < cursorChunkEnd_) {
        const int size = sampleSize(cursorSample_);
        if (size < 0)
            return -1;
        cursorOffset_ += size;
        cursorSample_ = sample;
        return cursorOffset_;
    }
    // The stsc run the sample is in: its first chunk and samples a chunk.
    auto mark = std::upper_bound(stscMarks_.begin(), stscMarks_.end(), sample,
                                 [](std::uint64_t s, const Mark& m) { return s < m.sample; });
    if (mark == stscMarks_.begin())
        return -1;
    Mark at = *(mark - 1);
    std::uint64_t chunk = 0, perChunk = 0, runStart = at.sample;
    for (std::uint64_t i = at.entry; i < stsc_.count; ++i) {
        const unsigned char* e = entry(stsc_, i);
        if (!e)
            return -1;
        const std::uint64_t firstChunk = Mp4Box::Be32(e);
        if (i > at.entry) {
            const std::uint64_t nextStart = runStart + (firstChunk - chunk) * perChunk;
            if (sample < nextStart)
                break;
            runStart = nextStart;
        }
        chunk = firstChunk;
        perChunk = Mp4Box::Be32(e + 4);
    }
    const std::uint64_t inRun = sample - runStart;
    const std::uint64_t chunkIndex = chunk - 1 + inRun / perChunk;
    const std::uint64_t chunkFirst = sample - inRun % perChunk;
    std::uint64_t offset = chunkOffset(chunkIndex);
    if (offset == UINT64_MAX)
        return -1;
    for (std::uint64_t s = chunkFirst; s < sample; ++s) {
        const int size = sampleSize(s);
        if (size < 0)
            return -1;
        offset += static_cast<std::uint64_t>(size);
    }
    cursorSample_ = sample;
    cursorChunkEnd_ = chunkFirst + perChunk;
    cursorOffset_ = static_cast<long long>(offset);
    return cursorOffset_;
}

long long Mp4SampleTable::pos(std::size_t packet) const {
    return sampleOffset(firstSample_ + packet);
}

int Mp4SampleTable::bytes(std::size_t packet) const {
    return sampleSize(firstSample_ + packet);
}

bool Mp4SampleTable::read(std::size_t packet, unsigned char* into) const {
    const long long at = pos(packet);
    const int size = bytes(packet);
    return at >= 0 && size >= 0 && file_.seek(at) &&
           file_.read(reinterpret_cast<char*>(into), size) == size;
}

int Mp4SampleTable::frames(std::size_t packet) const {
    if (packet + 1 == count_ && lastFrames_ >= 0)
        return lastFrames_;
    if (frameSize_ > 0)
        return frameSize_;
    std::uint32_t duration = 0;
    sampleTime(firstSample_ + packet, &duration);
    return static_cast<int>(std::min<std::uint32_t>(duration, INT32_MAX));
}

int Mp4SampleTable::keepFrom(std::size_t packet) const {
    return packet < head_.size() ? head_[packet].from : 0;
}

int Mp4SampleTable::keepTo(std::size_t packet) const {
    return packet < head_.size() ? head_[packet].to : frames(packet);
}

long long Mp4SampleTable::first(std::size_t packet) const {
    if (packet < head_.size()) {
        long long frame = 0;
        for (std::size_t at = 0; at < packet; ++at)
            frame += head_[at].to - head_[at].from;
        return frame;
    }
    const std::size_t from = head_.size();
    if (frameSize_ > 0)
        return headFrames_ + static_cast<long long>(packet - from) * frameSize_;
    return headFrames_ + static_cast<long long>(sampleTime(firstSample_ + packet) -
                                                sampleTime(firstSample_ + from));
}

std::size_t Mp4SampleTable::packetAt(long long frame) const {
    if (frame < headFrames_) {
        std::size_t found = 0;
        long long start = 0;
        for (std::size_t at = 0; at < head_.size() && start <= frame; ++at) {
            found = at;
            start += head_[at].to - head_[at].from;
        }
        return found;
    }
    const std::size_t from = head_.size();
    const long long past = frame - headFrames_;
    std::size_t packet = 0;
    if (frameSize_ > 0) {
        packet = from + static_cast<std::size_t>(past / frameSize_);
    } else {
        const std::uint64_t time =
            sampleTime(firstSample_ + from) + static_cast<std::uint64_t>(past);
        packet = static_cast<std::size_t>(sampleAtTime(time) - firstSample_);
    }
    return std::min(packet, count_ - 1);
}

long long Mp4SampleTable::totalFrames() const {
    const std::size_t last = count_ - 1;
    return first(last) + keepTo(last) - keepFrom(last);
}
