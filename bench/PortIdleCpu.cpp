#include "bench/PortIdleCpu.h"

#include "bench/OpenOnPty.h"
#include "tests/support/ProcessResources.h"
#include "tests/support/PtyPair.h"

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kWindow = 2s;
// Lets the event thread settle into its wait before the window opens, so the
// window sees the steady state only.
constexpr auto kSettle = 100ms;

} // namespace

PortIdleCpu measurePortIdleCpu()
{
    PortIdleCpu figures;
    PtyPair pty;
    CSerialPort port;
    if (!openOnPty(port, pty.slavePath(), nullptr, figures.fault))
        return figures;
    std::this_thread::sleep_for(kSettle);
    const double cpuBefore = processCpuSeconds();
    const Clock::time_point wallBefore = Clock::now();
    std::this_thread::sleep_for(kWindow);
    const std::chrono::duration<double> wall = Clock::now() - wallBefore;
    figures.quiet = (processCpuSeconds() - cpuBefore) / wall.count();
    return figures;
}
