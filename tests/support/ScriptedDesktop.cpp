#include "tests/support/ScriptedDesktop.h"

#include <QCoreApplication>
#include <QWidget>

void ScriptedDesktop::message(const QString& text, Severity severity, const QString& more) {
    informations.append(text);
    severities.push_back(severity);
    details.append(more);
}

bool ScriptedDesktop::confirm(const QString& text) {
    confirmations.append(text);
    if (confirmAnswers.empty())
        return false;
    const bool answer = confirmAnswers.front();
    confirmAnswers.pop_front();
    return answer;
}

void ScriptedDesktop::showError(const QString& text) {
    errors.append(text);
}

QStringList ScriptedDesktop::openFiles(const QString& filter, const QString& folder) {
    lastFilter = filter;
    lastFolder = folder;
    if (openFilesAnswers.empty())
        return {};
    QStringList answer = openFilesAnswers.front();
    openFilesAnswers.pop_front();
    return answer;
}

bool ScriptedDesktop::saveFile(const QString& filter, int filterIndex, const QString& folder,
                               SaveChoice& choice) {
    lastFilter = filter;
    lastFolder = folder;
    lastFilterIndex = filterIndex;
    if (saveAnswers.empty())
        return false;
    choice = saveAnswers.front();
    saveAnswers.pop_front();
    return true;
}

int ScriptedDesktop::runModal(QWidget& dialog) {
    ++modalCount;
    dialog.show();
    QCoreApplication::processEvents();
    const int result = onModal ? onModal(dialog) : 0;
    dialog.hide();
    return result;
}

bool ScriptedDesktop::openUrl(const QUrl& url) {
    openedUrls.push_back(url);
    return launcherWorks;
}

void ScriptedDesktop::processEvents() {
    ++pumpCount;
    QCoreApplication::processEvents();
}

QDateTime ScriptedDesktop::now() const {
    return clock;
}
