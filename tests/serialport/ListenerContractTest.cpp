// The listener contract on real ptys: once closePort, detachListener or the
// destructor has returned, no listener call runs or starts, whichever thread
// calls them, a loss racing them included; listeners may close and destroy
// their port from inside their calls.
#include "serialport/SerialPort.h"
#include "tests/serialport/PortOnPty.h"
#include "tests/serialport/ReadRecorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <future>
#include <memory>
#include <random>
#include <string>

namespace {

using namespace std::chrono_literals;

// Counts the calls that come once the port's closing has returned, and those
// still running at that moment.
class ClosingWatch : public kavrio::CSerialPortListener
{
public:
    void onReadEvent(const char*, unsigned int) override { call(reads); }

    // A loss call takes a moment, so that one the close does not wait for
    // is still running when the close returns.
    void onPortLost(const char*) override
    {
        call(losses, [] { std::this_thread::sleep_for(2ms); });
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
    std::atomic<int> reads{0};
    std::atomic<int> losses{0};

private:
    void call(std::atomic<int>& count, void (*work)() = [] {})
    {
        ++running;
        late += closed ? 1 : 0;
        work();
        ++count;
        --running;
    }
};

// Under the sanitizers: a send blocked in a full pty (its master never reads)
// while the port closes, and an event thread that closePort did not wait for,
// would touch what was freed. In either mode; each round opens the pty that
// the last one closed.
TEST(ListenerContract, ClosingWhileSendingLeavesNothingBehind)
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

TEST(ListenerContract, ListenersMayCloseReopenAndDestroyTheirPort)
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

// The device goes away while its owner closes (or destroys) the port: the
// loss is delivered before closing returns, or not at all.
TEST(ListenerContract, ALossRacingACloseIsOverBeforeTheCloseReturns)
{
    constexpr int kRaces = 150;
    std::mt19937 random(20);
    std::uniform_int_distribution<int> jitterUs(0, 1500);
    int delivered = 0;
    int late = 0;
    int runningAtReturn = 0;
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
        const auto hangUpDelay = std::chrono::microseconds(jitterUs(random));
        const auto closeDelay = std::chrono::microseconds(jitterUs(random));
        std::thread device([&] {
            std::this_thread::sleep_for(hangUpDelay);
            pty.hangUp();
        });
        std::this_thread::sleep_for(closeDelay);
        if (race % 2 == 0)
            port->closePort();
        else
            port.reset();
        watch.closeReturned();
        device.join();
        ASSERT_TRUE(eventually([&] { return countThreads() <= threadsBefore; }));
        delivered += watch.losses;
        late += watch.late;
        runningAtReturn += watch.runningAtReturn;
    }
    std::printf("%d close-versus-loss races: %d losses delivered before the close returned, %d late calls, "
                "%d running at the return\n",
                kRaces, delivered, late, runningAtReturn);
    EXPECT_EQ(late, 0);
    EXPECT_EQ(runningAtReturn, 0);
}

// A delayed read call pending when the port closes or its listener goes is
// dropped: it would reach a listener that may be gone.
TEST(ListenerContract, DelayedCallsEndWithCloseAndDetach)
{
    constexpr int kDelayMs = 20;
    PtyPair pty;
    for (int round = 0; round < 30; ++round) {
        ClosingWatch watch;
        CSerialPort port;
        port.attachListener(&watch);
        configure(port, pty);
        port.setNotifyDelay(kDelayMs);
        ASSERT_TRUE(port.openPort());
        pty.write({1});
        ASSERT_TRUE(eventually([&] { return port.receivedByteCount() > 0; }));
        if (round % 2 == 0)
            port.closePort();
        else
            port.detachListener();
        watch.closeReturned();
        // Long past the time the call was due.
        std::this_thread::sleep_for(std::chrono::milliseconds(3 * kDelayMs));
        EXPECT_EQ(watch.late, 0) << (round % 2 == 0 ? "after closePort" : "after detachListener");
        EXPECT_EQ(watch.runningAtReturn, 0);
    }
}

// Destroying the port from inside its own delayed call or loss call neither
// hangs (joining the thread that destroys it) nor touches freed memory.
TEST(ListenerContract, APortMayBeDestroyedFromInsideEveryKindOfCall)
{
    struct Destroyer : kavrio::CSerialPortListener
    {
        void onReadEvent(const char*, unsigned int) override { destroy(); }
        void onPortLost(const char*) override { destroy(); }
        void destroy()
        {
            port.reset();
            destroyed.set_value();
        }
        std::unique_ptr<CSerialPort> port = std::make_unique<CSerialPort>();
        std::promise<void> destroyed;
    };
    PtyPair pty;
    const std::size_t threadsBefore = threadsWithoutPorts(pty);
    std::vector<Destroyer> destroyers(2); // each outlives the thread returning from its call
    for (const bool delayed : {true, false}) {
        Destroyer& destroyer = destroyers[delayed ? 0 : 1];
        destroyer.port->attachListener(&destroyer);
        configure(*destroyer.port, pty);
        destroyer.port->setNotifyDelay(delayed ? 10 : 0);
        ASSERT_TRUE(destroyer.port->openPort());
        if (delayed)
            pty.write({1});
        else
            pty.hangUp();
        EXPECT_EQ(destroyer.destroyed.get_future().wait_for(60s), std::future_status::ready)
            << (delayed ? "from a delayed call" : "from a loss call");
    }
    EXPECT_TRUE(eventually([&] { return countThreads() <= threadsBefore; }));
}

// The name a loss call is given is the one the port was opened by, even
// while the listener reconfigures the port for another device.
TEST(ListenerContract, ALossCallKeepsItsPortName)
{
    struct Reconfiguring : kavrio::CSerialPortListener
    {
        void onPortLost(const char* portName) override
        {
            const std::string before = portName;
            port.configure("/dev/orvanne-elsewhere", 9600, ParityNone, DataBits8, StopBitsOne, FlowControlNone, 4096);
            kept.set_value(before == portName && before == expected);
        }
        void onReadEvent(const char*, unsigned int) override {}
        std::string expected;
        std::promise<bool> kept;
        CSerialPort port; // goes first, waiting for the call
    };
    PtyPair pty;
    Reconfiguring listener;
    listener.expected = pty.slavePath();
    listener.port.attachListener(&listener);
    configure(listener.port, pty);
    ASSERT_TRUE(listener.port.openPort());
    pty.hangUp();
    auto kept = listener.kept.get_future();
    ASSERT_EQ(kept.wait_for(60s), std::future_status::ready);
    EXPECT_TRUE(kept.get());
}

} // namespace
