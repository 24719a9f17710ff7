#include "platform/RemovableMedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

QByteArray firstLine(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readLine().trimmed();
}

// "major:minor" of the block device holding the file system `device`. A
// file system without one of its own (btrfs, a FUSE mount of a drive)
// names its device in the mount table.
QString blockDevice(dev_t device, const QString& mountInfo, const QString& sys) {
    if (major(device) != 0)
        return QStringLiteral("%1:%2").arg(major(device)).arg(minor(device));
    QFile table(mountInfo);
    if (!table.open(QIODevice::ReadOnly))
        return {};
    const QByteArray number =
        QByteArray::number(major(device)) + ':' + QByteArray::number(minor(device));
    while (!table.atEnd()) {
        // id parent major:minor root mountpoint options ... - type source options
        const QList<QByteArray> fields = table.readLine().trimmed().split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (fields.size() < 3 || fields[2] != number || dash < 0 || dash + 2 >= fields.size())
            continue;
        const QString source = QFile::decodeName(fields[dash + 2]);
        if (!source.startsWith(QLatin1String("/dev/")))
            return {};
        const QString real = QFileInfo(source).canonicalFilePath();
        const QString name = QFileInfo(real.isEmpty() ? source : real).fileName();
        return QString::fromLatin1(
            firstLine(sys + QStringLiteral("/class/block/") + name + QStringLiteral("/dev")));
    }
    return {};
}

// `path` is a device's folder under `sys`/devices.
bool removable(const QString& sys, const QString& path, int depth) {
    const QString where = path.mid(sys.size());
    if (where.contains(QLatin1String("/usb")) || where.contains(QLatin1String("/mmc")) ||
        where.contains(QLatin1String("/memstick")))
        return true;
    // A partition's drive is the folder above it.
    const QString drive = QFileInfo::exists(path + QStringLiteral("/partition"))
                              ? QFileInfo(path).absolutePath()
                              : path;
    if (firstLine(drive + QStringLiteral("/removable")) == "1")
        return true;
    // A volume made of others (encryption, LVM, RAID) is on their drives.
    if (depth >= 4)
        return false;
    const QDir slaves(path + QStringLiteral("/slaves"));
    for (const QFileInfo& slave : slaves.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (removable(sys, slave.canonicalFilePath(), depth + 1))
            return true;
    return false;
}

} // namespace

bool RemovableMedia::Holds(const QString& folder) {
    struct stat info {};
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0)
        return false;
    return Holds(info.st_dev, QStringLiteral("/proc/self/mountinfo"), QStringLiteral("/sys"));
}

bool RemovableMedia::Holds(dev_t device, const QString& mountInfo, const QString& sys) {
    const QString number = blockDevice(device, mountInfo, sys);
    if (number.isEmpty())
        return false;
    const QString root = QFileInfo(sys).canonicalFilePath();
    const QString path =
        QFileInfo(sys + QStringLiteral("/dev/block/") + number).canonicalFilePath();
    return !path.isEmpty() && !root.isEmpty() && removable(root, path, 0);
}
