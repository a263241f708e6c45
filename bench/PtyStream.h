#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

// The device side of a throughput run on a pty: the bytes the master sends,
// the thread that sends them and the check that every one arrives in order.

// A receiver that sees nothing for this long stops waiting: the rest counts as lost.
constexpr std::chrono::seconds kStallLimit{5};

// Long enough that a run lasts about a second.
constexpr std::size_t kStreamSize = 96u << 20;

// The bytes of one run, pseudo-random rather than a short repeating pattern
// so that a lost or doubled chunk cannot line up with the expected bytes again.
const std::vector<std::uint8_t>& streamBytes();

// Compares received bytes with streamBytes() as they come. Not thread-safe.
class StreamCheck
{
public:
    // Counts the bytes in; a byte that differs, or one more than were sent,
    // fails the check for good.
    void take(const void* data, std::size_t size);

    bool done() const { return failed_ || received_ == streamBytes().size(); }
    bool complete() const { return !failed_ && received_ == streamBytes().size(); }
    std::size_t received() const { return received_; }
    std::size_t remaining() const { return streamBytes().size() - received_; }
    // What went wrong, for a check that is not complete.
    std::string fault() const;

private:
    std::size_t received_ = 0; // on failure: the offset of the first wrong byte
    bool failed_ = false;
};

// Writes streamBytes() to a pty master in 4 KiB writes, as fast as the pty
// takes them, on a thread of its own. finish() (and destruction) waits for
// the thread, and stops it if the receiver gave up and the pty is full.
class MasterWriter
{
public:
    explicit MasterWriter(int masterFd);
    ~MasterWriter();

    MasterWriter(const MasterWriter&) = delete;
    MasterWriter& operator=(const MasterWriter&) = delete;

    // Ends the writing; returns the CPU seconds the writer's thread used, so
    // that a receiver's share of the process's CPU time can be told apart.
    double finish();

private:
    void run(int masterFd);

    std::atomic<bool> stop_{false};
    double cpuSeconds_ = 0;
    std::thread thread_;
};

