#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What every fuzz target shares: a scratch folder for the files the code
// under test insists on, in memory where /dev/shm exists, so a rename and an
// fsync cost little. libFuzzer often ends a process without running
// destructors, so each folder is named after its process and the folders of
// processes that are gone are removed by the next one.
class FuzzEnvironment {
public:
    // Created on first use, kept until the process ends.
    static FuzzEnvironment& instance();

    QString path(const QString& name) const;
    void write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;
    // The names in the scratch folder, sorted.
    QStringList entries() const;
    // Empties the scratch folder.
    void clear() const;

    ~FuzzEnvironment();
    FuzzEnvironment(const FuzzEnvironment&) = delete;
    FuzzEnvironment& operator=(const FuzzEnvironment&) = delete;

private:
    FuzzEnvironment();

    QString dir_;
};

// A broken invariant: prints what broke and aborts, which libFuzzer records
// as a crash with the input that caused it.
void require(bool holds, const char* what);
