#include "flash/DeadlineTimer.h"

#include <utility>

DeadlineTimer::DeadlineTimer(std::function<void()> expired)
    : expired_(std::move(expired)), thread_(&DeadlineTimer::run, this)
{
}

DeadlineTimer::~DeadlineTimer()
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void DeadlineTimer::arm(Clock::time_point deadline)
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        deadline_ = deadline;
    }
    changed_.notify_all();
}

void DeadlineTimer::disarm()
{
    std::lock_guard<std::mutex> guard(mutex_);
    deadline_.reset();
}

void DeadlineTimer::run()
{
    std::unique_lock<std::mutex> guard(mutex_);
    while (!stopping_) {
        if (!deadline_) {
            changed_.wait(guard);
            continue;
        }
        // Waits until this deadline or until the timer is changed; a changed
        // deadline is looked at afresh.
        const Clock::time_point deadline = *deadline_;
        if (changed_.wait_until(guard, deadline) != std::cv_status::timeout
            || deadline_ != deadline || stopping_)
            continue;
        deadline_.reset();
        guard.unlock();
        expired_();
        guard.lock();
    }
}
