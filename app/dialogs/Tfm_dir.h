#pragma once

#include "app/dialogs/DialogContext.h"
#include <QDialog>

class QFileSystemModel;
class QPushButton;
class QTreeView;

// The folder dialog: picks the output folder ("Output Directory") or a folder
// whose Ogg files are added ("Add File Directory"), as the caller's
// FolderDialogMode says. Created once, so the tree keeps its expansion and
// selection from one showing to the next, while its folders follow the disk.
class Tfm_dir : public QDialog {
    Q_OBJECT

public:
    explicit Tfm_dir(DialogContext context);
    ~Tfm_dir() override;

    // Components under their form names.
    QTreeView* ShellTreeView1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* btn_ok = nullptr;
    QPushButton* btn_cancel = nullptr;

    // The file-system path of the selected folder, without a final "/"
    // except for the root; empty when nothing is selected.
    QString SelectedPath() const;
    // Selects (and reveals) the folder at `path`; false when the tree lacks it.
    bool SelectPath(const QString& path);

    void FormShow();
    void btn_okClick();
    void btn_cancelClick();
    void Button1Click();

    // Closing with the title-bar button counts as Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showHome();

    DialogContext context_;
    QFileSystemModel* model_ = nullptr;
    bool homeShown_ = false;
};
