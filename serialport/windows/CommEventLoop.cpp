// The event thread of an open asynchronous port: waits for received
// characters, moves every queued byte into the receive buffer and tells the
// listener, at once or after the notify delay; a lost device ends the port.
//
// Its whole life is here: openPort starts it, closePort (or a loss) ends it.
// Listeners may close, reopen and even destroy the port from inside their
// call on this thread, and a driver may never complete a wait; three things
// keep that safe:
// - the session (PortSession): each open has its own, shared with its
//   thread, with the thread's running flag and the handles it uses, so a
//   thread never serves a later open and never loses what it still uses;
// - the thread's identity (its session, thread-local), by which closePort
//   knows it runs on the very thread it would wait for;
// - retired sessions: a thread that closed its own port, or outlived
//   closePort's bounded wait, is waited for by the next open, and the
//   destructor takes its turn lock so that it is not working on the backend.
#include "serialport/windows/SerialPortWinBase.h"

#include "serialport/DelayedNotifier.h"

#include <algorithm>
#include <new>

namespace {

// After a wait that was aborted (wine on a pty, a resume from standby) or
// failed at once, the loop pauses before it waits again, so that it does not
// spin: first this long, twice as long after each further failure in a row,
// at most kLongestBackoffMs. Under wine every wait of a pty fails after a few
// milliseconds of work.
constexpr DWORD kFailedWaitBackoffMs = 50;
constexpr DWORD kLongestBackoffMs = 400;

// How often closePort cancels again a write that keeps it from the lock.
constexpr DWORD kCancelRetryMs = 10;

thread_local const PortSession* sessionOfThisThread = nullptr;

// The errors with which Windows reports a device that went away (unplugged,
// or its driver gone); the POSIX layer reports a hang-up the same way.
bool isPortLossError(DWORD error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_BAD_COMMAND || error == ERROR_DEVICE_REMOVED ||
           error == ERROR_GEN_FAILURE;
}

bool hasQueuedBytes(PortSession& session)
{
    DWORD errors = 0;
    COMSTAT status{};
    return ClearCommError(session.device, &errors, &status) && status.cbInQue > 0;
}

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

struct CSerialPortWinBase::EventThreadStart
{
    CSerialPortWinBase* backend;
    std::shared_ptr<PortSession> session;
};

// Called by openPort with the session lock held, before the session is
// published, so that a loss met at once finds it published.
bool CSerialPortWinBase::startEventThread(const std::shared_ptr<PortSession>& session)
{
    auto* start = new (std::nothrow) EventThreadStart{this, session};
    session->running = true;
    const std::uintptr_t thread =
        start != nullptr ? _beginthreadex(nullptr, 0, &CSerialPortWinBase::commEventLoop, start, 0, nullptr) : 0;
    if (thread == 0) {
        session->running = false;
        delete start;
        return false;
    }
    session->thread = reinterpret_cast<HANDLE>(thread);
    return true;
}

// Stops the session's thread and closes its device, within kCloseWaitMs. A
// write or a thread that is still under way then (a driver that completes
// neither) keeps the device: the session closes it once the last of them
// lets go, and a thread is retired.
void CSerialPortWinBase::endSession(const std::shared_ptr<PortSession>& session)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCloseWaitMs);
    session->running = false;
    // The empty mask completes a pending wait; cancelling covers drivers that
    // ignore it. The event thread may be waiting for the lock behind a send.
    SetCommMask(session->device, 0);
    PurgeComm(session->device, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    bool deviceUnused = lockOutWriters(*session, deadline);
    // On its own thread the session was retired when it was taken.
    if (session->thread != INVALID_HANDLE_VALUE && session.get() != sessionOfThisThread) {
        using std::chrono::milliseconds;
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
        const DWORD waitMs = static_cast<DWORD>(std::max(left, milliseconds(0)).count());
        if (WaitForSingleObject(session->thread, waitMs) != WAIT_OBJECT_0) {
            std::lock_guard<std::mutex> guard(sessionMutex_);
            retiredSessions_.push_back(session);
            deviceUnused = false;
        }
    }
    if (deviceUnused)
        session->closeDevice();
}

// Takes the open session (`expected` only, if given) away from the port. Its
// own thread, which cannot wait for itself, is retired in the same step, so
// that a destructor running meanwhile on another thread waits for its turn.
std::shared_ptr<PortSession> CSerialPortWinBase::takeSession(const PortSession* expected)
{
    std::lock_guard<std::mutex> guard(sessionMutex_);
    if (!session_ || (expected != nullptr && session_.get() != expected))
        return nullptr;
    std::shared_ptr<PortSession> session = std::move(session_);
    if (session.get() == sessionOfThisThread)
        retiredSessions_.push_back(session);
    return session;
}

// Cancels the device's pending I/O until this thread has had the lock, or
// the deadline passed: a send holds the lock while it writes, and one that
// began just after a cancel is cancelled again. Sends that take the lock
// later find the port closed. Returns whether no send uses the device.
bool CSerialPortWinBase::lockOutWriters(PortSession& session, std::chrono::steady_clock::time_point deadline)
{
    CancelIoEx(session.device, nullptr);
    std::unique_lock<std::recursive_mutex> guard(lock(), std::try_to_lock);
    while (!guard.owns_lock()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        Sleep(kCancelRetryMs);
        CancelIoEx(session.device, nullptr);
        guard.try_lock();
    }
    return true;
}

// Before a new session: waits up to kCloseWaitMs for each retired thread but
// this one; those still running stay retired.
void CSerialPortWinBase::waitForRetiredThreads()
{
    std::vector<std::shared_ptr<PortSession>> retired;
    {
        std::lock_guard<std::mutex> guard(sessionMutex_);
        retired.swap(retiredSessions_);
    }
    std::vector<std::shared_ptr<PortSession>> running;
    for (const std::shared_ptr<PortSession>& session : retired) {
        if (session.get() == sessionOfThisThread || WaitForSingleObject(session->thread, kCloseWaitMs) != WAIT_OBJECT_0)
            running.push_back(session);
    }
    std::lock_guard<std::mutex> guard(sessionMutex_);
    retiredSessions_.insert(retiredSessions_.end(), running.begin(), running.end());
}

// Before the backend goes: once a retired thread's turn lock is had, it is
// not working on the backend, and sees its session stopped before it would
// again; it ends by itself. A listener call under way is waited for.
void CSerialPortWinBase::releaseRetiredThreads()
{
    std::vector<std::shared_ptr<PortSession>> retired;
    {
        std::lock_guard<std::mutex> guard(sessionMutex_);
        retired.swap(retiredSessions_);
    }
    for (const std::shared_ptr<PortSession>& session : retired) {
        session->turn.lock();
        session->turn.unlock();
    }
}

unsigned __stdcall CSerialPortWinBase::commEventLoop(void* start)
{
    EventThreadStart* const started = static_cast<EventThreadStart*>(start);
    const std::shared_ptr<PortSession> session = std::move(started->session);
    CSerialPortWinBase* const backend = started->backend;
    delete started;
    sessionOfThisThread = session.get();
    backend->runEventLoop(session);
    sessionOfThisThread = nullptr;
    return 0;
}

// Once the session stops running, nothing here touches the backend again:
// it may be gone (destroyed from a listener call, or after closePort gave up
// waiting for this thread).
void CSerialPortWinBase::runEventLoop(const std::shared_ptr<PortSession>& session)
{
    DWORD backoffMs = kFailedWaitBackoffMs;
    while (session->running) {
        DWORD events = 0;
        DWORD error = waitForCommEvent(*session, events);
        if (!session->running)
            return;
        if (error == ERROR_SUCCESS) {
            backoffMs = kFailedWaitBackoffMs;
        } else if (!isPortLossError(error)) {
            Sleep(backoffMs);
            backoffMs = std::min(2 * backoffMs, kLongestBackoffMs);
            // Where waits keep failing, bytes are still read once per pause.
            if (!session->running || !hasQueuedBytes(*session))
                continue;
            events = EV_RXCHAR;
            error = ERROR_SUCCESS;
        }
        std::lock_guard<std::recursive_mutex> turn(session->turn);
        if (!session->running)
            return;
        if (error == ERROR_SUCCESS && (events & EV_RXCHAR))
            error = receiveQueuedBytes(*session);
        if (isPortLossError(error)) {
            endLostPort(session);
            return;
        }
    }
}

// Returns ERROR_SUCCESS or the error of the device call that failed.
DWORD CSerialPortWinBase::receiveQueuedBytes(PortSession& session)
{
    unsigned int usedCount;
    bool bufferFull;
    {
        // The timer thread's listener may take bytes while this thread puts.
        std::lock_guard<std::recursive_mutex> guard(lock());
        // The queued bytes are counted only when too few must stay in the
        // driver, or when they might not fit the free space; else the reads
        // take what there is.
        DWORD wanted = receiveBuffer_->freeCount();
        if (notifyMinimum() > 1 || session.inputQueueSize == 0 || wanted < session.inputQueueSize) {
            DWORD errors = 0;
            COMSTAT status{};
            if (!ClearCommError(session.device, &errors, &status))
                return GetLastError();
            if (status.cbInQue < static_cast<DWORD>(notifyMinimum()))
                return ERROR_SUCCESS;
            wanted = status.cbInQue;
        }
        const DWORD error = readIntoReceiveBuffer(session, wanted);
        if (error != ERROR_SUCCESS) {
            setLastError(ResultReadFailed);
            return error;
        }
        usedCount = receiveBuffer_->usedCount();
        bufferFull = receiveBuffer_->full();
    }
    notifyListener(usedCount, bufferFull);
    return ERROR_SUCCESS;
}

// Reads up to `wanted` bytes straight into the receive buffer's free space,
// until a read comes back short. A batch counted larger than the free space
// goes through a side buffer and pushes out the oldest bytes, as put does.
DWORD CSerialPortWinBase::readIntoReceiveBuffer(PortSession& session, DWORD wanted)
{
    DWORD error = ERROR_SUCCESS;
    if (wanted > receiveBuffer_->freeCount()) {
        if (overflowChunk_.size() < wanted)
            overflowChunk_.resize(wanted);
        const int got = session.read(overflowChunk_.data(), wanted, error);
        if (got > 0)
            receiveBuffer_->put(overflowChunk_.data(), static_cast<unsigned int>(got));
        return error;
    }
    // The free space is one run, or two when it wraps round the storage's end.
    while (wanted > 0) {
        const auto run = receiveBuffer_->freeRun();
        const DWORD size = std::min<DWORD>(wanted, run.size);
        const int got = session.read(run.data, size, error);
        if (got < 0 || error != ERROR_SUCCESS)
            return error;
        receiveBuffer_->commit(static_cast<unsigned int>(got));
        if (static_cast<DWORD>(got) < size)
            break;
        wanted -= size;
    }
    return ERROR_SUCCESS;
}

void CSerialPortWinBase::notifyListener(unsigned int usedCount, bool bufferFull)
{
    kavrio::CSerialPortListener* const readListener = listener();
    if (readListener == nullptr)
        return;
    const int delay = notifyDelay();
    if (delay <= 0) {
        readListener->onReadEvent(portName_, usedCount);
        return;
    }
    // A full buffer, or one past the high water, cannot wait for the line to
    // go quiet: it is reported at once.
    if (bufferFull || usedCount > static_cast<unsigned int>(notifyHighWater())) {
        notifier().stop();
        readListener->onReadEvent(portName_, usedCount);
        return;
    }
    notifier().arm(static_cast<unsigned int>(delay), portName_, usedCount, readListener);
}

// The device went away: the port is closed here, on its own thread, and
// then the listener hears of it once.
void CSerialPortWinBase::endLostPort(const std::shared_ptr<PortSession>& session)
{
    if (!takeSession(session.get()))
        return; // closed meanwhile: that close is not a loss
    portLost_ = true;
    setLastError(ResultReadFailed);
    endSession(session);
    if (kavrio::CSerialPortListener* const lostListener = listener())
        lostListener->onPortLost(portName_);
}
