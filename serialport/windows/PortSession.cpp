#include "serialport/windows/PortSession.h"

namespace {

int transferOverlapped(HANDLE device, bool writing, void* buffer, DWORD size, OVERLAPPED& overlapped, DWORD& error)
{
    overlapped.Internal = 0;
    overlapped.InternalHigh = 0;
    overlapped.Offset = 0;
    overlapped.OffsetHigh = 0;
    DWORD count = 0;
    BOOL done = writing ? WriteFile(device, buffer, size, &count, &overlapped)
                        : ReadFile(device, buffer, size, &count, &overlapped);
    error = done ? ERROR_SUCCESS : GetLastError();
    if (error == ERROR_IO_PENDING) {
        done = GetOverlappedResult(device, &overlapped, &count, TRUE);
        error = done ? ERROR_SUCCESS : GetLastError();
    } else if (!done) {
        return -1;
    }
    return static_cast<int>(count);
}

} // namespace

PortSession::PortSession(HANDLE device) : device(device)
{
    for (OVERLAPPED* overlapped : {&waitOverlapped, &readOverlapped, &writeOverlapped})
        overlapped->hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

PortSession::~PortSession()
{
    closeDevice();
    for (OVERLAPPED* overlapped : {&waitOverlapped, &readOverlapped, &writeOverlapped})
        CloseHandle(overlapped->hEvent);
    if (thread != INVALID_HANDLE_VALUE)
        CloseHandle(thread);
}

int PortSession::read(void* buffer, DWORD size, DWORD& error)
{
    return transferOverlapped(device, false, buffer, size, readOverlapped, error);
}

int PortSession::write(const void* data, DWORD size, DWORD& error)
{
    return transferOverlapped(device, true, const_cast<void*>(data), size, writeOverlapped, error);
}

void PortSession::closeDevice()
{
    if (device != INVALID_HANDLE_VALUE)
        CloseHandle(device);
    device = INVALID_HANDLE_VALUE;
}
