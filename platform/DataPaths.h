#pragma once

#include <QString>

// Where the program finds its own files. In the build folder everything lies
// beside the executable. An installed program keeps its skin and user guide
// in share/tarnwell and its run-time libraries in lib/tarnwell; both are
// found from the executable's own folder, so a moved installation still works.
class DataPaths {
public:
    // The folder of the skin "mp3enc.dll" and of the user guide "help/".
    static QString dataFolder();
    // The folder of the run-time libraries libvcedit.so and libwmaudsdk.so.
    static QString libraryFolder();

    // The same for a program in `programFolder`: that folder itself when it
    // holds the files (the build layout), else the installed folder beside it.
    static QString dataFolder(const QString& programFolder);
    static QString libraryFolder(const QString& programFolder);

    // The folder of the running executable, with symbolic links resolved.
    static QString programFolder();
};
