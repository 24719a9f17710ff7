#include "platform/TerminationSignal.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

int TerminationSignal::fds_[2] = {-1, -1};
volatile std::sig_atomic_t TerminationSignal::requested_ = 0;
std::atomic<std::atomic<bool>*> TerminationSignal::raises_{nullptr};

TerminationSignal::TerminationSignal(QObject* parent) : QObject(parent) {
    requested_ = 0;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds_) != 0)
        return;
    notifier_ = new QSocketNotifier(fds_[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignal::readSignal);
    struct sigaction action = {};
    action.sa_handler = &TerminationSignal::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(s, &action, nullptr);
}

TerminationSignal::~TerminationSignal() {
    for (int s : {SIGTERM, SIGINT, SIGHUP})
        std::signal(s, SIG_DFL);
    for (int& fd : fds_) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void TerminationSignal::handle(int) {
    // Only async-signal-safe work here: a flag and one byte into the pipe.
    requested_ = 1;
    if (std::atomic<bool>* flag = raises_.load())
        flag->store(true);
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(fds_[0], &byte, 1);
}

void TerminationSignal::readSignal() {
    char byte = 0;
    [[maybe_unused]] const auto got = ::read(fds_[1], &byte, 1);
    emit terminationRequested();
}
