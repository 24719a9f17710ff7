#pragma once

#include <QDialog>

class Desktop;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QTableWidget;
class RadioGroup;
class SheetImport;

// The import of a cue sheet, before anything is marked: the tracks it will
// cut with number, title, performer and exact times, the encoding it was
// read in with a choice of others, and where the audio before the first
// track goes. Every change reads the sheet again through the import; OK
// takes what the list shows.
class Tfm_cue : public QDialog {
    Q_OBJECT

public:
    Tfm_cue(QWidget& window, Desktop& desktop, SheetImport& import);

    static const QStringList PregapChoices;

    QLabel* lab_sheet = nullptr;
    QTableWidget* lv_tracks = nullptr;
    QComboBox* cb_encoding = nullptr;
    RadioGroup* rg_pregap = nullptr;
    QLabel* lab_warnings = nullptr;
    QDialogButtonBox* buttons = nullptr;

    // The user chose or typed an encoding.
    void cb_encodingActivated(const QString& name);
    void rg_pregapClick(int index);
    // Fills the list and the labels from the import.
    void ShowTracks();

private:
    Desktop& desktop_;
    SheetImport& import_;
};
