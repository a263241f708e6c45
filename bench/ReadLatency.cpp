// read_latency: how soon a byte written at a pty master reaches the code that
// receives it, for our serial port (its listener's onReadEvent) and for Qt's
// QSerialPort (its readyRead), from the same writer: single bytes, each one
// waited for before the next goes 1 ms later. Blocks of samples alternate
// between the two, each on a fresh pty. A measurement, not a test: it exits 1
// only when a byte went missing or came changed.
#include "bench/OpenOnPty.h"
#include "bench/PtyStream.h"
#include "bench/Statistics.h"
#include "tests/support/PtyPair.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#ifdef READ_LATENCY_WITH_QSERIALPORT
#include <QSerialPort>
#endif

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kBlocks = 10;
constexpr std::size_t kSamplesPerBlock = 500;
constexpr auto kSpacing = 1ms;

// When each byte reached the receiver, written by whichever thread it uses.
class ArrivalLog
{
public:
    void arrived(const std::uint8_t* bytes, std::size_t count)
    {
        const Clock::time_point now = Clock::now();
        std::lock_guard<std::mutex> guard(mutex_);
        for (std::size_t i = 0; i < count; ++i)
            arrivals_.push_back({now, bytes[i]});
        changed_.notify_one();
    }

    // Byte number `index` and when it came; nothing within the stall limit.
    std::optional<std::pair<Clock::time_point, std::uint8_t>> waitFor(std::size_t index)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!changed_.wait_for(lock, kStallLimit, [&] { return arrivals_.size() > index; }))
            return std::nullopt;
        return arrivals_[index];
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::pair<Clock::time_point, std::uint8_t>> arrivals_;
};

class LatencyReceiver
{
public:
    virtual ~LatencyReceiver() = default;
    virtual bool open(const std::string& slavePath, std::string& whyNot) = 0;
    ArrivalLog log;
};

// The listener takes the bytes on the event thread at the entry of each call.
class OurReceiver final : public LatencyReceiver, private kavrio::CSerialPortListener
{
public:
    bool open(const std::string& slavePath, std::string& whyNot) override
    {
        return openOnPty(port_, slavePath, this, whyNot);
    }

private:
    void onReadEvent(const char*, unsigned int) override
    {
        std::uint8_t bytes[64];
        int got;
        while ((got = port_.receive(bytes, sizeof bytes)) > 0)
            log.arrived(bytes, static_cast<std::size_t>(got));
    }

    CSerialPort port_; // last, so that its event thread ends before the log goes
};

#ifdef READ_LATENCY_WITH_QSERIALPORT
// readyRead on this (the main) thread, whose event loop runs while the writer writes.
class QtReceiver final : public LatencyReceiver
{
public:
    bool open(const std::string& slavePath, std::string& whyNot) override
    {
        port_.setPortName(QString::fromStdString(slavePath));
        port_.setBaudRate(115200);
        QObject::connect(&port_, &QSerialPort::readyRead, [this] {
            const QByteArray bytes = port_.readAll();
            log.arrived(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
        });
        if (port_.open(QIODevice::ReadOnly))
            return true;
        whyNot = port_.errorString().toStdString();
        return false;
    }

private:
    QSerialPort port_;
};
#endif

struct Latencies
{
    const char* name;
    std::vector<double> microseconds;
    std::string fault;
    bool lost = false;
};

// One block: the writer thread writes and waits for each byte while this
// thread runs an event loop for receivers that need one.
void measureBlock(LatencyReceiver& receiver, Latencies& figures)
{
    PtyPair pty;
    if (!receiver.open(pty.slavePath(), figures.fault))
        return;
    QEventLoop loop;
    std::thread writer([&] {
        for (std::size_t index = 0; index < kSamplesPerBlock && figures.fault.empty(); ++index) {
            const auto byte = static_cast<std::uint8_t>(index);
            const Clock::time_point written = Clock::now();
            pty.write(&byte, 1);
            const auto arrival = receiver.log.waitFor(index);
            if (!arrival || arrival->second != byte) {
                figures.lost = true;
                figures.fault = "byte " + std::to_string(index) + (arrival ? " arrived changed" : " never arrived");
                break;
            }
            figures.microseconds.push_back(std::chrono::duration<double, std::micro>(arrival->first - written).count());
            std::this_thread::sleep_for(kSpacing);
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    writer.join();
}

void print(const Latencies& figures)
{
    if (!figures.fault.empty()) {
        std::printf("  %-12s %s\n", figures.name, figures.fault.c_str());
        return;
    }
    std::printf("  %-12s %7zu %9.1f %9.1f %9.1f\n", figures.name, figures.microseconds.size(),
                percentile(figures.microseconds, 0.5), percentile(figures.microseconds, 0.99),
                percentile(figures.microseconds, 0.999));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    Latencies ours{"CSerialPort", {}, {}, false};
    Latencies qt{"QSerialPort", {}, {}, false};
#ifndef READ_LATENCY_WITH_QSERIALPORT
    qt.fault = "not available in this build";
#endif
    for (int block = 0; block < kBlocks; ++block) {
        if (ours.fault.empty()) {
            OurReceiver receiver;
            measureBlock(receiver, ours);
        }
#ifdef READ_LATENCY_WITH_QSERIALPORT
        if (qt.fault.empty()) {
            QtReceiver receiver;
            measureBlock(receiver, qt);
        }
#endif
    }
    std::printf("Latency from a write at the pty master to the receiver, single bytes %lld ms apart,\n"
                "%d blocks of %zu per receiver, alternating\n",
                static_cast<long long>(kSpacing.count()), kBlocks, kSamplesPerBlock);
    std::printf("  %-12s %7s %9s %9s %9s   (microseconds)\n", "receiver", "bytes", "median", "p99", "p99.9");
    print(ours);
    print(qt);
    return ours.lost || qt.lost ? 1 : 0;
}
