#include "engine/PendingOutput.h"

#include "engine/OutputNames.h"
#include "platform/Error.h"
#include "platform/RemovableMedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

// Six letters and digits: enough that a clash is rare, and retried anyway.
QString randomTag() {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString tag;
    for (int i = 0; i < 6; ++i)
        tag.append(QLatin1Char(letters[QRandomGenerator::global()->bounded(62)]));
    return tag;
}

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Renames without replacing. File systems without renameat2's flag get a
// hard link (which fails on an existing name) and, failing that, a check
// before the rename.
int renameNoReplace(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return -1;
    if (::link(from, to) == 0) {
        ::unlink(from);
        return 0;
    }
    if (errno == EEXIST)
        return -1;
    struct stat existing;
    if (::lstat(to, &existing) == 0) {
        errno = EEXIST;
        return -1;
    }
    return std::rename(from, to);
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether the name `path` still leads to the file open as `fd`.
bool stillNamed(int fd, const QByteArray& path) {
    struct stat open;
    struct stat named;
    return ::fstat(fd, &open) == 0 && ::lstat(path.constData(), &named) == 0 &&
           sameFile(open, named);
}

// Removes the folder's leftovers, unless that was done a short while ago: a
// temporary counts as left behind only after a minute unchanged, and reading
// a folder of thousands of outputs for every piece would cost more than
// cutting the piece.
void sweepNowAndThen(const QString& folder) {
    static std::mutex mutex;
    static std::map<QString, std::chrono::steady_clock::time_point> swept;
    const auto now = std::chrono::steady_clock::now();
    {
        const std::lock_guard lock(mutex);
        const auto last = swept.find(folder);
        if (last != swept.end() &&
            now - last->second < std::chrono::seconds(PendingOutput::LeftoverSeconds / 6))
            return;
        swept[folder] = now;
    }
    PendingOutput::RemoveLeftovers(folder);
}

} // namespace

PendingOutput::~PendingOutput() {
    discard();
}

void PendingOutput::create(const QString& finalPath) {
    discard();
    final_ = finalPath;
    const QString folder = QFileInfo(finalPath).path();
    MakeFolder(folder);
    // A name the folder cannot hold fails here, before any audio is
    // written, as it would when the file is created under it.
    if (!OutputNames::NameFits(finalPath))
        throw Error(QStringLiteral("Cannot create %1: %2").arg(finalPath, reason(ENAMETOOLONG)));
    sweepNowAndThen(folder);
    int error = EEXIST;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = OutputNames::Temporary(finalPath, randomTag());
        const QByteArray name = QFile::encodeName(candidate);
        // Created by this call alone (O_EXCL), with the mode of any new file.
        FileHandle file(::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!file) {
            error = errno;
            if (error != EEXIST)
                break;
            continue;
        }
        // Held from the start, so no other copy takes it for a leftover. A
        // file system without locks writes it unheld; one that another copy
        // is removing right now is given up for the next name.
        if (::flock(file.fd(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
            continue;
        if (!stillNamed(file.fd(), name))
            continue;
        temporary_ = candidate;
        lock_ = std::move(file);
        return;
    }
    throw Error(QStringLiteral("Cannot create %1: %2").arg(finalPath, reason(error)));
}

void PendingOutput::MakeFolder(const QString& folder) {
    if (folder.isEmpty())
        return;
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    if (error)
        throw Error(QStringLiteral("Cannot create the folder %1: %2")
                        .arg(folder, QString::fromLocal8Bit(error.message())));
}

FileHandle PendingOutput::lockLeftover(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat named;
    if (::lstat(name.constData(), &named) != 0 || !S_ISREG(named.st_mode))
        return {};
    FileHandle file(::open(name.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat opened;
    if (!file || ::fstat(file.fd(), &opened) != 0 || !S_ISREG(opened.st_mode))
        return {};
    // The age of the very file that is locked: the name may lead to a new
    // one by now.
    if (std::time(nullptr) - opened.st_mtime < LeftoverSeconds)
        return {};
    // Held by a running copy; or a file system without locks, where nobody
    // can tell.
    if (::flock(file.fd(), LOCK_EX | LOCK_NB) != 0)
        return {};
    if (!stillNamed(file.fd(), name))
        return {};
    return file;
}

bool PendingOutput::Abandoned(const QString& path) {
    return static_cast<bool>(lockLeftover(path));
}

int PendingOutput::RemoveLeftovers(const QString& folder) {
    const QDir dir(folder);
    int removed = 0;
    for (const QString& name :
         dir.entryList({QStringLiteral(".*.part*")}, QDir::Files | QDir::Hidden | QDir::System)) {
        if (!OutputNames::IsTemporary(name))
            continue;
        const QString path = dir.filePath(name);
        // Removed while it is held, so no copy can take it up meanwhile.
        const FileHandle leftover = lockLeftover(path);
        if (leftover && ::unlink(QFile::encodeName(path).constData()) == 0)
            ++removed;
    }
    return removed;
}

void PendingOutput::relock() {
    const QByteArray name = QFile::encodeName(temporary_);
    if (lock_ && stillNamed(lock_.fd(), name))
        return;
    FileHandle file(::open(name.constData(), O_WRONLY | O_CLOEXEC));
    if (!file)
        fail(errno);
    // Just written, so never taken for a leftover meanwhile; held again for
    // the rest of its way.
    ::flock(file.fd(), LOCK_EX | LOCK_NB);
    lock_ = std::move(file);
}

void PendingOutput::fail(int error) const {
    throw Error(QStringLiteral("Cannot complete %1: %2").arg(final_, reason(error)));
}

namespace {

std::mutex unsyncedMutex;
// Completed outputs not yet known to be on the disk, by folder.
std::map<QString, std::vector<QString>> unsynced;

} // namespace

void PendingOutput::startSync() const {
    // A sync of each file before its rename made every piece wait for the
    // disk. The temporary name already keeps a file cut short by a crash of
    // the program from looking finished; the write starts now, so the file
    // system puts the data down before the new name, and a drive one
    // unplugs is waited for at the end (SyncCompleted).
    ::sync_file_range(lock_.fd(), 0, 0, SYNC_FILE_RANGE_WRITE);
}

void PendingOutput::named() {
    {
        const std::lock_guard lock(unsyncedMutex);
        const QFileInfo info(final_);
        unsynced[info.absolutePath()].push_back(info.absoluteFilePath());
    }
    temporary_.clear();
    lock_.reset();
}

QStringList PendingOutput::SyncCompleted(const std::function<bool(const QString&)>& waitsFor) {
    std::map<QString, std::vector<QString>> folders;
    {
        const std::lock_guard lock(unsyncedMutex);
        folders.swap(unsynced);
    }
    // Each file and then its folder's names, rather than the whole file
    // system: a sync of that would also wait for whatever other programs
    // wrote there and have not yet put on the disk.
    const auto sync = [](const QString& path, int flags) {
        const FileHandle file(::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC));
        return file && ::fsync(file.fd()) == 0;
    };
    QStringList failures;
    for (const auto& [folder, files] : folders) {
        if (waitsFor ? !waitsFor(folder) : !RemovableMedia::Holds(folder))
            continue;
        const bool synced =
            std::all_of(files.begin(), files.end(),
                        [&](const QString& file) { return sync(file, O_RDONLY); }) &&
            sync(folder, O_RDONLY | O_DIRECTORY);
        if (!synced)
            failures.append(QStringLiteral("Cannot write the outputs in %1 to the disk: %2")
                                .arg(folder, reason(errno)));
    }
    return failures;
}

void PendingOutput::complete(const std::function<QString()>& another) {
    relock();
    startSync();
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (renameNoReplace(QFile::encodeName(temporary_).constData(),
                            QFile::encodeName(final_).constData()) == 0) {
            named();
            return;
        }
        if (errno != EEXIST)
            fail(errno);
        final_ = another();
    }
    fail(EEXIST);
}

void PendingOutput::completeReplacing() {
    relock();
    startSync();
    const QByteArray from = QFile::encodeName(temporary_);
    const QByteArray to = QFile::encodeName(final_);
    struct stat old;
    if (::stat(to.constData(), &old) == 0)
        ::chmod(from.constData(), old.st_mode & 07777);
    if (std::rename(from.constData(), to.constData()) != 0)
        fail(errno);
    named();
}

void PendingOutput::discard() noexcept {
    if (temporary_.isEmpty())
        return;
    ::unlink(QFile::encodeName(temporary_).constData());
    temporary_.clear();
    lock_.reset();
}

void PendingOutput::abandon() {
    const QString temporary = temporary_;
    discard();
    try {
        throw;
    } catch (const Error& e) {
        if (temporary.isEmpty() || !e.message().contains(temporary))
            throw;
        QString message = e.message();
        throw Error(message.replace(temporary, final_));
    }
}
