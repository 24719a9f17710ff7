// Splits a generated 10-minute stereo 44100 Hz Ogg file into 60-second OGG
// pieces three ways and prints the wall time of each: the split run copying
// the source's packets (the default), the same run re-encoding at the default
// OGG settings, and ffmpeg's own packet copy ("-c copy -f segment"), which
// cuts at packet edges only. Then the same three for an Ogg Opus file made by
// ffmpeg (libopus), cut into Opus pieces. Copy runs are timed three times, the
// median shown (wall and cpu time); the pieces of both split runs are tagged as
// in every run. Then the same for an MP3 file made by ffmpeg (libmp3lame).
//
// Run by hand: build/bin/CopyBench [minutes]
#include "bench/BenchDesktop.h"
#include "bench/BenchSource.h"
#include "core/AppState.h"
#include "engine/EncoderKey.h"
#include "engine/ModelRunHost.h"
#include "engine/SplitRun.h"
#include "engine/audio/VorbisStreamCutter.h"
#include "platform/Error.h"
#include "tests/support/OggFixture.h"
#include "tests/support/RunParts.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int Mp3 = 0;
constexpr int Ogg = 3;
constexpr int Opus = 5;

struct Timing {
    double wall = 0;
    double cpu = 0;
};

// User and system time of this process, or of its waited-for children.
double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// One time split of `source` into `outDir` as OGG, copying or re-encoding.
// Returns the wall seconds.
Timing splitOnce(const QString& source, const QString& outDir, bool copy, int format = Ogg) {
    QDir(outDir).removeRecursively();
    QDir().mkpath(outDir);
    BenchDesktop desktop;
    RunParts parts(outDir + QStringLiteral("/Velmora.ini"));
    AppState& state = parts.state;
    EncoderKeys::OggCopy.writeFlag(parts.settings, copy);
    ModelRunHost host(format);
    RunContext context = parts.runContext(desktop, host);

    AudioFileinfo tags;
    tags.Title = QStringLiteral("Bench");
    AddWholeSource(parts.lv, parts.reader, source, tags);
    state.OutputDir = outDir + QLatin1Char('/');
    state.FunctionChoice = FunctionSplitByTime;
    state.SplitSeconds = 60;

    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer timer;
    timer.start();
    SplitRun(context).Run(PiecePlan::Mode::Time);
    return {timer.nsecsElapsed() / 1e9, cpuSeconds(RUSAGE_SELF) - cpuBefore};
}

// The run of median wall time out of three.
Timing median(const std::function<Timing()>& once) {
    std::vector<Timing> times;
    for (int i = 0; i < 3; ++i)
        times.push_back(once());
    std::sort(times.begin(), times.end(),
              [](const Timing& a, const Timing& b) { return a.wall < b.wall; });
    return times[1];
}

// ffmpeg's packet copy into 60-second segments, median of three; false when
// it failed.
bool ffmpegSegments(const QString& ffmpeg, const QString& source, const QString& out,
                    const QString& extension, Timing& timing) {
    bool failed = false;
    timing = median([&] {
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        QProcess run;
        run.setProcessChannelMode(QProcess::MergedChannels);
        const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
        QElapsedTimer timer;
        timer.start();
        run.start(ffmpeg,
                  {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                   QStringLiteral("-i"), source, QStringLiteral("-c"), QStringLiteral("copy"),
                   QStringLiteral("-f"), QStringLiteral("segment"), QStringLiteral("-segment_time"),
                   QStringLiteral("60"), out + QStringLiteral("/piece%03d.") + extension});
        failed = failed || !run.waitForFinished(-1) || run.exitCode() != 0;
        return Timing{timer.nsecsElapsed() / 1e9, cpuSeconds(RUSAGE_CHILDREN) - cpuBefore};
    });
    return !failed;
}

void print(const char* what, const Timing& t, double audio) {
    std::printf("%-34s %12.3f %12.3f %15.1f\n", what, t.wall, t.cpu, audio / t.wall);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const double minutes = args.size() > 1 ? args[1].toDouble() : 10.0;
    QTemporaryDir dir;
    OggFixture fixture = OggFixture::Tone(minutes * 60);
    const QString source = fixture.write(dir.filePath(QStringLiteral("in.ogg")));
    const QString out = dir.filePath(QStringLiteral("out"));
    const double audio = minutes * 60;

    try {
        std::printf("Split of a %.0f-minute stereo 44100 Hz Ogg file into 60-second OGG pieces\n",
                    minutes);
        std::printf("%-34s %12s %12s %15s\n", "", "wall seconds", "cpu seconds", "audio s/wall s");
        const Timing copy = median([&] { return splitOnce(source, out, true); });
        print("Tarnwell, copying packets", copy, audio);
        const Timing encode = splitOnce(source, out, false);
        print("Tarnwell, re-encoding (defaults)", encode, audio);
        std::printf("Copying is %.0fx faster than re-encoding by wall time, %.0fx by cpu time\n",
                    encode.wall / copy.wall, encode.cpu / copy.cpu);

        // FFmpeg plays a copied piece from the start of its first packet's
        // output, not from the piece's first frame: these frames come first.
        const VorbisStreamCutter cutter(source);
        const auto& packets = cutter.index().links().front().packets;
        std::int64_t fewest = INT64_MAX;
        std::int64_t most = 0;
        for (std::int64_t start = 60 * 44100; start < cutter.index().totalFrames();
             start += 60 * 44100) {
            std::int64_t lead = 0;
            for (const auto& packet : packets)
                if (packet.granule <= start)
                    lead = start - packet.granule;
            fewest = std::min(fewest, lead);
            most = std::max(most, lead);
        }
        std::printf("FFmpeg plays %lld to %lld frames of the source before a piece's start\n",
                    static_cast<long long>(fewest), static_cast<long long>(most));
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }

    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty()) {
        std::printf("ffmpeg not installed: no comparison\n");
        return 0;
    }
    Timing segment;
    if (!ffmpegSegments(ffmpeg, source, out, QStringLiteral("ogg"), segment)) {
        std::printf("ffmpeg failed\n");
        return 0;
    }
    print("ffmpeg -c copy -f segment", segment, audio);

    // The same for Ogg Opus, cut into Opus pieces.
    const QString opus = dir.filePath(QStringLiteral("in.opus"));
    QProcess make;
    make.setProcessChannelMode(QProcess::MergedChannels);
    make.start(ffmpeg,
               {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                QStringLiteral("-i"), source, QStringLiteral("-c:a"), QStringLiteral("libopus"),
                QStringLiteral("-b:a"), QStringLiteral("96k"), opus});
    if (!make.waitForFinished(-1) || make.exitCode() != 0) {
        std::printf("ffmpeg could not make an Opus file: no Opus comparison\n");
        return 0;
    }
    try {
        std::printf("\nSplit of the same audio as Ogg Opus (ffmpeg, 96 kbps) into 60-second "
                    "Opus pieces\n");
        const Timing opusCopy = median([&] { return splitOnce(opus, out, true, Opus); });
        print("Tarnwell, copying packets", opusCopy, audio);
        const Timing opusEncode = splitOnce(opus, out, false, Opus);
        print("Tarnwell, re-encoding (defaults)", opusEncode, audio);
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    if (ffmpegSegments(ffmpeg, opus, out, QStringLiteral("opus"), segment))
        print("ffmpeg -c copy -f segment", segment, audio);

    // And for MP3, cut into MP3 pieces.
    const QString mp3 = dir.filePath(QStringLiteral("in.mp3"));
    make.start(ffmpeg,
               {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                QStringLiteral("-i"), source, QStringLiteral("-c:a"), QStringLiteral("libmp3lame"),
                QStringLiteral("-b:a"), QStringLiteral("192k"), mp3});
    if (!make.waitForFinished(-1) || make.exitCode() != 0) {
        std::printf("ffmpeg could not make an MP3 file: no MP3 comparison\n");
        return 0;
    }
    try {
        std::printf("\nSplit of the same audio as MP3 (ffmpeg, 192 kbps) into 60-second MP3 "
                    "pieces\n");
        const Timing mp3Copy = median([&] { return splitOnce(mp3, out, true, Mp3); });
        print("Tarnwell, copying frames", mp3Copy, audio);
        const Timing mp3Encode = splitOnce(mp3, out, false, Mp3);
        print("Tarnwell, re-encoding (defaults)", mp3Encode, audio);
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    if (ffmpegSegments(ffmpeg, mp3, out, QStringLiteral("mp3"), segment))
        print("ffmpeg -c copy -f segment", segment, audio);
    return 0;
}
