#pragma once

#include "platform/Desktop.h"

#include <QDateTime>
#include <QStringList>
#include <QUrl>

#include <deque>
#include <functional>
#include <vector>

// A desktop for tests: it records every message and launch, answers dialogs
// from queues the test fills, and never blocks.
class ScriptedDesktop : public Desktop {
public:
    // What happened, in order: the text of every message box, with its icon.
    QStringList informations;
    std::vector<Severity> severities;
    QStringList details; // one for every message, empty when it had none
    QStringList errors;
    QStringList confirmations;
    std::vector<QUrl> openedUrls;

    // Answers, taken front first; an empty queue means "cancelled" / "No".
    std::deque<QStringList> openFilesAnswers;
    std::deque<SaveChoice> saveAnswers;
    std::deque<bool> confirmAnswers;
    // What the launcher answers: false as when no program takes the address.
    bool launcherWorks = true;
    // Runs for a modal dialog instead of blocking: gets the dialog (already
    // shown) and returns its result code. Without one the dialog is shown,
    // nothing is done and 0 is returned.
    std::function<int(QWidget&)> onModal;

    // The last arguments the open and save dialogs were called with.
    QString lastFilter;
    QString lastFolder;
    int lastFilterIndex = 0;
    int modalCount = 0;
    int pumpCount = 0;

    QDateTime clock = QDateTime(QDate(2026, 1, 1), QTime(12, 0));

    using Desktop::message;
    void message(const QString& text, Severity severity, const QString& details) override;
    bool confirm(const QString& text) override;
    void showError(const QString& text) override;
    QStringList openFiles(const QString& filter, const QString& folder) override;
    bool saveFile(const QString& filter, int filterIndex, const QString& folder,
                  SaveChoice& choice) override;
    int runModal(QWidget& dialog) override;
    bool openUrl(const QUrl& url) override;
    void processEvents() override;
    QDateTime now() const override;
};
