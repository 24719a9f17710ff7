#pragma once

#include "app/dialogs/DialogContext.h"
#include <QDialog>

class QGroupBox;
class QLabel;

// The About box: name, version, what the program does, and links to the web
// page and the support address. Shown modeless beside the main window.
class Tfm_about : public QDialog {
    Q_OBJECT

public:
    explicit Tfm_about(DialogContext context);
    ~Tfm_about() override;

    static const QString Version;
    static const QString SupportAddress;

    // Components under their form names.
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* lab_name = nullptr;
    QLabel* lab_version = nullptr;
    QLabel* lab_description = nullptr;
    QLabel* Label1 = nullptr; // "Website:  "
    QLabel* Label2 = nullptr; // the web address
    QLabel* Label3 = nullptr; // "E-mail:  "
    QLabel* Label4 = nullptr; // the support address

    void FormShow();
    void Label2Click();
    void Label4Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DialogContext context_;
};
