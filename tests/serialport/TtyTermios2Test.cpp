// The translation of line settings into the kernel's termios2: every value
// the window offers, the pairs Windows refuses, and raw mode.
#include "serialport/posix/TtyTermios2.h"
#include "tests/support/TtyLineView.h"

#include <gtest/gtest.h>

namespace {

DCB dcbWith(DWORD baudRate, BYTE byteSize, BYTE parity, BYTE stopBits)
{
    DCB dcb{};
    dcb.BaudRate = baudRate;
    dcb.ByteSize = byteSize;
    dcb.Parity = parity;
    dcb.StopBits = stopBits;
    return dcb;
}

// A cooked tty as the kernel hands one out: echo, line editing, CR/NL translation.
termios2 cookedTty()
{
    termios2 tty{};
    tty.c_iflag = ICRNL | IXON;
    tty.c_oflag = OPOST | ONLCR;
    tty.c_lflag = ECHO | ICANON | ISIG | IEXTEN;
    tty.c_cflag = B9600 | CS8 | CREAD;
    return tty;
}

TEST(TtyTermios2, CarriesEveryParityDataBitsAndStopBits)
{
    const char parities[] = {'N', 'O', 'E', 'M', 'S'};
    for (BYTE parity = NOPARITY; parity <= SPACEPARITY; ++parity) {
        for (BYTE byteSize = 5; byteSize <= 8; ++byteSize) {
            for (BYTE stopBits : {ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS}) {
                const bool refused = (stopBits == ONE5STOPBITS && byteSize != 5) ||
                                     (stopBits == TWOSTOPBITS && byteSize == 5);
                termios2 tty = cookedTty();
                const DWORD error = termios2ForDcb(dcbWith(14400, byteSize, parity, stopBits), tty);
                SCOPED_TRACE(testing::Message() << int(parity) << "/" << int(byteSize) << "/"
                                                << int(stopBits));
                if (refused) {
                    EXPECT_EQ(error, ERROR_INVALID_PARAMETER);
                    EXPECT_TRUE(tty.c_lflag & ECHO) << "a refused setting changes nothing";
                    continue;
                }
                ASSERT_EQ(error, ERROR_SUCCESS);
                const TtyLineView line = TtyLineView::of(tty);
                EXPECT_EQ(line.parity, parities[parity]);
                EXPECT_EQ(line.dataBits, byteSize);
                EXPECT_EQ(line.extraStopBit, stopBits != ONESTOPBIT);
                EXPECT_EQ(line.baudRate, 14400u);
                EXPECT_TRUE(line.raw);

                DCB readBack{};
                dcbForTermios2(tty, readBack);
                EXPECT_EQ(readBack.Parity, parity);
                EXPECT_EQ(readBack.ByteSize, byteSize);
                EXPECT_EQ(readBack.StopBits, stopBits);
                EXPECT_EQ(readBack.BaudRate, 14400u);
            }
        }
    }
}

TEST(TtyTermios2, RefusesSettingsNoPortHas)
{
    termios2 tty = cookedTty();
    EXPECT_EQ(termios2ForDcb(dcbWith(0, 8, NOPARITY, ONESTOPBIT), tty), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(termios2ForDcb(dcbWith(9600, 9, NOPARITY, ONESTOPBIT), tty), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(termios2ForDcb(dcbWith(9600, 8, 5, ONESTOPBIT), tty), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(termios2ForDcb(dcbWith(9600, 8, NOPARITY, 3), tty), ERROR_INVALID_PARAMETER);
}

TEST(TtyTermios2, MapsFlowControl)
{
    DCB dcb = dcbWith(115200, 8, NOPARITY, ONESTOPBIT);
    termios2 tty = cookedTty();
    ASSERT_EQ(termios2ForDcb(dcb, tty), ERROR_SUCCESS);
    EXPECT_FALSE(TtyLineView::of(tty).hardwareFlow);
    EXPECT_FALSE(TtyLineView::of(tty).softwareFlow) << "raw mode drops the cooked XON/XOFF";

    dcb.fOutxCtsFlow = 1;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    ASSERT_EQ(termios2ForDcb(dcb, tty), ERROR_SUCCESS);
    EXPECT_TRUE(TtyLineView::of(tty).hardwareFlow);

    dcb.fOutxCtsFlow = 0;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fOutX = 1;
    dcb.fInX = 1;
    ASSERT_EQ(termios2ForDcb(dcb, tty), ERROR_SUCCESS);
    EXPECT_FALSE(TtyLineView::of(tty).hardwareFlow);
    EXPECT_TRUE(TtyLineView::of(tty).softwareFlow);
}

} // namespace
