#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

struct AppState;

// Files named outside the dialogs (the command line, another copy of the
// program, a drop) on their way into the file list. They are never added in
// the middle of a command: a run, an add or a dialog in progress, or a run
// that still holds `Busy`, makes them wait until it is over.
class FileIntake : public QObject {
    Q_OBJECT

public:
    using AddFiles = std::function<void(const QStringList& paths)>;

    FileIntake(const AppState& state, AddFiles add, QObject* parent = nullptr);

    // Keeps the files and adds them from the event loop as soon as allowed.
    void offer(const QStringList& paths);
    bool waiting() const { return !pending_.isEmpty(); }
    const QStringList& pending() const { return pending_; }

    // Marks the span of one command; files offered meanwhile wait for its end.
    class CommandScope {
    public:
        explicit CommandScope(FileIntake* intake);
        ~CommandScope();
        CommandScope(const CommandScope&) = delete;
        CommandScope& operator=(const CommandScope&) = delete;

    private:
        FileIntake* intake_;
    };

private:
    void schedule();
    void deliver();

    const AppState& state_;
    AddFiles add_;
    QStringList pending_;
    int commandDepth_ = 0;
    bool scheduled_ = false;
};
