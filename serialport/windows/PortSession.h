#pragma once

#include "serialport/ListenerGate.h"
#include "serialport/windows/Win32Api.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

// What one open of a port holds: the device, the events of its overlapped
// waits, reads and writes, its name, and in asynchronous mode its event
// thread. The backend, the event thread and every call under way share it,
// so that a thread which outlives closePort (a driver that never completes
// a wait) or its whole backend still finds everything it uses; the last
// owner closes the handles.
struct PortSession
{
    PortSession(HANDLE openedDevice, bool overlappedIo, const char* nameOfPort,
                std::shared_ptr<ListenerGate> listenerGate, unsigned int gateGeneration);
    ~PortSession();

    PortSession(const PortSession&) = delete;
    PortSession& operator=(const PortSession&) = delete;

    // One read of what the driver holds (it returns at once). The caller
    // holds the backend's lock, so that one read runs at a time. Returns the
    // bytes read, or -1 if the call failed at once; `error` tells how it ended.
    int read(void* buffer, DWORD size, DWORD& error);

    // One write, one at a time (it waits for the one under way, never for
    // the backend's lock), ended by the driver or by this side after `timeoutMs`: then it
    // returns the bytes that went out, with success or a time-out code in
    // `error`. -1 if the call failed at once or the session is stopped.
    int write(const void* data, DWORD size, DWORD timeoutMs, DWORD& error);

    // ClearCommError's input queue count; false if the device cannot tell.
    bool readQueuedCount(DWORD& queued);

    // Once, when the port is closed or lost: the event thread then stops
    // without touching the backend again, and the session's waits, reads,
    // writes and pauses end at once.
    void stop();

    // A write found the device gone: the event thread, woken here, ends the
    // port as lost.
    void reportDeviceFailure();

    // Pauses the calling (event) thread; false, at once, if the session stops.
    bool pause(DWORD milliseconds);

    // After stop: cancels the write under way until it has ended, or the
    // deadline passed (then false: a write still uses the device). Writes
    // that come later, or wait for their turn, find the session stopped.
    bool lockOutWriters(std::chrono::steady_clock::time_point deadline);

    // Closes the device at once. Only when nothing can be using it: the
    // backend's lock held, writers locked out, and the event thread ended or
    // the caller itself.
    void closeDevice();

    HANDLE device;
    const bool overlapped; // asynchronous mode: overlapped I/O and an event thread
    char portName[256] = {}; // the name it was opened by, for the listener's calls
    const std::shared_ptr<ListenerGate> gate;
    const unsigned int generation; // the gate's, for this open
    OVERLAPPED waitOverlapped{};
    OVERLAPPED readOverlapped{};
    HANDLE thread = INVALID_HANDLE_VALUE;
    // The most bytes the driver holds for reading (0: not known).
    DWORD inputQueueSize = 0;
    std::atomic<bool> running{true};
    std::atomic<bool> deviceFailed{false};
    std::atomic<bool> deviceOpen{true}; // read by other threads than the one that closes it
    // Held by the event thread while it works on the backend, from the end
    // of a wait to the start of the next. Whoever frees the backend takes it
    // first, so no thread is working on a backend that is gone.
    std::recursive_mutex turn;

private:
    int writeAlone(const void* data, DWORD size, DWORD timeoutMs, DWORD& error);

    HANDLE stopEvent_;
    std::mutex writeMutex_; // guards writing_
    std::condition_variable writeEnded_;
    bool writing_ = false; // a write is under way; it alone uses the two below
    OVERLAPPED writeOverlapped_{};
    DWORD writeTimeoutMs_ = 0; // what the driver was last told
};
