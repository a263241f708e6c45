#pragma once

#include "serialport/windows/CommEventLoop.h"
#include "serialport/windows/PortSession.h"

#include <memory>
#include <mutex>
#include <vector>

// The sessions of one port, and with them the life of its event thread.
//
// - start: openPort publishes a configured session, in asynchronous mode
//   with its event thread already running.
// - take: closePort, a loss or the destructor takes the session away; from
//   then on the port is closed, and only the taker ends the session.
// - end: the taker stops the session, waits for its event thread and its
//   writers, within kCloseWaitMs, and closes the device.
// - retire: a thread that cannot be waited for, because it is the caller
//   itself (a listener closing its port) or because it outlived the wait (a
//   driver that never completes a wait), is retired: the next open waits
//   for it, and whoever frees the backend takes its turn lock first, so that
//   it is not working on the backend then. A retired session keeps its
//   device until its thread lets go.
//
// A thread knows its own session (thread-local), so that it never waits for
// itself. The keeper's lock is never held across a wait or a device call.
class SessionKeeper
{
public:
    static constexpr DWORD kCloseWaitMs = 2000;

    // Starts the session's event thread, running runCommEventLoop with
    // `eventHandler`, unless that is null (synchronous mode), and publishes
    // the session. False if the thread cannot be started.
    bool start(const std::shared_ptr<PortSession>& session, CommEventHandler* eventHandler);

    // The open session, or null while the port is closed.
    std::shared_ptr<PortSession> current();

    // Takes the open session (`expected` only, if given) away from the port.
    std::shared_ptr<PortSession> take(const PortSession* expected = nullptr);

    // Stops a taken session and closes its device once nothing uses it: its
    // thread ended (or is the caller), its writers locked out, and no call
    // under `portLock` running.
    void end(const std::shared_ptr<PortSession>& session, std::recursive_mutex& portLock);

    // Before a new session: waits up to kCloseWaitMs for each retired thread
    // but this one. False if one that still runs holds the device of
    // `portName`, which then cannot be opened again.
    bool waitForRetired(const char* portName);

    // Before the backend goes: takes each retired thread's turn lock (a
    // listener call under way is waited for), after which it sees its
    // session stopped and ends by itself.
    void releaseRetired();

private:
    static unsigned __stdcall eventThreadMain(void* start);
    void retire(const std::shared_ptr<PortSession>& session);
    std::vector<std::shared_ptr<PortSession>> takeRetired();

    std::mutex mutex_;
    std::shared_ptr<PortSession> open_;
    std::vector<std::shared_ptr<PortSession>> retired_;
};
