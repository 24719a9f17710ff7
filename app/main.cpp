#include "app/AppState.h"
#include "app/Tfm_main.h"
#include "app/WidgetDesktop.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignal.h"
#include "settings/SettingsFile.h"
#include "settings/Tfm_about.h"
#include "settings/Tfm_dir.h"
#include "settings/Tfm_set.h"
#include "tags/Tfm_id3.h"
#include "tags/WmaTags.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarnwell"));
    QApplication::setOrganizationName(QStringLiteral("Tarnwell"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tarnwell/tarnwell.svg")));
    // Lets Wayland desktops match the window to the installed desktop entry.
    QApplication::setDesktopFileName(QStringLiteral("org.tarnwell.Tarnwell"));

    // A second copy ends at once, silently: the first one keeps its window.
    SingleInstance instance(ApplicationTitle);
    if (!instance.acquire())
        return 0;

    // The WMA tag library is looked up once; without it WMA outputs get no tags.
    LoadWmaLibrary();

    WidgetDesktop desktop;
    Tfm_main fm_main(desktop, SettingsFile::defaultPath());
    desktop.setParentWindow(&fm_main);
    Tfm_set fm_set(fm_main);
    Tfm_dir fm_dir(fm_main);
    Tfm_about fm_about(fm_main);
    Tfm_id3 fm_id3(fm_main);
    fm_main.setDialogs(&fm_set, &fm_dir, &fm_about, &fm_id3);

    TerminationSignal termination;
    QObject::connect(&termination, &TerminationSignal::terminationRequested, &fm_main,
                     &QWidget::close);

    fm_main.show();
    return QApplication::exec();
}
