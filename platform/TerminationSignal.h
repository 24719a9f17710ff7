#pragma once

#include <QObject>

#include <atomic>
#include <csignal>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (the session ending, Ctrl+C in a terminal)
// into a Qt signal on the event loop, so the program closes its main window
// the normal way and keeps the user's settings.
class TerminationSignal : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignal(QObject* parent = nullptr);
    ~TerminationSignal() override;

    // Whether a signal has come since the object was made. Work that turns
    // no event loop looks here between its steps.
    static bool Requested() { return requested_ != 0; }
    // A flag the signal also raises, at once from the handler: work on
    // another thread that looks at it stops at its next check, with no
    // event loop turning. Null for none.
    static void Raises(std::atomic<bool>* flag) { raises_.store(flag); }

signals:
    void terminationRequested();

private:
    static void handle(int signal);
    void readSignal();

    QSocketNotifier* notifier_ = nullptr;
    static int fds_[2];
    static volatile std::sig_atomic_t requested_;
    static std::atomic<std::atomic<bool>*> raises_;
    static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free &&
                  std::atomic<bool>::is_always_lock_free);
};
