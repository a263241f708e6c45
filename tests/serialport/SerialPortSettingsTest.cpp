// Settings, error codes, defaults and the behaviour of a closed port: nothing
// here needs a device, so these run on every platform.
#include "serialport/SerialPort.h"
#include "serialport/windows/SerialPortWinBase.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SerialResultText, EveryCodeHasItsFixedText)
{
    const char* const expected[] = {
        "unknown error",       "success",           "general error",       "not implemented error",
        "innet error",         "null pointer error", "invalid param error", "access denied error",
        "out of memory error", "timeout error",     "not init error",      "init failed error",
        "already exist error", "not exist error",   "already open error",  "not open error",
        "open failed error",   "close failed error", "write failed error", "read failed error",
    };
    for (int code = -1; code <= 18; ++code)
        EXPECT_STREQ(serialResultText(code), expected[code + 1]) << "code " << code;
    EXPECT_STREQ(serialResultText(-2), "undefined error code");
    EXPECT_STREQ(serialResultText(19), "undefined error code");
}

TEST(SerialPortBackend, StartsWithTheLibraryDefaults)
{
    CSerialPortWinBase backend;
    EXPECT_EQ(backend.notifyDelay(), 50);
    EXPECT_EQ(backend.notifyMinimum(), 1);
    EXPECT_EQ(backend.notifyHighWater(), 3276);
    EXPECT_EQ(backend.lastErrorCode(), 0);
    EXPECT_STREQ(backend.lastErrorText(), "success");
    EXPECT_FALSE(backend.isPortOpen());
    EXPECT_STREQ(CSerialPortWinBase("COM3").deviceName(), "COM3");
}

TEST(SerialPortBackend, ConfigureSetsTheHighWaterFromTheBufferSize)
{
    CSerialPortWinBase backend;
    backend.configure("COM1", 19200, ParityEven, DataBits7, StopBitsTwo, FlowControlSoftware, 1000);
    EXPECT_EQ(backend.notifyHighWater(), 800);
    EXPECT_EQ(backend.receiveBufferSize(), 1000u);
    EXPECT_EQ(backend.baud(), 19200);
    EXPECT_EQ(backend.parityMode(), ParityEven);
    EXPECT_EQ(backend.dataBitCount(), DataBits7);
    EXPECT_EQ(backend.stopBitMode(), StopBitsTwo);
    EXPECT_EQ(backend.flowMode(), FlowControlSoftware);

    backend.configure("COM1", 9600, ParityNone, DataBits8, StopBitsOne, FlowControlNone, 1);
    EXPECT_EQ(backend.notifyHighWater(), 0);
}

TEST(SerialPortFront, StartsReadyWithADelayOfZero)
{
    CSerialPort port;
    EXPECT_STREQ(port.deviceName(), "");
    EXPECT_EQ(port.baud(), 9600);
    EXPECT_EQ(port.parityMode(), ParityNone);
    EXPECT_EQ(port.dataBitCount(), DataBits8);
    EXPECT_EQ(port.stopBitMode(), StopBitsOne);
    EXPECT_EQ(port.flowMode(), FlowControlNone);
    EXPECT_EQ(port.receiveBufferSize(), 4096u);
    EXPECT_EQ(port.notifyDelay(), 0);
    EXPECT_EQ(port.lastErrorCode(), 0);
    EXPECT_STREQ(port.lastErrorText(), "success");
    EXPECT_FALSE(port.isPortOpen());
}

TEST(SerialPortFront, NamesTheLibraryVersion)
{
    const std::string version = CSerialPort::libraryVersion();
    const std::string suffix = " - V4.3.1.240204";
    ASSERT_GT(version.size(), suffix.size());
    EXPECT_EQ(version.substr(version.size() - suffix.size()), suffix);
}

class FrontWithoutBackend : public CSerialPort
{
public:
    FrontWithoutBackend() : CSerialPort(NoBackend{}) {}
};

TEST(SerialPortFront, WithoutABackendAnswersTheGuardValues)
{
    FrontWithoutBackend port;
    char buffer[8];
    port.configure("COM1", 9600, ParityNone, DataBits8, StopBitsOne, FlowControlNone, 4096);
    port.closePort();
    EXPECT_FALSE(port.openPort());
    EXPECT_FALSE(port.isPortOpen());
    EXPECT_FALSE(port.flushOutput());
    EXPECT_FALSE(port.discardInput());
    EXPECT_FALSE(port.discardOutput());
    EXPECT_EQ(port.attachListener(nullptr), 4);
    EXPECT_EQ(port.detachListener(), 4);
    EXPECT_EQ(port.receivedByteCount(), 4);
    EXPECT_EQ(port.receive(buffer, 8), 4);
    EXPECT_EQ(port.receiveAll(buffer), 4);
    EXPECT_EQ(port.receiveLine(buffer, 8), 4);
    EXPECT_EQ(port.send(buffer, 8), 4);
    EXPECT_EQ(port.lastErrorCode(), 4);
    EXPECT_EQ(port.baud(), 4);
    EXPECT_EQ(port.receiveBufferSize(), 4u);
    EXPECT_EQ(port.notifyDelay(), 0);
    EXPECT_EQ(port.parityMode(), ParityNone);
    EXPECT_EQ(port.stopBitMode(), StopBitsOne);
    EXPECT_EQ(port.flowMode(), FlowControlNone);
    EXPECT_EQ(port.dataBitCount(), DataBits8);
    EXPECT_STREQ(port.lastErrorText(), "");
    EXPECT_STREQ(port.deviceName(), "");
}

TEST(SerialPortClosed, ReportsNotOpenAndKeepsTheLastError)
{
    CSerialPort port;
    char buffer[10];
    EXPECT_EQ(port.receive(buffer, 0), 0);
    EXPECT_EQ(port.receive(buffer, -5), 0);
    EXPECT_EQ(port.lastErrorCode(), 0) << "a size of 0 or less is no failure";

    EXPECT_EQ(port.receive(buffer, 10), -1);
    EXPECT_EQ(port.lastErrorCode(), 14);
    EXPECT_EQ(port.receive(buffer, 0), 0);
    EXPECT_EQ(port.lastErrorCode(), 14) << "a later success keeps the failure's code";
    port.resetLastError();
    EXPECT_EQ(port.lastErrorCode(), 0);

    EXPECT_EQ(port.send("x", 1), -1);
    EXPECT_EQ(port.lastErrorCode(), 14);
    EXPECT_EQ(port.receiveLine(buffer, 10), -1);
    EXPECT_EQ(port.lastErrorCode(), 14);
    EXPECT_EQ(port.receivedByteCount(), 0);
    EXPECT_FALSE(port.flushOutput());
    EXPECT_FALSE(port.discardInput());
}

TEST(SerialPortClosed, IgnoresABufferSizeChange)
{
    CSerialPort port;
    port.setReceiveBufferSize(8192);
    EXPECT_EQ(port.receiveBufferSize(), 4096u);
}

TEST(SerialPortClosed, ANullListenerIsRefusedWithoutAnErrorCode)
{
    CSerialPort port;
    EXPECT_EQ(port.attachListener(nullptr), 5);
    EXPECT_EQ(port.lastErrorCode(), 0);
}

TEST(SerialPortOpen, AMissingPortIsReportedAsNotExisting)
{
    CSerialPort port;
    port.configure("ORVANNE_NO_SUCH_PORT", 115200, ParityNone, DataBits8, StopBitsOne,
                   FlowControlNone, 4096);
    EXPECT_FALSE(port.openPort());
    EXPECT_EQ(port.lastErrorCode(), 12);
    EXPECT_STREQ(port.lastErrorText(), "not exist error");
    EXPECT_FALSE(port.isPortOpen());
}

} // namespace
