#include "tests/engine/RunFixture.h"

#include "engine/ContextRunSteps.h"
#include "engine/PieceWorkers.h"
#include "engine/RunCommand.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>

RunFixture::RunFixture()
    : RunParts(dir.filePath(QStringLiteral("Velmora.ini"))),
      srcDir(dir.filePath(QStringLiteral("src")) + QLatin1Char('/')),
      outDir(dir.filePath(QStringLiteral("out")) + QLatin1Char('/')) {
    QDir().mkpath(srcDir);
    QDir().mkpath(outDir);
    state.OutputDir = outDir;
    state.FunctionChoice = FunctionCustom;
    // Pieces one after another, as most tests expect; ParallelSplitTest
    // asks for workers.
    PieceWorkers::SetAllowed(settings, 1);
}

QString RunFixture::addFile(const QString& name, const OggFixture& fixture) {
    const QString path = fixture.write(srcDir + name);
    addSource(path);
    return path;
}

void RunFixture::addSource(QString path) {
    AudioFile2 probe;
    probe.Open(path, 0, 1);
    listrecord record;
    record.FileName = path;
    record.Duration = probe.DurationMs() / 1000;
    record.SampleCount = probe.SampleCount();
    record.SampleRate = probe.SampleRate();
    record.SliderRange =
        static_cast<std::int32_t>(std::max<std::int64_t>(probe.DurationMs() / 500, 1084));
    record.BeginTimes = {0};
    record.EndTimes = {record.Duration};
    record.SegmentCount = 1;
    probe.Close();
    record.Caption = QFileInfo(path).fileName();
    lv.append(record);
}

void RunFixture::setSegments(int file, std::initializer_list<std::pair<int, int>> confirmed,
                             std::pair<int, int> working) {
    listrecord& record = state.JobList[static_cast<size_t>(file)];
    record.BeginTimes.clear();
    record.EndTimes.clear();
    for (const auto& [begin, end] : confirmed) {
        record.BeginTimes.push_back(begin);
        record.EndTimes.push_back(end);
    }
    record.BeginTimes.push_back(working.first);
    record.EndTimes.push_back(working.second);
    record.SegmentCount = static_cast<std::int32_t>(record.BeginTimes.size());
}

QStringList RunFixture::outputs() const {
    return QDir(outDir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

double RunFixture::gainAt(const DecodedAudio& audio, double t, float amplitude) {
    const std::vector<float> left = audio.channel(0);
    const auto window = static_cast<size_t>(audio.rate / 50);
    auto centre = static_cast<long long>(t * audio.rate);
    auto from = static_cast<long long>(centre) - static_cast<long long>(window / 2);
    from = std::clamp<long long>(
        from, 0, static_cast<long long>(left.size()) - static_cast<long long>(window));
    return rms(left, static_cast<size_t>(from), static_cast<size_t>(from) + window) /
           (amplitude / std::sqrt(2.0));
}

void RunFixture::joinCommand(RunContext& on) {
    ContextRunSteps steps(on);
    RunCommand(state, host, desktop, steps, control).Join(true);
}
