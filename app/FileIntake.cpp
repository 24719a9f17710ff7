#include "app/FileIntake.h"

#include "core/AppState.h"

#include <QTimer>

#include <utility>

FileIntake::FileIntake(const AppState& state, AddFiles add, QObject* parent)
    : QObject(parent), state_(state), add_(std::move(add)) {}

void FileIntake::offer(const QStringList& paths) {
    pending_.append(paths);
    schedule();
}

void FileIntake::schedule() {
    // Through the event loop, never from inside the caller: a drop or a
    // message from another copy must be answered before the adding starts.
    if (scheduled_ || pending_.isEmpty())
        return;
    scheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        scheduled_ = false;
        deliver();
    });
}

void FileIntake::deliver() {
    // Adding pumps events, so this may be reached inside a command; the end
    // of that command schedules the delivery again, and so does the end of
    // the command that clears `Busy` (Stop, closing a failed run).
    if (commandDepth_ > 0 || state_.Busy || pending_.isEmpty())
        return;
    const QStringList paths = std::exchange(pending_, {});
    add_(paths);
}

FileIntake::CommandScope::CommandScope(FileIntake* intake) : intake_(intake) {
    if (intake_)
        ++intake_->commandDepth_;
}

FileIntake::CommandScope::~CommandScope() {
    if (intake_ && --intake_->commandDepth_ == 0)
        intake_->schedule();
}
