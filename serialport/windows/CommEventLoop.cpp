// The event thread of an open asynchronous port: waits for received
// characters, moves every queued byte into the receive buffer and tells the
// listener, at once or after the notify delay.
//
// Its whole life is here: openPort starts it, closePort ends it and waits for
// it. A listener may close (and reopen) the port from inside its call, on the
// event thread itself, which three things make safe:
// - the generation counter: each open counts one up, and a thread runs only
//   while the count is the one it started with, so it never serves a later open;
// - the thread's identity (backend and generation, thread-local), by which
//   closePort knows it runs on the thread it would wait for;
// - the retired thread: a thread that closed its own port cannot wait for
//   itself; it is kept and waited for by the next open or the destructor.
#include "serialport/windows/SerialPortWinBase.h"

#include "serialport/DelayedNotifier.h"

#include <mutex>
#include <new>

namespace {

// After a wait that failed at once (the adapter was unplugged, the other end
// of a pty hung up), the loop pauses this long so that it does not spin.
constexpr DWORD kFailedWaitBackoffMs = 50;

// The event loop that runs on this thread, so that closePort called from a
// listener on that thread does not wait for itself.
struct EventLoopIdentity
{
    const CSerialPortWinBase* backend = nullptr;
    unsigned int generation = 0;
};
thread_local EventLoopIdentity eventLoopOfThisThread;

} // namespace

unsigned __stdcall CSerialPortWinBase::commEventLoop(void* backend)
{
    static_cast<CSerialPortWinBase*>(backend)->runEventLoop();
    return 0;
}

void CSerialPortWinBase::runEventLoop()
{
    const unsigned int generation = openGeneration_;
    eventLoopOfThisThread = {this, generation};
    const HANDLE device = device_;
    OVERLAPPED waitOverlapped = eventWaitOverlapped_;

    while (running_ && generation == openGeneration_) {
        DWORD events = 0;
        if (!WaitCommEvent(device, &events, &waitOverlapped)) {
            if (GetLastError() == ERROR_IO_PENDING) {
                WaitForSingleObject(waitOverlapped.hEvent, INFINITE);
            } else {
                if (running_)
                    Sleep(kFailedWaitBackoffMs);
                continue;
            }
        }
        if (events & EV_RXCHAR)
            receiveQueuedBytes(device);
    }
    eventLoopOfThisThread = {};
}

void CSerialPortWinBase::receiveQueuedBytes(HANDLE device)
{
    DWORD errors = 0;
    COMSTAT status{};
    ClearCommError(device, &errors, &status);
    const DWORD queued = status.cbInQue;
    // Too few bytes stay in the driver until a later event finds enough.
    if (queued < static_cast<DWORD>(notifyMinimum()))
        return;

    std::unique_ptr<char[]> chunk(new (std::nothrow) char[queued]);
    if (!chunk)
        return;
    const int got = readFromDevice(chunk.get(), static_cast<int>(queued));
    if (got < 0)
        return; // a failed read has nothing to buffer or report

    unsigned int usedCount;
    bool bufferFull;
    {
        // The timer thread's listener may take bytes while this thread puts.
        std::lock_guard<std::recursive_mutex> guard(lock());
        receiveBuffer_->put(chunk.get(), static_cast<unsigned int>(got));
        usedCount = receiveBuffer_->usedCount();
        bufferFull = receiveBuffer_->full();
    }
    chunk.reset();
    notifyListener(usedCount, bufferFull);
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

bool CSerialPortWinBase::startEventThread()
{
    running_ = true;
    const unsigned int generation = ++openGeneration_;
    const std::uintptr_t thread =
        _beginthreadex(nullptr, 0, &CSerialPortWinBase::commEventLoop, this, 0, nullptr);
    if (thread == 0) {
        running_ = false;
        return false;
    }
    eventThread_ = {reinterpret_cast<HANDLE>(thread), generation};
    return true;
}

bool CSerialPortWinBase::isRunningOnThisThread(unsigned int generation) const
{
    return eventLoopOfThisThread.backend == this && eventLoopOfThisThread.generation == generation;
}

void CSerialPortWinBase::endEventThread()
{
    const EventThread thread = eventThread_;
    if (thread.handle == INVALID_HANDLE_VALUE)
        return;
    eventThread_ = {};
    if (isRunningOnThisThread(thread.generation)) {
        // A listener closed the port from this very thread, which cannot wait
        // for itself: the next open or the destructor waits for it instead.
        joinRetiredEventThread();
        retiredEventThread_ = thread;
        return;
    }
    WaitForSingleObject(thread.handle, INFINITE);
    CloseHandle(thread.handle);
}

void CSerialPortWinBase::joinRetiredEventThread()
{
    const EventThread thread = retiredEventThread_;
    if (thread.handle == INVALID_HANDLE_VALUE || isRunningOnThisThread(thread.generation))
        return;
    retiredEventThread_ = {};
    WaitForSingleObject(thread.handle, INFINITE);
    CloseHandle(thread.handle);
}
