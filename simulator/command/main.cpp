// orvanne-chipsim: a virtual RQ51x chip on a pseudo-terminal, for trying,
// training and scripting without hardware. `--help` explains the options.

#include "simulator/ChipSimulator.h"
#include "simulator/command/CommandOptions.h"
#include "simulator/command/ImageFiles.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr int kServedCleanly = 0;
constexpr int kProtocolBroken = 1;
constexpr int kCannotServe = 2;

// How often a --once serve looks for Ctrl-C while it waits for the run's end.
constexpr std::chrono::milliseconds kSignalCheckInterval = 100ms;
// After its run a --once chip waits this long at most for the program to
// close the port, so that the program reads the last answer before the line
// goes away.
constexpr std::chrono::milliseconds kPortReleaseWait = 3s;

bool oneRunIsOver(const ChipRecord& record)
{
    return record.count(ChipMessage::BootExited) > 0 || !record.protocolError.empty() || record.hungUp;
}

bool stopSignalPending()
{
    sigset_t pending;
    sigpending(&pending);
    return sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1;
}

void serveUntilStopped(ChipSimulator& chip, bool once, const sigset_t& stopSignals)
{
    if (!once) {
        int signal;
        sigwait(&stopSignals, &signal);
        return;
    }
    while (!chip.waitUntil(oneRunIsOver, kSignalCheckInterval)) {
        if (stopSignalPending())
            return;
    }
    chip.waitUntilPortReleased(kPortReleaseWait);
}

std::size_t framesReceived(const ChipRecord& record)
{
    std::size_t frames = 0;
    for (const ChipMessage message : {ChipMessage::PortOpenNotice, ChipMessage::BootModeRequest,
                                      ChipMessage::DataBlock, ChipMessage::EndOfTransfer,
                                      ChipMessage::ExitBootMode, ChipMessage::FactoryReset})
        frames += record.count(message);
    return frames;
}

// Where the image received first differs from the one expected; empty when
// they are the same.
std::string imageDifference(const std::vector<std::uint8_t>& received, const std::vector<std::uint8_t>& expected)
{
    const auto where = std::mismatch(received.begin(), received.end(), expected.begin(), expected.end());
    if (where.first == received.end() && where.second == expected.end())
        return {};
    return "differs from the expected one from byte " + std::to_string(where.first - received.begin());
}

void printSummary(const ChipRecord& record, const std::string& expectedImagePath, const std::string& difference)
{
    std::printf("frames: %zu, blocks: %zu, image bytes: %zu, protocol errors: ", framesReceived(record),
                record.count(ChipMessage::DataBlock), record.image.size());
    if (record.protocolError.empty())
        std::printf("0");
    else
        std::printf("1 (%s)", record.protocolError.c_str());
    if (record.droppedBytes > 0)
        std::printf(", bytes lost: %zu", record.droppedBytes);
    if (!expectedImagePath.empty())
        std::printf(", image %s", difference.empty() ? "as expected" : difference.c_str());
    std::printf(record.hungUp ? ", hung up\n" : "\n");
}

int refuse(const std::string& why)
{
    std::fprintf(stderr, "orvanne-chipsim: %s\n", why.c_str());
    return kCannotServe;
}

} // namespace

int main(int argc, char* argv[])
{
    CommandOptions options;
    switch (parseCommandLine(argc, argv, options)) {
    case CommandLineOutcome::HelpShown: return kServedCleanly;
    case CommandLineOutcome::Refused: return kCannotServe;
    case CommandLineOutcome::Serve: break;
    }

    std::vector<std::uint8_t> expectedImage;
    if (!options.expectImage.empty()) {
        if (const std::string problem = readImageFile(options.expectImage, expectedImage); !problem.empty())
            return refuse(problem);
    }
    // Set up now, so that a folder that cannot be written is refused before
    // anyone flashes into the chip; the file itself is replaced at the end.
    ImageOutFile imageOut;
    if (!options.imageOut.empty()) {
        if (const std::string problem = imageOut.open(options.imageOut, options.expectImage); !problem.empty())
            return refuse(problem);
    }
    // A script may stop reading after the first line; the summary then goes
    // nowhere instead of ending the command before the image is written.
    signal(SIGPIPE, SIG_IGN);
    // Blocked before the chip's thread starts, so that it inherits the mask
    // and the signals wait for this thread to take them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    ChipRecord record;
    {
        ChipSimulator chip(options.behaviour);
        if (!chip.setupError().empty())
            return refuse(chip.setupError());
        std::printf("%s\n", chip.slavePath().c_str());
        std::fflush(stdout);
        serveUntilStopped(chip, options.once, stopSignals);
        record = chip.record();
    }

    if (!options.imageOut.empty()) {
        if (const std::string problem = imageOut.commit(record.image); !problem.empty())
            return refuse(problem);
    }
    const std::string difference = imageDifference(record.image, expectedImage);
    printSummary(record, options.expectImage, difference);
    const bool asExpected = options.expectImage.empty() || difference.empty();
    return record.protocolError.empty() && asExpected ? kServedCleanly : kProtocolBroken;
}
