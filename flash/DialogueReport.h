#pragma once

#include "flash/FirmwareImage.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <variant>

// The four information labels of the window.
enum class InfoLabel {
    FileSize,
    TotalBlocks,
    CurrentBlock,
    Action,
};

// How a run ended. Only Completed means that the chip acknowledged every
// block, the end of the transfer and the exit from boot mode (or, for a
// factory reset, the reset and the exit).
enum class RunOutcome {
    Completed,
    ImageRefused, // the firmware file could not be loaded; nothing was sent
    NoAnswer,     // the chip did not answer in time
    Cancelled,
    PortLost,
    Failed, // a frame could not be built or written, or the chip kept restarting
};

struct RunResult
{
    RunOutcome outcome = RunOutcome::Failed;
    QString reason; // the text the operator was shown, e.g. "Flashing completed."
    std::shared_ptr<const FirmwareImage> image; // of a flash run; null for a factory reset
};

// What the dialogue tells the operator, one report at a time and in order.

// A status line for the log pane.
struct LogLine
{
    QString text;
};

struct LabelText
{
    InfoLabel label;
    QString text;
};

// A paragraph for the receive pane: what the chip sent, or the run's progress.
struct ReceivedText
{
    QString text;
};

// The run began: the action buttons are disabled until it ends.
struct RunStarted
{
    bool factoryReset = false;
};

// Block `block` of `blockCount` has just been written.
struct BlockSent
{
    std::uint32_t block = 0;
    std::uint32_t blockCount = 0;
};

// The run is over, for the reason given; the buttons are enabled again.
struct RunEnded
{
    RunResult result;
};

// A chip answered a boot-mode request: one that FlashDialogue::probe() sent,
// or the one a run started for the next chip waited for. On a production
// line that is a board put in place.
struct ChipAnswered
{
};

// The port went away and is closed now; any run on it has ended first.
struct PortClosed
{
    QString portName;
};

using DialogueReport =
    std::variant<LogLine, LabelText, ReceivedText, RunStarted, BlockSent, RunEnded, ChipAnswered, PortClosed>;
