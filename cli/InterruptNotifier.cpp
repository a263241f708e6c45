#include "cli/InterruptNotifier.h"

#include <QSocketNotifier>

#ifdef _WIN32
#include <windows.h>

#include <atomic>

namespace {

std::atomic<InterruptNotifier*> notifier{nullptr};

// Runs on a thread the system starts for the event; the notifier's signal is
// queued to its own thread.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    if (InterruptNotifier* target = notifier.load())
        QMetaObject::invokeMethod(target, &InterruptNotifier::interrupted, Qt::QueuedConnection);
    return TRUE;
}

} // namespace

InterruptNotifier::InterruptNotifier(QObject* parent) : QObject(parent)
{
    notifier = this;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

InterruptNotifier::~InterruptNotifier()
{
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    notifier = nullptr;
}

#else
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
    wake_ = std::make_unique<QSocketNotifier>(wakeRead, QSocketNotifier::Read);
    connect(wake_.get(), &QSocketNotifier::activated, this, [this] {
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
    wake_.reset();
    close(wakeRead);
    close(wakeWrite);
    wakeRead = wakeWrite = -1;
}

#endif
