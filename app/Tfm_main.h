#pragma once

#include "app/AppState.h"

#include <QWidget>

#include <memory>

class Desktop;
class QDialog;
class SettingsFile;

// The main window. It owns the process-wide state, the settings file object
// and, once the later windows exist, hands them what they need.
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

    void ReadSettings();
    void WriteSettings();
    void FormShow();
    void FormCloseQuery();
    void StopRun();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    Desktop& desktop_;
    QString settingsPath_;
    AppState state_;
    std::unique_ptr<SettingsFile> settings_;
    bool shown_ = false;

    QDialog* settingsDialog_ = nullptr;
    QDialog* folderDialog_ = nullptr;
    QWidget* aboutBox_ = nullptr;
    QDialog* tagEditor_ = nullptr;
};
