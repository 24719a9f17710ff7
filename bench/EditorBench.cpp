// The waveform editor: how long its whole waveform takes to appear on a
// 3-hour file, how long a redraw takes at every zoom (whole file down to
// single samples, the samples read from a real recording), and the memory
// the peak pyramid of a 13-hour file takes; and, before the pyramid of a
// real 3-hour file is built, how soon its first look is drawn and filled.
//
// Run by hand: QT_QPA_PLATFORM=offscreen build/bin/EditorBench [hours] [longHours] [longFile]
// Without longFile, a 3-hour loop of the real recording is made with ffmpeg.
#include "app/editor/WaveformCanvas.h"
#include "engine/audio/AudioReader.h"
#include "engine/audio/PeakPyramid.h"
#include "engine/audio/PeakScanner.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <thread>
#include <time.h>
#include <vector>

namespace {

constexpr int Rate = 44100;
constexpr int Channels = 2;

// Noise with a slowly swelling loudness, fed as a decoder delivers it.
std::shared_ptr<const PeakPyramid> pyramidOf(long long frames, qint64& ms) {
    std::mt19937 random(1);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    std::vector<float> block(8192 * Channels);
    QElapsedTimer clock;
    clock.start();
    auto pyramid = std::make_shared<PeakPyramid>(frames, Channels);
    for (long long at = 0; at < frames; at += 8192) {
        const int n = static_cast<int>(std::min<long long>(8192, frames - at));
        if (at % (8192LL * 64) == 0) {
            const float gain = 0.1f + 0.9f * std::abs(std::sin(at / (Rate * 60.0)));
            for (float& v : block)
                v = noise(random) * gain;
        }
        pyramid->add(block.data(), n);
    }
    pyramid->finish();
    ms = clock.elapsed();
    return pyramid;
}

long residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    return 0;
}

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Redraws {
    double meanMs = 0;    // wall time
    double longestMs = 0; // wall time
    double cpuMs = 0;     // the window thread's processor time, a mean
};

// Redraws at the canvas's present zoom, each after a small scroll.
Redraws redraws(WaveformCanvas& canvas, int times) {
    Redraws r;
    const double cpuBefore = threadCpuMs();
    for (int i = 0; i < times; ++i) {
        canvas.axis().scrollBy(i % 2 ? -3 : 3);
        canvas.axisChanged();
        QElapsedTimer clock;
        clock.start();
        canvas.repaint();
        const double ms = clock.nsecsElapsed() / 1e6;
        r.meanMs += ms / times;
        r.longestMs = std::max(r.longestMs, ms);
    }
    r.cpuMs = (threadCpuMs() - cpuBefore) / times;
    return r;
}

void print(const char* zoom, const Redraws& r) {
    std::printf("redraw, %-13s %6.2f ms mean, %6.2f ms longest, %6.2f ms processor time\n", zoom,
                r.meanMs, r.longestMs, r.cpuMs);
}

// The real recording looped to three hours without encoding again.
QString threeHourLoop(const QTemporaryDir& dir, const QString& real) {
    QFile list(dir.filePath(QStringLiteral("list.txt")));
    if (!list.open(QIODevice::WriteOnly))
        return {};
    for (int i = 0; i < 34; ++i)
        list.write("file '" + QFile::encodeName(real) + "'\n");
    list.close();
    const QString out = dir.filePath(QStringLiteral("three-hours.ogg"));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-f", "concat", "-safe", "0", "-i",
                                            list.fileName(), "-c", "copy", out});
    return ffmpeg.waitForFinished(120000) && ffmpeg.exitCode() == 0 ? out : QString();
}

// Opening the editor's canvas on `path` before its pyramid exists: when the
// first look is drawn, and when every place of it is read.
void firstLook(const QString& path) {
    WaveformCanvas canvas;
    canvas.resize(1600, 500);
    QElapsedTimer clock;
    clock.start();
    long long frames = 0;
    {
        AudioReader reader(path);
        frames = reader.totalFrames();
        canvas.setFile(path, frames, reader.fileRate());
    }
    canvas.show();
    if (!QTest::qWaitForWindowExposed(&canvas))
        return;
    std::atomic<bool> cancel{false};
    std::atomic<bool> finished{false};
    qint64 firstMs = -1;
    int places = 0;
    std::thread reading([&] {
        WaveformSketch::Read(path, cancel, 64, [&](std::shared_ptr<const WaveformSketch> s) {
            QMetaObject::invokeMethod(
                &canvas,
                [&, s] {
                    canvas.setSketch(s);
                    canvas.repaint();
                    if (firstMs < 0)
                        firstMs = clock.elapsed();
                    places = s->placesRead;
                },
                Qt::QueuedConnection);
        });
        finished = true;
    });
    if (!QTest::qWaitFor([&] { return finished.load(); }, 300000))
        std::printf("the first look took longer than 5 minutes\n");
    QCoreApplication::processEvents();
    const qint64 allMs = clock.elapsed();
    cancel = true;
    reading.join();
    std::printf("before the pyramid, %.1f h real file: first look (64 places) drawn in %lld ms, "
                "all %d places in %lld ms\n",
                double(frames) / canvas.axis().rate() / 3600, static_cast<long long>(firstMs),
                places, static_cast<long long>(allMs));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const double hours = argc > 1 ? std::atof(argv[1]) : 3.0;
    const double longHours = argc > 2 ? std::atof(argv[2]) : 13.0;

    // The pyramid of a 3-hour file, as the background pass leaves it.
    qint64 buildMs = 0;
    const auto frames = static_cast<long long>(hours * 3600 * Rate);
    auto overview = std::make_shared<AudioOverview>();
    overview->rate = Rate;
    overview->frames = frames;
    overview->pyramid = pyramidOf(frames, buildMs);
    std::printf("%.1f h stereo at %d Hz: pyramid built in %lld ms (%.1f MB, %d levels)\n", hours,
                Rate, static_cast<long long>(buildMs), overview->pyramid->bytes() / 1048576.0,
                overview->pyramid->levels());

    // Opening: the window shown and the whole waveform drawn.
    QElapsedTimer clock;
    clock.start();
    WaveformCanvas canvas;
    canvas.resize(1600, 500);
    canvas.setFile(QString(), frames, Rate);
    canvas.setOverview(overview);
    canvas.setRegions({{Rate * 600LL, Rate * 1200LL, 1, QStringLiteral("Opening")},
                       {Rate * 1200LL, Rate * 4000LL, 2, QStringLiteral("Second set")}},
                      true);
    canvas.show();
    if (!QTest::qWaitForWindowExposed(&canvas))
        return 1;
    canvas.repaint();
    std::printf("opening: whole waveform shown in %lld ms\n",
                static_cast<long long>(clock.elapsed()));

    const struct {
        const char* name;
        double seconds; // shown across the width; 0: the whole file
    } zooms[] = {{"whole file", 0}, {"10 minutes", 600}, {"10 seconds", 10}, {"1 second", 1}};
    for (const auto& zoom : zooms) {
        if (zoom.seconds > 0) {
            const auto from = static_cast<std::int64_t>(frames / 2);
            canvas.axis().zoomTo(from, from + static_cast<std::int64_t>(zoom.seconds * Rate));
        } else {
            canvas.axis().showWholeFile();
        }
        print(zoom.name, redraws(canvas, 200));
    }

    // Single samples, read from a real recording.
    const QString real = QStringLiteral("/usr/share/games/frozen-bubble/snd/frozen-mainzik-1p.ogg");
    if (QFile::exists(real)) {
        clock.restart();
        auto scanned = std::make_shared<const AudioOverview>(PeakScanner::Scan(real));
        const double seconds = double(scanned->frames) / scanned->rate;
        std::printf("real recording: %.0f s scanned in %lld ms (%.0fx real time; a 3-hour file "
                    "about %.0f s in the background)\n",
                    seconds, static_cast<long long>(clock.elapsed()),
                    seconds * 1000 / std::max<qint64>(clock.elapsed(), 1),
                    3 * 3600.0 * clock.elapsed() / 1000 / seconds);
        canvas.setFile(real, scanned->frames, scanned->rate);
        canvas.setOverview(scanned);
        for (const double perPixel : {1.0, 1.0 / 16}) {
            const std::int64_t from = scanned->frames / 3;
            canvas.axis().zoomTo(from, from + static_cast<std::int64_t>(canvas.width() * perPixel));
            canvas.axisChanged();
            if (!QTest::qWaitFor([&] { return canvas.hasDetail(); }, 30000))
                return 1;
            print(perPixel < 1 ? "16 px/sample" : "1 sample/px", redraws(canvas, 200));
        }
    }
    canvas.hide();

    // Opening a long file whose pyramid is not built yet.
    QTemporaryDir loops;
    const QString longFile = argc > 3              ? QString::fromLocal8Bit(argv[3])
                             : QFile::exists(real) ? threeHourLoop(loops, real)
                                                   : QString();
    if (!longFile.isEmpty())
        firstLook(longFile);

    // Memory: the pyramid of a 13-hour file, in the process.
    overview.reset();
    const long before = residentKb();
    qint64 longMs = 0;
    const auto longPyramid = pyramidOf(static_cast<long long>(longHours * 3600 * Rate), longMs);
    const long after = residentKb();
    std::printf("%.0f h stereo: pyramid %.1f MB, process grew %.1f MB, built in %lld ms\n",
                longHours, longPyramid->bytes() / 1048576.0, (after - before) / 1024.0,
                static_cast<long long>(longMs));
    return 0;
}
