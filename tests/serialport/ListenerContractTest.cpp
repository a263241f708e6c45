// The listener contract on real ptys: once closePort, detachListener or the
// destructor has returned, no listener call runs or starts, whichever thread
// calls them, a loss racing them included; listeners may rename, close,
// reopen and destroy their port from inside their calls.
#include "serialport/SerialPort.h"
#include "tests/serialport/PortOnPty.h"
#include "tests/serialport/ReadRecorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <random>
#include <string>

namespace {

using namespace std::chrono_literals;

// Counts the calls that come once the port's closing has returned, and those
// still running at that moment. Each call takes a moment, so that one the
// close does not wait for is still running when the close returns.
class ClosingWatch : public kavrio::CSerialPortListener
{
public:
    void onReadEvent(const char*, unsigned int) override { call(); }
    void onPortLost(const char*) override
    {
        call();
        ++losses;
    }

    void closeReturned()
    {
        closed = true;
        runningAtReturn += running;
    }

    std::atomic<bool> closed{false};
    std::atomic<int> running{0};
    std::atomic<int> runningAtReturn{0};
    std::atomic<int> late{0};
    std::atomic<int> losses{0};

private:
    void call()
    {
        ++running;
        late += closed ? 1 : 0;
        std::this_thread::sleep_for(2ms);
        --running;
    }
};

// Each round, in either I/O mode, leaves a send blocked and (in the
// asynchronous one) a delayed read call pending when the port closes or its
// listener goes: the call is dropped, the send returns, no thread outlives
// the port and the next round opens the same device. Under the sanitizers,
// nothing freed is touched.
TEST(ListenerContract, ClosingOrDetachingEndsWhatThePortHasUnderWay)
{
    constexpr auto kDelay = 20ms;
    PtyPair pty;
    const std::size_t threadsBefore = threadsWithoutPorts(pty);
    for (int round = 0; round < 100; ++round) {
        const bool detach = round % 4 == 2; // in the asynchronous mode, which has delayed calls
        ClosingWatch watch;
        CSerialPort port;
        port.attachListener(&watch);
        port.setIoMode(round % 2 == 0 ? IoModeAsynchronous : IoModeSynchronous);
        port.setNotifyDelay(static_cast<int>(kDelay.count()));
        configure(port, pty);
        ASSERT_TRUE(port.openPort()) << port.lastErrorText();
        pty.write({static_cast<std::uint8_t>(round)});
        ASSERT_TRUE(eventually([&] { return port.receivedByteCount() > 0; }));
        std::thread sender([&] { // the master never reads: sends soon block
            const std::vector<char> chunk(4096, 'x');
            while (port.send(chunk.data(), static_cast<int>(chunk.size())) >= 0) {
            }
        });
        if (detach) {
            port.detachListener();
            watch.closeReturned();
            std::this_thread::sleep_for(3 * kDelay); // long past the time the call was due
        }
        port.closePort();
        watch.closeReturned();
        sender.join();
        ASSERT_TRUE(eventually([&] { return countThreads() <= threadsBefore; })) << "a thread outlived its port";
        EXPECT_EQ(watch.late, 0) << (detach ? "after detachListener" : "after closePort");
    }
}

// The device goes away while its owner closes (or destroys) the port: the
// loss is delivered before closing returns, or not at all.
TEST(ListenerContract, ALossRacingACloseIsOverBeforeTheCloseReturns)
{
    constexpr int kRaces = 150;
    std::mt19937 random(20);
    std::uniform_int_distribution<int> jitterUs(0, 1500);
    int delivered = 0;
    for (int race = 0; race < kRaces; ++race) {
        PtyPair pty;
        const std::size_t threadsBefore = threadsWithoutPorts(pty);
        ClosingWatch watch;
        auto port = std::make_unique<CSerialPort>();
        port->attachListener(&watch);
        configure(*port, pty);
        ASSERT_TRUE(port->openPort()) << port->lastErrorText();
        if (race % 3 == 0)
            pty.write(std::vector<std::uint8_t>(512, 0x55));
        std::thread device([&, hangUpDelay = std::chrono::microseconds(jitterUs(random))] {
            std::this_thread::sleep_for(hangUpDelay);
            pty.hangUp();
        });
        std::this_thread::sleep_for(std::chrono::microseconds(jitterUs(random)));
        if (race % 2 == 0)
            port->closePort();
        else
            port.reset();
        watch.closeReturned();
        device.join();
        ASSERT_TRUE(eventually([&] { return countThreads() <= threadsBefore; }));
        EXPECT_EQ(watch.late, 0);
        EXPECT_EQ(watch.runningAtReturn, 0);
        delivered += watch.losses;
    }
    EXPECT_GT(delivered, kRaces / 10) << "too few losses came before the close to test the race";
}

// From inside each kind of call (a read call, a delayed one, a loss call) a
// listener may rename, close, reopen and destroy its port: the name the call
// was given stays the one the port was opened by, the device is free again
// at once, and nothing hangs (joining the thread that destroys the port) or
// touches freed memory.
TEST(ListenerContract, APortMayBeRenamedReopenedAndDestroyedFromInsideEveryKindOfCall)
{
    enum CallKind { Read, DelayedRead, Loss };
    struct SelfDestroying : kavrio::CSerialPortListener
    {
        void onReadEvent(const char* portName, unsigned int) override { endPort(portName); }
        void onPortLost(const char* portName) override { endPort(portName); }
        void endPort(const char* portName)
        {
            port->closePort();
            reopened = port->openPort();
            const std::string openedAs = port->deviceName();
            port->setDeviceName("/dev/orvanne-elsewhere");
            nameKept = openedAs == portName;
            port.reset();
            destroyed.set_value();
        }
        std::unique_ptr<CSerialPort> port = std::make_unique<CSerialPort>();
        bool nameKept = false;
        bool reopened = false;
        std::promise<void> destroyed;
    };
    const std::size_t threadsBefore = threadsWithoutPorts(PtyPair());
    std::vector<SelfDestroying> listeners(30); // each outlives the thread returning from its call
    for (std::size_t round = 0; round < listeners.size(); ++round) {
        const CallKind kind = static_cast<CallKind>(round % 3);
        SelfDestroying& listener = listeners[round];
        PtyPair pty;
        configure(*listener.port, pty);
        listener.port->attachListener(&listener);
        listener.port->setNotifyDelay(kind == DelayedRead ? 10 : 0);
        ASSERT_TRUE(listener.port->openPort());
        if (kind == Loss)
            pty.hangUp();
        else
            pty.write({1});
        ASSERT_EQ(listener.destroyed.get_future().wait_for(60s), std::future_status::ready) << "call kind " << kind;
        EXPECT_TRUE(listener.nameKept) << "call kind " << kind;
        EXPECT_EQ(listener.reopened, kind != Loss) << "call kind " << kind;
    }
    EXPECT_TRUE(eventually([&] { return countThreads() <= threadsBefore; }));
}

} // namespace
