#pragma once

#include "tests/support/QStringPrinter.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <stdexcept>
#include <string>

// Runs the event loop until `done` holds. The deadline only keeps a broken
// build from hanging the suite; it is far beyond any expected wait.
inline bool processEventsUntil(const std::function<bool()>& done)
{
    const QDeadlineTimer deadline(60'000);
    QTimer wakeUp; // lets the loop re-check `done` while no event arrives
    wakeUp.start(20);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// The child of `parent` named `name`, which must exist with type T.
template <typename T>
T& child(const QObject& parent, const char* name)
{
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        throw std::logic_error(std::string("no child ") + name + " of the expected type");
    return *found;
}
