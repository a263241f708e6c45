#include "serialport/windows/SessionKeeper.h"

#include "serialport/PortName.h"

#include <algorithm>
#include <cstdint>
#include <new>

namespace {

thread_local const PortSession* sessionOfThisThread = nullptr;

struct EventThreadStart
{
    std::shared_ptr<PortSession> session;
    CommEventHandler* handler;
};

DWORD millisecondsUntil(std::chrono::steady_clock::time_point deadline)
{
    using std::chrono::milliseconds;
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<DWORD>(std::max(left, milliseconds(0)).count());
}

} // namespace

bool SessionKeeper::start(const std::shared_ptr<PortSession>& session, CommEventHandler* eventHandler)
{
    // Published with the thread started under the lock: a loss that the
    // thread meets at once finds its session published.
    std::lock_guard<std::mutex> guard(mutex_);
    if (eventHandler != nullptr) {
        auto* start = new (std::nothrow) EventThreadStart{session, eventHandler};
        const std::uintptr_t thread =
            start != nullptr ? _beginthreadex(nullptr, 0, &SessionKeeper::eventThreadMain, start, 0, nullptr) : 0;
        if (thread == 0) {
            delete start;
            return false;
        }
        session->thread = reinterpret_cast<HANDLE>(thread);
    }
    open_ = session;
    return true;
}

unsigned __stdcall SessionKeeper::eventThreadMain(void* start)
{
    EventThreadStart* const started = static_cast<EventThreadStart*>(start);
    const std::shared_ptr<PortSession> session = std::move(started->session);
    CommEventHandler* const handler = started->handler;
    delete started;
    sessionOfThisThread = session.get();
    runCommEventLoop(session, *handler);
    sessionOfThisThread = nullptr;
    return 0;
}

std::shared_ptr<PortSession> SessionKeeper::current()
{
    std::lock_guard<std::mutex> guard(mutex_);
    return open_;
}

// Its own thread, which cannot wait for itself, is retired in the same step,
// so that a destructor running meanwhile on another thread waits for its turn.
std::shared_ptr<PortSession> SessionKeeper::take(const PortSession* expected)
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (!open_ || (expected != nullptr && open_.get() != expected))
        return nullptr;
    std::shared_ptr<PortSession> session = std::move(open_);
    if (session.get() == sessionOfThisThread)
        retired_.push_back(session);
    return session;
}

void SessionKeeper::end(const std::shared_ptr<PortSession>& session, std::recursive_mutex& portLock)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCloseWaitMs);
    session->stop();
    bool deviceUnused = session->lockOutWriters(deadline);
    if (session->thread != INVALID_HANDLE_VALUE && session.get() != sessionOfThisThread &&
        WaitForSingleObject(session->thread, millisecondsUntil(deadline)) != WAIT_OBJECT_0) {
        retire(session);
        deviceUnused = false;
    }
    if (deviceUnused) {
        std::lock_guard<std::recursive_mutex> guard(portLock);
        session->closeDevice();
    }
}

bool SessionKeeper::waitForRetired(const char* portName)
{
    std::vector<std::shared_ptr<PortSession>> running;
    for (const std::shared_ptr<PortSession>& session : takeRetired()) {
        if (session.get() == sessionOfThisThread || WaitForSingleObject(session->thread, kCloseWaitMs) != WAIT_OBJECT_0)
            running.push_back(session);
    }
    std::lock_guard<std::mutex> guard(mutex_);
    retired_.insert(retired_.end(), running.begin(), running.end());
    return std::none_of(running.begin(), running.end(), [&](const std::shared_ptr<PortSession>& session) {
        return session->deviceOpen && isSamePortName(session->portName, portName);
    });
}

void SessionKeeper::releaseRetired()
{
    for (const std::shared_ptr<PortSession>& session : takeRetired()) {
        session->turn.lock();
        session->turn.unlock();
    }
}

void SessionKeeper::retire(const std::shared_ptr<PortSession>& session)
{
    std::lock_guard<std::mutex> guard(mutex_);
    retired_.push_back(session);
}

std::vector<std::shared_ptr<PortSession>> SessionKeeper::takeRetired()
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<std::shared_ptr<PortSession>> retired;
    retired.swap(retired_);
    return retired;
}
