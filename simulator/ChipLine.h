#pragma once

#include "simulator/PseudoTerminal.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

// The chip's end of its serial line: the master side of a pseudo-terminal,
// optionally with the time a byte takes on a wire of a given speed (10 bits a
// byte, as 8N1 sends it).
//
// Whatever the program writes is read off the pty as soon as it comes, also
// while the chip waits for something else, and stamped there; with a wire,
// each byte is in at the chip one byte time after it was sent or after the
// byte before it was in, whichever is later. So when a byte came in never
// depends on what the chip was busy with. All timing runs on absolute
// steady_clock deadlines: a late wake-up delays one write, never the ones
// after it.
//
// Threads: the simulator thread makes every call but wake(), releaseSlave()
// and the getters of what is fixed at construction, which any thread may make.
class ChipLine
{
public:
    using Clock = std::chrono::steady_clock;

    struct Byte
    {
        std::uint8_t value;
        // When the program wrote it, as near as reading the pty tells.
        Clock::time_point sentAt;
        // When its last bit is in at the chip: sentAt without a wire.
        Clock::time_point arrivedAt;
    };

    enum class Wait
    {
        Done,   // the deadline has come, or a byte is there to take
        Woken,  // wake() was called
        Closed, // no program has the port open and every byte has been taken
    };

    // baud 0: no wire, bytes pass at once. Check error() before use.
    explicit ChipLine(std::uint32_t baud);
    ~ChipLine();

    ChipLine(const ChipLine&) = delete;
    ChipLine& operator=(const ChipLine&) = delete;

    // Why the line could not be set up; empty when it works.
    const std::string& error() const { return error_; }
    const std::string& slavePath() const { return pty_.slavePath(); }

    // Any thread: the current or next wait ends with Woken until clearWake().
    void wake();
    bool woken() const { return woken_.load(); }
    void clearWake() { woken_.store(false); }

    // Waits until `deadline`, reading the line meanwhile; Done at once when
    // it has passed.
    Wait waitUntil(Clock::time_point deadline);
    // Waits until a byte from the program is there to take.
    Wait waitForByte();
    // The oldest byte not yet taken; only after waitForByte() gave Done.
    Byte takeByte();
    // Forgets every byte read and not yet taken.
    void discardReceived() { received_.clear(); }

    bool hasWire() const { return byteTime_.count() > 0; }
    // When a byte that the chip puts on the line no sooner than `ready` is in
    // at the program, behind the bytes put on it before.
    Clock::time_point sendThroughWire(Clock::time_point ready);
    // Writes to the pty at once; false when the line is gone.
    bool write(const std::uint8_t* bytes, std::size_t size) { return pty_.writeAll(bytes, size); }

    // See PseudoTerminal.
    void hangUp() { pty_.hangUp(); }
    void releaseSlave() { pty_.releaseSlave(); }

private:
    // Waits until the deadline (none: until something is read); false when woken.
    bool readUntil(const Clock::time_point* deadline);
    void readAvailable();

    PseudoTerminal pty_;
    const std::chrono::nanoseconds byteTime_;
    int wakeReadFd_ = -1;
    int wakeWriteFd_ = -1;
    std::atomic<bool> woken_{false};
    std::string error_;

    std::deque<Byte> received_;
    bool programGone_ = false; // reading the pty gives nothing any more
    Clock::time_point inboundFreeAt_{};
    Clock::time_point outboundFreeAt_{};
};
