// Ports on real ttys, the slave sides of ptys: opening and line settings,
// background reception, and the event thread's life. A pty keeps the speed
// and stop bits it is given but always reports 8 data bits without parity,
// so those two are checked on the termios the layer hands the kernel.
#include "serialport/SerialPort.h"
#include "serialport/posix/TtyLineSettings.h"
#include "tests/serialport/ReadRecorder.h"
#include "tests/support/ProcessResources.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TtyLineView.h"

#include <asm/termbits.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <memory>
#include <random>

namespace {

using namespace std::chrono_literals;

void configure(CSerialPort& port, const PtyPair& pty, int baudRate = 115200, unsigned int receiveBufferSize = 4096,
               SerialStopBits stopBits = StopBitsOne)
{
    port.configure(pty.slavePath().c_str(), baudRate, ParityNone, DataBits8, stopBits, FlowControlNone, receiveBufferSize);
}

// The threads of this process while it has no port (at most: the first
// port's thread may not quite have left), with what a process makes once (a
// sanitizer's helper thread) made by that port.
std::size_t threadsWithoutPorts(const PtyPair& pty)
{
    CSerialPort port;
    configure(port, pty);
    return port.openPort() ? (port.closePort(), countThreads()) : 0;
}

// A port configured for a pty with the recorder listening.
class PortOnPty : public ::testing::Test
{
protected:
    void open(unsigned int receiveBufferSize = 4096)
    {
        recorder.listenTo(port);
        configure(port, pty, 115200, receiveBufferSize);
        ASSERT_TRUE(port.openPort()) << port.lastErrorText();
    }

    PtyPair pty;
    ReadRecorder recorder;
    CSerialPort port;
};

// The pty's name ("/dev/pts/N") is longer than any cut of it would leave.
TEST(SerialPortOnPty, OpensTheWholeNameExclusivelyWithItsLineSettings)
{
    PtyPair pty;
    CSerialPort port;
    CSerialPort second;
    configure(port, pty, 14400, 4096, StopBitsTwo);
    configure(second, pty);
    ASSERT_TRUE(port.openPort()) << port.lastErrorText();
    const TtyLineView line = TtyLineView::ofSlaveOf(pty.masterFd());
    EXPECT_EQ(line.baudRate, 14400u);
    EXPECT_TRUE(line.extraStopBit);

    EXPECT_FALSE(second.openPort());
    EXPECT_EQ(second.lastErrorCode(), 6);
    configure(port, pty, 9600);
    EXPECT_EQ(port.lastErrorCode(), 13) << "an open port keeps its configuration";
    port.closePort();
    EXPECT_TRUE(second.openPort()) << "the port is free again once closed";
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
// session starts empty.
TEST_F(PortOnPty, EachCallCountsWhatIsLeftOfThisSession)
{
    recorder.takeLimit = 2;
    open();
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
    EXPECT_EQ(recorder.record().lengths, (std::vector<unsigned int>{5, 6, 1}));
    EXPECT_EQ(recorder.record().received, (std::vector<std::uint8_t>{1, 2, 3, 4, 9}));
}

// A batch larger than the buffer keeps its newest bytes, and a buffer past
// its high water does not wait for the notify delay.
TEST_F(PortOnPty, AnOverflowKeepsTheNewestBytesAndIsReportedAtOnce)
{
    open(16);
    port.setNotifyDelay(600000);
    std::vector<std::uint8_t> bytes(20);
    std::generate(bytes.begin(), bytes.end(), std::mt19937());
    pty.write(bytes);
    ASSERT_TRUE(eventually([&] { return !recorder.record().lengths.empty(); })) << "the call waited for the delay";
    EXPECT_EQ(recorder.record().lengths.front(), 16u);
    EXPECT_EQ(recorder.record().received, std::vector<std::uint8_t>(bytes.end() - 16, bytes.end()));
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

// Under the sanitizers: a send blocked in a full pty (its master never reads)
// while the port closes, and an event thread that closePort did not wait for,
// would touch what was freed. In either mode; each round opens the pty that
// the last one closed.
TEST(SerialPortLifecycle, ClosingWhileSendingLeavesNothingBehind)
{
    PtyPair pty; // its master never reads: sends soon block
    ReadRecorder recorder;
    const std::size_t threadsBefore = threadsWithoutPorts(pty);
    for (int round = 0; round < 200; ++round) {
        CSerialPort port;
        recorder.listenTo(port);
        port.setIoMode(round % 2 == 0 ? IoModeAsynchronous : IoModeSynchronous);
        configure(port, pty);
        ASSERT_TRUE(port.openPort()) << port.lastErrorText();
        pty.write({static_cast<std::uint8_t>(round)});
        // Every 20th round sees its byte arrive before it closes.
        ASSERT_TRUE(round % 20 != 0 || eventually([&] { return recorder.record().lengths.size() > std::size_t(round / 20); }));
        std::thread sender([&] {
            const std::vector<char> chunk(4096, 'x');
            while (port.send(chunk.data(), static_cast<int>(chunk.size())) >= 0) {
            }
        });
        port.closePort();
        sender.join();
        ASSERT_TRUE(eventually([&] { return countThreads() <= threadsBefore; })) << "a thread outlived its port";
    }
}

TEST(SerialPortLifecycle, ListenersMayCloseReopenAndDestroyTheirPort)
{
    struct SelfDestroying : kavrio::CSerialPortListener
    {
        void onReadEvent(const char*, unsigned int) override
        {
            port->closePort();
            reopened = port->openPort(); // the device is free again at once
            port.reset();
            destroyed.set_value();
        }
        std::unique_ptr<CSerialPort> port = std::make_unique<CSerialPort>();
        bool reopened = false;
        std::promise<void> destroyed;
    };
    PtyPair pty;
    const std::size_t threadsBefore = threadsWithoutPorts(pty);
    std::vector<SelfDestroying> listeners(20); // each outlives the thread returning from its call
    for (SelfDestroying& listener : listeners) {
        configure(*listener.port, pty);
        listener.port->attachListener(&listener);
        ASSERT_TRUE(listener.port->openPort());
        pty.write({1});
        ASSERT_EQ(listener.destroyed.get_future().wait_for(60s), std::future_status::ready);
        EXPECT_TRUE(listener.reopened);
    }
    EXPECT_TRUE(eventually([&] { return countThreads() <= threadsBefore; }));
}

// The listener holds the event thread past closePort's wait: closing returns
// anyway, while destroying the port waits for the call that may still use it.
TEST(SerialPortLifecycle, ClosingDoesNotWaitForeverButDestroyingWaitsForTheCall)
{
    PtyPair pty;
    ReadRecorder recorder;
    auto port = std::make_unique<CSerialPort>();
    std::promise<void> held;
    std::promise<void> release;
    recorder.duringCall = [&] {
        held.set_value();
        release.get_future().wait();
    };
    recorder.listenTo(*port);
    configure(*port, pty);
    ASSERT_TRUE(port->openPort());
    pty.write({1, 2, 3});
    held.get_future().wait();
    auto closing = std::async(std::launch::async, [&] { port->closePort(); });
    ASSERT_EQ(closing.wait_for(60s), std::future_status::ready) << "closePort waits for a thread that never ends";
    auto destroying = std::async(std::launch::async, [&] { port.reset(); });
    EXPECT_EQ(destroying.wait_for(200ms), std::future_status::timeout) << "the port went during a call";
    release.set_value();
    destroying.wait();
    EXPECT_EQ(recorder.record().lengths, std::vector<unsigned int>{3});
}

// A pty whose master hangs up is gone for good, as an unplugged adapter is.
TEST_F(PortOnPty, ALostDeviceClosesThePortAndIsReportedOnce)
{
    open();
    pty.hangUp();
    ASSERT_TRUE(eventually([&] { return !recorder.record().losses.empty(); }));
    // A loop that kept meeting the hang-up without a pause would take a whole core.
    const double cpuBefore = processCpuSeconds();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(processCpuSeconds() - cpuBefore, 0.05);
    EXPECT_EQ(recorder.record().losses, std::vector<int>{18}) << "once, with the port closed";
    EXPECT_EQ(port.send("x", 1), -1);
    EXPECT_EQ(port.lastErrorCode(), 17);

    PtyPair replacement;
    configure(port, replacement);
    ASSERT_TRUE(port.openPort()) << port.lastErrorText();
    EXPECT_EQ(port.send("y", 1), 1);
}

} // namespace
