// Adds 1,000 generated small Ogg files to the file list of the real main
// window, shown (off screen unless a display is chosen), once through the
// open dialog and once from their folder through the folder dialog, and
// prints the time per file.
//
// Run by hand: build/bin/AddFilesBench [count]
#include "app/Tfm_main.h"
#include "app/dialogs/Tfm_dir.h"
#include "bench/BenchDesktop.h"
#include "core/JobListModel.h"
#include "tests/support/OggFixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace {

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
    std::printf("%-12s %5d files  wall %6.2f ms/file (%4.0f files/s)  cpu %6.2f ms/file  "
                "peak %ld MB\n",
                how, added, double(wallMs) * perFile, wallMs > 0 ? added * 1000.0 / wallMs : 0.0,
                (cpuMs(after) - cpuMs(before)) * perFile, after.ru_maxrss / 1024);
    std::fflush(stdout);
}

// A fresh main window with its folder dialog, shown as the program shows it.
struct Window {
    std::unique_ptr<Tfm_main> main;
    std::unique_ptr<Tfm_dir> folderDialog;

    Window(BenchDesktop& desktop, const QString& settings)
        : main(std::make_unique<Tfm_main>(desktop, settings)),
          folderDialog(std::make_unique<Tfm_dir>(main->dialogContext())) {
        main->setDialogs(nullptr, folderDialog.get(), nullptr, nullptr);
        main->show();
        QApplication::processEvents();
    }
    ~Window() {
        folderDialog.reset();
        main.reset();
    }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString settings = dir.filePath(QStringLiteral("Velmora.ini"));
    const QString folder = dir.filePath(QStringLiteral("music"));
    QDir().mkpath(folder);
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
        desktop.files.append(fixture.write(QDir(folder).filePath(name)));
    }

    // Twice each: the first round also pays for warming the caches.
    for (int round = 0; round < 2; ++round) {
        {
            Window window(desktop, settings);
            const rusage before = usageNow();
            QElapsedTimer timer;
            timer.start();
            window.main->AddFile1Click();
            report("open dialog", window.main->lvModel().count(), timer.elapsed(), before);
        }
        {
            Window window(desktop, settings);
            desktop.onModal = [&](QWidget&) {
                window.folderDialog->SelectPath(folder);
                window.folderDialog->btn_okClick();
                return 1;
            };
            const rusage before = usageNow();
            QElapsedTimer timer;
            timer.start();
            window.main->AddFolder1Click();
            report("folder", window.main->lvModel().count(), timer.elapsed(), before);
            desktop.onModal = nullptr;
        }
    }
    return desktop.messages == 0 ? 0 : 1;
}
