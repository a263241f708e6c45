#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A pseudo-terminal pair for serial tests: the test holds the master side and
// plays the device; the code under test opens slavePath() like a serial port.
class PtyPair
{
public:
    // Aborts the test program with a message if no pty can be had.
    PtyPair();
    ~PtyPair();

    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& slavePath() const { return slavePath_; }
    int masterFd() const { return masterFd_; }

    // Writes every byte to the master (the bytes the "device" sends).
    void write(const void* data, std::size_t size);
    void write(const std::vector<std::uint8_t>& bytes) { write(bytes.data(), bytes.size()); }

    // Reads from the master until `count` bytes have come or `timeout` passed;
    // returns what came.
    std::vector<std::uint8_t> read(std::size_t count, std::chrono::milliseconds timeout);

    // Hangs up: the slave side then sees the device gone.
    void closeMaster();

private:
    int masterFd_ = -1;
    std::string slavePath_;
};
