// Opens a long M4B audiobook (AAC) as the program does and prints the time
// to open it, its length, and the peak memory: after opening, after reading
// one minute near its end (quick seek, as the player does), and then, for
// comparison, after libavformat's own MP4 demuxer has opened the same file.
// The file is made from a minute of a real recording repeated by stream copy
// (about 30 MB an hour, kept in a temporary folder), or given.
//
// Run by hand: build/bin/LongMp4Bench [hours] [file.m4b]
#include "engine/audio/AudioDecoder.h"
#include "engine/audio/LibavDecoder.h"
#include "engine/audio/LibavHandles.h"
#include "tests/support/RealRecording.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {

long peakMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

bool ffmpeg(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("ffmpeg"),
                  QStringList{"-nostdin", "-v", "error", "-y"} + arguments);
    return process.waitForFinished(-1) && process.exitCode() == 0;
}

} // namespace

int main(int argc, char** argv) {
    const int hours = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    QTemporaryDir dir;
    QString path = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (path.isEmpty()) {
        const QString minute = dir.filePath(QStringLiteral("minute.m4a"));
        path = dir.filePath(QStringLiteral("book.m4b"));
        std::printf("Making a %d-hour M4B ...\n", hours);
        std::fflush(stdout);
        if (!ffmpeg({"-i", RealRecording(), "-t", "60", "-c:a", "aac", "-b:a", "64k", minute}) ||
            !ffmpeg({"-stream_loop", QString::number(hours * 60 - 1), "-i", minute, "-c", "copy",
                     "-f", "ipod", path})) {
            std::fprintf(stderr, "ffmpeg could not make the file\n");
            return 1;
        }
    }
    std::printf("start: peak %ld MB\n", peakMb());

    QElapsedTimer clock;
    clock.start();
    const auto decoder = AudioDecoder::Open(path);
    const qint64 openMs = clock.elapsed();
    const auto* libav = dynamic_cast<const LibavDecoder*>(decoder.get());
    const long long frames = decoder->totalFrames();
    std::printf("open: %lld ms, %lld frames (%.2f h) at %d Hz, %s; peak %ld MB\n", openMs, frames,
                double(frames) / decoder->rate() / 3600, decoder->rate(),
                libav && libav->readsSampleTables() ? "read from its sample tables"
                                                    : "demuxed by libavformat",
                peakMb());

    clock.restart();
    decoder->setQuickSeeks(true);
    decoder->seek(frames - 90LL * decoder->rate());
    long long read = 0;
    while (read < 60LL * decoder->rate()) {
        const AudioDecoder::Chunk chunk =
            decoder->read(static_cast<int>(std::min(4096LL, 60LL * decoder->rate() - read)));
        if (chunk.frames == 0)
            break;
        read += chunk.frames;
    }
    std::printf("a minute near the end: %lld ms, %lld frames; peak %ld MB\n", clock.elapsed(), read,
                peakMb());

    clock.restart();
    AVFormatContext* opened = nullptr;
    if (LibavOpenLocal(&opened, path.toUtf8().constData()) == 0) {
        const LibavFormat format(opened);
        avformat_find_stream_info(format.get(), nullptr);
        std::printf("libavformat's MP4 demuxer: open %lld ms; peak %ld MB\n", clock.elapsed(),
                    peakMb());
    }
    return 0;
}
