#pragma once

#include "platform/Desktop.h"

#include <QStringList>

// The desktop of the command-line tool: messages go to standard error, the
// open dialog is never shown (files come from the command line), the save
// dialog answers with the join output of -o, and nothing is ever replaced or
// opened.
class ConsoleDesktop : public Desktop {
public:
    // The save dialog's answer: the path typed and the format index 0..3.
    void setJoinOutput(const QString& path, int formatIndex);

    // Every message and error shown so far, in order.
    const QStringList& messages() const { return messages_; }

    using Desktop::message;
    // The details follow the text, on its line when both are one line.
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

    // Writes one line to standard error, prefixed with the program's name.
    static void printError(const QString& text);

private:
    QString joinPath_;
    int joinFilter_ = 1;
    QStringList messages_;
};
