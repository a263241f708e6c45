// Background reception on a pty: the event thread, the receive buffer and the
// read notification.
#include "serialport/SerialPort.h"
#include "tests/serialport/ReadRecorder.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
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
        port.configure(pty.slavePath().c_str(), 115200, ParityNone, DataBits8, StopBitsOne,
                       FlowControlNone, receiveBufferSize);
        ASSERT_TRUE(port.openPort()) << port.lastErrorText();
    }

    PtyPair pty;
    ReadRecorder recorder;
    CSerialPort port;
};

TEST_F(ReceiveOnPty, EachBatchIsNotifiedWithEverythingStillBuffered)
{
    recorder.listenTo(port, 2); // leaves bytes behind on purpose
    open();
    pty.write({1, 2, 3, 4, 5});
    ASSERT_TRUE(recorder.waitForCalls(1));
    pty.write({6, 7, 8});
    ASSERT_TRUE(recorder.waitForCalls(2));
    EXPECT_EQ(recorder.lengths(), (std::vector<unsigned int>{5, 6}));
    EXPECT_EQ(recorder.received(), (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

TEST_F(ReceiveOnPty, TheNotifyMinimumHoldsBackSmallerBatches)
{
    recorder.listenTo(port);
    open();
    port.setNotifyMinimum(4);
    pty.write({1, 2, 3});
    // Give a careless event thread every chance to report the three bytes alone.
    std::this_thread::sleep_for(200ms);
    pty.write({4, 5});
    ASSERT_TRUE(recorder.waitForCalls(1));
    EXPECT_EQ(recorder.lengths().front(), 5u);
    EXPECT_EQ(recorder.received(), (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
}

TEST_F(ReceiveOnPty, ADelayCoalescesABurstIntoOneCall)
{
    recorder.listenTo(port);
    open();
    port.setNotifyDelay(1000);
    for (int batch = 0; batch < 10; ++batch) {
        pty.write({static_cast<std::uint8_t>(batch), 0xAA});
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_TRUE(recorder.waitForCalls(1));
    EXPECT_EQ(recorder.lengths(), (std::vector<unsigned int>{20}));
    EXPECT_EQ(recorder.received().size(), 20u);
}

TEST_F(ReceiveOnPty, ABufferPastItsHighWaterIsReportedAtOnce)
{
    recorder.listenTo(port);
    open(16); // high water 12
    port.setNotifyDelay(60000);
    const std::vector<std::uint8_t> bytes = pattern(20, 7);
    pty.write(bytes);
    ASSERT_TRUE(recorder.waitForCalls(1, 30s)) << "the call waited for the delay";
    EXPECT_EQ(recorder.lengths().front(), 16u) << "a full buffer holds its capacity";
    EXPECT_EQ(recorder.received(), std::vector<std::uint8_t>(bytes.end() - 16, bytes.end()));
}

TEST_F(ReceiveOnPty, WithoutAListenerBytesAreStillBuffered)
{
    open();
    pty.write({9, 8, 7});
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (port.receivedByteCount() < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    std::uint8_t bytes[8] = {};
    ASSERT_EQ(port.receive(bytes, sizeof bytes), 3);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + 3), (std::vector<std::uint8_t>{9, 8, 7}));
}

TEST_F(ReceiveOnPty, ANullListenerKeepsTheOneBefore)
{
    recorder.listenTo(port);
    EXPECT_EQ(port.attachListener(nullptr), 5);
    open();
    pty.write({42});
    ASSERT_TRUE(recorder.waitForBytes(1));
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
    ASSERT_TRUE(recorder.waitForBytes(kSize, 120s));
    EXPECT_TRUE(recorder.received() == inbound) << "received bytes were lost or reordered";
}

} // namespace
