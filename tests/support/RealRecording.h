#pragma once

#include <QFileInfo>
#include <QString>

#include <stdexcept>

// Music from a Debian game's data (frozen-bubble-data, installed by
// setup.sh): real drums, voices and noise, whose transients make lossy
// encoders switch to short blocks and fill bands with noise as they do on
// the files people cut. Throws std::runtime_error when it is missing.
inline QString RealRecording() {
    const QString path =
        QStringLiteral("/usr/share/games/frozen-bubble/snd/frozen-mainzik-1p.ogg");
    if (!QFileInfo::exists(path))
        throw std::runtime_error(path.toStdString() +
                                 " is missing: install frozen-bubble-data (./setup.sh does)");
    return path;
}
