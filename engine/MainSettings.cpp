#include "engine/MainSettings.h"

#include "core/AppState.h"
#include "engine/OutputFormats.h"
#include "platform/SettingsFile.h"

#include <algorithm>

void MainSettings::Read(AppState& state, const SettingsFile& settings) {
    state.FunctionChoice =
        settings.ReadInteger(QStringLiteral("Function"), QStringLiteral("Choice"), 0);
    state.OutputDir = settings.ReadString(QStringLiteral("Output"), QStringLiteral("Dir"),
                                          AppState::defaultOutputDir());
    state.SplitSeconds = settings.ReadInteger(QStringLiteral("Choice"), QStringLiteral("time"), 60);
    state.SplitCount = settings.ReadInteger(QStringLiteral("Choice"), QStringLiteral("Count"), 6);
    state.FadeIn = settings.ReadBool(QStringLiteral("Fade"), QStringLiteral("In"), false);
    state.FadeOut = settings.ReadBool(QStringLiteral("Fade"), QStringLiteral("Out"), false);
    state.FadeInSeconds = settings.ReadInteger(QStringLiteral("Fade"), QStringLiteral("Intime"), 5);
    state.FadeOutSeconds =
        settings.ReadInteger(QStringLiteral("Fade"), QStringLiteral("Outtime"), 5);
    state.SkinFlag = settings.ReadBool(QStringLiteral("RQD"), QStringLiteral("Skin"), false);
    // A position edited by hand past the list reads as MP3.
    const int format = settings.ReadInteger(QStringLiteral("Format"), QStringLiteral("Output"), 0);
    state.OutputFormat = OutputFormats::Has(format) ? format : 0;
    ReadSilence(state, settings);
}

void MainSettings::ReadSilence(AppState& state, const SettingsFile& settings) {
    const QString section = QStringLiteral("Silence");
    // Values edited by hand into nonsense fall back into range.
    state.SilenceThreshold =
        std::clamp(settings.ReadInteger(section, QStringLiteral("Threshold"), -40), -100, -1);
    state.SilenceMinimumMs =
        std::clamp(settings.ReadInteger(section, QStringLiteral("MinSilence"), 1000), 10, 600000);
    state.SilenceMinimumPiece =
        std::clamp(settings.ReadInteger(section, QStringLiteral("MinPiece"), 5), 0, 86400);
    state.SnapToSilence = settings.ReadBool(section, QStringLiteral("Snap"), false);
    state.SnapSeconds =
        std::clamp(settings.ReadInteger(section, QStringLiteral("SnapWindow"), 10), 1, 3600);
    state.SnapMarks = settings.ReadBool(section, QStringLiteral("SnapMarks"), false);
}

void MainSettings::Write(const AppState& state, SettingsFile& settings) {
    settings.WriteInteger(QStringLiteral("Function"), QStringLiteral("Choice"),
                          state.FunctionChoice);
    settings.WriteString(QStringLiteral("Output"), QStringLiteral("Dir"), state.OutputDir);
    settings.WriteInteger(QStringLiteral("Choice"), QStringLiteral("time"), state.SplitSeconds);
    settings.WriteInteger(QStringLiteral("Choice"), QStringLiteral("Count"), state.SplitCount);
    settings.WriteBool(QStringLiteral("Fade"), QStringLiteral("In"), state.FadeIn);
    settings.WriteBool(QStringLiteral("Fade"), QStringLiteral("Out"), state.FadeOut);
    settings.WriteInteger(QStringLiteral("Fade"), QStringLiteral("Intime"), state.FadeInSeconds);
    settings.WriteInteger(QStringLiteral("Fade"), QStringLiteral("Outtime"), state.FadeOutSeconds);
    settings.WriteBool(QStringLiteral("RQD"), QStringLiteral("Skin"), state.SkinFlag);
    settings.WriteInteger(QStringLiteral("Format"), QStringLiteral("Output"), state.OutputFormat);
    const QString section = QStringLiteral("Silence");
    settings.WriteInteger(section, QStringLiteral("Threshold"), state.SilenceThreshold);
    settings.WriteInteger(section, QStringLiteral("MinSilence"), state.SilenceMinimumMs);
    settings.WriteInteger(section, QStringLiteral("MinPiece"), state.SilenceMinimumPiece);
    settings.WriteBool(section, QStringLiteral("Snap"), state.SnapToSilence);
    settings.WriteInteger(section, QStringLiteral("SnapWindow"), state.SnapSeconds);
    settings.WriteBool(section, QStringLiteral("SnapMarks"), state.SnapMarks);
}
