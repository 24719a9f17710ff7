#include "engine/RunOptions.h"

#include "core/AppState.h"
#include "engine/ConfigureEncoder.h"
#include "engine/OutputNames.h"
#include "engine/PieceExtras.h"
#include "engine/PieceWorkers.h"
#include "platform/Error.h"

RunOptions RunOptions::Of(const AppState& state, const SettingsFile& settings, int format) {
    RunOptions options;
    options.outputDir = state.OutputDir;
    options.cut = PiecePlan::Choices::Of(state);
    options.silenceThreshold = state.SilenceThreshold;
    options.silenceMinimumMs = state.SilenceMinimumMs;
    options.mp3CommandLine = state.Mp3CommandLine;
    // One read of the file for all of it.
    const SettingsFile snapshot = settings.Snapshot();
    options.untitledPattern = OutputNames::ChosenPattern(state.PiecePattern, snapshot, false);
    options.titledPattern = OutputNames::ChosenPattern(state.PiecePattern, snapshot, true);
    options.copy = state.OggCopy.value_or(CopyPieces(snapshot, format, state.Mp3CommandLine));
    options.replayGain = state.ReplayGain.value_or(PieceExtras::ReplayGainChosen(snapshot));
    options.workers = PieceWorkers::Allowed(snapshot);
    options.encoderSettings = std::make_shared<const SettingsFile>(snapshot);
    return options;
}

const SettingsFile& RunOptions::encoder() const {
    if (!encoderSettings)
        throw Error(QStringLiteral("The run was started without its encoder settings."));
    return *encoderSettings;
}
