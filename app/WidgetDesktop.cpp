#include "app/WidgetDesktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace {
QString programName() {
    return QStringLiteral("Tarnwell");
}
} // namespace

void WidgetDesktop::message(const QString& text, Severity severity, const QString& details) {
    QMessageBox::Icon icon = QMessageBox::Information;
    switch (severity) {
    case Severity::Warning:
        icon = QMessageBox::Warning;
        break;
    case Severity::Critical:
        icon = QMessageBox::Critical;
        break;
    case Severity::Information:
        break;
    }
    QMessageBox box(icon, programName(), text, QMessageBox::Ok, parent_);
    if (!details.isEmpty())
        box.setDetailedText(details);
    box.exec();
}

bool WidgetDesktop::confirm(const QString& text) {
    return QMessageBox::warning(parent_, programName(), text, QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
}

void WidgetDesktop::showError(const QString& text) {
    QMessageBox::critical(parent_, programName(), text);
}

QStringList WidgetDesktop::openFiles(const QString& filter, const QString& folder) {
    return QFileDialog::getOpenFileNames(parent_, QString(), folder,
                                         filterEntries(filter).join(QStringLiteral(";;")));
}

bool WidgetDesktop::saveFile(const QString& filter, int filterIndex, const QString& folder,
                             SaveChoice& choice) {
    const QStringList entries = filterEntries(filter);
    QString selected = entries.value(filterIndex - 1);
    // No overwrite question here: the join asks itself, after it has checked
    // that the name is not one of its own sources.
    const QString path =
        QFileDialog::getSaveFileName(parent_, QString(), folder, entries.join(QStringLiteral(";;")),
                                     &selected, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty())
        return false;
    choice.path = path;
    choice.filterIndex = static_cast<int>(entries.indexOf(selected)) + 1;
    if (choice.filterIndex < 1)
        choice.filterIndex = filterIndex;
    return true;
}

int WidgetDesktop::runModal(QWidget& dialog) {
    if (auto* d = qobject_cast<QDialog*>(&dialog))
        return d->exec();
    dialog.show();
    return 0;
}

bool WidgetDesktop::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

void WidgetDesktop::processEvents() {
    pump_.pump();
}

QDateTime WidgetDesktop::now() const {
    return QDateTime::currentDateTime();
}
