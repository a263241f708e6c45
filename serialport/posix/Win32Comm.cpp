// Communication devices: ttys opened, configured, read and written through
// the Win32 calls the serial backend uses.
#include "serialport/PortName.h"
#include "serialport/posix/KernelObject.h"
#include "serialport/posix/SerialTty.h"
#include "serialport/posix/TtyLineSettings.h"
#include "serialport/posix/WakePipe.h"
#include "serialport/posix/Win32Text.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

namespace {

// The line discipline's input buffer (N_TTY_BUF_SIZE): no read returns more.
constexpr DWORD kTtyInputBufferSize = 4096;

struct CommObject final : KernelObject
{
    explicit CommObject(int tty) : fd(tty), savedLine(tty) {}

    ~CommObject() override
    {
        savedLine.restore(fd);
        ioctl(fd, TIOCNXCL);
        close(fd); // also releases the flock
    }

    const int fd;
    const SavedTtyLine savedLine;
    std::atomic<bool> gone{false}; // hung up: every call fails from then on, as on Windows
    std::mutex mutex; // guards the members below
    DWORD eventMask = 0;
    // The OVERLAPPED of a WaitCommEvent or WriteFile under way (a blocking
    // call's is null), and whether it is under way at all.
    OVERLAPPED* waitOverlapped = nullptr;
    OVERLAPPED* writeOverlapped = nullptr;
    bool waitPending = false;
    bool writePending = false;
    bool waitCancelled = false;
    int queuedAtLastEvent = 0; // input bytes the last EV_RXCHAR counted, less those read since
    bool queuedAtLastEventExact = false; // counted, and nothing read or purged since
    bool queueDrained = false; // a read since the last EV_RXCHAR came back short
    COMMTIMEOUTS timeouts{};
    WakePipe waitInterrupted; // ends a pending WaitCommEvent: mask changed or cancelled
    WakePipe writeAborted;    // cuts a pending WriteFile short
};

DWORD win32ErrorFromErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO: return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK: return ERROR_ACCESS_DENIED;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EIO: return ERROR_BAD_COMMAND; // the device went away (unplugged, hung up)
    default: return ERROR_GEN_FAILURE;
    }
}

BOOL fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

// A tty that hung up (a pty whose master closed, an adapter pulled) reads
// as empty; only its poll events tell it from one that is merely quiet.
bool hasHungUp(int fd)
{
    pollfd tty{fd, POLLIN, 0};
    return poll(&tty, 1, 0) > 0 && (tty.revents & (POLLHUP | POLLERR)) != 0;
}

DWORD errorOfDevice(CommObject& device, int error)
{
    const DWORD win32Error = win32ErrorFromErrno(error);
    if (win32Error == ERROR_BAD_COMMAND)
        device.gone = true;
    return win32Error;
}

// Ends a read or write: reports the count and, for an overlapped call,
// completes its OVERLAPPED and signals its event as Windows does.
BOOL complete(OVERLAPPED* overlapped, LPDWORD transferred, DWORD count, DWORD error)
{
    if (transferred != nullptr)
        *transferred = count;
    if (overlapped != nullptr) {
        overlapped->Internal = error;
        overlapped->InternalHigh = count;
        if (overlapped->hEvent != nullptr)
            SetEvent(overlapped->hEvent);
    }
    return error == ERROR_SUCCESS ? TRUE : fail(error);
}

int queuedInputBytes(int fd)
{
    int queued = 0;
    return ioctl(fd, FIONREAD, &queued) == 0 ? queued : -1;
}

// Milliseconds a write of n bytes may take, or -1 for no limit.
int writeTimeoutMs(const COMMTIMEOUTS& timeouts, DWORD n)
{
    const unsigned long long total =
        static_cast<unsigned long long>(timeouts.WriteTotalTimeoutMultiplier) * n +
        timeouts.WriteTotalTimeoutConstant;
    if (total == 0)
        return -1;
    return total > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(total);
}

} // namespace

HANDLE CreateFileW(LPCWSTR fileName, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)
{
    if (fileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::string path = ttyPathOf(utf8FromUtf16(fileName));
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(win32ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }

    DWORD error = ERROR_SUCCESS;
    if (!isatty(fd) || !isSerialPortTty(fd))
        error = ERROR_FILE_NOT_FOUND; // only serial devices are ports
    // Share mode 0: flock keeps out every other open of ours (root included),
    // TIOCEXCL other programs.
    else if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0)
        error = ERROR_ACCESS_DENIED;
    if (error != ERROR_SUCCESS) {
        close(fd);
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }

    auto* comm = new (std::nothrow) CommObject(fd);
    if (comm == nullptr || !comm->waitInterrupted.isValid() || !comm->writeAborted.isValid()) {
        if (comm != nullptr)
            delete comm;
        else
            close(fd);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    return handleOf(comm);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
              OVERLAPPED* overlapped)
{
    CommObject* const comm = objectOf<CommObject>(file);
    if (comm == nullptr)
        return complete(overlapped, bytesRead, 0, ERROR_INVALID_HANDLE);
    if (comm->gone)
        return complete(overlapped, bytesRead, 0, ERROR_BAD_COMMAND);
    ssize_t got;
    do
        got = read(comm->fd, buffer, bytesToRead);
    while (got < 0 && errno == EINTR);
    if (got < 0 && errno != EAGAIN)
        return complete(overlapped, bytesRead, 0, errorOfDevice(*comm, errno));
    if (got == 0 && bytesToRead > 0 && hasHungUp(comm->fd)) {
        comm->gone = true;
        return complete(overlapped, bytesRead, 0, ERROR_BAD_COMMAND);
    }
    const DWORD count = got < 0 ? 0 : static_cast<DWORD>(got);
    {
        std::lock_guard<std::mutex> guard(comm->mutex);
        comm->queuedAtLastEvent = std::max(0, comm->queuedAtLastEvent - static_cast<int>(count));
        comm->queuedAtLastEventExact = comm->queuedAtLastEventExact && count == 0;
        comm->queueDrained = comm->queueDrained || count < bytesToRead;
    }
    return complete(overlapped, bytesRead, count, ERROR_SUCCESS);
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               OVERLAPPED* overlapped)
{
    CommObject* const comm = objectOf<CommObject>(file);
    if (comm == nullptr)
        return complete(overlapped, bytesWritten, 0, ERROR_INVALID_HANDLE);

    int timeoutMs;
    {
        std::lock_guard<std::mutex> guard(comm->mutex);
        comm->writePending = true;
        comm->writeOverlapped = overlapped;
        timeoutMs = writeTimeoutMs(comm->timeouts, bytesToWrite);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto* bytes = static_cast<const char*>(buffer);
    DWORD written = 0;
    DWORD error = ERROR_SUCCESS;
    while (written < bytesToWrite) {
        const ssize_t n = write(comm->fd, bytes + written, bytesToWrite - written);
        if (n > 0) {
            written += static_cast<DWORD>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            error = errorOfDevice(*comm, errno);
            break;
        }

        // The driver's queue is full: wait for room, a time-out or an abort.
        int waitMs = -1;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break; // timed out: the count tells how much went out
            waitMs = static_cast<int>(left.count());
        }
        pollfd fds[2] = {{comm->fd, POLLOUT, 0}, {comm->writeAborted.readFd(), POLLIN, 0}};
        const int ready = poll(fds, 2, waitMs);
        if (ready < 0 && errno != EINTR) {
            error = win32ErrorFromErrno(errno);
            break;
        }
        if (fds[1].revents != 0) {
            error = ERROR_OPERATION_ABORTED;
            break;
        }
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            comm->gone = true;
            error = ERROR_BAD_COMMAND;
            break;
        }
    }
    {
        std::lock_guard<std::mutex> guard(comm->mutex);
        comm->writePending = false;
        comm->writeAborted.drain();
    }
    return complete(overlapped, bytesWritten, written, error);
}

BOOL GetOverlappedResult(HANDLE, OVERLAPPED* overlapped, LPDWORD bytesTransferred, BOOL)
{
    if (overlapped == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    if (bytesTransferred != nullptr)
        *bytesTransferred = static_cast<DWORD>(overlapped->InternalHigh);
    return overlapped->Internal == ERROR_SUCCESS ? TRUE
                                                  : fail(static_cast<DWORD>(overlapped->Internal));
}

BOOL CancelIoEx(HANDLE file, OVERLAPPED* overlapped)
{
    CommObject* const comm = objectOf<CommObject>(file);
    if (comm == nullptr)
        return FALSE;
    std::lock_guard<std::mutex> guard(comm->mutex);
    bool cancelled = false;
    if (comm->waitPending && (overlapped == nullptr || overlapped == comm->waitOverlapped)) {
        comm->waitCancelled = true;
        comm->waitInterrupted.signal();
        cancelled = true;
    }
    if (comm->writePending && (overlapped == nullptr || overlapped == comm->writeOverlapped)) {
        comm->writeAborted.signal();
        cancelled = true;
    }
    return cancelled ? TRUE : fail(ERROR_NOT_FOUND);
}

BOOL FlushFileBuffers(HANDLE file)
{
    CommObject* const comm = objectOf<CommObject>(file);
    if (comm == nullptr)
        return FALSE;
    return tcdrain(comm->fd) == 0 ? TRUE : fail(win32ErrorFromErrno(errno));
}

BOOL GetCommState(HANDLE comm, DCB* dcb)
{
    CommObject* const device = objectOf<CommObject>(comm);
    if (device == nullptr)
        return FALSE;
    if (dcb == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    const DWORD error = readTtyLineSettings(device->fd, *dcb);
    return error == ERROR_SUCCESS ? TRUE : fail(error);
}

BOOL SetCommState(HANDLE comm, DCB* dcb)
{
    CommObject* const device = objectOf<CommObject>(comm);
    if (device == nullptr)
        return FALSE;
    if (dcb == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    const DWORD error = applyTtyLineSettings(device->fd, *dcb);
    return error == ERROR_SUCCESS ? TRUE : fail(error);
}

BOOL SetCommTimeouts(HANDLE comm, COMMTIMEOUTS* timeouts)
{
    CommObject* const device = objectOf<CommObject>(comm);
    if (device == nullptr)
        return FALSE;
    if (timeouts == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> guard(device->mutex);
    device->timeouts = *timeouts;
    return TRUE;
}

BOOL SetCommMask(HANDLE comm, DWORD eventMask)
{
    CommObject* const device = objectOf<CommObject>(comm);
    if (device == nullptr)
        return FALSE;
    std::lock_guard<std::mutex> guard(device->mutex);
    device->eventMask = eventMask;
    if (device->waitPending)
        device->waitInterrupted.signal();
    return TRUE;
}

BOOL WaitCommEvent(HANDLE comm, LPDWORD eventMask, OVERLAPPED* overlapped)
{
    CommObject* const device = objectOf<CommObject>(comm);
    if (device == nullptr)
        return FALSE;
    if (device->gone)
        return fail(ERROR_BAD_COMMAND);
    DWORD watched;
    bool queueDrained;
    bool unreadBytesSeen;
    {
        std::lock_guard<std::mutex> guard(device->mutex);
        watched = device->eventMask;
        if (watched == 0)
            return fail(ERROR_INVALID_PARAMETER);
        device->waitPending = true;
        device->waitCancelled = false;
        device->waitOverlapped = overlapped;
        queueDrained = device->queueDrained;
        unreadBytesSeen = !queueDrained && device->queuedAtLastEvent > 0;
    }

    // EV_RXCHAR means "characters arrived since the last event", while poll()
    // reports a readable descriptor for as long as bytes sit unread. When a
    // read has come back short since, nothing sits unread and a readable
    // descriptor alone tells of new bytes: their count is not asked. Otherwise
    // the queue length is compared with what the last event counted, and
    // while old bytes stay unread the queue is looked at again every few
    // milliseconds.
    constexpr int kUnreadBytesRecheckMs = 10;
    DWORD events = 0;
    DWORD error = ERROR_SUCCESS;
    int queued = unreadBytesSeen ? queuedInputBytes(device->fd) : 0;
    for (;;) {
        if (queued < 0) {
            error = win32ErrorFromErrno(errno);
            break;
        }
        if (watched & EV_RXCHAR) {
            std::lock_guard<std::mutex> guard(device->mutex);
            if (queued > device->queuedAtLastEvent) {
                device->queuedAtLastEvent = queued;
                device->queuedAtLastEventExact = true;
                device->queueDrained = false;
                events = EV_RXCHAR;
                break;
            }
        }

        const bool waitForFirstByte = (watched & EV_RXCHAR) && queued == 0;
        pollfd fds[2] = {{device->fd, static_cast<short>(waitForFirstByte ? POLLIN : 0), 0},
                         {device->waitInterrupted.readFd(), POLLIN, 0}};
        if (poll(fds, 2, queued > 0 ? kUnreadBytesRecheckMs : -1) < 0) {
            if (errno == EINTR)
                continue;
            error = win32ErrorFromErrno(errno);
            break;
        }
        if (fds[1].revents != 0)
            break; // the mask was changed (no event) or the wait cancelled
        if (fds[0].revents & POLLNVAL) {
            error = ERROR_INVALID_HANDLE;
            break;
        }
        if (queueDrained && waitForFirstByte && fds[0].revents == POLLIN) {
            std::lock_guard<std::mutex> guard(device->mutex);
            device->queuedAtLastEvent = 0;
            device->queuedAtLastEventExact = false;
            device->queueDrained = false;
            events = EV_RXCHAR;
            break;
        }
        const int queuedNow = queuedInputBytes(device->fd);
        // Readable or hung up without a new byte: the other end is gone.
        // Failing lets the caller back off instead of polling in a loop.
        if (fds[0].revents != 0 && queuedNow <= queued) {
            device->gone = true;
            error = ERROR_BAD_COMMAND;
            break;
        }
        queued = queuedNow;
    }
    {
        std::lock_guard<std::mutex> guard(device->mutex);
        device->waitPending = false;
        device->waitInterrupted.drain();
        if (device->waitCancelled)
            error = ERROR_OPERATION_ABORTED;
    }
    if (error != ERROR_SUCCESS)
        return fail(error);
    if (eventMask != nullptr)
        *eventMask = events;
    if (overlapped != nullptr) {
        overlapped->Internal = ERROR_SUCCESS;
        overlapped->InternalHigh = 0;
    }
    return TRUE;
}

BOOL GetCommProperties(HANDLE comm, COMMPROP* properties)
{
    if (objectOf<CommObject>(comm) == nullptr)
        return FALSE;
    if (properties == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    std::memset(properties, 0, sizeof(COMMPROP));
    properties->wPacketLength = sizeof(COMMPROP);
    properties->dwCurrentRxQueue = kTtyInputBufferSize;
    return TRUE;
}

BOOL ClearCommError(HANDLE comm, LPDWORD errors, COMSTAT* status)
{
    CommObject* const device = objectOf<CommObject>(comm);
    if (device == nullptr)
        return FALSE;
    if (device->gone)
        return fail(ERROR_BAD_COMMAND);
    int queuedIn = -1;
    {
        std::lock_guard<std::mutex> guard(device->mutex);
        if (device->queuedAtLastEventExact)
            queuedIn = device->queuedAtLastEvent;
    }
    if (queuedIn < 0 && (queuedIn = queuedInputBytes(device->fd)) < 0)
        return fail(errorOfDevice(*device, errno));
    if (errors != nullptr)
        *errors = 0;
    if (status != nullptr) {
        status->fFlags = 0;
        status->cbInQue = static_cast<DWORD>(queuedIn);
        status->cbOutQue = 0;
    }
    return TRUE;
}

BOOL PurgeComm(HANDLE comm, DWORD flags)
{
    CommObject* const device = objectOf<CommObject>(comm);
    if (device == nullptr)
        return FALSE;
    if (flags & PURGE_TXABORT) {
        std::lock_guard<std::mutex> guard(device->mutex);
        if (device->writePending)
            device->writeAborted.signal();
    }
    // Reads never wait here, so PURGE_RXABORT has nothing to abort.
    if (flags & PURGE_RXCLEAR) {
        if (tcflush(device->fd, TCIFLUSH) != 0)
            return fail(win32ErrorFromErrno(errno));
        std::lock_guard<std::mutex> guard(device->mutex);
        device->queuedAtLastEvent = 0;
        device->queuedAtLastEventExact = false;
        device->queueDrained = true;
    }
    if ((flags & PURGE_TXCLEAR) && tcflush(device->fd, TCOFLUSH) != 0)
        return fail(win32ErrorFromErrno(errno));
    return TRUE;
}

BOOL EscapeCommFunction(HANDLE comm, DWORD function)
{
    CommObject* const device = objectOf<CommObject>(comm);
    if (device == nullptr)
        return FALSE;
    int line;
    unsigned long request;
    switch (function) {
    case SETDTR: line = TIOCM_DTR; request = TIOCMBIS; break;
    case CLRDTR: line = TIOCM_DTR; request = TIOCMBIC; break;
    case SETRTS: line = TIOCM_RTS; request = TIOCMBIS; break;
    case CLRRTS: line = TIOCM_RTS; request = TIOCMBIC; break;
    default: return fail(ERROR_INVALID_PARAMETER);
    }
    return ioctl(device->fd, request, &line) == 0 ? TRUE : fail(win32ErrorFromErrno(errno));
}
