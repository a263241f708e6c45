// Our library: the listener drains the receive buffer on the event thread.
#include "bench/OpenOnPty.h"
#include "bench/ThroughputReceiver.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace {

class CSerialPortReceiver final : public ThroughputReceiver, private kavrio::CSerialPortListener
{
public:
    using ThroughputReceiver::ThroughputReceiver;

    bool open(const std::string& slavePath, std::string& whyNot) override
    {
        return openOnPty(port_, slavePath, this, whyNot, kReceiveBufferSize);
    }

    void receive() override
    {
        // Woken only at the end, so that the waiting thread does not compete
        // with the event thread for the CPU; progress is looked at per stall limit.
        std::unique_lock<std::mutex> lock(mutex_);
        std::size_t received = check_.received();
        while (!finished_.wait_for(lock, kStallLimit, [this] { return check_.done(); })) {
            if (check_.received() == received)
                return;
            received = check_.received();
        }
    }

private:
    // Takes what the call counts, all of it.
    void onReadEvent(const char*, unsigned int readBufferLen) override
    {
        std::lock_guard<std::mutex> guard(mutex_);
        const int got = port_.receive(bytes_, static_cast<int>(std::min<std::size_t>(readBufferLen, sizeof bytes_)));
        if (got > 0)
            check_.take(bytes_, static_cast<std::size_t>(got));
        if (check_.done())
            finished_.notify_one();
    }

    // Sized as a user who wants throughput sizes it: QSerialPort's buffer has
    // no limit, and a larger buffer lets the event thread read several of the
    // pty's chunks in one turn.
    static constexpr unsigned int kReceiveBufferSize = 65536;
    char bytes_[kReceiveBufferSize];
    std::mutex mutex_; // guards check_
    std::condition_variable finished_;
    // Last, so that its event thread has ended before the members above go.
    CSerialPort port_;
};

} // namespace

std::unique_ptr<ThroughputReceiver> makeCSerialPortReceiver(StreamCheck& check)
{
    return std::make_unique<CSerialPortReceiver>(check);
}
