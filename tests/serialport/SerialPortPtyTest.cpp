// Opening, configuring and closing real ttys (the slave side of a pty). A pty
// keeps the speed and stop bits it is given but always reports 8 data bits
// without parity, so those two are checked on the termios the layer hands
// the kernel.
#include "serialport/SerialPort.h"
#include "serialport/posix/TtyLineSettings.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TtyLineView.h"

#include <asm/termbits.h>

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace std::chrono_literals;

void configure(CSerialPort& port, const PtyPair& pty, int baudRate = 115200, SerialParity parity = ParityNone,
               SerialDataBits dataBits = DataBits8, SerialStopBits stopBits = StopBitsOne)
{
    port.configure(pty.slavePath().c_str(), baudRate, parity, dataBits, stopBits, FlowControlNone, 4096);
}

// The pty's name ("/dev/pts/N") is longer than any cut of it would leave.
TEST(SerialPortOnPty, OpensTheWholeNameRawAndExclusively)
{
    PtyPair pty;
    CSerialPort port;
    CSerialPort second;
    configure(port, pty, 9600);
    configure(second, pty);
    ASSERT_TRUE(port.openPort()) << port.lastErrorText();
    EXPECT_TRUE(TtyLineView::ofSlaveOf(pty.masterFd()).raw);
    const char bytes[] = {0x10, 0x05, '\n', '\r', 0x00, 0x7F};
    EXPECT_EQ(port.send(bytes, sizeof bytes), static_cast<int>(sizeof bytes));
    EXPECT_EQ(pty.read(sizeof bytes, 10s), std::vector<std::uint8_t>(bytes, bytes + sizeof bytes));

    EXPECT_FALSE(second.openPort());
    EXPECT_EQ(second.lastErrorCode(), 6);
    port.configure("elsewhere", 115200, ParityOdd, DataBits7, StopBitsOne, FlowControlNone, 64);
    EXPECT_EQ(port.lastErrorCode(), 13) << "an open port keeps its configuration";
    EXPECT_STREQ(port.deviceName(), pty.slavePath().c_str());
    EXPECT_EQ(TtyLineView::ofSlaveOf(pty.masterFd()).baudRate, 9600u);
    port.closePort();
    EXPECT_TRUE(second.openPort()) << "the port is free again once closed";
}

TEST(SerialPortOnPty, StopBitsAndAnyBaudRateReachTheTty)
{
    PtyPair pty;
    CSerialPort port;
    for (auto [dataBits, stopBits] : {std::pair{DataBits8, StopBitsTwo}, std::pair{DataBits5, StopBitsOneAndHalf}}) {
        configure(port, pty, 14400, ParityEven, dataBits, stopBits);
        ASSERT_TRUE(port.openPort()) << port.lastErrorText();
        EXPECT_TRUE(TtyLineView::ofSlaveOf(pty.masterFd()).extraStopBit);
        EXPECT_EQ(TtyLineView::ofSlaveOf(pty.masterFd()).baudRate, 14400u);
        port.closePort();
    }
    configure(port, pty, 14400, ParityEven, DataBits8, StopBitsOneAndHalf);
    EXPECT_FALSE(port.openPort()) << "Windows refuses 1.5 stop bits with 8 data bits";
    EXPECT_EQ(port.lastErrorCode(), 5);
}

TEST(TtyLineSettings, CarriesEveryParityAndDataBitCount)
{
    const char parities[] = {'N', 'O', 'E', 'M', 'S'};
    for (BYTE parity = NOPARITY; parity <= SPACEPARITY; ++parity) {
        DCB dcb{};
        dcb.BaudRate = 9600;
        dcb.ByteSize = static_cast<BYTE>(5 + parity % 4);
        dcb.Parity = parity;
        termios2 tty{};
        ASSERT_EQ(termios2ForDcb(dcb, tty), ERROR_SUCCESS);
        EXPECT_EQ(TtyLineView::of(tty).parity, parities[parity]);
        EXPECT_EQ(TtyLineView::of(tty).dataBits, dcb.ByteSize);
    }
}

} // namespace
