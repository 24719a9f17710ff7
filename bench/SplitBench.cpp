// Splits a generated 10-minute stereo 44100 Hz Ogg file into 60-second pieces
// in each output format, through the real split run without a window, and
// prints the seconds of audio written per wall-clock second and the peak
// memory of each run. Each format runs in a child process of its own, so the
// peak memory is that run's alone. When ffmpeg is installed, its MP3 encode
// of the same file is timed for comparison.
//
// Run by hand: build/bin/SplitBench [minutes]
#include "app/AppState.h"
#include "app/PreviewSlider.h"
#include "app/ReportListModel.h"
#include "app/SegmentEditor.h"
#include "app/SkinObjects.h"
#include "bench/BenchDesktop.h"
#include "engine/EncoderKey.h"
#include "engine/ModelRunHost.h"
#include "engine/RunContext.h"
#include "engine/RunProgress.h"
#include "engine/SplitRun.h"
#include "engine/audio/AudioFile2.h"
#include "engine/audio/AudioFile2LameEnc.h"
#include "engine/audio/AudioTransform2.h"
#include "platform/Error.h"
#include "settings/SettingsFile.h"
#include "tests/support/ListModels.h"
#include "tests/support/OggFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

namespace {

const char* const FormatNames[] = {"MP3", "WAV", "WMA", "OGG"};

long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// User and system time of this process, or of its waited-for children.
double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The child: one time split of `source` into `outDir` in one format. Prints
// "<audio seconds> <wall seconds> <cpu seconds> <peak kB>".
int splitOnce(const QString& source, const QString& outDir, int format) {
    BenchDesktop desktop;
    AppState state;
    ListModels lists;
    auto& [lv, lvTime, lvSelection, lvTimeSelection] = lists;
    SkinObjects skin;
    PreviewSlider slider{skin};
    SegmentEditor segments{state,           desktop, lv,   lvSelection, lvTime,
                           lvTimeSelection, slider,  skin, {}};
    AudioFile2 reader;
    AudioFile2 writer;
    AudioFile2LameEnc encoder;
    AudioTransform2 transform;
    SettingsFile settings(outDir + QStringLiteral("/Velmora.ini"));
    // OGG is measured re-encoding; CopyBench measures copying.
    EncoderKeys::OggCopy.writeFlag(settings, false);
    RunProgress progress(skin, state.SkinFlag);
    ModelRunHost host(desktop, lvSelection, progress, format);
    RunContext context{state,   lv,        lvTime,   segments, reader, writer,
                       encoder, transform, settings, desktop,  host};

    reader.Open(source, 0, 1);
    listrecord record;
    record.FileName = source;
    record.Duration = reader.DurationMs() / 1000;
    record.SampleCount = reader.SampleCount();
    record.BeginTimes = {0};
    record.EndTimes = {record.Duration};
    reader.Close();
    state.JobList.push_back(record);
    state.TagList.push_back({});
    lv.append({QFileInfo(source).fileName(), QString()});
    state.OutputDir = outDir + QLatin1Char('/');
    state.FunctionChoice = FunctionSplitByTime;
    state.SplitSeconds = 60;

    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer timer;
    timer.start();
    SplitRun(context).RunTimeSplit();
    const double wall = timer.nsecsElapsed() / 1e9;
    std::printf("%d %.3f %.3f %ld\n", record.Duration, wall, cpuSeconds(RUSAGE_SELF) - cpuBefore,
                peakKilobytes());
    return 0;
}

struct Measurement {
    double audioSeconds = 0;
    double wallSeconds = 0;
    double cpuSeconds = 0;
    long peakKb = 0;
};

bool runChild(const QString& source, const QString& outDir, int format, Measurement& m) {
    QDir().mkpath(outDir);
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), source, outDir, QString::number(format)});
    if (!child.waitForFinished(-1) || child.exitCode() != 0) {
        std::fprintf(stderr, "%s run failed: %s\n", FormatNames[format],
                     child.readAllStandardError().constData());
        return false;
    }
    const QStringList parts =
        QString::fromLocal8Bit(child.readAllStandardOutput()).simplified().split(' ');
    if (parts.size() != 4)
        return false;
    m = {parts[0].toDouble(), parts[1].toDouble(), parts[2].toDouble(), parts[3].toLong()};
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == QLatin1String("--child")) {
        try {
            return splitOnce(args[2], args[3], args[4].toInt());
        } catch (const Error& e) {
            std::fprintf(stderr, "%s\n", qPrintable(e.message()));
            return 1;
        }
    }

    const double minutes = args.size() > 1 ? args[1].toDouble() : 10.0;
    QTemporaryDir dir;
    OggFixture fixture;
    fixture.seconds = minutes * 60;
    fixture.rate = 44100;
    fixture.channels = 2;
    const QString source = fixture.write(dir.filePath(QStringLiteral("in.ogg")));
    OggFixture shortFixture = fixture;
    shortFixture.seconds = 60;
    const QString shortSource = shortFixture.write(dir.filePath(QStringLiteral("short.ogg")));

    std::printf("Split of a %.0f-minute stereo 44100 Hz Ogg file into 60-second pieces\n", minutes);
    std::printf("%-6s %12s %15s %12s %10s\n", "format", "wall seconds", "audio s/wall s",
                "cpu seconds", "peak MB");
    Measurement mp3;
    for (int format = 0; format < 4; ++format) {
        Measurement m;
        if (!runChild(source, dir.filePath(QStringLiteral("out%1").arg(format)), format, m))
            return 1;
        if (format == 0)
            mp3 = m;
        std::printf("%-6s %12.2f %15.1f %12.2f %10.1f\n", FormatNames[format], m.wallSeconds,
                    m.audioSeconds / m.wallSeconds, m.cpuSeconds, m.peakKb / 1024.0);
    }
    Measurement oneMinute;
    if (runChild(shortSource, dir.filePath(QStringLiteral("short")), 0, oneMinute))
        std::printf("MP3 peak memory for a 1-minute file: %.1f MB (%.0f minutes: %.1f MB)\n",
                    oneMinute.peakKb / 1024.0, minutes, mp3.peakKb / 1024.0);

    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty()) {
        std::printf("ffmpeg not installed: no comparison\n");
        return 0;
    }
    QProcess encode;
    encode.setProcessChannelMode(QProcess::MergedChannels);
    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer timer;
    timer.start();
    encode.start(ffmpeg,
                 {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                  QStringLiteral("-y"), QStringLiteral("-i"), source, QStringLiteral("-c:a"),
                  QStringLiteral("libmp3lame"), QStringLiteral("-b:a"), QStringLiteral("128k"),
                  QStringLiteral("-compression_level"), QStringLiteral("5"),
                  dir.filePath(QStringLiteral("ffmpeg.mp3"))});
    if (!encode.waitForFinished(-1) || encode.exitCode() != 0) {
        std::printf("ffmpeg failed: %s\n", encode.readAll().constData());
        return 0;
    }
    const double ffmpegWall = timer.nsecsElapsed() / 1e9;
    const double ffmpegCpu = cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    std::printf("ffmpeg libmp3lame 128k: %.2f s wall, %.1f audio s/wall s, %.2f cpu seconds\n",
                ffmpegWall, minutes * 60 / ffmpegWall, ffmpegCpu);
    std::printf("Tarnwell MP3 against ffmpeg: %.2fx its speed by wall time, %.2fx by cpu time\n",
                ffmpegWall / mp3.wallSeconds, ffmpegCpu / mp3.cpuSeconds);
    return 0;
}
