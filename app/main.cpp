#include "app/Tfm_main.h"
#include "app/WidgetDesktop.h"
#include "app/dialogs/Tfm_about.h"
#include "app/dialogs/Tfm_dir.h"
#include "app/dialogs/Tfm_id3.h"
#include "app/dialogs/Tfm_set.h"
#include "core/AppState.h"
#include "platform/InstanceChannel.h"
#include "platform/SettingsFile.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignal.h"
#include "tags/WmaTags.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QPointer>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarnwell"));
    QApplication::setOrganizationName(QStringLiteral("Tarnwell"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tarnwell/tarnwell.svg")));
    // Lets Wayland desktops match the window to the installed desktop entry.
    QApplication::setDesktopFileName(QStringLiteral("org.tarnwell.Tarnwell"));

    // Installed before the lock is taken and before anything slow, so a
    // request to end (the session closing, Ctrl+C, SIGTERM) that comes while
    // the windows are still being built is not lost: it closes the main
    // window the normal way, settings written, as soon as there is one.
    QPointer<QWidget> mainWindow;
    bool endRequested = false;
    TerminationSignal termination;
    QObject::connect(&termination, &TerminationSignal::terminationRequested, [&] {
        endRequested = true;
        if (mainWindow)
            mainWindow->close();
    });

    // A second copy ends at once: the first one keeps its window and takes
    // over the files this one was given. Without files it ends silently.
    const QStringList givenFiles =
        InstanceChannel::filesFromArguments(QApplication::arguments().mid(1), QDir::currentPath());
    SingleInstance instance(ApplicationTitle);
    if (!instance.acquire()) {
        if (givenFiles.isEmpty() || InstanceChannel::send(ApplicationTitle, givenFiles))
            return 0;
        WidgetDesktop desktop;
        desktop.warning(QStringLiteral("Tarnwell is already running, but it did not answer. "
                                       "These files were not added:\n") +
                        givenFiles.join(QLatin1Char('\n')));
        return 1;
    }
    // Listening before the windows are built: a copy started meanwhile
    // waits for them.
    InstanceChannel channel(ApplicationTitle);
    channel.listen();

    // The WMA tag library is looked up once; without it WMA outputs get no tags.
    LoadWmaLibrary();

    WidgetDesktop desktop;
    Tfm_main fm_main(desktop, SettingsFile::defaultPath());
    desktop.setParentWindow(&fm_main);
    QObject::connect(&channel, &InstanceChannel::filesReceived, &fm_main,
                     [&fm_main](const QStringList& files) { fm_main.OpenGivenFiles(files, true); });
    Tfm_set fm_set(fm_main.dialogContext());
    Tfm_dir fm_dir(fm_main.dialogContext());
    Tfm_about fm_about(fm_main.dialogContext());
    Tfm_id3 fm_id3(fm_main.dialogContext());
    fm_main.setDialogs(&fm_set, &fm_dir, &fm_about, &fm_id3);

    // Shown first, so the settings it writes when it closes are the ones it read.
    fm_main.show();
    mainWindow = &fm_main;
    fm_main.OpenGivenFiles(givenFiles);
    if (endRequested) {
        // Asked to end while it was being built: close from the event loop,
        // where closing the last window ends the program.
        QMetaObject::invokeMethod(&fm_main, &QWidget::close, Qt::QueuedConnection);
    }
    return QApplication::exec();
}
