#pragma once

#include "app/SkinObjects.h"
#include "app/skin/ISkinElement.h"
#include "app/skin/ISkinText.h"
#include "core/AppState.h"
#include "core/ReportListModel.h"
#include "core/SegmentList.h"
#include "engine/ModelRunHost.h"
#include "engine/RunContext.h"
#include "engine/RunProgress.h"
#include "engine/audio/AudioFile2.h"
#include "engine/audio/AudioFile2LameEnc.h"
#include "engine/audio/AudioTransform2.h"
#include "settings/SettingsFile.h"
#include "tests/support/FfmpegDecoder.h"
#include "tests/support/ListModels.h"
#include "tests/support/OggFixture.h"
#include "tests/support/ScriptedDesktop.h"

#include <QItemSelectionModel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <utility>

// Skin objects that remember what the runs showed.
class RecordingText : public ISkinText {
public:
    QStringList texts;
    void SetText(const QString& text) override { texts.append(text); }
    QString last() const { return texts.isEmpty() ? QString() : texts.last(); }
};

class RecordingElement : public ISkinElement {
public:
    SkinRect rect{12, 340, 513, 348};
    int refreshes = 0;
    SkinRect GetRect() const override { return rect; }
    void SetRect(const SkinRect& r) override { rect = r; }
    void Refresh() override { ++refreshes; }
};

// A model host whose event pump can act, as a click on Stop would.
class PumpingHost : public ModelRunHost {
public:
    using ModelRunHost::ModelRunHost;
    std::function<void()> onPump;
    int focusCount = 0;
    void processEvents() override {
        ModelRunHost::processEvents();
        if (onPump)
            onPump();
    }
    void focusFileList() override { ++focusCount; }
};

// The job model, the lists, real audio components and a scripted desktop,
// wired the way the main window wires them, with sources in src/ and the
// output folder out/.
class RunFixture : public ::testing::Test, protected ListModels {
protected:
    RunFixture();

    // Writes an Ogg source and adds it as the next file row, measured as the
    // job list measures it: one working segment over the whole file.
    QString addFile(const QString& name, const OggFixture& fixture);
    // Replaces a file's segments: confirmed ranges, then the working segment.
    void setSegments(int file, std::initializer_list<std::pair<int, int>> confirmed,
                     std::pair<int, int> working);
    void setFormat(int index) { host.setFormatIndex(index); }

    QString out(const QString& name) const { return outDir + name; }
    // Every file in the output folder, hidden ones too: an output still
    // being written (or left unfinished) would show.
    QStringList outputs() const;
    DecodedAudio decode(const QString& name) const { return decodeWithFfmpeg(out(name)); }
    QString status(int row) const { return lvTime.text(row, 2); }

    // The gain of a decoded fixture tone of `amplitude` around second t
    // (RMS over a 20 ms window, left channel).
    static double gainAt(const DecodedAudio& audio, double t, float amplitude = 0.5f);

    QTemporaryDir dir;
    QString srcDir;
    QString outDir;

    AppState state;
    RecordingText pbposText;
    RecordingElement pbposElement;
    RecordingElement convertpb;
    SkinObjects skin;
    ScriptedDesktop desktop;
    SegmentList segments{state, lvTime};
    AudioFile2 reader;
    AudioFile2 writer;
    AudioFile2LameEnc encoder;
    AudioTransform2 transform;
    SettingsFile settings;
    RunProgress progress{&pbposText, &pbposElement, &convertpb, state.SkinFlag};
    PumpingHost host{desktop, lvSelection, progress, 1};
    RunContext context{state,   lv,        lvTime,   segments, reader, writer,
                       encoder, transform, settings, desktop,  host};
};
