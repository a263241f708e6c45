#pragma once

#include "flash/FirmwareImage.h"
#include "flash/StatusSink.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

// How a run ended. Only Completed means that the chip acknowledged every
// block, the end of the transfer and the exit from boot mode (or, for a
// factory reset, the reset and the exit).
enum class RunOutcome {
    Completed,
    ImageRefused, // the firmware file could not be loaded; nothing was sent
    NoAnswer,     // the chip did not answer in time
    Cancelled,
    PortLost,
    Failed, // no memory for a block frame
};

struct RunResult
{
    RunOutcome outcome;
    QString reason; // the text the operator was shown, e.g. "Flashing completed."
    std::shared_ptr<const FirmwareImage> image; // of a flash run; null for a factory reset
};

// What the flash sequence needs from the place it runs in: the serial port,
// pauses, and the operator-facing effects. The sequence calls it on the GUI
// thread (the actions), on the serial event thread (the reactions to
// replies) and on its timer thread (a reply that never came); an
// implementation hands widget effects to the GUI thread without blocking and
// in call order, together with the StatusSink reports.
class SequenceHost : public StatusSink
{
public:
    // Writes one frame; nothing is resent, so the result is not needed.
    virtual void send(const std::uint8_t* bytes, std::size_t length) = 0;
    // Takes up to size received bytes; the count, 0 when none, -1 on failure.
    virtual int receive(char* buffer, int size) = 0;
    // Holds the calling thread while the device digests what it was sent. A
    // run that ends (runEnded) cuts its pauses short; the next run's start
    // (runStarted) lets them last again.
    virtual void pause(unsigned int milliseconds) = 0;
    // One paragraph for the receive pane.
    virtual void showReceived(const QString& text) = 0;
    // The run began: the five action buttons (Flash, Load File, Factory
    // Reset, Open/Close Port, Clear) are disabled.
    virtual void runStarted() = 0;
    // Block `block` of `blockCount` has just been written.
    virtual void blockSent(std::uint32_t block, std::uint32_t blockCount) = 0;
    // The run is over, for the reason given; the buttons are enabled again.
    virtual void runEnded(const RunResult& result) = 0;
};
