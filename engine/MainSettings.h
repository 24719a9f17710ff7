#pragma once

struct AppState;
class SettingsFile;

// The nine main-window values that live in the process-wide state between
// start-up and close, read and written in one fixed order.
class MainSettings {
public:
    static void Read(AppState& state, const SettingsFile& settings);
    // Stops at the first key the file refuses (throws `Error`).
    static void Write(const AppState& state, SettingsFile& settings);
};
