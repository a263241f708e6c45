// Signals reach the notifier through a pipe: the handler does nothing but
// write one byte to it, which is safe in a signal handler, and a socket
// notifier on the pipe emits interrupted() on the notifier's thread.
#include "cli/InterruptNotifier.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

int wakeRead = -1;
int wakeWrite = -1;

void onSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    const ssize_t written = write(wakeWrite, &byte, 1);
    static_cast<void>(written); // a full pipe already holds a wake-up
    errno = savedErrno;
}

void handleSignalsWith(void (*handler)(int))
{
    struct sigaction action{};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : kSignals)
        sigaction(signalNumber, &action, nullptr);
}

} // namespace

struct InterruptNotifier::Platform
{
    QSocketNotifier wake{wakeRead, QSocketNotifier::Read};
};

InterruptNotifier::InterruptNotifier(QObject* parent) : QObject(parent)
{
    int fds[2];
    if (pipe(fds) != 0)
        return; // the signals keep their default handling: the program ends at once
    for (const int fd : fds) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(fd, F_SETFL, O_NONBLOCK);
    }
    wakeRead = fds[0];
    wakeWrite = fds[1];
    platform_ = std::make_unique<Platform>();
    connect(&platform_->wake, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (read(wakeRead, bytes, sizeof bytes) > 0) {
        }
        emit interrupted();
    });
    handleSignalsWith(onSignal);
}

InterruptNotifier::~InterruptNotifier()
{
    if (wakeRead < 0)
        return;
    handleSignalsWith(SIG_DFL);
    platform_.reset();
    close(wakeRead);
    close(wakeWrite);
    wakeRead = wakeWrite = -1;
}
