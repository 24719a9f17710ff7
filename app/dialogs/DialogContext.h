#pragma once

#include <QString>

#include <functional>

class Desktop;
class IAudioFile2;
class QWidget;
class JobListModel;
class SettingsFile;
struct AppState;

// What the settings, folder, About and tag-editor dialogs work on: the job
// model, the desktop services, the settings file and the few things of the
// main window they show or refresh. The window builds it; tests build their
// own. The dialogs never see the window's class.
struct DialogContext {
    // The window the dialogs belong to and are placed over.
    QWidget& window;
    AppState& state;
    Desktop& desktop;
    // The file list.
    JobListModel& lv;
    // The writer that tells which encoder formats work.
    IAudioFile2& writer;
    // The settings file when it is open, else null; openSettings opens it
    // (reading the window's settings) when it is not yet open.
    std::function<SettingsFile*()> settings;
    std::function<SettingsFile&()> openSettings;
    // The window's output folder box.
    std::function<QString()> outputFolderText;
    std::function<void(const QString&)> setOutputFolderText;
    // The window adopts the selected file again (after the settings changed)
    // or shows the total time again (after the function changed).
    std::function<void()> adoptSelectedFile;
    std::function<void()> showTotalTime;
};
