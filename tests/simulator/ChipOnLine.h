#pragma once

// The program's end of a virtual chip's line, played with raw POSIX I/O on
// the slave side. Frames whose CRC is known are spelt out byte by byte, so
// the chip's own CRC is checked against fixed values, not against itself.
#include "simulator/ChipSimulator.h"
#include "simulator/Crc16Modbus.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace chip_test {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// A deadline for what should come at once; only a broken chip reaches it.
constexpr std::chrono::milliseconds kPatience = 10s;
// Long enough for a chip that still answered to have done so.
constexpr std::chrono::milliseconds kSilence = 300ms;

inline const Bytes kPortOpenNotice{0x10, 0x05};
inline const Bytes kBootModeRequest{0x10, 0x66};
inline const Bytes kEndOfTransfer{0x55, 0x66, 0x34, 0x00, 0x01, 0xAA, 0xC9, 0x8B};
inline const Bytes kExitBootMode{0x55, 0x66, 0x35, 0x00, 0x01, 0xAA, 0x35, 0x8A};
inline const Bytes kBootReady{0x55, 0x66, 0x32, 0x02, 0x05, 0x00};
inline const Bytes kBlockWritten{0x55, 0x66, 0x33};
// Block 3 as a last block with the payload "abc".
inline const Bytes kBlockThreeOfAbc{0x55, 0x66, 0x33, 0x00, 0x03, 0x00, 0x03, 0x61, 0x62, 0x63, 0x15, 0x9B};

inline Bytes operator+(Bytes head, const Bytes& tail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

// Block 1 of 256 bytes 0xFF, whose CRC trailer is known to be CD 32.
inline const Bytes kBlockOneOfFF =
    Bytes{0x55, 0x66, 0x33, 0x00, 0x01, 0x01, 0x00} + Bytes(256, 0xFF) + Bytes{0xCD, 0x32};

inline Bytes blockFrame(std::uint16_t block, const Bytes& payload)
{
    const auto size = payload.size();
    Bytes frame = Bytes{0x55, 0x66, 0x33, std::uint8_t(block >> 8), std::uint8_t(block), std::uint8_t(size >> 8),
                        std::uint8_t(size)} + payload;
    const std::uint16_t crc = crc16Modbus(frame.data(), frame.size());
    return frame + Bytes{std::uint8_t(crc >> 8), std::uint8_t(crc)};
}

// The program's end of a line. The line is left as the chip made it, which
// has to be raw: an echo or a CR LF translation would garble the frames.
struct ProgramEnd
{
    ProgramEnd() = default;
    explicit ProgramEnd(const std::string& path) { open(path); }
    ~ProgramEnd() { close(fd); }
    ProgramEnd(const ProgramEnd&) = delete;
    ProgramEnd& operator=(const ProgramEnd&) = delete;

    void open(const std::string& path) { fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC); }
    void send(const Bytes& bytes) { ASSERT_EQ(write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

    // What came before `count` bytes were there or `wait` had passed.
    Bytes receive(std::size_t count, std::chrono::milliseconds wait = kPatience) { return readUpTo(fd, count, wait); }

    Bytes exchange(const Bytes& frame, std::size_t replyLength) { return send(frame), receive(replyLength); }
    void enterBootMode() { ASSERT_EQ(exchange(kBootModeRequest, 6), kBootReady); }

    // A whole run of a one-block image, answers checked.
    void flash(const Bytes& image)
    {
        enterBootMode();
        EXPECT_EQ(exchange(blockFrame(1, image), 3), kBlockWritten);
        EXPECT_EQ(exchange(kEndOfTransfer, 3), (Bytes{0x55, 0x66, 0x34}));
        EXPECT_EQ(exchange(kExitBootMode, 3), (Bytes{0x55, 0x66, 0x35}));
    }

    int fd = -1;
};

// A chip with the program's end of its line.
struct ChipOnLine : ProgramEnd
{
    explicit ChipOnLine(ChipBehaviour behaviour = {}) : chip(std::move(behaviour)) { open(chip.slavePath()); }

    ChipSimulator chip;
};

} // namespace chip_test
