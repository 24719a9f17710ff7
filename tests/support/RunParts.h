#pragma once

#include "core/AppState.h"
#include "engine/RunContext.h"
#include "engine/RunControl.h"
#include "engine/audio/AudioFile2.h"
#include "engine/audio/AudioFile2LameEnc.h"
#include "engine/audio/AudioTransform2.h"
#include "platform/SettingsFile.h"
#include "tests/support/ListModels.h"

#include <QString>

// What a split or join run works on, owned together as the main window owns
// it: the job model, the two lists, the real audio components and a settings
// file. Tests and benchmarks run without a window on these.
struct RunParts : ListModels {
    explicit RunParts(const QString& settingsPath) : settings(settingsPath) {}

    // A run over these parts reporting to `host`; `readFrom` or `writeTo`
    // stand in for the reader or the writer.
    RunContext runContext(Desktop& desktop, RunHost& host, IAudioFile2* readFrom = nullptr,
                          IAudioFile2* writeTo = nullptr) {
        return RunContext{state,
                          readFrom ? *readFrom : reader,
                          writeTo ? *writeTo : writer,
                          encoder,
                          transform,
                          settings,
                          desktop,
                          host,
                          control};
    }

    AudioFile2 reader;
    AudioFile2 writer;
    AudioFile2LameEnc encoder;
    AudioTransform2 transform;
    SettingsFile settings;
    RunControl control;
};
