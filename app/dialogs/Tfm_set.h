#pragma once

#include "app/dialogs/DialogContext.h"
#include "engine/OutputFormats.h"

#include <QDialog>
#include <QString>

#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;
class RadioGroup;
class SettingsFile;

// The settings dialog: the function choice, the split values and the fades,
// which it hands to the main window's state, and every encoder setting, which
// it saves to the settings file on Ok. Created once, hidden between showings;
// each showing reloads every control.
class Tfm_set : public QDialog {
    Q_OBJECT

public:
    explicit Tfm_set(DialogContext context);

    // The page tree's nodes by absolute index, the pages and their titles:
    // the dialog's own, and one for every output format that brings its
    // settings' fields along.
    static const int PageCount;
    static const QString OggNotSupported;
    // What copying OGG pieces means, under its check box.
    static const QString OggCopyExplanation;
    // Why the box went off when a setting above it was changed.
    static const QString OggCopyOffExplanation;
    static const QString Mp3NotSupported;

    // Components under their form names.
    QTreeWidget* TreeView1 = nullptr;
    QLabel* lab = nullptr;
    QPushButton* Ok = nullptr;
    QPushButton* Button2 = nullptr; // "Default"
    QPushButton* Cancel = nullptr;

    QGroupBox* gb_cdgeneral = nullptr;
    QRadioButton* rb_custom = nullptr;
    QRadioButton* rb_time = nullptr;
    QRadioButton* rb_count = nullptr;
    QRadioButton* rb_unification = nullptr;
    QRadioButton* rb_silence = nullptr;
    QLineEdit* edt_time = nullptr;
    QLineEdit* edt_count = nullptr;
    QCheckBox* cb_fadein = nullptr;
    QCheckBox* cb_fadeout = nullptr;
    QComboBox* cb_fadeintime = nullptr;
    QComboBox* cb_fadeouttime = nullptr;
    QSpinBox* ud_workers = nullptr; // 0: one for every core
    QCheckBox* cb_replaygain = nullptr;
    QLineEdit* edt_piecenames = nullptr; // empty: the default template

    QGroupBox* gb_mp3general = nullptr;
    QComboBox* cb_mp3_frequency = nullptr;
    QComboBox* cb_mp3_channel = nullptr;
    QComboBox* cb_mp3_bitrate = nullptr;
    QSpinBox* ud_mp3_quality = nullptr;
    QLineEdit* edt_mp3_quality = nullptr; // the up-down's text field

    QGroupBox* gb_mp3vbr = nullptr;
    QComboBox* cb_mp3vbrcm = nullptr;
    QComboBox* cb_mp3_vbr = nullptr;
    QSpinBox* ud_mp3_vbr = nullptr;
    QLineEdit* edt_mp3_vbr = nullptr;
    QCheckBox* ck_mp3_VBR = nullptr;
    QCheckBox* ck_mp3_semb = nullptr;

    QGroupBox* gb_filter = nullptr;
    QCheckBox* chHFilt = nullptr;
    QSpinBox* udHFiltF = nullptr;
    QLabel* lb_HFiltW = nullptr;
    QSpinBox* udHFiltW = nullptr;
    QCheckBox* chLFilt = nullptr;
    QSpinBox* udLFiltF = nullptr;
    QLabel* lb_LFiltW = nullptr;
    QSpinBox* udLFiltW = nullptr;

    QGroupBox* gb_expert = nullptr;
    QCheckBox* ck_crc = nullptr;
    QCheckBox* ck_comply = nullptr;
    QCheckBox* ck_allow = nullptr;
    QCheckBox* ck_short = nullptr;
    QCheckBox* ck_bit = nullptr;
    QComboBox* cb_ath = nullptr;
    QComboBox* cb_de = nullptr;

    QGroupBox* gb_presets = nullptr;
    QCheckBox* ck_preset = nullptr;
    RadioGroup* rg_prest = nullptr;
    QCheckBox* ck_alt = nullptr;
    RadioGroup* rg_alt = nullptr;

    QGroupBox* gb_command = nullptr;
    QPlainTextEdit* txtCommLine = nullptr;

    QGroupBox* gb_wav = nullptr;
    RadioGroup* rb_cdmode = nullptr;
    QComboBox* cb_wav_frequency = nullptr;
    QComboBox* cb_wav_bit = nullptr;
    QComboBox* cb_wav_channel = nullptr;

    QGroupBox* gb_wma = nullptr;
    QComboBox* cb_wma = nullptr; // the one list that also takes typing

    QGroupBox* gb_ogg = nullptr;
    QComboBox* cb_ogg_fre = nullptr;
    QComboBox* cb_ogg_channel = nullptr;
    QComboBox* cb_ogg_bitrate = nullptr;
    QCheckBox* ck_oggvbr = nullptr;
    QCheckBox* ck_oggquality = nullptr;
    QComboBox* cb_ogg_minbit = nullptr;
    QComboBox* cb_ogg_maxbit = nullptr;
    QSpinBox* ud_ogg_quality = nullptr;
    QLineEdit* edt_ogg_quality = nullptr;
    QCheckBox* ck_oggcopy = nullptr;
    QLabel* lb_oggcopy = nullptr;

    // Controls of pages built from their format's fields (OutputFormats),
    // found by their names once built.
    QGroupBox* gb_flac = nullptr;
    QSpinBox* ud_flac_level = nullptr; // 0 fastest .. 8 smallest
    QGroupBox* gb_opus = nullptr;
    QSpinBox* ud_opus_bitrate = nullptr; // kbps
    QSpinBox* ud_opus_complexity = nullptr;
    QComboBox* cb_opus_application = nullptr;
    QLabel* lb_opus_rate = nullptr;

    QGroupBox* gb_silence = nullptr;
    QSpinBox* ud_threshold = nullptr;        // dBFS
    QDoubleSpinBox* ud_minsilence = nullptr; // seconds
    QSpinBox* ud_minpiece = nullptr;         // seconds
    QCheckBox* ck_snap = nullptr;
    QSpinBox* ud_snap = nullptr; // seconds either side
    QCheckBox* ck_snapmarks = nullptr;

    // The page shown for the tree node at absolute index i; other i do nothing.
    void ShowSettingsPage(int i);
    // The absolute index of a tree node (every node counted from the top,
    // children included), -1 for none.
    int nodeIndex(const QTreeWidgetItem* node) const;
    QTreeWidgetItem* node(int index) const;
    QWidget* currentPage() const;

    // Event handlers. The Click/Change handlers also run when the dialog
    // itself changes the control, so the enabled states always follow.
    void FormShow();
    void TreeView1Click();
    // Checks, then saves; throws `Error` for a field that is no valid integer
    // or a settings file that refuses a write, which stops Ok there.
    void OkClick();
    void Button2Click();
    void CancelClick();
    void rb_customClick();
    void rb_timeClick();
    void rb_countClick();
    void rb_unificationClick();
    void rb_silenceClick();
    // Digit filters: any other typed character becomes a Backspace.
    static void edt_timeKeyPress(QChar& key);
    static void edt_countKeyPress(QChar& key);
    static void edt_ogg_qualityKeyPress(QChar& key);
    // Both throw `Error` ("'%s' is not a valid integer value") for a number
    // that does not fit 32 bits.
    void edt_timeExit();
    void edt_countExit();
    void cb_mp3vbrcmChange();
    void rb_cdmodeClick();
    void chHFiltClick();
    void chLFiltClick();
    void ck_presetClick();
    void ck_altClick();
    void ck_oggvbrClick();
    void ck_oggqualityClick();
    // A setting that shapes encoded OGG pieces was changed: copying goes off,
    // or the change would not reach the pieces.
    void oggSettingChanged();

    // The WMA list position Ok saves for the typed or chosen text.
    int wmaPosition() const;
    // The page of the output format at `index` when it is built from the
    // format's fields; nullptr otherwise.
    QGroupBox* formatPage(int index) const;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildTree();
    QGroupBox* newPage(const QString& objectName);
    void buildGeneralPage();
    void buildMp3GeneralPage();
    void buildMp3VbrPage();
    void buildFilterPage();
    void buildExpertPage();
    void buildPresetsPage();
    void buildCommandPage();
    void buildWavPage();
    void buildWmaPage();
    void buildOggPage();
    // A page for each output format that brings its fields along.
    void buildFormatPages();
    void buildSilencePage();
    void loadSilenceControls();
    void saveSilenceControls();
    void buildButtons();

    // The controls of the format pages, from the file, to it, to their
    // defaults; and which of them are in use.
    void loadFormatPages(const SettingsFile& settings);
    void saveFormatPages(SettingsFile& settings);
    void defaultFormatPages();
    void updateFormatPageStates();
    void loadEncoderControls(const SettingsFile& settings);
    void saveEncoderControls(SettingsFile& settings);
    void updatePresetStates();
    void autoExpand(QTreeWidgetItem* current);
    void fixWmaText();
    void runGuarded(void (Tfm_set::*handler)());
    SettingsFile& settingsFile();

    struct FieldControl {
        SettingsField field;
        QWidget* control = nullptr;
    };
    struct FormatPage {
        int format = -1; // its position in OutputFormats
        QGroupBox* page = nullptr;
        std::vector<FieldControl> controls;
    };

    DialogContext context_;
    std::vector<FormatPage> formatPages_;
    QStackedWidget* pages_ = nullptr;
    std::vector<QTreeWidgetItem*> nodes_;
    std::vector<QWidget*> nodePages_;
    QStringList nodeTitles_;
    bool shownBefore_ = false;
    bool autoExpand_ = false;
    // Set while the dialog itself fills the controls.
    bool loading_ = false;
};
