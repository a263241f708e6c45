// Guards the chip simulator that the end-to-end tests flash through: the
// program's side of the line is played by hand with raw POSIX I/O on the
// slave side, with frames spelt out byte by byte where their CRC is known.
#include "simulator/ChipSimulator.h"
#include "simulator/Crc16Modbus.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <initializer_list>

namespace {

using namespace std::chrono_literals;
using ::testing::_;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

// A deadline for what should come at once; only a broken simulator reaches it.
constexpr std::chrono::milliseconds kPatience = 10s;

const Bytes kPortOpenNotice{0x10, 0x05};
const Bytes kBootModeRequest{0x10, 0x66};
const Bytes kEndOfTransfer{0x55, 0x66, 0x34, 0x00, 0x01, 0xAA, 0xC9, 0x8B};
const Bytes kExitBootMode{0x55, 0x66, 0x35, 0x00, 0x01, 0xAA, 0x35, 0x8A};
const Bytes kBlockWritten{0x55, 0x66, 0x33};
const Bytes kTransferEnded{0x55, 0x66, 0x34};
const Bytes kBootExited{0x55, 0x66, 0x35};

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes blockFrame(std::uint16_t block, const Bytes& payload)
{
    Bytes frame;
    frame.reserve(payload.size() + 9);
    frame = {0x55, 0x66, 0x33, static_cast<std::uint8_t>(block >> 8), static_cast<std::uint8_t>(block),
             static_cast<std::uint8_t>(payload.size() >> 8), static_cast<std::uint8_t>(payload.size())};
    frame.insert(frame.end(), payload.begin(), payload.end());
    const std::uint16_t crc = crc16Modbus(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    frame.push_back(static_cast<std::uint8_t>(crc));
    return frame;
}

Bytes countingBlock()
{
    Bytes payload(256);
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<std::uint8_t>(i);
    return payload;
}

// Block 1 of 256 bytes 0xFF, whose CRC trailer is known to be CD 32.
Bytes blockOneOfFF()
{
    return concat({{0x55, 0x66, 0x33, 0x00, 0x01, 0x01, 0x00}, Bytes(256, 0xFF), {0xCD, 0x32}});
}

// Block 3 as a last block with the payload "abc".
const Bytes kBlockThreeOfAbc{0x55, 0x66, 0x33, 0x00, 0x03, 0x00, 0x03, 0x61, 0x62, 0x63, 0x15, 0x9B};

// The program's end of the line, played by hand.
class SlaveLine
{
public:
    explicit SlaveLine(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC))
    {
        EXPECT_GE(fd_, 0) << path << ": " << std::strerror(errno);
        termios tty{};
        tcgetattr(fd_, &tty);
        cfmakeraw(&tty);
        tcsetattr(fd_, TCSANOW, &tty);
    }
    ~SlaveLine() { close(fd_); }

    SlaveLine(const SlaveLine&) = delete;
    SlaveLine& operator=(const SlaveLine&) = delete;

    void send(const Bytes& bytes)
    {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = write(fd_, bytes.data() + sent, bytes.size() - sent);
            if (n < 0 && errno == EINTR)
                continue;
            ASSERT_GT(n, 0) << std::strerror(errno);
            sent += static_cast<std::size_t>(n);
        }
    }

    // What came within kPatience, up to `count` bytes.
    Bytes receive(std::size_t count)
    {
        Bytes bytes;
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd fd{fd_, POLLIN, 0};
            if (poll(&fd, 1, 100) <= 0 || !(fd.revents & POLLIN))
                continue;
            std::uint8_t chunk[512];
            const ssize_t n = read(fd_, chunk, std::min(sizeof chunk, count - bytes.size()));
            if (n > 0)
                bytes.insert(bytes.end(), chunk, chunk + n);
        }
        return bytes;
    }

    Bytes exchange(const Bytes& frame, std::size_t replyLength)
    {
        send(frame);
        return receive(replyLength);
    }

    bool hungUp() const
    {
        pollfd fd{fd_, POLLIN, 0};
        return poll(&fd, 1, 0) == 1 && (fd.revents & POLLHUP);
    }

private:
    int fd_;
};

// A simulator with the program's end of its line.
struct ChipOnLine
{
    explicit ChipOnLine(ChipBehaviour behaviour = {}) : chip(std::move(behaviour)) {}

    void enterBootMode() { ASSERT_THAT(line.exchange(kBootModeRequest, 6), ElementsAre(0x55, 0x66, 0x32, _, _, 0x00)); }

    ChipSimulator chip;
    SlaveLine line{chip.slavePath()};
};

std::vector<ChipMessage> messagesOf(const ChipRecord& record)
{
    std::vector<ChipMessage> messages;
    for (const ChipEvent& event : record.events)
        messages.push_back(event.message);
    return messages;
}

bool hasProtocolError(const ChipRecord& record)
{
    return !record.protocolError.empty();
}

TEST(ChipSimulatorDialogue, AcknowledgesAFlashRunAndKeepsTheImage)
{
    ChipOnLine bench;
    bench.line.send(concat({kPortOpenNotice, kBootModeRequest})); // two frames in one piece
    EXPECT_THAT(bench.line.receive(6), ElementsAre(0x55, 0x66, 0x32, _, _, 0x00));
    EXPECT_EQ(bench.line.exchange(blockOneOfFF(), 3), kBlockWritten);
    EXPECT_EQ(bench.line.exchange(blockFrame(2, countingBlock()), 3), kBlockWritten);
    EXPECT_EQ(bench.line.exchange(kBlockThreeOfAbc, 3), kBlockWritten);
    EXPECT_EQ(bench.line.exchange(kEndOfTransfer, 3), kTransferEnded);
    EXPECT_EQ(bench.line.exchange(kExitBootMode, 3), kBootExited);
    ASSERT_TRUE(bench.chip.waitUntilBootExitAcknowledged(kPatience));

    const ChipRecord record = bench.chip.record();
    EXPECT_EQ(record.protocolError, "");
    EXPECT_EQ(record.image, concat({Bytes(256, 0xFF), countingBlock(), {'a', 'b', 'c'}}));
    using M = ChipMessage;
    EXPECT_THAT(messagesOf(record),
                ElementsAre(M::PortOpenNotice, M::BootModeRequest, M::BootReady, M::DataBlock, M::BlockWritten,
                            M::DataBlock, M::BlockWritten, M::DataBlock, M::BlockWritten, M::EndOfTransfer,
                            M::TransferEnded, M::ExitBootMode, M::BootExited));
    // Each frame was sent only after the answer before it had come.
    EXPECT_TRUE(std::is_sorted(record.events.begin(), record.events.end(),
                               [](const ChipEvent& a, const ChipEvent& b) { return a.time < b.time; }));
}

struct Violation
{
    const char* name;
    Bytes afterBootMode;
    std::size_t blocksAcknowledged;
    const char* description;
};

void PrintTo(const Violation& violation, std::ostream* out)
{
    *out << violation.name;
}

class ChipSimulatorViolation : public ::testing::TestWithParam<Violation>
{
};

TEST_P(ChipSimulatorViolation, IsReportedAndLeftUnanswered)
{
    ChipOnLine bench;
    bench.enterBootMode();
    bench.line.send(GetParam().afterBootMode);
    ASSERT_TRUE(bench.chip.waitUntil(hasProtocolError, kPatience));

    const ChipRecord record = bench.chip.record();
    EXPECT_THAT(record.protocolError, HasSubstr(GetParam().description));
    EXPECT_EQ(record.count(ChipMessage::BlockWritten), GetParam().blocksAcknowledged);
}

Bytes withCrcBroken(Bytes frame)
{
    frame.back() ^= 0x01;
    return frame;
}

INSTANTIATE_TEST_SUITE_P(
    , ChipSimulatorViolation,
    ::testing::Values(
        Violation{"BadCrc", withCrcBroken(blockOneOfFF()), 0, "block frame 1: CRC CD 33 where CD 32 was expected"},
        Violation{"BlockOutOfSequence", blockFrame(2, countingBlock()), 0, "block frame 2 where block 1 was expected"},
        Violation{"ShortBlockBeforeTheLast", concat({blockFrame(1, Bytes(100, 7)), blockFrame(2, Bytes(10, 7))}), 1,
                  "only the last block may be shorter than 256"},
        Violation{"LengthAboveABlock", {0x55, 0x66, 0x33, 0x00, 0x01, 0x01, 0x01}, 0, "length 257, outside 1 to 256"},
        Violation{"UnknownBytes", {'A', 'T', '\r', '\n'}, 0, "unexpected byte 41"},
        Violation{"ExitBeforeAnyTransfer", kExitBootMode, 0, "exit-boot-mode frame right after boot mode was granted"}),
    [](const ::testing::TestParamInfo<Violation>& info) { return std::string(info.param.name); });

// The faults the simulator can play are exercised through the real program
// by the end-to-end tests.

TEST(ChipFrameParser, AFrameInSingleBytesParsesAndCountsFromItsFirstByte)
{
    ChipFrameParser parser;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i + 1 < kBlockThreeOfAbc.size(); ++i)
        ASSERT_EQ(parser.take(kBlockThreeOfAbc[i], start + i * 1ms), ChipFrameParser::Status::NeedMore) << i;
    ASSERT_EQ(parser.take(kBlockThreeOfAbc.back(), start + 11ms), ChipFrameParser::Status::FrameComplete);
    EXPECT_EQ(parser.frame().message, ChipMessage::DataBlock);
    EXPECT_EQ(parser.frame().block, 3);
    EXPECT_EQ(parser.frame().payload, (Bytes{'a', 'b', 'c'}));
    EXPECT_EQ(parser.frame().firstByteAt, start);

    ASSERT_EQ(parser.take(0x10, start + 20ms), ChipFrameParser::Status::NeedMore);
    ASSERT_EQ(parser.take(0x66, start + 21ms), ChipFrameParser::Status::FrameComplete);
    EXPECT_EQ(parser.frame().message, ChipMessage::BootModeRequest);
    EXPECT_EQ(parser.frame().firstByteAt, start + 20ms);
}

} // namespace
