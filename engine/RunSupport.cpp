#include "engine/RunSupport.h"

#include "core/AppState.h"
#include "engine/RunContext.h"
#include "engine/RunControl.h"
#include "engine/RunHost.h"
#include "engine/RunOutcome.h"
#include "engine/RunRequest.h"
#include "engine/audio/IAudioFile2.h"
#include "platform/Desktop.h"
#include "platform/Error.h"

#include <QUrl>

#include <algorithm>
#include <utility>

void RunSupport::StopRun(AppState& state, RunControl& control, RunHost& host) {
    state.Busy = false;
    control.Stop();
    // A run that failed left its piece being written and its percentage on
    // screen; a run still going marks its piece itself once it notices.
    ResetProgress(host);
    host.RunStopped();
}

RunOutcome RunSupport::Carry(RunContext& context,
                             const std::function<RunOutcome(RunRequest)>& run) {
    RunRequest request =
        RunRequest::Of(context.state, context.host, context.settings, context.overviews);
    if (request.files() <= 0)
        return {};
    context.state.Busy = true;
    context.control.Reset();
    RunOutcome outcome = context.host.Execute([&] { return run(std::move(request)); });
    if (!outcome.failure)
        context.state.Busy = false;
    return outcome;
}

void RunSupport::OpenOutputFolder(Desktop& desktop, const QString& outputDir) {
    desktop.openOrTell(QUrl::fromLocalFile(outputDir), QStringLiteral("the output folder"));
}

void RunSupport::CloseQuietly(IAudioFile2& component) {
    try {
        if (component.IsOpen())
            component.Close();
    } catch (...) {
        // The first failure is the one the user sees.
    }
}

void RunSupport::ResetProgress(RunHost& host) {
    host.SetRunText(QString());
    host.SetRunProgress(0);
}

void RunSupport::RequireEnd(IAudioFile2& reader, const QString& file, qint64 position) {
    const qint64 frames = reader.SampleCount();
    if (position >= frames)
        return;
    const qint64 second = position / std::max(reader.SampleRate(), 1);
    throw Error(QStringLiteral("Cannot read %1 at second %2: the audio stopped before the end "
                               "of the file; it may have been changed or damaged")
                    .arg(file)
                    .arg(second));
}

QString RunSupport::ReasonOf(std::exception_ptr error) {
    try {
        std::rethrow_exception(std::move(error));
    } catch (const Error& e) {
        return e.message();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
    }
    return {};
}

void RunSupport::Present(const RunOutcome& outcome, Desktop& desktop) {
    for (const RunOutcome::Message& message : outcome.messages) {
        if (message.kind == RunOutcome::Message::Kind::Information)
            desktop.information(message.text);
        else
            desktop.warning(message.text);
    }
    if (outcome.failure)
        std::rethrow_exception(outcome.failure);
}
