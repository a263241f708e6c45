// Ports on real ttys, the slave sides of ptys: opening and line settings,
// background reception, and the event thread's life. A pty keeps the speed
// and stop bits it is given but always reports 8 data bits without parity,
// so those two are checked on the termios the layer hands the kernel.
#include "serialport/SerialPort.h"
#include "serialport/posix/SerialTty.h"
#include "serialport/posix/TtyLineSettings.h"
#include "tests/serialport/PortOnPty.h"
#include "tests/serialport/ReadRecorder.h"
#include "tests/support/TtyLineView.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <random>

namespace {

using namespace std::chrono_literals;

// A port configured for a pty with the recorder listening.
class PortOnPty : public ::testing::Test
{
protected:
    void open(int baudRate = 115200, unsigned int receiveBufferSize = 4096)
    {
        recorder.listenTo(port);
        configure(port, pty, baudRate, receiveBufferSize);
        ASSERT_TRUE(port.openPort()) << port.lastErrorText();
    }

    PtyPair pty;
    ReadRecorder recorder;
    CSerialPort port;
};

// The pty's name ("/dev/pts/N") is longer than any cut of it would leave;
// a name given with the device prefix is taken as it is. Other programs read
// a standard rate as that speed, and find the line as they left it once the
// port is closed. That the rate and stop bits asked for reach the line, raw,
// and that a port held elsewhere is refused as access denied, the window's
// port panel tests check.
TEST(SerialPortOnPty, OpensTheWholeNameExclusivelyAndLeavesTheLineAsFound)
{
    PtyPair pty;
    termios2 found{};
    ASSERT_EQ(ioctl(pty.masterFd(), TCGETS2, &found), 0);
    found.c_lflag |= ICANON | ECHO;
    found.c_cflag = (found.c_cflag & ~CBAUD) | B9600;
    ASSERT_EQ(ioctl(pty.masterFd(), TCSETS2, &found), 0);

    CSerialPort port;
    CSerialPort second;
    configure(port, pty, 14400);
    second.configure(("\\\\.\\" + pty.slavePath()).c_str(), 115200, ParityNone, DataBits8, StopBitsOne,
                     FlowControlNone, 4096);
    ASSERT_TRUE(port.openPort()) << port.lastErrorText();
    EXPECT_EQ(TtyLineView::ofSlaveOf(pty.masterFd()).speedCode, static_cast<unsigned int>(BOTHER))
        << "a rate termios does not name";

    EXPECT_FALSE(second.openPort());
    configure(port, pty, 9600);
    EXPECT_EQ(port.lastErrorCode(), 13) << "an open port keeps its configuration";
    port.closePort();
    const TtyLineView line = TtyLineView::ofSlaveOf(pty.masterFd());
    EXPECT_EQ(line.speedCode, static_cast<unsigned int>(B9600));
    EXPECT_FALSE(line.raw);
    EXPECT_TRUE(second.openPort()) << "the port is free again once closed";
    EXPECT_EQ(TtyLineView::ofSlaveOf(pty.masterFd()).speedCode, static_cast<unsigned int>(B115200));
}

// The operator's own terminal is no port: frames written to it would land
// on the screen, and it would be left raw. A child process in a session of
// its own makes the pty its controlling terminal and tries to open it.
TEST(SerialPortOnPty, RefusesTheControllingTerminal)
{
    PtyPair pty;
    const pid_t child = fork();
    if (child == 0) {
        const bool controlling = setsid() >= 0 && open(pty.slavePath().c_str(), O_RDWR) >= 0;
        CSerialPort port;
        configure(port, pty);
        _exit(!controlling ? 3 : port.openPort() ? 1 : port.lastErrorCode() == 12 ? 0 : 2);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    bool ended = false;
    ASSERT_TRUE(eventually([&] { return ended || (ended = waitpid(child, &status, WNOHANG) == child); }))
        << "the child hangs";
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: opened, 2: another error, 3: no controlling terminal";
}

// Only serial lines and ptys are ports; consoles and the like are not, as
// the kernel's tty driver table tells.
TEST(SerialTty, TellsSerialLinesFromConsolesByTheDriverTable)
{
    const std::string table = "/dev/tty             /dev/tty        5       0 system:/dev/tty\n"
                              "serial               /dev/ttyS       4      64 serial\n"
                              "usbserial            /dev/ttyUSB   188 0-511 serial\n"
                              "pty_slave            /dev/pts      136 0-1048575 pty:slave\n"
                              "unknown              /dev/tty        4 1-63 console\n";
    EXPECT_FALSE(isSerialLine(table, 4, 1)) << "a virtual console";
    EXPECT_FALSE(isSerialLine(table, 5, 0)) << "the controlling terminal's alias";
    EXPECT_TRUE(isSerialLine(table, 4, 64));
    EXPECT_TRUE(isSerialLine(table, 188, 300));
    EXPECT_TRUE(isSerialLine(table, 136, 7));
    EXPECT_TRUE(isSerialLine(table, 4, 65)) << "no driver claims it";
}

// Mark and space are the constant parity bits of CMSPAR: PARODD picks mark.
TEST(TtyLineSettings, CarriesEveryParity)
{
    DCB dcb{};
    dcb.BaudRate = 9600;
    dcb.ByteSize = 7;
    termios2 tty{};
    const tcflag_t parityFlags[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD, PARENB | CMSPAR};
    for (const tcflag_t flags : parityFlags) {
        ASSERT_EQ(termios2ForDcb(dcb, tty), ERROR_SUCCESS);
        EXPECT_EQ(tty.c_cflag & (PARENB | PARODD | CMSPAR | CSIZE), flags | CS7) << int(dcb.Parity);
        ++dcb.Parity;
    }
}

// Bytes a listener leaves are counted again in its next call, but a new
// session starts empty. A batch larger than the buffer keeps its newest
// bytes, and a buffer past its high water does not wait for the notify delay.
TEST_F(PortOnPty, EachCallCountsWhatIsLeftAndAnOverflowKeepsTheNewestBytes)
{
    recorder.takeLimit = 2;
    open(115200, 16);
    const auto deliver = [&](const std::vector<std::uint8_t>& batch) {
        const std::size_t calls = recorder.record().lengths.size();
        pty.write(batch);
        return eventually([&] { return recorder.record().lengths.size() > calls; });
    };
    ASSERT_TRUE(deliver({1, 2, 3, 4, 5}));
    ASSERT_TRUE(deliver({6, 7, 8}));
    port.closePort();
    ASSERT_TRUE(port.openPort());
    ASSERT_TRUE(deliver({9}));
    // Of the 20 bytes the buffer keeps the newest 16, 14 to 29.
    port.setNotifyDelay(600000);
    ASSERT_TRUE(deliver({10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29}))
        << "the call waited for the delay";
    EXPECT_EQ(recorder.record().lengths, (std::vector<unsigned int>{5, 6, 1, 16}));
    EXPECT_EQ(recorder.record().received, (std::vector<std::uint8_t>{1, 2, 3, 4, 9, 14, 15}));
}

TEST_F(PortOnPty, AMegabyteArrivesIntactAndInOrder)
{
    // Bytes that do not repeat in step with any buffer size, so a lost or
    // doubled chunk cannot line up again.
    std::vector<std::uint8_t> bytes(1 << 20);
    std::generate(bytes.begin(), bytes.end(), std::mt19937());
    open();
    pty.write(bytes);
    ASSERT_TRUE(eventually([&] { return recorder.record().received.size() >= bytes.size(); }));
    EXPECT_TRUE(recorder.record().received == bytes) << "bytes were lost or reordered";
}

// A pty whose master hangs up is gone for good, as an unplugged adapter is.
// Without an event thread, the write that meets the loss reports it.
TEST_F(PortOnPty, ALostDeviceClosesThePortAndIsReportedOnce)
{
    port.setIoMode(IoModeSynchronous);
    open();
    pty.hangUp();
    EXPECT_LT(port.send("z", 1), 1);
    EXPECT_EQ(recorder.record().losses, std::vector<int>{18}) << "before send returned, with the port closed";
    EXPECT_EQ(port.lastErrorCode(), 17);

    PtyPair replacement;
    configure(port, replacement);
    port.setIoMode(IoModeAsynchronous);
    ASSERT_TRUE(port.openPort()) << port.lastErrorText();
    EXPECT_EQ(port.send("y", 1), 1) << "a reopened port sends again";
    replacement.hangUp();
    ASSERT_TRUE(eventually([&] { return recorder.record().losses.size() > 1; }));
    // A loop that kept meeting the hang-up without a pause would take a whole core.
    const double cpuBefore = processCpuSeconds();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(processCpuSeconds() - cpuBefore, 0.05);
    EXPECT_EQ(recorder.record().losses, (std::vector<int>{18, 18})) << "once, with the port closed";
    EXPECT_EQ(port.send("x", 1), -1);
    EXPECT_EQ(port.lastErrorCode(), 17);
}

// A write into a line that takes nothing (the pty's master does not read)
// holds up neither reception nor its caller for longer than its time on the
// wire and the slack: it ends short, with a time-out.
TEST_F(PortOnPty, AStalledWriteNeitherStopsReceptionNorOutlastsItsTimeOut)
{
    open(4000000);
    const std::vector<char> block(256 * 1024, 'x');
    auto sending =
        std::async(std::launch::async, [&] { return port.send(block.data(), static_cast<int>(block.size())); });
    ASSERT_EQ(pty.read(1, 60s).size(), 1u) << "the write did not start";
    pty.write({1, 2, 3});
    ASSERT_TRUE(eventually([&] { return !recorder.record().lengths.empty(); }));
    EXPECT_EQ(sending.wait_for(0s), std::future_status::timeout) << "reception waited for the write";
    ASSERT_EQ(sending.wait_for(60s), std::future_status::ready) << "the write has no time-out";
    const int sent = sending.get();
    EXPECT_GT(sent, 0);
    EXPECT_LT(sent, static_cast<int>(block.size()));
    EXPECT_EQ(port.lastErrorCode(), 8);
}

} // namespace
