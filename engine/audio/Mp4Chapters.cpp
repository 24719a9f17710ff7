#include "engine/audio/Mp4Chapters.h"

#include "engine/audio/Mp4Box.h"
#include "engine/audio/Mp4SampleTable.h"

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/mathematics.h>
}

#include <QFile>

#include <algorithm>
#include <cstdint>

namespace {

struct Entry {
    std::int64_t id = 0;
    AVRational base{1, 1};
    std::int64_t start = 0;
    std::int64_t end = AV_NOPTS_VALUE;
    QByteArray title;
};

// As libavformat adds a chapter: one of a number already listed replaces it.
void add(std::vector<Entry>& list, const Entry& entry) {
    if (entry.end != AV_NOPTS_VALUE && entry.start > entry.end)
        return;
    for (Entry& listed : list)
        if (listed.id == entry.id) {
            listed = entry;
            return;
        }
    list.push_back(entry);
}

// A title as libavformat keeps it: a C string, up to its first zero byte.
QByteArray cString(const QByteArray& bytes) {
    const int zero = bytes.indexOf('\0');
    return zero < 0 ? bytes : bytes.left(zero);
}

// Nero chapters: a count in a byte, then each one's start in 100 ns and a
// title of up to 255 bytes. A list that runs short ends there, as in
// libavformat; false for one it would read past the box.
bool readChpl(const QByteArray& chpl, std::vector<Entry>& list) {
    long long left = chpl.size() - 5;
    if (left < 0)
        return true;
    int at = chpl[0] != 0 ? 8 : 4;
    if (at >= chpl.size())
        return false;
    const int count = static_cast<unsigned char>(chpl[at++]);
    for (int i = 0; i < count; ++i) {
        if (left < 9)
            return true;
        if (at + 9 > chpl.size())
            return false;
        Entry entry;
        entry.id = i;
        entry.base = AVRational{1, 10000000};
        entry.start = static_cast<std::int64_t>(Mp4Box::Be64(Mp4Box::Bytes(chpl) + at));
        const int length = static_cast<unsigned char>(chpl[at + 8]);
        at += 9;
        left -= 9 + length;
        if (left < 0)
            return true;
        if (at + length > chpl.size())
            return false;
        entry.title = cString(chpl.mid(at, length));
        at += length;
        add(list, entry);
    }
    return true;
}

// A chapter track: each sample starts a chapter and holds its title after
// a 16-bit length; the last one ends where the track does. False where a
// title is in UTF-16, could be read in more than one way by libavformat,
// or the file does not hold it.
bool readTrack(const Mp4SampleTable& track, std::vector<Entry>& list) {
    const AVRational base{1, track.timescale()};
    auto duration = static_cast<std::int64_t>(track.mediaDuration());
    if (track.tableDuration() > 0)
        duration = std::min(duration, static_cast<std::int64_t>(track.tableDuration()));
    const std::uint64_t count = track.samples();
    for (std::uint64_t i = 0; i < count; ++i) {
        Entry entry;
        entry.id = static_cast<std::int64_t>(i);
        entry.base = base;
        entry.start = static_cast<std::int64_t>(track.start(i));
        entry.end = i + 1 < count ? static_cast<std::int64_t>(track.start(i + 1)) : duration;
        if (entry.end < entry.start)
            entry.end = AV_NOPTS_VALUE; // a track shorter than its chapters
        // A text table starts at its first sample: packet and sample agree.
        const int size = track.bytes(static_cast<std::size_t>(i));
        const QByteArray head = track.sampleBytes(i, 2);
        if (size < 0 || head.size() < 2)
            return false;
        const int length = static_cast<int>(Mp4Box::Be16(Mp4Box::Bytes(head)));
        if (length > size - 2)
            continue; // libavformat skips it, keeping the numbers
        // libavformat's readers of a title differ only where a byte other
        // than zero follows it (as the encd box after FFmpeg's never does).
        const QByteArray text = track.sampleBytes(i, 2 + length + 1);
        if (text.size() < 2 + length + 1 || text[2 + length] != '\0')
            return false;
        const QByteArray mark = text.mid(2, 2);
        if (mark == "\xfe\xff" || mark == "\xff\xfe")
            return false;
        entry.title = cString(text.mid(2, length));
        add(list, entry);
    }
    return true;
}

} // namespace

std::optional<std::vector<SourceChapters::Chapter>> Mp4Chapters::Read(const QString& path,
                                                                      int rate) {
    // The audio track read as libavformat reads it, starting at zero, and
    // a movie length: the last chapter's end is taken from those.
    const auto audio = Mp4SampleTable::Open(path);
    if (rate <= 0 || !audio || !audio->startsAtZero() || audio->movieDuration() == 0 ||
        audio->movieDuration() > static_cast<std::uint64_t>(INT64_MAX / AV_TIME_BASE))
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;

    std::vector<Entry> list;
    std::uint32_t chapterTrack = 0;
    int references = 0;
    Mp4Box box, inner, part;
    for (long long at = 0; Mp4Box::Read(file, at, file.size(), box); at = box.end) {
        if (!box.is("moov"))
            continue;
        for (long long m = box.payload; Mp4Box::Read(file, m, box.end, inner); m = inner.end) {
            if (inner.is("udta")) {
                for (long long u = inner.payload; Mp4Box::Read(file, u, inner.end, part);
                     u = part.end)
                    if (part.is("chpl")) {
                        const QByteArray chpl = Mp4Box::Contents(file, part);
                        // One too large to read whole is no real list.
                        if ((chpl.isEmpty() && part.end > part.payload) || !readChpl(chpl, list))
                            return std::nullopt;
                    }
                continue;
            }
            if (!inner.is("trak"))
                continue;
            for (long long t = inner.payload; Mp4Box::Read(file, t, inner.end, part);
                 t = part.end) {
                Mp4Box child;
                for (long long c = part.payload;
                     (part.is("tref") || part.is("udta")) && Mp4Box::Read(file, c, part.end, child);
                     c = child.end) {
                    // Chapters a track keeps for itself are libavformat's case.
                    if (part.is("udta") && child.is("chpl"))
                        return std::nullopt;
                    if (part.is("tref") && child.is("chap")) {
                        const QByteArray ids = Mp4Box::Contents(file, child);
                        if (ids.size() != 4)
                            return std::nullopt;
                        chapterTrack = Mp4Box::Be32(Mp4Box::Bytes(ids));
                        ++references;
                    }
                }
            }
        }
    }
    if (references > 1)
        return std::nullopt;
    if (references == 1) {
        const auto track = Mp4SampleTable::OpenText(path, chapterTrack);
        if (!track || !readTrack(*track, list))
            return std::nullopt;
    }

    // Chapters without an end end where the next one starts, the last where
    // the movie does, all in each chapter's own time as libavformat has it.
    const std::int64_t movieEnd =
        av_rescale(static_cast<std::int64_t>(audio->movieDuration()), AV_TIME_BASE,
                   static_cast<std::int64_t>(audio->movieTimescale()));
    for (Entry& entry : list) {
        if (entry.end != AV_NOPTS_VALUE)
            continue;
        std::int64_t end = movieEnd > 0
                               ? av_rescale_q(movieEnd, AVRational{1, AV_TIME_BASE}, entry.base)
                               : INT64_MAX;
        for (const Entry& other : list) {
            const std::int64_t next = av_rescale_q(other.start, other.base, entry.base);
            if (&other != &entry && next > entry.start && next < end)
                end = next;
        }
        entry.end = end == INT64_MAX || end < entry.start ? entry.start : end;
    }

    std::vector<SourceChapters::Chapter> chapters;
    const AVRational frames{1, rate};
    for (const Entry& entry : list) {
        const auto at = [&](std::int64_t t) {
            return std::max<std::int64_t>(
                0, av_rescale_q_rnd(t, entry.base, frames,
                                    static_cast<AVRounding>(AV_ROUND_NEAR_INF)));
        };
        SourceChapters::Chapter chapter;
        chapter.begin = at(entry.start);
        chapter.end = at(entry.end);
        chapter.title = QString::fromUtf8(entry.title);
        chapters.push_back(chapter);
    }
    return chapters;
}
