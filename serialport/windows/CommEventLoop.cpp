// How the event thread tells a device that went away from one that is only
// slow to answer. Drivers report a removed device with many different codes,
// so the loop goes by what the device still does, not by the code:
// - a failed read (CommEventHandler::receiveQueuedBytes) ends the port,
//   unless it was cancelled or timed out (DeviceErrors.h);
// - a failed wait is followed by a status check (ClearCommError). A device
//   that cannot tell its status is gone; but a wait that was cancelled
//   (ERROR_OPERATION_ABORTED: standby and resume cause it, and some drivers
//   let the status check fail meanwhile) counts as a loss only after
//   kFailedChecksForLoss in a row;
// - a write that fails on another thread wakes the loop (reportDeviceFailure).
// Failed waits are followed by a pause, doubled after each further failure
// in a row, so that a driver whose waits keep failing (wine on a pty) does
// not make the loop spin; the pause ends at once when the port closes.
#include "serialport/windows/CommEventLoop.h"

#include "serialport/windows/DeviceErrors.h"

#include <algorithm>

namespace {

class FailedWaits
{
public:
    static constexpr int kFailedChecksForLoss = 5;
    static constexpr DWORD kFirstPauseMs = 50;
    static constexpr DWORD kLongestPauseMs = 400;

    void waitSucceeded()
    {
        pauseMs_ = kFirstPauseMs;
        failedChecks_ = 0;
    }

    // After a failed wait and its status check: whether the device is gone.
    bool showDeviceGone(DWORD waitError, bool statusRead)
    {
        if (statusRead) {
            failedChecks_ = 0;
            return false;
        }
        return waitError != ERROR_OPERATION_ABORTED || ++failedChecks_ >= kFailedChecksForLoss;
    }

    DWORD nextPauseMs()
    {
        const DWORD pauseMs = pauseMs_;
        pauseMs_ = std::min(2 * pauseMs_, kLongestPauseMs);
        return pauseMs;
    }

private:
    DWORD pauseMs_ = kFirstPauseMs;
    int failedChecks_ = 0;
};

// Waits for the next comm event; ERROR_SUCCESS with the events, or why not.
DWORD waitForCommEvent(PortSession& session, DWORD& events)
{
    events = 0;
    if (WaitCommEvent(session.device, &events, &session.waitOverlapped))
        return ERROR_SUCCESS;
    if (GetLastError() != ERROR_IO_PENDING)
        return GetLastError();
    DWORD unused = 0;
    return GetOverlappedResult(session.device, &session.waitOverlapped, &unused, TRUE) ? ERROR_SUCCESS
                                                                                         : GetLastError();
}

} // namespace

void runCommEventLoop(const std::shared_ptr<PortSession>& session, CommEventHandler& port)
{
    FailedWaits failedWaits;
    while (session->running) {
        DWORD events = 0;
        const DWORD waitError = session->deviceFailed ? ERROR_SUCCESS : waitForCommEvent(*session, events);
        if (!session->running)
            return;
        bool lost = session->deviceFailed;
        if (!lost && waitError == ERROR_SUCCESS) {
            failedWaits.waitSucceeded();
        } else if (!lost) {
            DWORD queued = 0;
            const bool statusRead = session->readQueuedCount(queued);
            lost = failedWaits.showDeviceGone(waitError, statusRead);
            if (!lost) {
                if (!session->pause(failedWaits.nextPauseMs()))
                    return;
                // Where waits keep failing, bytes are still read once per pause.
                if (!statusRead || queued == 0)
                    continue;
                events = EV_RXCHAR;
            }
        }
        std::lock_guard<std::recursive_mutex> turn(session->turn);
        if (!session->running)
            return;
        if (!lost && (events & EV_RXCHAR))
            lost = meansDeviceGone(port.receiveQueuedBytes(*session));
        if (lost) {
            port.endLostPort(session);
            return;
        }
    }
}
