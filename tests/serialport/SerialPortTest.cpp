// What every platform's port does: refusing bad input, and, against a port
// that echoes what it is sent, carrying data in both I/O modes without
// burning CPU while idle. The echoing port is named by ORVANNE_TEST_PORT,
// which the pty echo harness sets (on Linux the pty itself, under wine a COM
// port mapped to it).
#include "serialport/SerialPort.h"
#include "tests/serialport/ReadRecorder.h"
#include "tests/support/ProcessResources.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

namespace {

TEST(SerialPort, RefusesNegativeSizesNullBuffersAndNamesThatDoNotFit)
{
    CSerialPort port;
    char buffer[4];
    const std::function<int()> calls[] = {
        [&] { return port.send(buffer, -1); },    [&] { return port.send(nullptr, 4); },
        [&] { return port.receive(buffer, -5); }, [&] { return port.receive(nullptr, 4); },
        [&] { return port.receiveLine(buffer, -1); },
    };
    for (const auto& call : calls) {
        port.resetLastError();
        EXPECT_EQ(call(), -1);
        EXPECT_EQ(port.lastErrorCode(), 5);
    }
    // A name cut to its field would open another device.
    const std::string fits(255, 'x');
    port.configure(fits.c_str(), 9600, ParityNone, DataBits8, StopBitsOne, FlowControlNone, 4096);
    EXPECT_EQ(port.deviceName(), fits);
    port.configure((fits + 'y').c_str(), 9600, ParityNone, DataBits8, StopBitsOne, FlowControlNone, 4096);
    EXPECT_EQ(port.lastErrorCode(), 5);
    EXPECT_FALSE(port.openPort());
    EXPECT_EQ(port.lastErrorCode(), 5);

    port.configure("ORVANNE_NO_SUCH_PORT", 9600, ParityNone, DataBits8, StopBitsOne, FlowControlNone, 4096);
    EXPECT_FALSE(port.openPort());
    EXPECT_EQ(port.lastErrorCode(), 12);
}

using EchoingPort = ::testing::TestWithParam<SerialIoMode>;

TEST_P(EchoingPort, EchoesABlockIntactAndIdlesQuietly)
{
    const std::optional<std::string> name = environmentValue("ORVANNE_TEST_PORT");
    if (!name)
        GTEST_SKIP() << "run through the pty echo harness, which names the port";
    CSerialPort port;
    port.setIoMode(GetParam());
    port.configure(name->c_str(), 115200, ParityNone, DataBits8, StopBitsOne, FlowControlNone, 8192);
    ASSERT_TRUE(port.openPort()) << port.lastErrorCode() << " " << port.lastErrorText();

    std::string block;
    for (int i = 0; i < 4000; ++i)
        block.push_back(static_cast<char>(i * 7));
    ASSERT_EQ(port.send(block.data(), static_cast<int>(block.size())), static_cast<int>(block.size()));
    std::string echoed;
    EXPECT_TRUE(eventually([&] {
        char chunk[512];
        echoed.append(chunk, static_cast<std::size_t>(std::max(port.receive(chunk, sizeof chunk), 0)));
        return echoed.size() >= block.size();
    }));
    EXPECT_TRUE(echoed == block);

    // An event thread that does not wait for its events would spin here.
    const double cpuBefore = processCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_LT(processCpuSeconds() - cpuBefore, 0.2);
}

INSTANTIATE_TEST_SUITE_P(BothModes, EchoingPort, ::testing::Values(IoModeAsynchronous, IoModeSynchronous));

} // namespace
