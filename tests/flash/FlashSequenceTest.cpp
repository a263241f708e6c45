// The driver's own threads: nothing is called out under its lock, so a write
// that blocks holds up neither Cancel nor a report that reads the sequence back.
#include "flash/FlashSequence.h"

#include "FlashTestFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>

namespace {

using namespace std::chrono_literals;

// A port whose writes block until released, and an operator half that reads
// the sequence back from every report.
class StallingHost : public SequenceHost
{
public:
    bool write(const std::uint8_t*, std::size_t) override
    {
        std::unique_lock<std::mutex> guard(mutex_);
        ++writes_;
        changed_.notify_all();
        changed_.wait(guard, [this] { return released_; });
        return true;
    }

    void report(const DialogueReport& report) override
    {
        sequence->progress();
        if (const auto* ended = std::get_if<RunEnded>(&report))
            cancelled = ended->result.outcome == RunOutcome::Cancelled;
    }

    bool waitForWrites(int count)
    {
        std::unique_lock<std::mutex> guard(mutex_);
        return changed_.wait_for(guard, 10s, [&] { return writes_ >= count; });
    }

    int writes()
    {
        const std::lock_guard<std::mutex> guard(mutex_);
        return writes_;
    }

    void release()
    {
        const std::lock_guard<std::mutex> guard(mutex_);
        released_ = true;
        changed_.notify_all();
    }

    FlashSequence* sequence = nullptr;
    std::atomic<bool> cancelled{false};

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int writes_ = 0;
    bool released_ = false;
};

} // namespace

TEST(FlashSequence, CancelEndsARunWhoseWriteIsStuck)
{
    StallingHost host;
    FlashSequence sequence(host);
    host.sequence = &sequence;
    auto stuck = std::async(std::launch::async,
                            [&] { sequence.startFlash(std::make_shared<const FirmwareImage>(imageBytes(600))); });
    ASSERT_TRUE(host.waitForWrites(1));

    auto cancel = std::async(std::launch::async, [&] { sequence.cancel(); });
    const bool cancelReturned = cancel.wait_for(10s) == std::future_status::ready;
    EXPECT_TRUE(cancelReturned) << "Cancel waited for a write";
    EXPECT_TRUE(host.cancelled);
    EXPECT_FALSE(sequence.progress().running);

    host.release();
    stuck.get();
    if (!cancelReturned)
        cancel.get();
    const std::string bootReady("\x55\x66\x32\x02\x05\x00", 6);
    sequence.received(bootReady.data(), bootReady.size());
    EXPECT_EQ(host.writes(), 1) << "nothing more is written after Cancel";
}
