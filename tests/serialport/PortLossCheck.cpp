// A device pulled while its port is open, ten times, idle and while
// receiving: the loss must be noticed within kLossNoticedMs, after which the
// port is closed (send gives -1 with ResultWriteFailed), and closePort, on an
// open port and on a lost one, must return within kCloseMs. Prints each
// run's figures; exits 1 if a run misses a bound. CI runs it under wine with
// COM33 mapped to the pty loss harness, which names the port in
// ORVANNE_TEST_PORT and pulls the device when sent 'H' ('S' starts a stream).
#include "serialport/SerialPort.h"
#include "tests/serialport/ReadRecorder.h"
#include "tests/support/TestEnvironment.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRuns = 10;
constexpr long long kLossNoticedMs = 2000;
constexpr long long kCloseMs = 500;
constexpr unsigned int kReceivedBeforePull = 4096;

long long millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class LossWatch : public kavrio::CSerialPortListener
{
public:
    explicit LossWatch(CSerialPort& port) : port_(port) {}

    void onReadEvent(const char*, unsigned int readBufferLen) override
    {
        char bytes[4096];
        const int taken = port_.receive(bytes, static_cast<int>(std::min<unsigned int>(readBufferLen, sizeof bytes)));
        received += taken > 0 ? static_cast<unsigned int>(taken) : 0;
    }

    void onPortLost(const char*) override
    {
        lostAt = Clock::now();
        ++losses;
    }

    std::atomic<unsigned int> received{0};
    std::atomic<int> losses{0};
    Clock::time_point lostAt;

private:
    CSerialPort& port_;
};

// One pull; false if a bound was missed or the port misbehaved.
bool pullOnce(const std::string& name, bool receiving, int run)
{
    CSerialPort port;
    LossWatch watch(port);
    port.attachListener(&watch);
    port.configure(name.c_str(), 115200, ParityNone, DataBits8, StopBitsOne, FlowControlNone, 65536);
    // The harness links a fresh device after each pull, maybe after this open.
    bool opened = false;
    if (!eventually([&] { return opened || (opened = port.openPort()); })) {
        std::printf("run %d: cannot open %s: %s\n", run, name.c_str(), port.lastErrorText());
        return false;
    }
    if (receiving && (port.send("S", 1) != 1 || !eventually([&] { return watch.received >= kReceivedBeforePull; }))) {
        std::printf("run %d: no bytes arrive\n", run);
        return false;
    }
    auto start = Clock::now();
    port.closePort();
    const long long openCloseMs = millisecondsSince(start);
    if (!port.openPort() || (receiving && !eventually([&] { return watch.received >= 2 * kReceivedBeforePull; }))) {
        std::printf("run %d: the port does not open again: %s\n", run, port.lastErrorText());
        return false;
    }

    const auto pulled = Clock::now();
    if (port.send("H", 1) != 1 || !eventually([&] { return watch.losses > 0; })) {
        std::printf("run %d: the pulled device goes unnoticed\n", run);
        return false;
    }
    const long long noticedMs = std::chrono::duration_cast<std::chrono::milliseconds>(watch.lostAt - pulled).count();
    const int sent = port.send("x", 1);
    const int sendError = port.lastErrorCode();
    start = Clock::now();
    port.closePort();
    const long long lostCloseMs = millisecondsSince(start);

    const bool ok = noticedMs < kLossNoticedMs && openCloseMs < kCloseMs && lostCloseMs < kCloseMs && sent == -1 &&
                    sendError == ResultWriteFailed && watch.losses == 1 && !port.isPortOpen();
    std::printf("run %d, %s: loss noticed after %lld ms; closePort %lld ms open, %lld ms lost; then send %d "
                "with error %d; %d loss call(s)%s\n",
                run, receiving ? "receiving" : "idle", noticedMs, openCloseMs, lostCloseMs, sent, sendError,
                watch.losses.load(), ok ? "" : "  << FAILED");
    return ok;
}

} // namespace

int main()
{
    const std::optional<std::string> name = environmentValue("ORVANNE_TEST_PORT");
    if (!name) {
        std::printf("run through the pty loss harness, which names the port\n");
        return 2;
    }
    int passed = 0;
    for (int run = 1; run <= kRuns; ++run)
        passed += pullOnce(*name, run % 2 == 0, run) ? 1 : 0;
    std::printf("%d passed, %d failed\n", passed, kRuns - passed);
    return passed == kRuns ? 0 : 1;
}
