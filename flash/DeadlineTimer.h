#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// Calls `expired` on a thread of its own once the armed deadline has passed,
// unless the timer was disarmed or armed again first. The call is made
// without the timer's lock held, so it may re-arm the timer; it can race a
// re-arm, so the callback checks its own state before acting.
class DeadlineTimer
{
public:
    using Clock = std::chrono::steady_clock;

    explicit DeadlineTimer(std::function<void()> expired);
    // Disarms and waits for a call in progress.
    ~DeadlineTimer();

    DeadlineTimer(const DeadlineTimer&) = delete;
    DeadlineTimer& operator=(const DeadlineTimer&) = delete;

    void arm(Clock::time_point deadline);
    void disarm();

private:
    void run();

    const std::function<void()> expired_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<Clock::time_point> deadline_;
    bool stopping_ = false;
    std::thread thread_;
};
