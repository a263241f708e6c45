// serial_throughput: how fast our serial port receives on pseudo-terminals,
// against Qt's QSerialPort, with a plain read loop as a reference (what the
// pty itself allows, not a limit a port library could reach), and the CPU an
// idle open port uses. A measurement, not a test: it exits 1 only when bytes
// went missing.
//
// libserialport is left out: it opens only ports it finds under
// /sys/class/tty, which lists no pty.
#include "bench/PortIdleCpu.h"
#include "bench/PtyStream.h"
#include "bench/Statistics.h"
#include "bench/ThroughputReceiver.h"
#include "tests/support/ProcessResources.h"
#include "tests/support/PtyPair.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 40;
constexpr double kMebibyte = 1 << 20;

struct Receiver
{
    const char* name;
    ReceiverFactory make; // null: this build has no such library
};

// Indexes into kReceivers.
enum { kReadLoop, kOurPort, kQtPort };

const Receiver kReceivers[] = {
    {"read loop (reference)", &makeReadLoopReceiver},
    {"CSerialPort", &makeCSerialPortReceiver},
#ifdef SERIAL_THROUGHPUT_WITH_QSERIALPORT
    {"QSerialPort", &makeQSerialPortReceiver},
#else
    {"QSerialPort", nullptr},
#endif
};

// The runs of one receiver, by round.
struct Runs
{
    std::vector<double> bytesPerSecond;
    std::vector<double> cpuSecondsPerMebibyte; // the process's, less the writer's
    std::string fault;                         // why the runs stopped
    bool lost = false;
};

// One run on a fresh pty: the receiver opens the slave, then the master writes.
void runOnce(ReceiverFactory make, Runs& runs)
{
    PtyPair pty;
    StreamCheck check;
    const std::unique_ptr<ThroughputReceiver> receiver = make(check);
    if (!receiver->open(pty.slavePath(), runs.fault)) {
        runs.fault = "open failed: " + runs.fault;
        return;
    }
    const double cpuBefore = processCpuSeconds();
    const Clock::time_point start = Clock::now();
    MasterWriter writer(pty.masterFd());
    receiver->receive();
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    const double writerCpu = writer.finish();
    const double receiverCpu = processCpuSeconds() - cpuBefore - writerCpu;
    if (!check.complete()) {
        runs.lost = true;
        runs.fault = "lost bytes: " + check.fault();
        return;
    }
    runs.bytesPerSecond.push_back(static_cast<double>(kStreamSize) / elapsed.count());
    runs.cpuSecondsPerMebibyte.push_back(receiverCpu / (static_cast<double>(kStreamSize) / kMebibyte));
}

// Each round runs every receiver once, in a fresh random order, so that a
// spell of load from elsewhere on the machine falls on all of them alike and
// the rounds pair their runs.
std::vector<Runs> measureThroughput(unsigned int seed)
{
    // The first run in a process comes out slower, whichever receiver makes
    // it; an untimed run takes that (and makes the stream).
    Runs warmUp;
    runOnce(&makeReadLoopReceiver, warmUp);

    std::vector<Runs> runs(std::size(kReceivers));
    std::vector<std::size_t> order(runs.size());
    std::iota(order.begin(), order.end(), 0);
    std::mt19937 random(seed);
    for (int round = 0; round < kRounds; ++round) {
        std::shuffle(order.begin(), order.end(), random);
        for (std::size_t receiver : order) {
            if (kReceivers[receiver].make != nullptr && runs[receiver].fault.empty())
                runOnce(kReceivers[receiver].make, runs[receiver]);
        }
    }
    for (std::size_t receiver = 0; receiver < runs.size(); ++receiver) {
        if (kReceivers[receiver].make == nullptr)
            runs[receiver].fault = "not available in this build";
    }
    return runs;
}

void printThroughput(const std::vector<Runs>& runs, unsigned int seed)
{
    std::printf("Receive throughput: %.0f MiB per run written to the pty master in 4 KiB writes,\n"
                "%d rounds of one run per receiver in random order (seed %u)\n",
                static_cast<double>(kStreamSize) / kMebibyte, kRounds, seed);
    std::printf("  %-22s %11s %28s %14s\n", "receiver", "median MB/s", "x QSerialPort [95 % interval]",
                "CPU ms per MiB");
    const Runs& qt = runs[kQtPort];
    for (std::size_t receiver = 0; receiver < runs.size(); ++receiver) {
        const Runs& row = runs[receiver];
        std::printf("  %-22s", kReceivers[receiver].name);
        if (!row.fault.empty()) {
            std::printf(" %s\n", row.fault.c_str());
            continue;
        }
        std::printf(" %11.1f", percentile(row.bytesPerSecond, 0.5) / 1e6);
        if (qt.fault.empty()) {
            const PairedRatio ratio = pairedRatio(row.bytesPerSecond, qt.bytesPerSecond);
            std::printf("     %5.2f [%5.2f, %5.2f]        ", ratio.mean, ratio.low, ratio.high);
        } else {
            std::printf(" %28s", "-");
        }
        std::printf(" %14.2f\n", 1e3 * percentile(row.cpuSecondsPerMebibyte, 0.5));
    }

    const Runs& ours = runs[kOurPort];
    if (!ours.fault.empty() || !qt.fault.empty()) {
        std::printf("  goals: not measured\n");
        return;
    }
    const double lowEnd = pairedRatio(ours.bytesPerSecond, qt.bytesPerSecond).low;
    const double cpuShare = percentile(ours.cpuSecondsPerMebibyte, 0.5) / percentile(qt.cpuSecondsPerMebibyte, 0.5);
    std::printf("  goal: CSerialPort / QSerialPort, low end of the interval >= 1.10: %.2f -> %s\n", lowEnd,
                lowEnd >= 1.10 ? "met" : "MISSED");
    std::printf("  goal: CSerialPort's CPU per MiB <= 0.8 x QSerialPort's: %.2f x -> %s\n", cpuShare,
                cpuShare <= 0.8 ? "met" : "MISSED");
}

void printIdleCpu(const PortIdleCpu& figures)
{
    std::printf("\nCPU of an open CSerialPort while nothing arrives, 2 s\n");
    if (!figures.fault.empty())
        std::printf("  not measured: %s\n", figures.fault.c_str());
    else
        std::printf("  %.3f %% of a core\n", 100 * figures.quiet);
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

    const unsigned int seed = std::random_device()();
    const std::vector<Runs> runs = measureThroughput(seed);
    printThroughput(runs, seed);
    printIdleCpu(measurePortIdleCpu());
    return std::any_of(runs.begin(), runs.end(), [](const Runs& row) { return row.lost; }) ? 1 : 0;
}
