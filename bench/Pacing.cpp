// pacing: flashes 64 KiB and 1 MiB through one board session into the
// virtual chip on a 115200-baud wire with a 10 ms block write, under both
// pacings, one after the other, and prints each run's time beside its floors:
// the wire and write time the chip itself needs, and the pauses the protocol
// mandates.
//   pacing [rounds] [size in bytes ...]
#include "simulator/ChipSimulator.h"
#include "tests/support/BoardRun.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::uint32_t kWireBaud = 115200;
constexpr milliseconds kBlockWrite{10};
constexpr double kBitsPerByte = 10; // 8N1

// What the chip cannot do faster: every byte both ways on the wire, and the
// write of every block.
double floorMs(std::uint32_t size)
{
    const std::uint32_t blocks = blockCountFor(size);
    const double sent = 2 + (size + 9.0 * blocks) + 8 + 8; // request, blocks, end, exit
    const double answered = 6 + 3.0 * blocks + 3 + 3;
    return (sent + answered) * kBitsPerByte * 1000 / kWireBaud + double(blocks) * kBlockWrite.count();
}

// The pauses after each write under protocol pacing.
double mandatedPausesMs(std::uint32_t size)
{
    const std::uint32_t blocks = blockCountFor(size);
    return 5 + 1000 + 100 + (blocks - 2) * 300.0 + 5 + 5 + 5;
}

std::shared_ptr<const FirmwareImage> imageOf(std::uint32_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 29 + i / 256);
    return std::make_shared<const FirmwareImage>(std::move(bytes));
}

// One run on a fresh chip; the time in ms, or a negative number on failure.
double flashOnce(std::uint32_t size, Pacing pacing)
{
    ChipBehaviour hardware;
    hardware.wireBaud = kWireBaud;
    hardware.writeTime = kBlockWrite;
    hardware.expectProtocolPauses = pacing == Pacing::Protocol;
    ChipSimulator chip(hardware);
    BoardRun board(QString::fromStdString(chip.slavePath()));
    if (board.openFailure())
        return -1;
    DialogueSettings settings;
    settings.pacing = pacing;
    const std::shared_ptr<const FirmwareImage> image = imageOf(size);
    const auto started = Clock::now();
    const std::optional<RunResult> result = board.flash(image, settings, std::chrono::hours(1));
    const double tookMs = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    if (!result || result->outcome != RunOutcome::Completed || chip.image().size() != size) {
        std::fprintf(stderr, "  run failed: %s %s\n", result ? qPrintable(result->reason) : "no end",
                     chip.protocolError().c_str());
        return -1;
    }
    return tookMs;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 1;
    std::vector<std::uint32_t> sizes;
    for (int i = 2; i < argc; ++i)
        sizes.push_back(static_cast<std::uint32_t>(std::strtoul(argv[i], nullptr, 10)));
    if (sizes.empty())
        sizes = {64 * 1024, 1024 * 1024};

    std::printf("pacing: one board, the virtual chip at %u baud with a %lld ms block write\n", kWireBaud,
                static_cast<long long>(kBlockWrite.count()));
    std::printf("%10s %-13s %12s %12s %10s %12s %10s\n", "bytes", "pacing", "time s", "floor s", "x floor",
                "pauses s", "x pauses");
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const std::uint32_t size : sizes) {
            double acknowledgedMs = 0;
            for (const Pacing pacing : {Pacing::Acknowledged, Pacing::Protocol}) {
                const double ms = flashOnce(size, pacing);
                failures += ms < 0;
                const bool protocol = pacing == Pacing::Protocol;
                std::printf("%10u %-13s %12.2f %12.2f %10.4f %12.2f %10.4f", size,
                            protocol ? "protocol" : "acknowledged", ms / 1000, floorMs(size) / 1000,
                            ms / floorMs(size), mandatedPausesMs(size) / 1000, ms / mandatedPausesMs(size));
                if (protocol && acknowledgedMs > 0)
                    std::printf("   acknowledged is %.1fx faster", ms / acknowledgedMs);
                std::printf("\n");
                std::fflush(stdout);
                if (!protocol)
                    acknowledgedMs = ms;
            }
        }
    }
    std::printf("targets: acknowledged <= 1.05 x floor and >= 8x faster than protocol;\n"
                "         protocol <= 1.003 x the mandated pauses\n");
    return failures == 0 ? 0 : 1;
}
