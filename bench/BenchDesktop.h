#pragma once

#include "platform/Desktop.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>

// A desktop that never blocks: the open dialog hands back `files`, every
// question is answered no, and messages are only counted, so a benchmark
// measures the work and not a person.
class BenchDesktop : public Desktop {
public:
    QStringList files;
    int messages = 0;

    void message(const QString&, Severity) override { ++messages; }
    bool confirm(const QString&) override { return false; }
    void showError(const QString&) override { ++messages; }
    QStringList openFiles(const QString&, const QString&) override { return files; }
    bool saveFile(const QString&, int, const QString&, SaveChoice&) override { return false; }
    int runModal(QWidget&) override { return 0; }
    bool openUrl(const QUrl&) override { return true; }
    void processEvents() override { QCoreApplication::processEvents(); }
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};
