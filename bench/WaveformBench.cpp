// The waveform overviews: the time and memory one decoding pass takes for a
// 1,000-second file, and how long the event loop waits at worst while the
// overviews of 100 files are computed in the background.
//
// Run by hand: build/bin/WaveformBench [seconds] [files]
#include "engine/SilenceFinder.h"
#include "engine/WaveformBuilder.h"
#include "engine/audio/PeakScanner.h"
#include "tests/support/OggFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 1000.0;
    const int files = argc > 2 ? std::atoi(argv[2]) : 100;
    QTemporaryDir dir;

    OggFixture speech = OggFixture::NoiseAndSweep(seconds);
    for (double t = 30; t + 2 < seconds; t += 60)
        speech.quiet.push_back({t, t + 2});
    speech.quietNoise = 0.003f;
    const QString path = speech.write(dir.filePath("long.ogg"));

    QElapsedTimer clock;
    clock.start();
    const AudioOverview overview = PeakScanner::Scan(path);
    const qint64 scanMs = clock.elapsed();
    clock.restart();
    const auto silences = SilenceFinder::Find(overview, {});
    const qint64 findUs = clock.nsecsElapsed() / 1000;
    std::printf("%.0f s file: scan %lld ms (%.0fx real time), overview %.0f KB, %zu bins of "
                "%lld frames; %zu silences found in %lld us\n",
                seconds, static_cast<long long>(scanMs),
                seconds * 1000.0 / std::max<qint64>(scanMs, 1), overview.bytes() / 1024.0,
                overview.bins(), static_cast<long long>(overview.framesPerBin), silences.size(),
                static_cast<long long>(findUs));

    // 100 files of a minute each, all asked for at once, as when they are added.
    const QString minute = OggFixture::NoiseAndSweep(60.0).write(dir.filePath("m.ogg"));
    QStringList paths;
    for (int i = 0; i < files; ++i) {
        const QString copy = dir.filePath(QStringLiteral("m%1.ogg").arg(i));
        QFile::copy(minute, copy);
        paths << copy;
    }
    WaveformBuilder builder;
    qint64 worstGap = 0;
    QElapsedTimer gap;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        worstGap = std::max(worstGap, gap.restart());
        if (builder.pendingCount() == 0)
            app.quit();
    });
    clock.restart();
    for (const QString& p : paths)
        builder.request(p);
    gap.start();
    tick.start();
    app.exec();
    std::printf("%d files of 60 s: all overviews in %lld ms, cache %.1f MB, longest event-loop "
                "wait %lld ms\n",
                files, static_cast<long long>(clock.elapsed()), builder.memoryUsed() / 1048576.0,
                static_cast<long long>(worstGap));
    return 0;
}
