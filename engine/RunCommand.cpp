#include "engine/RunCommand.h"

#include "core/AppState.h"
#include "engine/PendingOutput.h"
#include "engine/PiecePlan.h"
#include "engine/RunHost.h"
#include "engine/RunOutcome.h"
#include "engine/RunSteps.h"
#include "engine/RunSupport.h"
#include "platform/Desktop.h"
#include "platform/Error.h"

#include <QFileInfo>

#include <exception>

const QString RunCommand::StopHint = QStringLiteral("\n\nClick \"Stop\" to end the conversion.");

RunCommand::RunCommand(AppState& state, RunHost& host, Desktop& desktop, RunSteps& steps,
                       RunControl& control)
    : state_(state), host_(host), desktop_(desktop), steps_(steps), control_(control) {}

template <typename F> void RunCommand::withStopHint(F&& run) {
    try {
        run();
    } catch (const Error& e) {
        if (!state_.Busy || stopHint_.isEmpty())
            throw;
        throw Error(e.message() + stopHint_);
    } catch (const std::exception& e) {
        if (!state_.Busy || stopHint_.isEmpty())
            throw;
        throw Error(QString::fromLocal8Bit(e.what()) + stopHint_);
    }
}

void RunCommand::Split(bool openFolder) {
    if (state_.Busy || state_.JobList.empty())
        return;
    if (state_.Playing)
        steps_.StopPlayback();
    // The folder the run writes to, whatever is typed meanwhile.
    const QString folder = state_.OutputDir;
    withStopHint([this] {
        if (const auto mode = PiecePlan::ModeOf(state_.FunctionChoice))
            steps_.RunSplit(*mode);
    });
    syncOutputs();
    steps_.RunEnded();
    if (openFolder)
        RunSupport::OpenOutputFolder(desktop_, folder);
}

void RunCommand::Join(bool openFolder) {
    if (state_.Busy)
        return;
    if (state_.Playing)
        steps_.StopPlayback();
    if (!steps_.ChooseJoinOutput())
        return;
    const QString folder = state_.OutputDir;
    withStopHint([this] {
        if (const auto mode = PiecePlan::ModeOf(state_.FunctionChoice))
            steps_.RunJoin(*mode);
    });
    state_.Busy = false;
    syncOutputs();
    steps_.RunEnded();
    if (!openFolder)
        return;
    // The join may have been saved outside the output folder.
    const QString joined = steps_.JoinedFile();
    if (joined.isEmpty())
        RunSupport::OpenOutputFolder(desktop_, folder);
    else
        RunSupport::OpenOutputFolder(desktop_, QFileInfo(joined).absolutePath() + QLatin1Char('/'));
}

void RunCommand::Stop() {
    if (state_.Playing)
        steps_.StopPlayback();
    if (state_.Busy)
        RunSupport::StopRun(state_, control_, host_);
}

void RunCommand::syncOutputs() {
    // Outputs on a drive one unplugs are complete only once they are on it;
    // a drive that refuses them is told, not taken for success. A slow one
    // takes a while: the wait goes where the run went, off the window's
    // thread, with every other command held off as during the run.
    QStringList failures;
    const bool busy = state_.Busy;
    state_.Busy = true;
    host_.Execute([&failures] {
        failures = PendingOutput::SyncCompleted();
        return RunOutcome();
    });
    state_.Busy = busy;
    for (const QString& failure : failures)
        desktop_.warning(failure);
}
