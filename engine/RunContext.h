#pragma once

class Desktop;
class IAudioFile2;
class IAudioFile2LameEnc;
class IAudioTransform2;
class RunControl;
class RunHost;
class SettingsFile;
struct AppState;
class WaveformBuilder;

// Everything a split or join run works on besides its request: the audio
// components, the front end behind `host` and the control Stop sets. The
// main window owns all of them; a run only borrows them for its duration.
//
// The state, the settings file, the desktop and the overviews belong to the
// front end's thread: the request is read from them and the outcome shown
// through them before and after the run, never while it goes on.
struct RunContext {
    AppState& state;
    IAudioFile2& reader;
    IAudioFile2& writer;
    IAudioFile2LameEnc& encoder;
    IAudioTransform2& transform;
    const SettingsFile& settings;
    Desktop& desktop;
    RunHost& host;
    RunControl& control;
    // The window's overviews of the listed files, so cutting at silences
    // need not decode a file again; without it each file is scanned.
    WaveformBuilder* overviews = nullptr;
};
