#pragma once

// The real main window over a scripted desktop, its settings file and the
// real folder dialog in a temporary folder, and the ways the window tests
// drive it: files added through the open dialog, skin clicks, the lists and
// the slider.
#include "app/Tfm_main.h"
#include "app/dialogs/Tfm_dir.h"
#include "core/JobListModel.h"
#include "core/ReportListModel.h"
#include "tests/support/ScriptedDesktop.h"

#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

class ISkinScrollBar;

class MainWindowFixture : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ScriptedDesktop desktop;
    std::unique_ptr<Tfm_main> main;
    std::unique_ptr<Tfm_dir> folderDialog;

    void SetUp() override { open(); }
    void TearDown() override;

    // Opens the window over `settingsPath()` (closing one open before) with
    // the folder dialog, and shows it; with `skin`, on that skin file.
    void open(const QString& skin = {});
    // The window `open` makes; tests watching its operations make their own.
    virtual std::unique_ptr<Tfm_main> makeWindow();
    QString settingsPath() const { return dir.filePath(QStringLiteral("Velmora.ini")); }
    // Writes the settings file, as a user's earlier session left it.
    void writeSettings(const QByteArray& text);
    // An output folder "out/" in `dir`.
    QString makeOutputFolder();

    // A low-rate mono Ogg tone (silence at frequency 0) in `dir`, sub-folders
    // made as needed.
    QString ogg(const QString& name, double seconds, QStringList comments = {},
                double frequency = 0);
    void addFiles(const QStringList& paths);

    // The skin's command `name`, as its click dispatch receives it.
    void click(const char* name);
    // A left click in the middle of skin object `name`, through the mouse.
    void mouseClick(const char* name);
    QString skinText(const char* name);

    JobListModel& lv() { return main->lvModel(); }
    ReportListModel& lvTime() { return main->lvTimeModel(); }
    QString status(int row) { return lvTime().text(row, 2); }
    QStringList captions();
    QStringList segmentRows();
    QString total();
    int selectedFile();
    void selectFile(int row);
    void selectSegment(int row);

    ISkinScrollBar& pb();
    // The slider where `seconds` of a `duration`-second file lie, rounded
    // as the step buttons round.
    void placeAt(int seconds, int duration);
    // The slider's first position that shows `seconds` or later.
    void slideTo(double seconds, double duration);
    // Marks and confirms the working segment begin-end of the selected file.
    void confirmSegment(int begin, int end, int duration);
};
