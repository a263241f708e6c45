#pragma once

#include "simulator/BootloaderSession.h"
#include "simulator/ChipBehaviour.h"
#include "simulator/ChipFrameParser.h"
#include "simulator/ChipLine.h"
#include "simulator/ChipRecord.h"
#include "simulator/LineNoise.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
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
// One board serves run after run: after the exit from boot mode, a new
// boot-mode request starts the next run and its image afresh, and the record's
// events go on (record().count(ChipMessage::BootExited) runs have ended). The
// board can be taken off the line and a new one put there while the port
// stays, as on a station that flashes board after board through one adapter.
//
// With a wire (ChipBehaviour::wireBaud), a frame is taken when its last byte
// has crossed it, and bytes that the program writes meanwhile are timed as
// they come, also while the chip is busy writing a block or answering.
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
    const std::string& slavePath() const { return line_.slavePath(); }

    // Copies taken under the simulator's lock, of the board on the line (or
    // the one taken off it last); any thread may call them.
    ChipRecord record() const;
    std::vector<std::uint8_t> image() const;
    std::string protocolError() const;
    // The records of the boards that newBoard() has replaced, oldest first.
    std::vector<ChipRecord> earlierBoards() const;

    // Takes the board off the line, as when it is unplugged from an adapter
    // that stays: from the return on, the chip takes nothing from the line and
    // answers nothing, and an answer or block write under way is abandoned.
    // Its record stays readable until newBoard(). Any thread.
    void removeBoard();
    // Puts a freshly powered board on the line, in place of the one there if
    // any: a new dialogue, an empty record and image, no protocol error.
    // Bytes that came before the call are not for it. The record of the board
    // before it moves to earlierBoards(); the line's hungUp and portReleased
    // carry over. Any thread; returns once the new board is there.
    void newBoard();

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
    using Clock = ChipLine::Clock;
    enum class BoardChange { Remove, Insert };
    // How a step of the simulator thread ended: go on with the next, or break
    // off for a request (stop, board change), or the line is gone for good.
    enum class Flow { Carry, Interrupted, Ended };

    void serve();
    Flow serveBoard();
    Flow take(const ChipLine::Byte& byte);
    ChipReaction react(ChipFrameParser::Status status);
    Flow respond(const ChipReaction& reaction, std::uint16_t block, Clock::time_point& at);
    Flow writeBlock(std::uint16_t block, Clock::time_point& at);
    Flow answer(const ChipAnswer& answer, Clock::time_point& at);
    Flow send(const std::vector<std::uint8_t>& bytes, Clock::time_point& at, std::optional<ChipMessage> recordAs);
    Flow pauseUntil(Clock::time_point deadline);
    void loseByte();
    void hangUp();

    bool requestPending();
    bool applyRequests();
    void changeBoard(BoardChange change);
    void applyToRecord(const std::vector<BoardChange>& changes);

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
    ChipLine line_;
    std::string setupError_;

    // Used by the simulator thread only.
    ChipFrameParser parser_;
    BootloaderSession session_;
    LineNoise noise_;
    bool boardPresent_ = true;
    bool deaf_ = false;
    // When the chip is done with what it did last, on its own schedule.
    Clock::time_point busyUntil_{};
    struct BlockWrite
    {
        std::uint16_t block = 0;
        Clock::time_point from{};
        Clock::time_point until{};
    } writing_; // the latest

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    ChipRecord record_;
    std::vector<ChipRecord> earlierBoards_;
    bool stopRequested_ = false;
    std::vector<BoardChange> boardChanges_; // requested, not yet applied
    std::size_t boardChangesRequested_ = 0;
    std::size_t boardChangesApplied_ = 0;
    bool serving_ = false;

    std::thread thread_;
};
