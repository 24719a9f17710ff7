#include "core/AppState.h"

#include <QDir>
#include <QStandardPaths>

QString AppState::defaultOutputDir() {
    QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (music.isEmpty())
        music = QDir::homePath();
    if (!music.endsWith(QLatin1Char('/')))
        music += QLatin1Char('/');
    return music;
}
