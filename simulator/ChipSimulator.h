#pragma once

#include "simulator/BootloaderSession.h"
#include "simulator/ChipBehaviour.h"
#include "simulator/ChipFrameParser.h"
#include "simulator/ChipRecord.h"
#include "simulator/LineNoise.h"
#include "simulator/PseudoTerminal.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// An RQ51x bootloader on the master side of a pseudo-terminal: a program opens
// slavePath() as its serial port and flashes through it. Every frame is
// checked with the chip's own CRC and recorded, and the payloads of the blocks
// make up the received image. The first violation of the protocol ends all
// answering, as a real chip would acknowledge nothing more.
//
//   ChipSimulator chip;
//   ... open chip.slavePath(), flash ...
//   chip.waitUntilBootExitAcknowledged(30s);
//   chip.protocolError() == "" and chip.image() == the firmware file
//
// The chip serves on a thread of its own from construction to destruction;
// the destructor stops it, also in the middle of a pause. The program may open
// and close the port any number of times in between.
class ChipSimulator
{
public:
    explicit ChipSimulator(ChipBehaviour behaviour = {});
    ~ChipSimulator();

    ChipSimulator(const ChipSimulator&) = delete;
    ChipSimulator& operator=(const ChipSimulator&) = delete;

    // Why the chip could not be set up (no pseudo-terminal to be had); empty
    // when it serves. A chip that is not set up has no slave path.
    const std::string& setupError() const { return setupError_; }
    const std::string& slavePath() const { return pty_.slavePath(); }

    // Copies taken under the simulator's lock; any thread may call them.
    ChipRecord record() const;
    std::vector<std::uint8_t> image() const;
    std::string protocolError() const;

    // Waits until `condition` holds for the record or `timeout` has passed;
    // returns whether it holds. The condition is checked whenever the record
    // changes.
    bool waitUntil(const std::function<bool(const ChipRecord&)>& condition, std::chrono::milliseconds timeout) const;
    // Reply 35 has been written: the program's run is over.
    bool waitUntilBootExitAcknowledged(std::chrono::milliseconds timeout) const;
    bool waitUntilHungUp(std::chrono::milliseconds timeout) const;
    // Lets go of the line and waits until the program has closed the port, so
    // that the chip's last answer is read before the chip goes away.
    bool waitUntilPortReleased(std::chrono::milliseconds timeout);

private:
    void serve();
    bool takeChunk(const std::uint8_t* bytes, std::size_t size, std::chrono::steady_clock::time_point readAt);
    ChipReaction react(ChipFrameParser::Status status);
    bool writeAnswer(const ChipAnswer& answer);
    bool writeAndRecord(ChipMessage message, const std::vector<std::uint8_t>& bytes);
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
    PseudoTerminal pty_;
    int stopReadFd_ = -1;
    int stopWriteFd_ = -1;
    std::string setupError_;

    // Used by the simulator thread only.
    ChipFrameParser parser_;
    BootloaderSession session_;
    LineNoise noise_;
    bool deaf_ = false;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    ChipRecord record_;

    std::thread thread_;
};
