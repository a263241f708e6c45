// Background reception on a pty: the event thread, the receive buffer and the
// read notification.
#include "serialport/SerialPort.h"
#include "tests/serialport/ReadRecorder.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

std::vector<std::uint8_t> pattern(std::size_t size, unsigned int seed)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 31 + seed + i / 251) & 0xFF);
    return bytes;
}

class ReceiveOnPty : public ::testing::Test
{
protected:
    void open(unsigned int receiveBufferSize = 4096)
    {
        port.configure(pty.slavePath().c_str(), 115200, ParityNone, DataBits8, StopBitsOne, FlowControlNone,
                       receiveBufferSize);
        ASSERT_TRUE(port.openPort()) << port.lastErrorText();
    }

    PtyPair pty;
    ReadRecorder recorder;
    CSerialPort port;
};

TEST_F(ReceiveOnPty, EachCallCountsTheBytesLeftFromEarlierCalls)
{
    recorder.listenTo(port, 2);
    open();
    pty.write({1, 2, 3, 4, 5});
    ASSERT_TRUE(recorder.waitForCalls(1));
    pty.write({6, 7, 8});
    ASSERT_TRUE(recorder.waitForCalls(2));
    EXPECT_EQ(recorder.lengths(), (std::vector<unsigned int>{5, 6}));
    EXPECT_EQ(recorder.received(), (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

// A batch larger than the buffer keeps its newest bytes, and a buffer past
// its high water does not wait for the notify delay.
TEST_F(ReceiveOnPty, AnOverflowKeepsTheNewestBytesAndIsReportedAtOnce)
{
    recorder.listenTo(port);
    open(16);
    port.setNotifyDelay(600000);
    const std::vector<std::uint8_t> bytes = pattern(20, 7);
    pty.write(bytes);
    ASSERT_TRUE(recorder.waitForCalls(1)) << "the call waited for the delay";
    EXPECT_EQ(recorder.lengths().front(), 16u);
    EXPECT_EQ(recorder.received(), std::vector<std::uint8_t>(bytes.end() - 16, bytes.end()));
}

TEST_F(ReceiveOnPty, AMegabyteEachWayArrivesIntactAndInOrder)
{
    constexpr std::size_t kSize = 1 << 20;
    const std::vector<std::uint8_t> inbound = pattern(kSize, 1);
    const std::vector<std::uint8_t> outbound = pattern(kSize, 2);
    recorder.listenTo(port);
    open();

    std::thread deviceWriter([&] { pty.write(inbound); });
    std::thread portWriter([&] {
        for (std::size_t offset = 0; offset < kSize; offset += 1000) {
            const int size = static_cast<int>(std::min<std::size_t>(1000, kSize - offset));
            ASSERT_EQ(port.send(outbound.data() + offset, size), size);
        }
    });
    const std::vector<std::uint8_t> arrived = pty.read(kSize, 120s);
    portWriter.join();
    deviceWriter.join();
    EXPECT_TRUE(arrived == outbound) << "sent bytes were lost or reordered";
    ASSERT_TRUE(recorder.waitForBytes(kSize));
    EXPECT_TRUE(recorder.received() == inbound) << "received bytes were lost or reordered";
}

} // namespace
