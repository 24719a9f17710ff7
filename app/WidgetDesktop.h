#pragma once

#include "platform/Desktop.h"
#include "platform/EventPump.h"

#include <QPointer>

class QWidget;

// The real desktop: Qt's message boxes and file dialogs, the desktop's default
// handlers for folders and web pages, the real clock.
class WidgetDesktop : public Desktop {
public:
    // Dialogs open over `parent` once it is set.
    void setParentWindow(QWidget* parent) { parent_ = parent; }

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

private:
    QPointer<QWidget> parent_;
    EventPump pump_;
};
