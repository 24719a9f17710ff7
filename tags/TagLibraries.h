#pragma once

#include <QString>

// Where the tag libraries come from: libvcedit.so and libwmaudsdk.so from the
// program's library folder, libvorbis.so.0 from the system. Tests point these elsewhere to
// see the program work without them.
class TagLibraries {
public:
    // The program's library folder (`DataPaths`) unless set; an empty folder restores that.
    static QString folder();
    static void setFolder(const QString& folder);

    static QString vceditPath();
    static QString wmaPath();

    // "libvorbis.so.0" unless set; an empty name restores that.
    static QString vorbisName();
    static void setVorbisName(const QString& name);
};
