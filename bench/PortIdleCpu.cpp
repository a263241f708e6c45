#include "bench/PortIdleCpu.h"

#include "bench/OpenOnPty.h"
#include "tests/support/PtyPair.h"

#include <time.h>

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kWindow = 2s;
// Lets the event thread settle into its wait (or its back-off) before the
// window opens, so the window sees the steady state only.
constexpr auto kSettle = 100ms;

double processCpuSeconds()
{
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
}

// The share of one core the process uses while this thread sleeps.
double coreShareWhileSleeping()
{
    std::this_thread::sleep_for(kSettle);
    const double cpuBefore = processCpuSeconds();
    const Clock::time_point wallBefore = Clock::now();
    std::this_thread::sleep_for(kWindow);
    const std::chrono::duration<double> wall = Clock::now() - wallBefore;
    return (processCpuSeconds() - cpuBefore) / wall.count();
}

} // namespace

PortIdleCpu measurePortIdleCpu()
{
    PortIdleCpu figures;
    PtyPair pty;
    CSerialPort port;
    if (!openOnPty(port, pty.slavePath(), nullptr, figures.fault))
        return figures;
    figures.quiet = coreShareWhileSleeping();
    pty.closeMaster();
    figures.vanished = coreShareWhileSleeping();
    return figures;
}
