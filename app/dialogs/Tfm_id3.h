#pragma once

#include "app/dialogs/DialogContext.h"
#include "core/AudioFileinfo.h"

#include <QDialog>
#include <QStringList>

#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

// The tag editor: reviews and changes the tags of every file in the job list.
// All edits go into a working copy of the jobs' tags; only "Ok" commits it.
class Tfm_id3 : public QDialog {
    Q_OBJECT

public:
    explicit Tfm_id3(DialogContext context);
    ~Tfm_id3() override;

    // The ID3v1 genre names with their extensions, codes 0 to 147.
    static const QStringList& GenreNames();

    // Components under their form names.
    QTreeWidget* lv_id3 = nullptr;
    QLineEdit* edt_tatal = nullptr;
    QLineEdit* edt_art = nullptr;
    QLineEdit* edt_alb = nullptr;
    QLineEdit* edt_year = nullptr;
    QComboBox* edt_genre = nullptr;
    QPlainTextEdit* edt_com = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button5 = nullptr;
    QPushButton* Button6 = nullptr;
    QPushButton* Button7 = nullptr;
    QPushButton* btn_ok = nullptr;
    QPushButton* btn_cancel = nullptr;

    const std::vector<AudioFileinfo>& TagEditCopy() const { return tagEditCopy_; }
    int TagEditIndex() const { return tagEditIndex_; }
    // The selected row of lv_id3, or -1.
    int selectedRow() const;

    void FormShow();
    void lv_id3Click();
    void edt_tatalChange();
    void edt_tatalExit();
    void edt_artChange();
    void edt_artExit();
    void edt_albChange();
    void edt_albExit();
    void edt_yearChange();
    void edt_yearExit();
    void ComboBox1Change();
    void edt_comChange();
    void edt_comExit();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void btn_okClick();
    void btn_cancelClick();
    void FormCloseQuery();
    void SizeFileColumn();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using Field = QString AudioFileinfo::*;

    void buildControls();
    void placeOverMainWindow();
    void fillFromJobList();
    void selectRow(int row);
    void loadFromTagList(int row);
    void loadFromCopy(int row);
    void clearControls();
    void store(Field field, const QString& text);
    void storeAll(Field field, const QString& text);
    QString genreText() const;
    QString commentText() const;

    DialogContext context_;
    std::vector<AudioFileinfo> tagEditCopy_;
    int tagEditIndex_ = 0;
    bool shownBefore_ = false;
    // Set while the dialog fills its own list, so selection changes made by
    // the program do not load the controls from a copy not yet made.
    bool filling_ = false;
};
