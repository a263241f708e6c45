#pragma once

#include <QObject>

#include <memory>

// Turns Ctrl-C (and SIGTERM and SIGHUP on POSIX systems; Ctrl-Break, closing the
// console, signing out and shutting down on Windows) into a signal on the
// thread that owns the notifier, so that the program can cancel its runs and
// close its ports instead of dying with them half done. One instance at a
// time; the default handling is back once it is destroyed.
//
// Windows ends the process soon after the console is closed or the session
// ends, whatever the program does. The notifier holds that end off until it
// is destroyed, for at most kEndingGraceMs (in InterruptNotifierWindows.cpp),
// below Windows' 5 s: its owner destroys it once the runs have ended and
// their record rows are written.
class InterruptNotifier final : public QObject
{
    Q_OBJECT

public:
    explicit InterruptNotifier(QObject* parent = nullptr);
    ~InterruptNotifier() override;

signals:
    void interrupted();

private:
    // How the system's notice reaches this thread: InterruptNotifierPosix.cpp,
    // InterruptNotifierWindows.cpp.
    struct Platform;
    std::unique_ptr<Platform> platform_;
};
