// What a port does before any device is involved; these run on every platform.
#include "serialport/SerialPort.h"

#include <gtest/gtest.h>

namespace {

TEST(SerialPortFront, AClosedPortReportsNotOpenAndKeepsTheCode)
{
    CSerialPort port;
    char buffer[10];
    EXPECT_EQ(port.receive(buffer, 10), -1);
    EXPECT_EQ(port.lastErrorCode(), 14);
    EXPECT_EQ(port.receive(buffer, 0), 0);
    EXPECT_EQ(port.lastErrorCode(), 14) << "a later success keeps the failure's code";
    port.resetLastError();
    EXPECT_EQ(port.send("x", 1), -1);
    EXPECT_EQ(port.lastErrorCode(), 14);
}

TEST(SerialPortFront, AMissingPortIsReportedAsNotExisting)
{
    CSerialPort port;
    port.configure("ORVANNE_NO_SUCH_PORT", 115200, ParityNone, DataBits8, StopBitsOne, FlowControlNone, 4096);
    EXPECT_FALSE(port.openPort());
    EXPECT_EQ(port.lastErrorCode(), 12);
    EXPECT_FALSE(port.isPortOpen());
}

} // namespace
