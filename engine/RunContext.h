#pragma once

class Desktop;
class IAudioFile2;
class IAudioFile2LameEnc;
class IAudioTransform2;
class RunHost;
class SettingsFile;
struct AppState;
class WaveformBuilder;

// Everything a split or join run works on besides its request: the job
// model's state (the run's options and the `Busy` flag Stop clears), the
// audio components, the settings file, the desktop services and the front
// end behind `host`. The main window owns all of them; a run only borrows
// them for its duration.
struct RunContext {
    AppState& state;
    IAudioFile2& reader;
    IAudioFile2& writer;
    IAudioFile2LameEnc& encoder;
    IAudioTransform2& transform;
    const SettingsFile& settings;
    Desktop& desktop;
    RunHost& host;
    // The window's overviews of the listed files, so cutting at silences
    // need not decode a file again; without it each file is scanned.
    WaveformBuilder* overviews = nullptr;
};
