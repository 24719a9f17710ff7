#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// One of the real programs, started as a user would start it: from a fresh
// home folder with its own configuration and runtime folders, so that no test
// sees another's settings or single-instance lock.
class ProgramProcess {
public:
    explicit ProgramProcess(QString program);
    // A program still running is killed.
    ~ProgramProcess();
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    // `name` inside the home folder, which is also the working folder.
    QString homePath(const QString& name) const { return home_.filePath(name); }

    // Starts the program and waits until it handles SIGTERM, which it sets up
    // once its window is built. False when it does not get there in time.
    bool start(const QStringList& arguments = {});
    // Sends SIGTERM and waits for the end; true when the program ended by
    // itself with exit status 0.
    bool terminate();

    // The text of the settings file, empty when there is none.
    QString settingsText() const;
    // The files the running program has mapped: its executable, the shared
    // libraries and plugins it loaded.
    QStringList mappedFiles() const;

    QProcess& process() { return process_; }

    // Whether the process `pid` catches SIGTERM.
    static bool handlesTermination(qint64 pid);

private:
    QString program_;
    QTemporaryDir home_;
    QProcess process_;
};
