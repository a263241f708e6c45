// Synchronous mode against a port that echoes what it is sent. The port is
// named by ORVANNE_TEST_PORT, which the pty echo harness sets (on Linux the
// pty itself, under wine a COM port mapped to it).
#include "serialport/SerialPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Collects what the port receives until `count` bytes or the time limit.
std::vector<char> receiveUntil(CSerialPort& port, std::size_t count)
{
    std::vector<char> received;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (received.size() < count && std::chrono::steady_clock::now() < deadline) {
        char chunk[512];
        const int n = port.receive(chunk, sizeof chunk);
        if (n < 0)
            break;
        if (n == 0)
            std::this_thread::sleep_for(5ms); // reads return at once in this mode
        received.insert(received.end(), chunk, chunk + n);
    }
    return received;
}

class SynchronousPort : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* name = std::getenv("ORVANNE_TEST_PORT");
        if (name == nullptr)
            GTEST_SKIP() << "run through the pty echo harness, which names the port";
        port.setIoMode(IoModeSynchronous);
        port.configure(name, 115200, ParityNone, DataBits8, StopBitsOne, FlowControlNone, 4096);
        ASSERT_TRUE(port.openPort()) << port.lastErrorCode() << " " << port.lastErrorText();
    }

    CSerialPort port;
};

TEST_F(SynchronousPort, SendsAndReceivesWithoutAnEventThread)
{
    const std::string message = "RQ51x synchronous echo \x10\x66\x55\x66";
    ASSERT_EQ(port.send(message.data(), static_cast<int>(message.size())),
              static_cast<int>(message.size()));
    const std::vector<char> echoed = receiveUntil(port, message.size());
    EXPECT_EQ(std::string(echoed.begin(), echoed.end()), message);
}

TEST_F(SynchronousPort, CarriesLargerTransfersIntact)
{
    std::string block;
    for (int i = 0; i < 4000; ++i)
        block.push_back(static_cast<char>(i * 7));
    ASSERT_EQ(port.send(block.data(), static_cast<int>(block.size())),
              static_cast<int>(block.size()));
    const std::vector<char> echoed = receiveUntil(port, block.size());
    EXPECT_TRUE(std::string(echoed.begin(), echoed.end()) == block);
}

TEST_F(SynchronousPort, ReportsQueuedBytesFromTheDriver)
{
    ASSERT_EQ(port.send("abc", 3), 3);
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (port.receivedByteCount() < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(port.receivedByteCount(), 3);
    char all[8] = {};
    EXPECT_EQ(port.receiveAll(all), 3);
    EXPECT_STREQ(all, "abc");
}

} // namespace
