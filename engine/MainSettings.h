#pragma once

struct AppState;
class SettingsFile;

// The main-window values that live in the process-wide state between
// start-up and close, read and written in one fixed order: the nine of the
// first version, the output format, then the silence settings, each in a
// section of its own.
class MainSettings {
public:
    static void Read(AppState& state, const SettingsFile& settings);
    static void ReadSilence(AppState& state, const SettingsFile& settings);
    // Stops at the first key the file refuses (throws `Error`).
    static void Write(const AppState& state, SettingsFile& settings);
};
