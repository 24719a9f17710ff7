#include "app/WindowRunHost.h"

#include "app/Tfm_main.h"
#include "app/WaveformPanel.h"
#include "app/skin/ISkinElement.h"
#include "app/skin/ISkinText.h"
#include "core/JobListModel.h"
#include "core/RowSelection.h"
#include "platform/Desktop.h"
#include "platform/Error.h"

#include <QComboBox>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTreeView>

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

WindowRunHost::WindowRunHost(Tfm_main& window, RunSteps* runs)
    : window_(window), runs_(runs), rows_(window.state(), window.lvTimeModel()) {}

WindowRunHost::~WindowRunHost() = default;

RunContext WindowRunHost::context() {
    if (!window_.hasAudioComponents())
        throw Error(QStringLiteral("The audio components are not available."));
    if (!window_.settings())
        throw Error(QStringLiteral("The settings file is not open."));
    return RunContext{window_.state(),
                      window_.AudioFileRead(),
                      window_.AudioFile2write(),
                      window_.Mp3LameEncoder(),
                      window_.AudioTransform21(),
                      *window_.settings(),
                      window_.desktop(),
                      *this,
                      window_.runControl(),
                      &window_.waveform().builder()};
}

namespace {

// A checkpoint's wait for the interface thread to answer.
struct Answer {
    std::mutex mutex;
    std::condition_variable given;
    bool done = false;
};

} // namespace

RunOutcome WindowRunHost::Execute(const std::function<RunOutcome()>& run) {
    abandoned_ = false;
    RunOutcome outcome;
    QEventLoop loop;
    // Both outlive this call should the loop end early: the last words of
    // the worker may then arrive after it returned.
    const QPointer<QEventLoop> waiting(&loop);
    const auto ended = std::make_shared<bool>(false);
    std::thread worker([&, waiting, ended] {
        try {
            outcome = run();
        } catch (...) {
            outcome.failure = std::current_exception();
        }
        // Queued behind everything the run told, so it is all shown first.
        QMetaObject::invokeMethod(
            &gate_,
            [waiting, ended] {
                *ended = true;
                if (waiting)
                    waiting->quit();
            },
            Qt::QueuedConnection);
    });
    if (!*ended)
        loop.exec();
    if (!*ended) {
        // The program is quitting: the run is stopped and waited for without
        // the window, which shows nothing more of it.
        window_.runControl().Stop();
        {
            const std::lock_guard lock(checkpointMutex_);
            abandoned_ = true;
        }
        checkpointAnswered_.notify_all();
    }
    worker.join();
    return outcome;
}

void WindowRunHost::Checkpoint() {
    if (QThread::currentThread() == gate_.thread()) {
        window_.desktop().processEvents();
        return;
    }
    const auto answer = std::make_shared<Answer>();
    QMetaObject::invokeMethod(
        &gate_,
        [this, answer] {
            // What is due on the window (a click on Stop) is handled
            // before the run goes on.
            window_.desktop().processEvents();
            {
                const std::lock_guard lock(checkpointMutex_);
                answer->done = true;
            }
            checkpointAnswered_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(checkpointMutex_);
    checkpointAnswered_.wait(lock, [&] { return answer->done || abandoned_; });
}

void WindowRunHost::onWindow(std::function<void()> show) {
    if (QThread::currentThread() == gate_.thread()) {
        show();
        return;
    }
    QMetaObject::invokeMethod(&gate_, std::move(show), Qt::QueuedConnection);
}

void WindowRunHost::FileStarted(int row) {
    onWindow([this, row] {
        RowSelection selection(window_.lvSelection());
        selection.select(row);
        window_.state().CurrentFile = selection.selected();
        if (window_.lv)
            window_.lv->setFocus();
    });
}

int WindowRunHost::formatIndex() const {
    return window_.cb_format ? window_.cb_format->currentIndex() : 0;
}

void WindowRunHost::setFormatIndex(int index) {
    if (window_.cb_format)
        window_.cb_format->setCurrentIndex(index);
}

void WindowRunHost::RowsPlanned(const RunRows& rows) {
    onWindow([this, rows] { rows_.ShowRunRows(rows); });
}

void WindowRunHost::PieceStarted(int /*file*/, int row, int /*rows*/, const QString& note) {
    onWindow([this, row, note] { rows_.PieceStarted(row, note); });
}

void WindowRunHost::PieceEnded(const RunOutcome::Piece& piece) {
    onWindow([this, piece] { rows_.PieceEnded(piece); });
}

void WindowRunHost::JoinEnded(const RunOutcome::Piece& /*piece*/) {
    // The join's rows were told one by one.
}

void WindowRunHost::JoinRowStarted(int row) {
    onWindow([this, row] { rows_.JoinRowStarted(row); });
}

void WindowRunHost::JoinRowEnded(int row) {
    onWindow([this, row] { rows_.JoinRowEnded(row); });
}

void WindowRunHost::RunStopped() {
    onWindow([this] { rows_.RunStopped(); });
}

void WindowRunHost::SetRunText(const QString& text) {
    onWindow([this, text] {
        const SkinObjects& skin = window_.skinObjects();
        if (skin.pbpos)
            skin.pbpos->SetText(text);
        if (skin.pbposElement)
            skin.pbposElement->Refresh();
    });
}

void WindowRunHost::SetRunProgress(int v) {
    onWindow([this, v] { window_.SetRunProgress(v); });
}

void WindowRunHost::StopPlayback() {
    window_.StopPlayback();
}

void WindowRunHost::RunSplit(PiecePlan::Mode mode) {
    runs().RunSplit(mode);
}

bool WindowRunHost::ChooseJoinOutput() {
    return runs().ChooseJoinOutput();
}

void WindowRunHost::RunJoin(PiecePlan::Mode mode) {
    runs().RunJoin(mode);
}

QString WindowRunHost::JoinedFile() const {
    if (runs_)
        return runs_->JoinedFile();
    return engine_ ? engine_->JoinedFile() : QString();
}

void WindowRunHost::RunEnded() {
    window_.ShowTotalTime();
}

RunSteps& WindowRunHost::runs() {
    if (runs_)
        return *runs_;
    if (!engine_) {
        context_.emplace(context());
        engine_.emplace(*context_);
    }
    return *engine_;
}
