#pragma once

#include "flash/DialogueReport.h"
#include "flash/DialogueSettings.h"
#include "flash/FirmwareFile.h"
#include "flash/ReplyAssembler.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// The dialogue with the chip's bootloader, as a state machine: it is told what
// the operator did, what the chip sent, how a write went and what time it is,
// and answers each with a Step that says what to report, which frame to
// write and how long to pause. It has no threads, no clock and no callbacks;
// FlashSequence drives it.
//
// An action asks for boot mode; from then on each awaited acknowledgement
// lets the next frame go: the image block by block, the end of transfer and
// the exit from boot mode, or, in a factory-reset run, the reset order and
// the exit. Only the reply that the last frame written asks for moves the
// run. The one exception is a boot-ready reply in the middle of a flash run:
// a chip that rebooted asks for the image again, so the transfer starts again
// at block 1, at most kMaxChipRestarts times. Any other acknowledgement is
// shown, logged as ignored and changes nothing, so "Flashing completed."
// means every block acknowledged, the transfer ended and boot mode left.
//
// Every run ends: with that success; when a reply does not come within the
// reply deadline; when a frame cannot be built or written whole; when the
// chip keeps restarting; when it is cancelled; or when the port is lost.
class FlashDialogue
{
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    // A chip that reboots this often within one run has a power or reset
    // fault that sending the image again does not mend.
    static constexpr unsigned int kMaxChipRestarts = 3;
    // How long a received beginning of an acknowledgement waits for its rest
    // before it is shown as unrecognised bytes.
    static constexpr std::chrono::milliseconds kReplyCompletionWait{100};
    // How often a run waiting for the next chip asks for boot mode.
    static constexpr std::chrono::milliseconds kChipProbeInterval{1000};

    // What the driver does next, in this order: deliver the reports; write
    // the frame, if there is one, and tell written() whether it went out
    // whole; keep the pause; and, when `resume` is set, call resume() once
    // the pause is over. A step of an ended run asks for nothing more.
    struct Step
    {
        std::vector<DialogueReport> reports;
        std::vector<std::uint8_t> frame;
        std::chrono::milliseconds pause{0};
        bool resume = false;
        unsigned int run = 0;     // the run it belongs to; its pauses end with that run
        std::uint64_t ticket = 0; // names the step to written() and resume()
    };

    // Settings take effect from the next run on.
    void setSettings(const DialogueSettings& settings) { settings_ = settings; }

    // The Flash action with the file read for it (its "Reading..." and size
    // lines are reported), or with an image read beforehand.
    Step startFlash(const ImageLoad& load);
    Step startFlash(std::shared_ptr<const FirmwareImage> image);
    Step startFactoryReset();

    // For a production line, where boards come and go on one port. Between
    // runs, probe() asks with one boot-mode request whether a chip is there;
    // a chip that answers is reported as ChipAnswered and left in boot mode.
    // Nothing is sent while a run is in progress.
    Step probe();
    // A flash run for the next chip to come: it asks for boot mode every
    // kChipProbeInterval, with no deadline, until a chip answers; that answer
    // is reported as ChipAnswered and the run goes on as any other. Until
    // then only a cancel or a lost port ends it.
    Step startFlashOnNextChip(std::shared_ptr<const FirmwareImage> image);

    // Ends a run in progress at once; nothing more is written to the chip.
    Step cancel();
    // The port went away (an adapter pulled, a peer gone).
    Step portLost(const QString& portName);

    // Bytes from the chip, in the order they came.
    Step received(const char* bytes, std::size_t n, TimePoint now);

    // How the write of a step's frame went: `whole` when every byte went out.
    Step written(std::uint64_t ticket, bool whole, TimePoint now);
    // The pause before a step's next frame is over.
    Step resume(std::uint64_t ticket, TimePoint now);
    // The driver has carried out a step, pauses included, and reads the
    // chip's bytes again: a kept beginning of a reply waits from now on.
    void settled(TimePoint now);

    // Call timePassed() once nextDeadline() has come: a reply overdue, or a
    // kept beginning of one that was never completed.
    std::optional<TimePoint> nextDeadline() const;
    Step timePassed(TimePoint now);

    bool isRunning() const { return running_; }
    // Of the last flash run: 1 until its first block; kept after the run.
    std::uint32_t currentBlock() const { return currentBlock_; }
    std::uint32_t blockCount() const { return blockCount_; }
    // What a progress display can promise as the time left: the mandated
    // pauses ahead under protocol pacing, the pace so far under acknowledged
    // pacing; nothing while it cannot tell.
    std::optional<std::chrono::milliseconds> timeLeft(TimePoint now) const;

private:
    // The reply the last frame written asks for.
    enum class Awaiting { Nothing, BootReady, BlockWritten, TransferEnded, BootExited, FactoryResetDone };

    Step stepOfRun() const;
    Step startFlashOf(std::shared_ptr<const FirmwareImage> image, bool awaitingChip);
    void beginRun(Step& step, bool factoryReset);
    void requestBootMode(Step& step);
    void endRun(Step& step, RunOutcome outcome, const QString& reason);
    void fail(Step& step, RunOutcome outcome, const QString& reason);

    void react(Step& step, const ReplyAssembler::Piece& piece, bool& replyTaken, TimePoint now);
    bool isAwaited(ReplyCode code) const;
    void take(Step& step, ReplyCode code, TimePoint now);
    void continueAfter(Step& step, ReplyCode code);
    void nextBlockOrEnd(Step& step);
    void sendBlock(Step& step, std::uint32_t block);
    void writeFrame(Step& step, std::vector<std::uint8_t> frame, Awaiting awaiting,
                    std::chrono::milliseconds protocolPause);

    void announce(Step& step, const QString& text);
    QString awaitedText() const;
    QString writeFailedText() const;
    std::chrono::milliseconds protocolPausesAhead() const;

    DialogueSettings settings_;
    DialogueSettings runSettings_; // of the run in progress
    ReplyAssembler assembler_;

    bool running_ = false;
    bool factoryReset_ = false;
    unsigned int runNumber_ = 0;
    Awaiting awaiting_ = Awaiting::Nothing;
    std::uint64_t lastTicket_ = 0;
    std::uint64_t ticket_ = 0;     // of the step whose written() or resume() is due
    bool pausing_ = false;         // an awaited reply came; its frame waits for resume()
    ReplyCode resumeAfter_ = ReplyCode::Unrecognised;
    std::chrono::milliseconds pauseAfterWrite_{0};
    bool blockInFlight_ = false;   // the frame being written is a block
    unsigned int restarts_ = 0;
    bool probing_ = false;      // probe() asked since the last run began
    bool awaitingChip_ = false; // the run waits for the next chip

    std::shared_ptr<const FirmwareImage> image_;
    std::uint32_t currentBlock_ = 1;
    std::uint32_t blockCount_ = 0;

    std::optional<TimePoint> replyDue_;
    std::optional<TimePoint> prefixDue_;

    // The pace of a transfer under acknowledged pacing.
    std::optional<TimePoint> firstBlockWrittenAt_;
    std::optional<TimePoint> lastBlockAcknowledgedAt_;
    std::uint32_t blocksAcknowledged_ = 0;
};
