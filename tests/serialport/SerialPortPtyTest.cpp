// Opening, configuring and closing real ttys (the slave side of a pty). A pty
// keeps the speed, stop bits and flow control it is given but always reports
// 8 data bits without parity; the translation of those two is checked on the
// termios the layer hands the kernel (TtyTermios2Test).
#include "serialport/SerialPort.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TtyLineView.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace std::chrono_literals;

class SerialPortOnPty : public ::testing::Test
{
protected:
    void configure(int baudRate, SerialParity parity = ParityNone,
                   SerialDataBits dataBits = DataBits8, SerialStopBits stopBits = StopBitsOne)
    {
        port.configure(pty.slavePath().c_str(), baudRate, parity, dataBits, stopBits,
                       FlowControlNone, 4096);
    }

    TtyLineView line() const { return TtyLineView::ofSlaveOf(pty.masterFd()); }

    PtyPair pty;
    CSerialPort port;
};

TEST_F(SerialPortOnPty, OpensRawAndCarriesBytesOut)
{
    configure(115200);
    ASSERT_TRUE(port.openPort()) << port.lastErrorText();
    EXPECT_TRUE(port.isPortOpen());
    EXPECT_TRUE(line().raw);
    EXPECT_FALSE(line().hardwareFlow);
    EXPECT_FALSE(line().softwareFlow);

    const char bytes[] = {0x10, 0x05, '\n', '\r', 0x00, 0x7F};
    EXPECT_EQ(port.send(bytes, sizeof bytes), static_cast<int>(sizeof bytes));
    EXPECT_EQ(pty.read(sizeof bytes, 10s), std::vector<std::uint8_t>(bytes, bytes + sizeof bytes));

    port.closePort();
    EXPECT_FALSE(port.isPortOpen());
}

TEST_F(SerialPortOnPty, APortHeldByAnotherOpenIsAccessDenied)
{
    configure(115200);
    ASSERT_TRUE(port.openPort());
    CSerialPort second;
    second.configure(pty.slavePath().c_str(), 9600, ParityNone, DataBits8, StopBitsOne,
                     FlowControlNone, 4096);
    EXPECT_FALSE(second.openPort());
    EXPECT_EQ(second.lastErrorCode(), 6);

    port.closePort();
    EXPECT_TRUE(second.openPort()) << "the port is free again once closed";
}

TEST_F(SerialPortOnPty, OpeningAnOpenPortFailsAndLeavesItClosed)
{
    configure(115200);
    ASSERT_TRUE(port.openPort());
    EXPECT_FALSE(port.openPort());
    EXPECT_EQ(port.lastErrorCode(), 15);
    EXPECT_FALSE(port.isPortOpen());
}

TEST_F(SerialPortOnPty, ReopensWithTheStoredSettings)
{
    configure(57600, ParityEven, DataBits7, StopBitsTwo);
    ASSERT_TRUE(port.openPort());
    port.closePort();
    ASSERT_TRUE(port.openPort());
    EXPECT_EQ(line().baudRate, 57600u);
    EXPECT_TRUE(line().extraStopBit);
    EXPECT_EQ(port.send("ok", 2), 2);
    EXPECT_EQ(pty.read(2, 10s), std::vector<std::uint8_t>({'o', 'k'}));
}

TEST_F(SerialPortOnPty, EveryBaudRateOfTheWindowReachesTheTty)
{
    for (int baudRate : {300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600,
                         115200}) {
        configure(baudRate);
        ASSERT_TRUE(port.openPort()) << baudRate << ": " << port.lastErrorText();
        EXPECT_EQ(line().baudRate, static_cast<unsigned int>(baudRate));
        port.closePort();
    }
}

TEST_F(SerialPortOnPty, StopBitsReachTheTtyWithEveryDataBitCount)
{
    struct Case { SerialDataBits dataBits; SerialStopBits stopBits; bool extraStopBit; };
    const Case cases[] = {
        {DataBits5, StopBitsOne, false}, {DataBits6, StopBitsOne, false},
        {DataBits7, StopBitsOne, false}, {DataBits8, StopBitsOne, false},
        {DataBits5, StopBitsOneAndHalf, true}, {DataBits6, StopBitsTwo, true},
        {DataBits8, StopBitsTwo, true},
    };
    for (const Case& c : cases) {
        configure(9600, ParityNone, c.dataBits, c.stopBits);
        ASSERT_TRUE(port.openPort()) << c.dataBits << "/" << c.stopBits;
        EXPECT_EQ(line().extraStopBit, c.extraStopBit) << c.dataBits << "/" << c.stopBits;
        port.closePort();
    }
}

TEST_F(SerialPortOnPty, PairsThatWindowsRefusesFailTheOpen)
{
    for (auto [dataBits, stopBits] : {std::pair{DataBits5, StopBitsTwo},
                                      std::pair{DataBits8, StopBitsOneAndHalf}}) {
        configure(9600, ParityNone, dataBits, stopBits);
        EXPECT_FALSE(port.openPort());
        EXPECT_EQ(port.lastErrorCode(), 5);
        EXPECT_FALSE(port.isPortOpen());
    }
}

TEST_F(SerialPortOnPty, SettersApplyToAnOpenPortUnlessThePairIsRefused)
{
    configure(9600);
    ASSERT_TRUE(port.openPort());
    port.setBaud(19200);
    port.setDataBitCount(DataBits5);
    EXPECT_EQ(line().baudRate, 19200u);

    port.setStopBitMode(StopBitsTwo); // 5 data bits with 2 stop bits: stored, not applied
    EXPECT_EQ(port.stopBitMode(), StopBitsTwo);
    EXPECT_FALSE(line().extraStopBit);
    port.setStopBitMode(StopBitsOneAndHalf);
    EXPECT_TRUE(line().extraStopBit);

    port.setFlowMode(FlowControlHardware);
    EXPECT_TRUE(line().hardwareFlow);
    port.setFlowMode(FlowControlSoftware);
    EXPECT_FALSE(line().hardwareFlow);
    EXPECT_TRUE(line().softwareFlow);
}

TEST_F(SerialPortOnPty, ConfigureIsRefusedWhileOpen)
{
    configure(9600);
    ASSERT_TRUE(port.openPort());
    port.configure("elsewhere", 115200, ParityOdd, DataBits7, StopBitsOne, FlowControlNone, 64);
    EXPECT_EQ(port.lastErrorCode(), 13);
    EXPECT_EQ(port.baud(), 9600);
    EXPECT_STREQ(port.deviceName(), pty.slavePath().c_str());
    EXPECT_EQ(line().baudRate, 9600u);
    EXPECT_TRUE(port.isPortOpen());
}

TEST_F(SerialPortOnPty, ReceiveLineIsNotImplemented)
{
    configure(9600);
    ASSERT_TRUE(port.openPort());
    char buffer[8];
    EXPECT_EQ(port.receiveLine(buffer, 8), -1);
    EXPECT_EQ(port.lastErrorCode(), 2);
}

} // namespace
