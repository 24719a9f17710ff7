// Adds 1,000 generated small Ogg files to the file list, once through the open
// dialog and once from their folder, with the real reader and comment reader
// and the list shown in a view, and prints the time per file.
//
// Run by hand: build/bin/AddFilesBench [count]
#include "app/JobListEditor.h"
#include "app/PreviewSlider.h"
#include "app/SegmentEditor.h"
#include "app/SkinObjects.h"
#include "bench/BenchDesktop.h"
#include "core/AppState.h"
#include "core/ReportListModel.h"
#include "engine/audio/AudioFile2.h"
#include "tags/OGGTag.h"
#include "tags/OggComments.h"
#include "tests/support/ListModels.h"
#include "tests/support/OggFixture.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTreeView>

#include <cstdio>
#include <sys/resource.h>

namespace {

struct ListUnderTest : ListModels {
    AppState state;
    QTreeView view;
    SkinObjects skin;
    PreviewSlider slider{skin};
    AudioFile2 reader;
    EditorContext editors;
    SegmentEditor segments;
    JobListEditor jobs;

    ListUnderTest(BenchDesktop& desktop, const QString& folder)
        : editors{state, desktop, lv, lvSelection, lvTime, lvTimeSelection, slider, skin},
          segments(editors, {}), jobs(editors, segments, hooks(folder)) {
        view.setModel(&lv);
        view.setSelectionModel(&lvSelection);
        view.resize(226, 140);
        view.show();
        reader.SetActive(true);
    }

    JobListEditor::Hooks hooks(const QString& folder) {
        JobListEditor::Hooks h;
        h.reader = [this] { return &reader; };
        h.readComments = [](const QString& file, AudioFileinfo& tags) {
            OGGTag tag;
            ReadOggComments(file, tag);
            tags.Title = tag.Title;
            tags.Artist = tag.Artist;
        };
        h.showFolderDialog = [this, folder](const QString&) { state.ChosenFolder = folder; };
        h.setNameColumnWidth = [this](int width) { view.setColumnWidth(0, width); };
        return h;
    }
};

rusage usageNow() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage;
}

double cpuMs(const rusage& u) {
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(u.ru_utime) + ms(u.ru_stime);
}

// Wall and CPU time of one add, per file, and the peak memory so far.
void report(const char* how, int added, qint64 wallMs, const rusage& before) {
    const rusage after = usageNow();
    const double perFile = added > 0 ? 1.0 / added : 0.0;
    std::printf("%-12s %5d files  wall %6.2f ms/file  cpu %6.2f ms/file  peak %ld MB\n", how, added,
                double(wallMs) * perFile, (cpuMs(after) - cpuMs(before)) * perFile,
                after.ru_maxrss / 1024);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    std::printf("Generating %d files of 1.5 seconds ...\n", count);
    BenchDesktop desktop;
    OggFixture fixture;
    fixture.rate = 22050;
    fixture.channels = 1;
    fixture.seconds = 1.5;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("piece%1.ogg").arg(i, 4, 10, QLatin1Char('0'));
        fixture.comments = {QStringLiteral("TITLE=Piece %1").arg(i),
                            QStringLiteral("ARTIST=Bench")};
        desktop.files.append(fixture.write(dir.filePath(name)));
    }

    // Twice each: the first round also pays for warming the caches.
    for (int round = 0; round < 2; ++round) {
        {
            ListUnderTest list(desktop, dir.path());
            const rusage before = usageNow();
            QElapsedTimer timer;
            timer.start();
            list.jobs.AddFiles();
            report("open dialog", list.lv.count(), timer.elapsed(), before);
        }
        {
            ListUnderTest list(desktop, dir.path());
            const rusage before = usageNow();
            QElapsedTimer timer;
            timer.start();
            list.jobs.AddFolder();
            report("folder", list.lv.count(), timer.elapsed(), before);
        }
    }
    return desktop.messages == 0 ? 0 : 1;
}
