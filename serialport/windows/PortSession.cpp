#include "serialport/windows/PortSession.h"

#include "serialport/TextField.h"

namespace {

// How often lockOutWriters cancels again a write that keeps the write lock:
// one may have begun just after a cancel.
constexpr auto kCancelRetry = std::chrono::milliseconds(10);

void resetForNextCall(OVERLAPPED& overlapped)
{
    overlapped.Internal = 0;
    overlapped.InternalHigh = 0;
    overlapped.Offset = 0;
    overlapped.OffsetHigh = 0;
}

// Reads return at once with what the driver holds; writes may take `writeMs`.
COMMTIMEOUTS timeoutsWithWriteLimit(DWORD writeMs)
{
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutConstant = writeMs;
    return timeouts;
}

} // namespace

PortSession::PortSession(HANDLE openedDevice, bool overlappedIo, const char* nameOfPort,
                         std::shared_ptr<ListenerGate> listenerGate, unsigned int gateGeneration)
    : device(openedDevice), overlapped(overlappedIo), gate(std::move(listenerGate)), generation(gateGeneration),
      stopEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    copyTextField(portName, nameOfPort);
    for (OVERLAPPED* each : {&waitOverlapped, &readOverlapped, &writeOverlapped_})
        each->hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    COMMTIMEOUTS timeouts = timeoutsWithWriteLimit(writeTimeoutMs_);
    SetCommTimeouts(device, &timeouts);
}

PortSession::~PortSession()
{
    closeDevice();
    for (OVERLAPPED* each : {&waitOverlapped, &readOverlapped, &writeOverlapped_})
        CloseHandle(each->hEvent);
    CloseHandle(stopEvent_);
    if (thread != INVALID_HANDLE_VALUE)
        CloseHandle(thread);
}

int PortSession::read(void* buffer, DWORD size, DWORD& error)
{
    DWORD count = 0;
    BOOL done;
    if (overlapped) {
        resetForNextCall(readOverlapped);
        done = ReadFile(device, buffer, size, &count, &readOverlapped);
        if (!done && GetLastError() == ERROR_IO_PENDING)
            done = GetOverlappedResult(device, &readOverlapped, &count, TRUE);
        else if (!done)
            count = 0;
    } else {
        done = ReadFile(device, buffer, size, &count, nullptr);
    }
    error = done ? ERROR_SUCCESS : GetLastError();
    return done || count > 0 ? static_cast<int>(count) : -1;
}

int PortSession::write(const void* data, DWORD size, DWORD timeoutMs, DWORD& error)
{
    {
        std::unique_lock<std::mutex> guard(writeMutex_);
        writeEnded_.wait(guard, [this] { return !writing_ || !running; });
        if (!running) {
            error = ERROR_OPERATION_ABORTED;
            return -1;
        }
        writing_ = true;
    }
    const int count = writeAlone(data, size, timeoutMs, error);
    std::lock_guard<std::mutex> guard(writeMutex_);
    writing_ = false;
    writeEnded_.notify_all();
    return count;
}

int PortSession::writeAlone(const void* data, DWORD size, DWORD timeoutMs, DWORD& error)
{
    if (timeoutMs != writeTimeoutMs_) {
        COMMTIMEOUTS timeouts = timeoutsWithWriteLimit(timeoutMs);
        SetCommTimeouts(device, &timeouts);
        writeTimeoutMs_ = timeoutMs;
    }
    DWORD count = 0;
    if (!overlapped) {
        const BOOL done = WriteFile(device, data, size, &count, nullptr);
        error = done ? ERROR_SUCCESS : GetLastError();
        return done || count > 0 ? static_cast<int>(count) : -1;
    }
    resetForNextCall(writeOverlapped_);
    if (WriteFile(device, data, size, &count, &writeOverlapped_)) {
        error = ERROR_SUCCESS;
        return static_cast<int>(count);
    }
    error = GetLastError();
    if (error != ERROR_IO_PENDING)
        return -1;
    // A driver that ignores write time-outs is held to the limit here.
    const bool late = WaitForSingleObject(writeOverlapped_.hEvent, timeoutMs) == WAIT_TIMEOUT;
    if (late)
        CancelIoEx(device, &writeOverlapped_);
    error = GetOverlappedResult(device, &writeOverlapped_, &count, TRUE) ? ERROR_SUCCESS : GetLastError();
    if (late && error == ERROR_OPERATION_ABORTED)
        error = ERROR_TIMEOUT;
    return static_cast<int>(count);
}

bool PortSession::readQueuedCount(DWORD& queued)
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(device, &errors, &status))
        return false;
    queued = status.cbInQue;
    return true;
}

void PortSession::stop()
{
    if (!running.exchange(false))
        return;
    SetEvent(stopEvent_);
    // The empty mask completes a pending wait; purging and cancelling cover
    // drivers that ignore it, and end pending reads and writes.
    SetCommMask(device, 0);
    PurgeComm(device, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    CancelIoEx(device, nullptr);
}

void PortSession::reportDeviceFailure()
{
    deviceFailed = true;
    // The empty mask stays: a wait that has not begun yet fails at once.
    SetCommMask(device, 0);
    CancelIoEx(device, &waitOverlapped);
}

bool PortSession::pause(DWORD milliseconds)
{
    return WaitForSingleObject(stopEvent_, milliseconds) == WAIT_TIMEOUT && running;
}

bool PortSession::lockOutWriters(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock<std::mutex> guard(writeMutex_);
    writeEnded_.notify_all(); // writers waiting for their turn see the session stopped
    while (!writeEnded_.wait_for(guard, kCancelRetry, [this] { return !writing_; })) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        CancelIoEx(device, nullptr);
    }
    return true;
}

void PortSession::closeDevice()
{
    if (device != INVALID_HANDLE_VALUE)
        CloseHandle(device);
    device = INVALID_HANDLE_VALUE;
    deviceOpen = false;
}
