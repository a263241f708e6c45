#include "serialport/DelayedNotifier.h"

#include "serialport/TextField.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>

// What the timer thread shares with the notifier: it outlives the notifier
// when the port is destroyed from inside the timer thread's own call.
struct DelayedNotifier::Timer
{
    explicit Timer(std::shared_ptr<ListenerGate> sharedGate) : gate(std::move(sharedGate)) {}

    const std::shared_ptr<ListenerGate> gate;
    std::mutex mutex;
    std::condition_variable changed;
    bool quit = false;
    bool pending = false;
    // The deadline is kept on the steady clock so that a change of the wall
    // clock neither shortens nor stretches the quiet time.
    std::chrono::steady_clock::time_point deadline;
    char portName[256] = {};
    unsigned int readBufferLen = 0;
    unsigned int generation = 0;
};

DelayedNotifier::DelayedNotifier(std::shared_ptr<ListenerGate> gate) : gate_(std::move(gate))
{
}

DelayedNotifier::~DelayedNotifier()
{
    stop();
}

void DelayedNotifier::arm(unsigned int delayMs, const char* portName, unsigned int readBufferLen,
                          unsigned int generation)
{
    std::lock_guard<std::mutex> threadGuard(threadMutex_);
    if (!thread_.joinable()) {
        auto timer = std::make_shared<Timer>(gate_);
        try {
            thread_ = std::thread(&DelayedNotifier::timerMain, timer);
        } catch (const std::system_error&) {
            return; // no thread, no call: the bytes stay counted for the next one
        }
        timer_ = std::move(timer);
    }
    std::lock_guard<std::mutex> guard(timer_->mutex);
    timer_->pending = true;
    timer_->deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs);
    copyTextField(timer_->portName, portName);
    timer_->readBufferLen = readBufferLen;
    timer_->generation = generation;
    timer_->changed.notify_one();
}

void DelayedNotifier::cancel()
{
    std::lock_guard<std::mutex> threadGuard(threadMutex_);
    if (!timer_)
        return;
    std::lock_guard<std::mutex> guard(timer_->mutex);
    timer_->pending = false;
    timer_->changed.notify_one();
}

// The join is short: whoever stops has shut the gate first, which waited
// for a call in flight, so the thread only has to leave.
void DelayedNotifier::stop()
{
    std::lock_guard<std::mutex> threadGuard(threadMutex_);
    if (!thread_.joinable())
        return;
    {
        std::lock_guard<std::mutex> guard(timer_->mutex);
        timer_->quit = true;
        timer_->pending = false;
        timer_->changed.notify_one();
    }
    if (thread_.get_id() == std::this_thread::get_id())
        thread_.detach();
    else
        thread_.join();
    timer_.reset();
}

void DelayedNotifier::timerMain(std::shared_ptr<Timer> timer)
{
    std::unique_lock<std::mutex> guard(timer->mutex);
    while (!timer->quit) {
        if (!timer->pending) {
            timer->changed.wait(guard);
            continue;
        }
        // Arming again moves the deadline; the wait then starts over.
        const auto deadline = timer->deadline;
        if (timer->changed.wait_until(guard, deadline) != std::cv_status::timeout || !timer->pending ||
            timer->deadline != deadline)
            continue;
        timer->pending = false;
        char portName[sizeof timer->portName];
        copyTextField(portName, timer->portName);
        const unsigned int readBufferLen = timer->readBufferLen;
        const unsigned int generation = timer->generation;
        guard.unlock();
        {
            ListenerGate::Pass pass(*timer->gate, generation);
            if (pass)
                pass->onReadEvent(portName, readBufferLen);
        }
        guard.lock();
    }
}
