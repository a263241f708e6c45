#include "simulator/HostPauses.h"

#include <algorithm>

namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

constexpr milliseconds kAfterBootModeRequest = 5ms;
constexpr milliseconds kAfterBootReady = 1000ms;
constexpr milliseconds kAfterFirstBlock = 100ms;
constexpr milliseconds kAfterFullBlock = 300ms;
constexpr milliseconds kAfterLastBlock = 5ms;
constexpr milliseconds kAfterFactoryReset = 100ms;
constexpr milliseconds kAfterControlFrame = 5ms;

bool isBootReady(ChipMessage message)
{
    return message == ChipMessage::BootReady;
}

bool isAcknowledgement(ChipMessage message)
{
    switch (message) {
    case ChipMessage::BootReady:
    case ChipMessage::BlockWritten:
    case ChipMessage::TransferEnded:
    case ChipMessage::BootExited:
    case ChipMessage::FactoryResetDone: return true;
    default: return false;
    }
}

bool isFrame(ChipMessage message)
{
    switch (message) {
    case ChipMessage::PortOpenNotice:
    case ChipMessage::BootModeRequest:
    case ChipMessage::DataBlock:
    case ChipMessage::EndOfTransfer:
    case ChipMessage::ExitBootMode:
    case ChipMessage::FactoryReset: return true;
    default: return false;
    }
}

std::string nameOf(const ChipEvent& event)
{
    switch (event.message) {
    case ChipMessage::BootModeRequest: return "the boot-mode request";
    case ChipMessage::DataBlock: return "block " + std::to_string(event.block);
    case ChipMessage::EndOfTransfer: return "the end-of-transfer frame";
    case ChipMessage::ExitBootMode: return "the exit-boot-mode frame";
    case ChipMessage::FactoryReset: return "the factory-reset frame";
    default: return "the boot-ready answer"; // the only answer a pause is timed from
    }
}

// Which pause came after a block shows in what follows it: the program took
// a block that anything but a block follows for the last one.
milliseconds pauseBetween(const ChipEvent& earlier, const ChipEvent& later)
{
    switch (earlier.message) {
    case ChipMessage::BootModeRequest: return kAfterBootModeRequest;
    case ChipMessage::DataBlock:
        if (earlier.block == 1)
            return kAfterFirstBlock;
        return later.message == ChipMessage::DataBlock ? kAfterFullBlock : kAfterLastBlock;
    case ChipMessage::FactoryReset: return kAfterFactoryReset;
    case ChipMessage::EndOfTransfer:
    case ChipMessage::ExitBootMode: return kAfterControlFrame;
    default: return 0ms; // the port-open notice: the program goes on at once
    }
}

// The pause the program keeps between reading the boot-ready answer and
// writing `frame`.
milliseconds pauseBefore(const ChipEvent& frame)
{
    const bool firstAfterBootReady = (frame.message == ChipMessage::DataBlock && frame.block == 1)
                                     || frame.message == ChipMessage::FactoryReset;
    return firstAfterBootReady ? kAfterBootReady : 0ms;
}

bool cameTooSoon(const ChipEvent& frame, const ChipEvent& earlier, milliseconds pause,
                 milliseconds allowance = kHostPauseTolerance)
{
    return frame.time - earlier.time + allowance < pause;
}

std::string complaint(const ChipEvent& frame, const ChipEvent& earlier, milliseconds pause)
{
    const auto gap = std::max(std::chrono::steady_clock::duration::zero(), frame.time - earlier.time);
    return nameOf(frame) + " came " + std::to_string(std::chrono::duration_cast<milliseconds>(gap).count())
           + " ms after " + nameOf(earlier) + "; the host must pause " + std::to_string(pause.count()) + " ms";
}

using Events = std::vector<ChipEvent>;

Events::const_reverse_iterator latest(Events::const_reverse_iterator from, Events::const_reverse_iterator end,
                                      bool (*kind)(ChipMessage))
{
    return std::find_if(from, end, [kind](const ChipEvent& event) { return kind(event.message); });
}

} // namespace

std::string hostPauseViolation(const Events& events)
{
    if (events.empty() || events.back().message == ChipMessage::PortOpenNotice)
        return {};
    const ChipEvent& frame = events.back();
    const auto end = events.rend();
    if (pauseBefore(frame) > 0ms) {
        const auto bootReady = latest(events.rbegin() + 1, end, isBootReady);
        if (bootReady == end || !cameTooSoon(frame, *bootReady, kAfterBootReady))
            return {};
        return complaint(frame, *bootReady, kAfterBootReady);
    }
    const auto earlier = latest(events.rbegin() + 1, end, isFrame);
    if (earlier == end)
        return {};
    const milliseconds pause = pauseBetween(*earlier, frame);
    if (!cameTooSoon(frame, *earlier, pause))
        return {};
    const auto answered = latest(earlier + 1, end, isAcknowledgement);
    const bool confirmed = answered != end && cameTooSoon(frame, *answered, pauseBefore(*earlier) + pause);
    if (!confirmed && !cameTooSoon(frame, *earlier, pause, kLateStampAllowance))
        return {};
    return complaint(frame, *earlier, pause);
}
