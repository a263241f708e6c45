#pragma once

#include "simulator/PseudoTerminal.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

// The product's pseudo-terminal as a test fixture: the test holds the master
// side and plays the device; the code under test opens slavePath() like a
// serial port. Aborts the test program when no pty can be had or the master
// cannot be written, so that a test never goes on without its device.
class PtyPair : public PseudoTerminal
{
public:
    PtyPair();

    // Writes every byte to the master (the bytes the "device" sends).
    void write(const void* data, std::size_t size);
    void write(const std::vector<std::uint8_t>& bytes) { write(bytes.data(), bytes.size()); }

    // Reads from the master (the bytes the "device" receives).
    std::vector<std::uint8_t> read(std::size_t count, std::chrono::milliseconds timeout);
};

// Reads from `fd` until `count` bytes have come or `timeout` passed; returns
// what came.
std::vector<std::uint8_t> readUpTo(int fd, std::size_t count, std::chrono::milliseconds timeout);
