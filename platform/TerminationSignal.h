#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (the session ending, Ctrl+C in a terminal)
// into a Qt signal on the event loop, so the program closes its main window
// the normal way and keeps the user's settings.
class TerminationSignal : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignal(QObject* parent = nullptr);
    ~TerminationSignal() override;

signals:
    void terminationRequested();

private:
    static void handle(int signal);
    void readSignal();

    QSocketNotifier* notifier_ = nullptr;
    static int fds_[2];
};
