#pragma once

#include "engine/SegmentList.h"

class Desktop;
class IAudioFile2;
class IAudioFile2LameEnc;
class IAudioTransform2;
class ReportListModel;
class RunHost;
class SettingsFile;
struct AppState;
class WaveformBuilder;

// Everything a split or join run works on: the job model and its two lists,
// the segment list fillers, the audio components, the settings file, the
// desktop services and the window behind `host`. The main window owns all of
// them; a run only borrows them for its duration.
struct RunContext {
    AppState& state;
    ReportListModel& lv;
    ReportListModel& lvTime;
    SegmentList segments;
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
