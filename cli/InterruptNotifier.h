#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// Turns Ctrl-C (and SIGTERM on POSIX systems, a console close on Windows)
// into a signal on the thread that owns the notifier, so that the program can
// cancel its runs and close its ports instead of dying with them half done.
// The POSIX handler does nothing but write one byte to a pipe. One instance
// at a time; the default handling is back once it is destroyed.
class InterruptNotifier final : public QObject
{
    Q_OBJECT

public:
    explicit InterruptNotifier(QObject* parent = nullptr);
    ~InterruptNotifier() override;

signals:
    void interrupted();

private:
    std::unique_ptr<QSocketNotifier> wake_; // POSIX: the signal handler's pipe
};
