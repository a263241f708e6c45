#pragma once

#include "serialport/windows/PortSession.h"

#include <memory>

// What the event thread needs from its port; the backend implements it.
class CommEventHandler
{
public:
    // Moves the bytes the driver holds into the receive buffer and tells the
    // listener. Returns ERROR_SUCCESS, or the error of the read that failed.
    virtual DWORD receiveQueuedBytes(PortSession& session) = 0;
    // The device went away: closes the port and tells the listener, unless
    // the port was closed meanwhile.
    virtual void endLostPort(const std::shared_ptr<PortSession>& session) = 0;

protected:
    ~CommEventHandler() = default;
};

// The event thread of an open asynchronous port: waits for received
// characters and hands them to the port, until the session stops or the
// device goes away. Once the session stops it does not touch the port again.
void runCommEventLoop(const std::shared_ptr<PortSession>& session, CommEventHandler& port);
