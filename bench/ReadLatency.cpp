#include "bench/ReadLatency.h"

#include "bench/OpenOnPty.h"
#include "bench/PtyStream.h"
#include "tests/support/PtyPair.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kSamples = 2000;
// Far apart enough that each byte meets a port waiting for the next one.
constexpr auto kSpacing = 1ms;

struct Arrival
{
    Clock::time_point listenerEntered;
    std::uint8_t byte;
};

// Our port with a listener that notes, for every byte it takes, when the
// call that brought it began.
class ArrivalClock final : private kavrio::CSerialPortListener
{
public:
    bool open(const std::string& slavePath, std::string& whyNot)
    {
        return openOnPty(port_, slavePath, this, whyNot);
    }

    // Byte number `index` and when it came; nothing if it has not come
    // within the stall limit.
    std::optional<Arrival> waitFor(std::size_t index)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!arrived_.wait_for(lock, kStallLimit, [&] { return arrivals_.size() > index; }))
            return std::nullopt;
        return arrivals_[index];
    }

private:
    void onReadEvent(const char*, unsigned int) override
    {
        const Clock::time_point entered = Clock::now();
        std::lock_guard<std::mutex> guard(mutex_);
        std::uint8_t bytes[64];
        int got;
        while ((got = port_.receive(bytes, sizeof bytes)) > 0) {
            for (int i = 0; i < got; ++i)
                arrivals_.push_back({entered, bytes[i]});
        }
        arrived_.notify_one();
    }

    std::mutex mutex_; // guards arrivals_
    std::condition_variable arrived_;
    std::vector<Arrival> arrivals_;
    // Last, so that its event thread has ended before the members above go.
    CSerialPort port_;
};

} // namespace

ReadLatency measureReadLatency()
{
    ReadLatency figures;
    PtyPair pty;
    ArrivalClock arrivals;
    if (!arrivals.open(pty.slavePath(), figures.fault))
        return figures;
    for (std::size_t index = 0; index < kSamples; ++index) {
        const auto byte = static_cast<std::uint8_t>(index);
        const Clock::time_point written = Clock::now();
        pty.write(&byte, 1);
        const std::optional<Arrival> arrival = arrivals.waitFor(index);
        if (!arrival || arrival->byte != byte) {
            figures.lost = true;
            figures.fault = "byte " + std::to_string(index) +
                (arrival ? " arrived changed" : " never reached the listener");
            return figures;
        }
        figures.microseconds.push_back(
            std::chrono::duration<double, std::micro>(arrival->listenerEntered - written).count());
        std::this_thread::sleep_for(kSpacing);
    }
    return figures;
}
