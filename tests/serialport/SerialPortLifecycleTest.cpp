// The event thread's life: nothing outlives a close or the port, listeners
// may close their port, and a vanished peer costs no CPU.
#include "serialport/SerialPort.h"
#include "tests/serialport/ReadRecorder.h"
#include "tests/support/ProcessResources.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A port on a pty, configured, with a listener that takes every byte.
class ListenedPort : public ::testing::Test
{
protected:
    ListenedPort()
    {
        recorder.listenTo(port);
        port.configure(pty.slavePath().c_str(), 115200, ParityNone, DataBits8, StopBitsOne, FlowControlNone, 4096);
    }

    PtyPair pty;
    ReadRecorder recorder;
    CSerialPort port;
};

TEST_F(ListenedPort, OpenCloseCyclesWithTrafficLeaveNothingBehind)
{
    // One cycle first, so that anything created once per process (a
    // sanitizer's helper thread) is there before the counting starts.
    ASSERT_TRUE(port.openPort());
    port.closePort();
    const std::size_t threadsBefore = countThreads();
    const std::size_t descriptorsBefore = countOpenDescriptors();
    for (int cycle = 0; cycle < 100; ++cycle) {
        ASSERT_TRUE(port.openPort()) << "cycle " << cycle << ": " << port.lastErrorText();
        pty.write({static_cast<std::uint8_t>(cycle), 0x55});
        ASSERT_EQ(port.send("\x10\x05", 2), 2);
        if (cycle % 10 == 0) {
            ASSERT_TRUE(recorder.waitForCalls(cycle / 10 + 1));
        }
        port.closePort();
        ASSERT_EQ(countThreads(), threadsBefore) << "cycle " << cycle;
    }
    EXPECT_EQ(countOpenDescriptors(), descriptorsBefore);
}

TEST(SerialPortLifecycle, DestroyingAPortDuringACallbackWaitsForIt)
{
    PtyPair pty;
    const std::size_t threadsBefore = countThreads();
    auto port = std::make_unique<CSerialPort>();
    ReadRecorder recorder;
    std::atomic<bool> inCallback{false};
    std::atomic<bool> destroying{false};
    recorder.duringCall = [&] {
        inCallback = true;
        while (!destroying)
            std::this_thread::yield();
        std::this_thread::sleep_for(50ms); // the port is going now; its backend must stay
    };
    recorder.listenTo(*port);
    port->configure(pty.slavePath().c_str(), 115200, ParityNone, DataBits8, StopBitsOne, FlowControlNone, 4096);
    ASSERT_TRUE(port->openPort());
    pty.write({1, 2, 3});
    while (!inCallback)
        std::this_thread::yield();
    destroying = true;
    port.reset();
    EXPECT_EQ(recorder.lengths(), (std::vector<unsigned int>{3}));
    EXPECT_EQ(countThreads(), threadsBefore);
}

TEST_F(ListenedPort, ClosingFromTheListenerDoesNotWaitForItself)
{
    recorder.duringCall = [&] { port.closePort(); };
    const std::size_t threadsBefore = countThreads();
    ASSERT_TRUE(port.openPort());
    pty.write({1});
    ASSERT_TRUE(recorder.waitForCalls(1));
    EXPECT_FALSE(port.isPortOpen());

    recorder.duringCall = nullptr;
    ASSERT_TRUE(port.openPort()); // waits for the thread that closed its own port
    EXPECT_EQ(countThreads(), threadsBefore + 1);
    pty.write({2});
    ASSERT_TRUE(recorder.waitForCalls(2));
    port.closePort();
    EXPECT_EQ(countThreads(), threadsBefore);
}

TEST_F(ListenedPort, APeerHangingUpCostsNoCpuAndLeavesAPortThatCloses)
{
    ASSERT_TRUE(port.openPort());
    pty.write({1, 2, 3, 4});
    ASSERT_TRUE(recorder.waitForBytes(4));
    pty.closeMaster();

    // The event thread meets the hang-up at once; a loop that retries without
    // pausing would take a whole core.
    const double cpuBefore = processCpuSeconds();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(processCpuSeconds() - cpuBefore, 0.05);
    EXPECT_EQ(port.send("x", 1), -1);
    EXPECT_EQ(port.lastErrorCode(), 17);
    port.closePort();
    EXPECT_FALSE(port.isPortOpen());
}

} // namespace
