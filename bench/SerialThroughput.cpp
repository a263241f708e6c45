// Measures our serial port on pseudo-terminals and prints the figures beside
// their targets: receive throughput against a plain read loop, Qt's
// QSerialPort and libserialport; the CPU an idle open port uses; and how soon
// a byte reaches the listener. A measurement, not a test: it exits 1 only
// when bytes went missing.
#include "bench/PortIdleCpu.h"
#include "bench/PtyStream.h"
#include "bench/ReadLatency.h"
#include "bench/ThroughputReceiver.h"
#include "tests/support/PtyPair.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 9;

constexpr double kMinShareOfReadLoop = 0.90;
constexpr double kMaxQuietCoreShare = 0.001;
constexpr double kMaxVanishedCoreShare = 0.01;
constexpr double kMaxMedianLatencyUs = 1000;

struct Method
{
    const char* label;
    const char* name;
    ReceiverFactory make; // null: this build has no such library
};

// Indexes into kMethods.
enum { kReadLoop, kOurPort, kQtPort, kLibSerialPort };

const Method kMethods[] = {
    {"(a)", "read loop", &makeReadLoopReceiver},
    {"(b)", "CSerialPort", &makeCSerialPortReceiver},
#ifdef SERIAL_THROUGHPUT_WITH_QSERIALPORT
    {"(c)", "QSerialPort", &makeQSerialPortReceiver},
#else
    {"(c)", "QSerialPort", nullptr},
#endif
#ifdef SERIAL_THROUGHPUT_WITH_LIBSERIALPORT
    {"(d)", "libserialport", &makeLibSerialPortReceiver},
#else
    {"(d)", "libserialport", nullptr},
#endif
};

struct Throughput
{
    std::vector<double> bytesPerSecond; // one per completed run
    std::string fault;                  // why the runs stopped
    bool lost = false;
};

// Nearest-rank percentile; values must not be empty.
double percentile(std::vector<double> values, double percent)
{
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(percent / 100 * values.size()));
    return values[std::max<std::size_t>(rank, 1) - 1];
}

double median(const std::vector<double>& values)
{
    return percentile(values, 50);
}

const char* verdict(bool met)
{
    return met ? "met" : "MISSED";
}

// One run on a fresh pty: the receiver opens the slave, then the master writes.
void runOnce(ReceiverFactory make, Throughput& figures)
{
    PtyPair pty;
    StreamCheck check;
    const std::unique_ptr<ThroughputReceiver> receiver = make(check);
    if (!receiver->open(pty.slavePath(), figures.fault)) {
        figures.fault = "open failed: " + figures.fault;
        return;
    }
    const Clock::time_point start = Clock::now();
    MasterWriter writer(pty.masterFd());
    receiver->receive();
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    if (!check.complete()) {
        figures.lost = true;
        figures.fault = "lost bytes: " + check.fault();
        return;
    }
    figures.bytesPerSecond.push_back(static_cast<double>(streamBytes().size()) / elapsed.count());
}

// Rounds of one run per receiver, so that a spell of load from elsewhere on
// the machine falls on all of them rather than on one.
std::vector<Throughput> measureThroughput()
{
    // The first run in a process comes out about a quarter slower, whichever
    // receiver makes it; an untimed run takes that (and makes the stream).
    Throughput warmUp;
    runOnce(&makeReadLoopReceiver, warmUp);

    std::vector<Throughput> figures(std::size(kMethods));
    for (int round = 0; round < kRounds; ++round) {
        for (std::size_t method = 0; method < figures.size(); ++method) {
            if (kMethods[method].make != nullptr && figures[method].fault.empty())
                runOnce(kMethods[method].make, figures[method]);
        }
    }
    for (std::size_t method = 0; method < figures.size(); ++method) {
        if (kMethods[method].make == nullptr)
            figures[method].fault = "not available";
    }
    return figures;
}

void printThroughput(const std::vector<Throughput>& figures)
{
    std::printf("Receive throughput: %zu MiB per run written to the pty master in 4 KiB writes, "
                "%d runs each\n",
                streamBytes().size() >> 20, kRounds);
    std::printf("  %-18s %12s %10s %13s\n", "receiver", "median MB/s", "best MB/s", "median/(a)");
    const std::vector<double>& limit = figures[kReadLoop].bytesPerSecond;
    for (std::size_t method = 0; method < figures.size(); ++method) {
        const Throughput& row = figures[method];
        std::printf("  %s %-14s", kMethods[method].label, kMethods[method].name);
        if (!row.fault.empty()) {
            std::printf(" %s\n", row.fault.c_str());
            continue;
        }
        std::printf(" %12.1f %10.1f", median(row.bytesPerSecond) / 1e6,
                    *std::max_element(row.bytesPerSecond.begin(), row.bytesPerSecond.end()) / 1e6);
        if (figures[kReadLoop].fault.empty())
            std::printf(" %11.1f %%", 100 * median(row.bytesPerSecond) / median(limit));
        std::printf("\n");
    }

    const Throughput& ours = figures[kOurPort];
    if (!ours.fault.empty() || !figures[kReadLoop].fault.empty()) {
        std::printf("  targets for (b): not measured\n");
        return;
    }
    const double share = median(ours.bytesPerSecond) / median(limit);
    std::printf("  target (b) >= %.0f %% of (a): %.1f %% -> %s\n", 100 * kMinShareOfReadLoop,
                100 * share, verdict(share >= kMinShareOfReadLoop));
    for (const std::size_t other : {std::size_t{kQtPort}, std::size_t{kLibSerialPort}}) {
        const char* const label = kMethods[other].label;
        if (!figures[other].fault.empty()) {
            std::printf("  target (b) no slower than %s: not measured\n", label);
            continue;
        }
        const double ratio = median(ours.bytesPerSecond) / median(figures[other].bytesPerSecond);
        std::printf("  target (b) no slower than %s: %.2f x %s -> %s\n", label, ratio, label,
                    verdict(ratio >= 1));
    }
}

void printIdleCpu(const PortIdleCpu& figures)
{
    std::printf("\nCPU of an open CSerialPort, 2 s with nothing arriving\n");
    if (!figures.fault.empty()) {
        std::printf("  not measured: %s\n", figures.fault.c_str());
        return;
    }
    std::printf("  peer silent:   %6.3f %% of a core (target < %.1f %%) -> %s\n",
                100 * figures.quiet, 100 * kMaxQuietCoreShare,
                verdict(figures.quiet < kMaxQuietCoreShare));
    std::printf("  peer vanished: %6.3f %% of a core (target < %.1f %%) -> %s\n",
                100 * figures.vanished, 100 * kMaxVanishedCoreShare,
                verdict(figures.vanished < kMaxVanishedCoreShare));
}

void printLatency(const ReadLatency& figures)
{
    std::printf("\nLatency from a write at the pty master to onReadEvent, "
                "single bytes 1 ms apart\n");
    if (!figures.fault.empty()) {
        std::printf("  %s: %s\n", figures.lost ? "lost bytes" : "not measured",
                    figures.fault.c_str());
        return;
    }
    const double medianUs = median(figures.microseconds);
    std::printf("  %zu bytes: median %.0f us (target < %.0f us) -> %s; 99th percentile %.0f us\n",
                figures.microseconds.size(), medianUs, kMaxMedianLatencyUs,
                verdict(medianUs < kMaxMedianLatencyUs), percentile(figures.microseconds, 99));
}

} // namespace

int main(int argc, char* argv[])
{
    // QSerialPort reports arrivals through an event loop, which needs the application object.
    QCoreApplication application(argc, argv);

    // Other work on the machine moves every figure here; the load says how much to trust them.
    double load = 0;
    if (getloadavg(&load, 1) == 1)
        std::printf("Load average over the last minute: %.2f\n\n", load);

    const std::vector<Throughput> throughput = measureThroughput();
    printThroughput(throughput);
    printIdleCpu(measurePortIdleCpu());
    const ReadLatency latency = measureReadLatency();
    printLatency(latency);

    const bool lost = latency.lost || std::any_of(throughput.begin(), throughput.end(),
                                                  [](const Throughput& row) { return row.lost; });
    return lost ? 1 : 0;
}
