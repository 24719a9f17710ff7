#include "engine/audio/SourceChapters.h"

#include "engine/audio/LibavHandles.h"
#include "engine/audio/Mp4Chapters.h"
#include "platform/Error.h"

#include <QFileInfo>

#include <algorithm>

namespace {

std::vector<SourceChapters::Chapter> sorted(std::vector<SourceChapters::Chapter> chapters) {
    using Chapter = SourceChapters::Chapter;
    std::stable_sort(chapters.begin(), chapters.end(),
                     [](const Chapter& a, const Chapter& b) { return a.begin < b.begin; });
    return chapters;
}

} // namespace

std::vector<SourceChapters::Chapter> SourceChapters::Read(const QString& path, int rate) {
    if (auto chapters = Mp4Chapters::Read(path, rate))
        return sorted(std::move(*chapters));
    return ReadWithLibav(path, rate);
}

std::vector<SourceChapters::Chapter> SourceChapters::ReadWithLibav(const QString& path, int rate) {
    AVFormatContext* opened = nullptr;
    const QByteArray name = path.toUtf8();
    const auto fail = [&](const char* reason) {
        return Error(QStringLiteral("Cannot read the chapters of %1: %2")
                         .arg(QFileInfo(path).fileName(), QLatin1String(reason)));
    };
    if (LibavOpenLocal(&opened, name.constData()) < 0)
        throw fail("not an audio file");
    const LibavFormat format(opened);
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        throw fail("not an audio file");
    const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (stream < 0)
        throw fail("the file has no audio stream");
    if (rate <= 0)
        rate = format->streams[stream]->codecpar->sample_rate;
    if (rate <= 0)
        throw fail("the audio stream has no sample rate");

    std::vector<Chapter> chapters;
    const AVRational frames{1, rate};
    for (unsigned i = 0; i < format->nb_chapters; ++i) {
        const AVChapter& c = *format->chapters[i];
        const auto at = [&](std::int64_t t) {
            return std::max<std::int64_t>(
                0, av_rescale_q_rnd(t, c.time_base, frames,
                                    static_cast<AVRounding>(AV_ROUND_NEAR_INF)));
        };
        Chapter chapter;
        chapter.begin = at(c.start);
        chapter.end = c.end == AV_NOPTS_VALUE ? chapter.begin : at(c.end);
        if (const AVDictionaryEntry* title = av_dict_get(c.metadata, "title", nullptr, 0))
            chapter.title = QString::fromUtf8(title->value);
        chapters.push_back(chapter);
    }
    return sorted(std::move(chapters));
}
