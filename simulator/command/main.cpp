// orvanne-chipsim: a virtual RQ51x chip on a pseudo-terminal, for trying,
// training and scripting without hardware. `--help` explains the options.
#ifdef _WIN32

#include <cstdio>

int main()
{
    std::fputs("orvanne-chipsim: the virtual RQ51x chip needs a POSIX system with pseudo-terminals, "
               "such as Linux; it cannot run on Windows.\n",
               stderr);
    return 2;
}

#else

#include "simulator/ChipSimulator.h"
#include "simulator/command/CommandOptions.h"

#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

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

void printSummary(const ChipRecord& record)
{
    std::printf("frames: %zu, blocks: %zu, image bytes: %zu, protocol errors: ", framesReceived(record),
                record.count(ChipMessage::DataBlock), record.image.size());
    if (record.protocolError.empty())
        std::printf("0");
    else
        std::printf("1 (%s)", record.protocolError.c_str());
    if (record.droppedBytes > 0)
        std::printf(", bytes lost: %zu", record.droppedBytes);
    std::printf(record.hungUp ? ", hung up\n" : "\n");
}

bool writeImage(std::FILE* file, const std::vector<std::uint8_t>& image)
{
    const bool written = std::fwrite(image.data(), 1, image.size(), file) == image.size();
    return std::fclose(file) == 0 && written;
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

    // Opened now, so that a path that cannot be written is refused before
    // anyone flashes into the chip.
    std::FILE* imageFile = nullptr;
    if (!options.imageOut.empty() && (imageFile = std::fopen(options.imageOut.c_str(), "wb")) == nullptr) {
        std::fprintf(stderr, "orvanne-chipsim: cannot write %s: %s\n", options.imageOut.c_str(), std::strerror(errno));
        return kCannotServe;
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
        if (!chip.setupError().empty()) {
            std::fprintf(stderr, "orvanne-chipsim: %s\n", chip.setupError().c_str());
            return kCannotServe;
        }
        std::printf("%s\n", chip.slavePath().c_str());
        std::fflush(stdout);
        serveUntilStopped(chip, options.once, stopSignals);
        record = chip.record();
    }

    if (imageFile != nullptr && !writeImage(imageFile, record.image)) {
        std::fprintf(stderr, "orvanne-chipsim: cannot write %s: %s\n", options.imageOut.c_str(), std::strerror(errno));
        return kCannotServe;
    }
    printSummary(record);
    return record.protocolError.empty() ? kServedCleanly : kProtocolBroken;
}

#endif
