#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>

class QWidget;

// Everything that blocks on the user or leaves the program goes through this
// interface: message boxes, the open/save dialogs, running a modal window, the
// desktop launcher, the event pump and the clock. The program uses
// `WidgetDesktop`; tests install a scripted stand-in so that no real dialog
// ever blocks a test run.
class Desktop {
public:
    // The result of the save dialog: the typed path and the 1-based filter
    // position that was selected when the user confirmed.
    struct SaveChoice {
        QString path;
        int filterIndex = 1;
    };

    // The icon of a message box: warning for what the program refuses to
    // do, critical for what failed.
    enum class Severity { Information, Warning, Critical };

    virtual ~Desktop();

    // A message box with one OK button and the icon of `severity`; `details`,
    // when there are any, say more (why a file was refused) and are shown on
    // request, so the text itself stays short.
    virtual void message(const QString& text, Severity severity, const QString& details) = 0;
    void message(const QString& text, Severity severity) { message(text, severity, QString()); }
    void information(const QString& text) { message(text, Severity::Information); }
    void warning(const QString& text, const QString& details = QString()) {
        message(text, Severity::Warning, details);
    }
    // A warning with Yes and No; true when the user answered Yes.
    virtual bool confirm(const QString& text) = 0;
    // The default error display for a failure nobody else handled.
    virtual void showError(const QString& text) = 0;

    // The open dialog with several files allowed. The filter uses the
    // "Name(*.ext)|*.ext" form; an empty list means the user cancelled.
    virtual QStringList openFiles(const QString& filter, const QString& folder) = 0;
    // The save dialog; returns false when the user cancelled.
    virtual bool saveFile(const QString& filter, int filterIndex, const QString& folder,
                          SaveChoice& choice) = 0;
    // Runs one of the program's own dialogs modally and returns its result code.
    virtual int runModal(QWidget& dialog) = 0;

    // Hands a folder, file or web address to the desktop's default handler,
    // without waiting; false when no handler took it.
    virtual bool openUrl(const QUrl& url) = 0;
    // The same, telling the user when it fails: `what` names the place
    // ("the output folder"), and the message shows where it is, so the user
    // can open it another way.
    void openOrTell(const QUrl& url, const QString& what);

    // Delivers pending window events, so long work keeps the window alive.
    virtual void processEvents() = 0;

    virtual QDateTime now() const = 0;

    // Converts the "Name(*.ext)|*.ext|..." filter form into the ";;"-separated
    // form Qt's file dialogs take.
    static QStringList filterEntries(const QString& filter);
};
