#pragma once

#include "serialport/windows/Win32Api.h"

#include <atomic>
#include <mutex>

// What one open of a port holds: the device, the events of its overlapped
// waits, reads and writes, and in asynchronous mode its event thread. The
// backend and the event thread share it, so that a thread which outlives
// closePort (a driver that never completes a wait) or its whole backend
// still finds everything it uses; the last owner closes the handles.
struct PortSession
{
    explicit PortSession(HANDLE device);
    ~PortSession();

    PortSession(const PortSession&) = delete;
    PortSession& operator=(const PortSession&) = delete;

    // One overlapped read or write of the device, waited for until it
    // completes or the device's time-outs end it. Returns the bytes moved, or
    // -1 if the call failed at once; `error` tells how it ended. The caller
    // holds the backend's lock, so that one of each runs at a time.
    int read(void* buffer, DWORD size, DWORD& error);
    int write(const void* data, DWORD size, DWORD& error);

    // Closes the device at once. Only when nothing can be using it: the
    // backend's lock held, and the event thread ended or the caller itself.
    void closeDevice();

    HANDLE device;
    OVERLAPPED waitOverlapped{};
    OVERLAPPED readOverlapped{};
    OVERLAPPED writeOverlapped{};
    HANDLE thread = INVALID_HANDLE_VALUE;
    // The most bytes the driver holds for reading (0: not known).
    DWORD inputQueueSize = 0;
    // Cleared once, when the port is closed or lost: the event thread then
    // ends without touching the backend again.
    std::atomic<bool> running{false};
    // Held by the event thread while it works on the backend, from the end
    // of a wait to the start of the next. Whoever frees the backend takes it
    // first, so no thread is working on a backend that is gone.
    std::recursive_mutex turn;
};
