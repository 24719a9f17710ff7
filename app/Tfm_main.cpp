#include "app/Tfm_main.h"

#include "app/MainSettings.h"
#include "app/ReportListModel.h"
#include "engine/audio/IAudioFile2.h"
#include "engine/audio/IAudioFile2LameEnc.h"
#include "engine/audio/IAudioPlayer2.h"
#include "engine/audio/IAudioTransform2.h"
#include "platform/Desktop.h"
#include "platform/Error.h"
#include "settings/SettingsFile.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTreeView>

Tfm_main::Tfm_main(Desktop& desktop, QString settingsPath, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      desktop_(desktop), settingsPath_(std::move(settingsPath)) {
    setObjectName(QStringLiteral("fm_main"));
    setWindowTitle(QStringLiteral("Tarnwell"));
    setFixedSize(521, 380);
    move(238, 140);

    lvModel_ = new ReportListModel({QStringLiteral("File name"), QStringLiteral("Time")}, this);
    lvTimeModel_ = new ReportListModel({QStringLiteral("Begin Time - End Time"),
                                        QStringLiteral("Length"), QStringLiteral("Status")},
                                       this);
    lvSelection_ = new QItemSelectionModel(lvModel_, this);
    lvTimeSelection_ = new QItemSelectionModel(lvTimeModel_, this);

    lv = new QTreeView(this);
    lv->setObjectName(QStringLiteral("lv"));
    lv->setModel(lvModel_);
    lv->setSelectionModel(lvSelection_);
    lv_time = new QTreeView(this);
    lv_time->setObjectName(QStringLiteral("lv_time"));
    lv_time->setModel(lvTimeModel_);
    lv_time->setSelectionModel(lvTimeSelection_);
    sm = new QPlainTextEdit(this);
    sm->setObjectName(QStringLiteral("sm"));
    edt_dir = new QLineEdit(this);
    edt_dir->setObjectName(QStringLiteral("edt_dir"));
    cb_format = new QComboBox(this);
    cb_format->setObjectName(QStringLiteral("cb_format"));
    cb_format->addItems({QStringLiteral("MP3"), QStringLiteral("WAV"), QStringLiteral("WMA"),
                         QStringLiteral("OGG")});
}

Tfm_main::~Tfm_main() = default;

void Tfm_main::setDialogs(QDialog* settingsDialog, QDialog* folderDialog, QWidget* aboutBox,
                          QDialog* tagEditor) {
    settingsDialog_ = settingsDialog;
    folderDialog_ = folderDialog;
    aboutBox_ = aboutBox;
    tagEditor_ = tagEditor;
}

void Tfm_main::ReadSettings() {
    if (!settings_)
        settings_ = std::make_unique<SettingsFile>(settingsPath_);
    MainSettings::Read(state_, *settings_);
}

void Tfm_main::WriteSettings() {
    if (!settings_)
        settings_ = std::make_unique<SettingsFile>(settingsPath_);
    MainSettings::Write(state_, *settings_);
}

void Tfm_main::FormShow() {
    ReadSettings();
    state_.CurrentSegment = 0;
    state_.Busy = false;
    state_.Playing = false;
    state_.Seeking = false;
    state_.SegmentFocus = false;
}

void Tfm_main::StopRun() {
    state_.Busy = false;
}

void Tfm_main::lvClick() {}

void Tfm_main::FormCloseQuery() {
    if (state_.Busy)
        StopRun();
    try {
        WriteSettings();
    } catch (const Error& e) {
        desktop_.showError(e.message());
    }
}

void Tfm_main::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void Tfm_main::closeEvent(QCloseEvent* event) {
    FormCloseQuery();
    event->accept();
}
