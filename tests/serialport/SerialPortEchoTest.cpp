// Against a port that echoes what it is sent. The port is named by
// ORVANNE_TEST_PORT, which the pty echo harness sets (on Linux the pty itself,
// under wine a COM port mapped to it).
#include "serialport/SerialPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

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
    std::string block;
    for (int i = 0; i < 4000; ++i)
        block.push_back(static_cast<char>(i * 7));
    ASSERT_EQ(port.send(block.data(), static_cast<int>(block.size())), static_cast<int>(block.size()));
    std::string echoed;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (echoed.size() < block.size() && std::chrono::steady_clock::now() < deadline) {
        char chunk[512];
        const int n = port.receive(chunk, sizeof chunk);
        ASSERT_GE(n, 0) << port.lastErrorText();
        if (n == 0)
            std::this_thread::sleep_for(5ms); // reads return at once in this mode
        echoed.append(chunk, static_cast<std::size_t>(n));
    }
    EXPECT_TRUE(echoed == block);
}

} // namespace
