// Events, threads, waiting and the thread's last error.
#include "serialport/posix/KernelObject.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace {

thread_local DWORD threadLastError = ERROR_SUCCESS;

struct EventObject final : KernelObject
{
    EventObject(bool manualReset, bool signalled) : manualReset(manualReset), signalled(signalled) {}

    std::mutex mutex;
    std::condition_variable changed;
    const bool manualReset;
    bool signalled;
};

// Shared between the handle and the running thread, so that the thread can
// report its end even after the handle has been closed (detached).
struct ThreadState
{
    std::mutex mutex;
    std::condition_variable finishedChanged;
    bool finished = false;
};

struct ThreadObject final : KernelObject
{
    ~ThreadObject() override
    {
        if (thread.joinable())
            thread.detach();
    }

    std::shared_ptr<ThreadState> state = std::make_shared<ThreadState>();
    std::mutex joinMutex;
    std::thread thread;
};

template <class Predicate>
bool waitFor(std::unique_lock<std::mutex>& guard, std::condition_variable& changed,
             DWORD milliseconds, Predicate ready)
{
    if (milliseconds == INFINITE) {
        changed.wait(guard, ready);
        return true;
    }
    return changed.wait_for(guard, std::chrono::milliseconds(milliseconds), ready);
}

DWORD waitForEvent(EventObject& event, DWORD milliseconds)
{
    std::unique_lock<std::mutex> guard(event.mutex);
    if (!waitFor(guard, event.changed, milliseconds, [&event] { return event.signalled; }))
        return WAIT_TIMEOUT;
    if (!event.manualReset)
        event.signalled = false;
    return WAIT_OBJECT_0;
}

DWORD waitForThread(ThreadObject& thread, DWORD milliseconds)
{
    {
        std::unique_lock<std::mutex> guard(thread.state->mutex);
        if (!waitFor(guard, thread.state->finishedChanged, milliseconds,
                     [&thread] { return thread.state->finished; }))
            return WAIT_TIMEOUT;
    }
    // The thread has finished its procedure; joining only waits for it to
    // leave, so that nothing of it is left once the wait returns.
    std::lock_guard<std::mutex> guard(thread.joinMutex);
    if (thread.thread.joinable() && thread.thread.get_id() != std::this_thread::get_id())
        thread.thread.join();
    return WAIT_OBJECT_0;
}

} // namespace

DWORD GetLastError()
{
    return threadLastError;
}

void SetLastError(DWORD error)
{
    threadLastError = error;
}

BOOL CloseHandle(HANDLE object)
{
    KernelObject* const kernelObject = objectOf<KernelObject>(object);
    if (kernelObject == nullptr)
        return FALSE;
    delete kernelObject;
    return TRUE;
}

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR)
{
    auto* event = new (std::nothrow) EventObject(manualReset != FALSE, initialState != FALSE);
    if (event == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return handleOf(event);
}

BOOL SetEvent(HANDLE handle)
{
    EventObject* const event = objectOf<EventObject>(handle);
    if (event == nullptr)
        return FALSE;
    std::lock_guard<std::mutex> guard(event->mutex);
    event->signalled = true;
    event->changed.notify_all();
    return TRUE;
}

BOOL ResetEvent(HANDLE handle)
{
    EventObject* const event = objectOf<EventObject>(handle);
    if (event == nullptr)
        return FALSE;
    std::lock_guard<std::mutex> guard(event->mutex);
    event->signalled = false;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    KernelObject* const object = objectOf<KernelObject>(handle);
    if (auto* event = dynamic_cast<EventObject*>(object))
        return waitForEvent(*event, milliseconds);
    if (auto* thread = dynamic_cast<ThreadObject*>(object))
        return waitForThread(*thread, milliseconds);
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
}

void Sleep(DWORD milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::uintptr_t _beginthreadex(void*, unsigned, unsigned(__stdcall* startAddress)(void*),
                              void* argument, unsigned, unsigned*)
{
    auto* object = new (std::nothrow) ThreadObject;
    if (object == nullptr) {
        errno = ENOMEM;
        return 0;
    }
    try {
        object->thread = std::thread([state = object->state, startAddress, argument] {
            startAddress(argument);
            std::lock_guard<std::mutex> guard(state->mutex);
            state->finished = true;
            state->finishedChanged.notify_all();
        });
    } catch (const std::system_error& error) {
        delete object;
        errno = error.code().value();
        return 0;
    }
    return reinterpret_cast<std::uintptr_t>(handleOf(object));
}
