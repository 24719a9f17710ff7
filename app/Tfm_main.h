#pragma once

#include "app/AppState.h"
#include "app/SkinObjects.h"

#include <QWidget>

#include <memory>

class Desktop;
class IAudioFile2;
class IAudioFile2LameEnc;
class IAudioPlayer2;
class IAudioTransform2;
class QComboBox;
class QDialog;
class QItemSelectionModel;
class QLineEdit;
class QPlainTextEdit;
class QTreeView;
class ReportListModel;
class SettingsFile;

// The main window. It owns the process-wide state, the settings file object,
// the list models, the audio components and the skin, and hands the other
// windows what they need.
class Tfm_main : public QWidget {
    Q_OBJECT

public:
    Tfm_main(Desktop& desktop, QString settingsPath, QWidget* parent = nullptr);
    ~Tfm_main() override;

    // The windows created after the main window, in creation order.
    void setDialogs(QDialog* settingsDialog, QDialog* folderDialog, QWidget* aboutBox,
                    QDialog* tagEditor);

    AppState& state() { return state_; }
    const AppState& state() const { return state_; }
    Desktop& desktop() { return desktop_; }
    // Opened by ReadSettings on first show; shared by every dialog.
    SettingsFile* settings() { return settings_.get(); }

    // The two lists as models with their selections, shared with the views.
    ReportListModel& lvModel() { return *lvModel_; }
    ReportListModel& lvTimeModel() { return *lvTimeModel_; }
    QItemSelectionModel& lvSelection() { return *lvSelection_; }
    QItemSelectionModel& lvTimeSelection() { return *lvTimeSelection_; }
    const SkinObjects& skinObjects() const { return skinObjects_; }

    // The five audio components.
    IAudioFile2& AudioFileRead() { return *audioFileRead_; }
    IAudioFile2& AudioFile2write() { return *audioFile2write_; }
    IAudioFile2LameEnc& Mp3LameEncoder() { return *mp3LameEncoder_; }
    IAudioPlayer2& AudioPlayer21() { return *audioPlayer21_; }
    IAudioTransform2& AudioTransform21() { return *audioTransform21_; }

    // Components under their form names.
    QTreeView* lv = nullptr;
    QTreeView* lv_time = nullptr;
    QPlainTextEdit* sm = nullptr;
    QLineEdit* edt_dir = nullptr;
    QComboBox* cb_format = nullptr;

    void ReadSettings();
    void WriteSettings();
    void FormShow();
    void FormCloseQuery();
    void StopRun();
    // Adopts the selected file row (segment list, slider, captions).
    void lvClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    Desktop& desktop_;
    QString settingsPath_;
    AppState state_;
    std::unique_ptr<SettingsFile> settings_;
    bool shown_ = false;

    ReportListModel* lvModel_ = nullptr;
    ReportListModel* lvTimeModel_ = nullptr;
    QItemSelectionModel* lvSelection_ = nullptr;
    QItemSelectionModel* lvTimeSelection_ = nullptr;
    SkinObjects skinObjects_;

    std::unique_ptr<IAudioFile2> audioFileRead_;
    std::unique_ptr<IAudioFile2> audioFile2write_;
    std::unique_ptr<IAudioFile2LameEnc> mp3LameEncoder_;
    std::unique_ptr<IAudioPlayer2> audioPlayer21_;
    std::unique_ptr<IAudioTransform2> audioTransform21_;

    QDialog* settingsDialog_ = nullptr;
    QDialog* folderDialog_ = nullptr;
    QWidget* aboutBox_ = nullptr;
    QDialog* tagEditor_ = nullptr;
};
