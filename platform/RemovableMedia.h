#pragma once

#include <QString>

#include <sys/types.h>

// Whether a folder lies on a drive one unplugs: a USB drive, a memory card,
// or a drive the kernel calls removable (and a volume on one of these, such
// as an encrypted one). Outputs written there are waited for until they are
// on the drive, since it may be pulled as soon as the run says it is done;
// elsewhere the kernel writes them in its own time, as it does every
// program's files.
class RemovableMedia {
public:
    static bool Holds(const QString& folder);
    // The same for the file system numbered `device`, looked up in a mount
    // table of /proc/self/mountinfo's form and a tree laid out as /sys.
    static bool Holds(dev_t device, const QString& mountInfo, const QString& sys);
};
