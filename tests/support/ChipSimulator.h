#pragma once

#include "tests/support/BootloaderSession.h"
#include "tests/support/ChipBehaviour.h"
#include "tests/support/ChipFrameParser.h"
#include "tests/support/ChipRecord.h"
#include "tests/support/PtyPair.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// An RQ51x bootloader on the master side of a pseudo-terminal: the program
// under test opens slavePath() as its serial port and flashes through it.
// Every frame is checked and recorded. The first violation of the protocol
// ends all answering, as a real chip would acknowledge nothing more.
//
//   ChipSimulator chip;
//   ... open chip.slavePath(), flash ...
//   ASSERT_TRUE(chip.waitUntilBootExitAcknowledged(30s));
//   EXPECT_EQ(chip.protocolError(), "");
//   EXPECT_EQ(chip.image(), firmwareBytes);
class ChipSimulator
{
public:
    explicit ChipSimulator(ChipBehaviour behaviour = {});
    ~ChipSimulator();

    ChipSimulator(const ChipSimulator&) = delete;
    ChipSimulator& operator=(const ChipSimulator&) = delete;

    const std::string& slavePath() const { return pty_.slavePath(); }

    // Copies taken under the simulator's lock; any thread may call them.
    ChipRecord record() const;
    std::vector<std::uint8_t> image() const;
    std::string protocolError() const;

    // Waits until `condition` holds for the record or `timeout` has passed;
    // returns whether it holds.
    bool waitUntil(const std::function<bool(const ChipRecord&)>& condition, std::chrono::milliseconds timeout) const;
    // Reply 35 has been written: the run is over.
    bool waitUntilBootExitAcknowledged(std::chrono::milliseconds timeout) const;
    bool waitUntilHungUp(std::chrono::milliseconds timeout) const;

private:
    void serve();
    bool takeChunk(const std::uint8_t* bytes, std::size_t size, std::chrono::steady_clock::time_point readAt);
    ChipReaction react(ChipFrameParser::Status status);
    bool writeAnswer(const ChipAnswer& answer);
    bool stopRequestedWithin(std::chrono::milliseconds wait) const;
    void hangUp();

    template <typename Change>
    void update(Change change)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            change(record_);
        }
        changed_.notify_all();
    }

    const ChipBehaviour behaviour_;
    PtyPair pty_;
    int heldSlaveFd_ = -1;
    int stopReadFd_ = -1;
    int stopWriteFd_ = -1;

    // Used by the simulator thread only.
    ChipFrameParser parser_;
    BootloaderSession session_;
    bool deaf_ = false;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    ChipRecord record_;

    std::thread thread_;
};
