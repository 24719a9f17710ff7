#include "cli/ConsoleDesktop.h"

#include <QCoreApplication>

#include <cstdio>

void ConsoleDesktop::setJoinOutput(const QString& path, int formatIndex) {
    joinPath_ = path;
    joinFilter_ = formatIndex + 1;
}

void ConsoleDesktop::printError(const QString& text) {
    // The window's messages may span lines; each keeps the prefix, so a
    // script that greps the errors sees all of them.
    const QString name = QCoreApplication::applicationName();
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(line));
    std::fflush(stderr);
}

void ConsoleDesktop::message(const QString& text, Severity, const QString& details) {
    messages_.append(text);
    if (details.isEmpty())
        printError(text);
    else if (text.contains(QLatin1Char('\n')) || details.contains(QLatin1Char('\n')))
        printError(text + QLatin1Char('\n') + details);
    else
        printError(text + QLatin1Char(' ') + details);
}

bool ConsoleDesktop::confirm(const QString& text) {
    // Only the join asks, before replacing a file: the tool never does.
    message(text + QStringLiteral(" No: the command line replaces no file."), Severity::Warning);
    return false;
}

void ConsoleDesktop::showError(const QString& text) {
    message(text, Severity::Critical);
}

QStringList ConsoleDesktop::openFiles(const QString&, const QString&) {
    return {};
}

bool ConsoleDesktop::saveFile(const QString&, int, const QString&, SaveChoice& choice) {
    if (joinPath_.isEmpty())
        return false;
    choice.path = joinPath_;
    choice.filterIndex = joinFilter_;
    return true;
}

int ConsoleDesktop::runModal(QWidget&) {
    return 0;
}

bool ConsoleDesktop::openUrl(const QUrl&) {
    return true;
}

void ConsoleDesktop::processEvents() {
    QCoreApplication::processEvents();
}

QDateTime ConsoleDesktop::now() const {
    return QDateTime::currentDateTime();
}
