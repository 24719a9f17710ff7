#pragma once

#include <QString>

// What ogginfo (vorbis-tools), an independent checker of Ogg Vorbis files,
// warns about in a file: its whole report when it finds anything wrong,
// empty when it finds nothing.
QString ogginfoWarnings(const QString& path);
