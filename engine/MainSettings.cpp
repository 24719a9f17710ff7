#include "engine/MainSettings.h"

#include "core/AppState.h"
#include "settings/SettingsFile.h"

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
}
