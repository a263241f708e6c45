#include "serialport/DelayedNotifier.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Call
{
    std::string portName;
    unsigned int readBufferLen;
    Clock::time_point at;
};

class CallRecorder : public kavrio::CSerialPortListener
{
public:
    void onReadEvent(const char* portName, unsigned int readBufferLen) override
    {
        std::lock_guard<std::mutex> guard(mutex_);
        calls_.push_back({portName, readBufferLen, Clock::now()});
        arrived_.notify_all();
    }

    // Waits (bounded) for a first call and returns all calls so far.
    std::vector<Call> waitForCall(std::chrono::seconds limit = 30s)
    {
        std::unique_lock<std::mutex> guard(mutex_);
        arrived_.wait_for(guard, limit, [this] { return !calls_.empty(); });
        return calls_;
    }

    std::vector<Call> calls()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        return calls_;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Call> calls_;
};

TEST(DelayedNotifier, ABurstOfArmsGivesOneCallOneDelayAfterTheLast)
{
    CallRecorder listener;
    DelayedNotifier notifier;
    const auto delay = 300ms;
    Clock::time_point lastArm;
    for (unsigned int count = 1; count <= 5; ++count) {
        lastArm = Clock::now();
        notifier.arm(static_cast<unsigned int>(delay.count()), "ttyTEST", count * 10, &listener);
    }
    std::vector<Call> calls = listener.waitForCall();
    notifier.stop(); // returns once any further call would have been made
    calls = listener.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].portName, "ttyTEST");
    EXPECT_EQ(calls[0].readBufferLen, 50u);
    EXPECT_GE(calls[0].at - lastArm, delay);
}

TEST(DelayedNotifier, StopCancelsAPendingCall)
{
    CallRecorder listener;
    DelayedNotifier notifier;
    notifier.arm(60000, "ttyTEST", 1, &listener);
    const auto started = Clock::now();
    notifier.stop();
    EXPECT_LT(Clock::now() - started, 30s) << "stop waited for the deadline";
    EXPECT_TRUE(listener.calls().empty());

    // The notifier can be armed again after a stop.
    notifier.arm(1, "ttyTEST", 2, &listener);
    ASSERT_EQ(listener.waitForCall().size(), 1u);
    EXPECT_EQ(listener.calls()[0].readBufferLen, 2u);
}

TEST(DelayedNotifier, DestroyingAnArmedNotifierReturnsWithoutCalling)
{
    CallRecorder listener;
    const auto started = Clock::now();
    {
        DelayedNotifier notifier;
        notifier.arm(60000, "ttyTEST", 1, &listener);
    }
    EXPECT_LT(Clock::now() - started, 30s) << "destruction waited for the deadline";
    EXPECT_TRUE(listener.calls().empty());
}

} // namespace
