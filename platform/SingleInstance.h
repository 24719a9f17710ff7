#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// Keeps a second copy of the program from starting. The lock is a file named
// after the application title in the user's runtime folder; a lock left by a
// copy that was killed is taken over, because its process no longer exists.
class SingleInstance {
public:
    explicit SingleInstance(const QString& title);

    // True when this process now holds the lock; false when another running
    // process holds it.
    bool acquire();

    static QString lockPath(const QString& title);

private:
    std::unique_ptr<QLockFile> lock_;
};
