#pragma once

#include "platform/Desktop.h"
#include "platform/EventPump.h"

#include <QDateTime>
#include <QStringList>

#include <functional>

// A desktop that never blocks: the open dialog hands back `files`, every
// question is answered no, a modal dialog is answered by `onModal` (else
// cancelled) and messages are only counted, so a benchmark measures the work
// and not a person.
class BenchDesktop : public Desktop {
public:
    QStringList files;
    int messages = 0;
    std::function<int(QWidget&)> onModal;

    using Desktop::message;
    void message(const QString&, Severity, const QString&) override { ++messages; }
    bool confirm(const QString&) override { return false; }
    void showError(const QString&) override { ++messages; }
    QStringList openFiles(const QString&, const QString&) override { return files; }
    bool saveFile(const QString&, int, const QString&, SaveChoice&) override { return false; }
    int runModal(QWidget& dialog) override { return onModal ? onModal(dialog) : 0; }
    bool openUrl(const QUrl&) override { return true; }
    // As often as the program's own desktop.
    void processEvents() override { pump_.pump(); }
    QDateTime now() const override { return QDateTime::currentDateTime(); }

private:
    EventPump pump_;
};
