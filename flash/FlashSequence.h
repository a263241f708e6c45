#pragma once

#include "flash/DeadlineTimer.h"
#include "flash/FirmwareLoader.h"
#include "flash/ReplyAssembler.h"
#include "flash/SequenceHost.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

// The dialogue with the chip's bootloader. An action asks for boot mode; from
// then on each expected acknowledgement makes the sequence write the next
// frame: the image block by block, the end of transfer and the exit from boot
// mode, or, in a factory-reset run, the reset order and the exit.
//
// Only the reply that the last frame written asks for moves the run; the one
// exception is a boot-ready reply in the middle of a flash run, which starts
// the transfer again at block 1 (a chip that rebooted asks for the image
// again). Any other acknowledgement is shown, logged as ignored and changes
// nothing, so "Flashing completed." means every block acknowledged, the
// transfer ended and boot mode left. Every run ends: with that success, when
// a reply does not come within the mandated pause plus the reply deadline,
// when it is cancelled, or when the port is lost.
//
// Threads: the actions and cancel come from the owner's thread, replies from
// the serial event thread, expired deadlines from the sequence's own timer
// thread. One lock orders them; pauses are kept outside it, so that cancel
// never waits for one.
class FlashSequence
{
public:
    static constexpr std::chrono::milliseconds kDefaultReplyDeadline{5000};
    // How long a received beginning of an acknowledgement waits for its rest
    // before it is shown as unrecognised bytes.
    static constexpr std::chrono::milliseconds kReplyCompletionWait{100};

    explicit FlashSequence(SequenceHost& host);
    ~FlashSequence();

    FlashSequence(const FlashSequence&) = delete;
    FlashSequence& operator=(const FlashSequence&) = delete;

    // The time a reply may take beyond the pause that follows its request.
    void setReplyDeadline(std::chrono::milliseconds deadline);

    // Writes the port-open notice; the chip answers nothing to it.
    void sendPortOpenNotice();

    // The Flash action once the port is known to be open. The path is in the
    // local 8-bit encoding. A pending factory reset skips the load.
    void startFlash(const char* firmwarePath);
    // The same with an image loaded beforehand (one file for many ports).
    void startFlash(std::shared_ptr<const FirmwareImage> image);

    // The Factory Reset action once the port is known to be open.
    void startFactoryReset();

    // Ends a run in progress at once; nothing more is written to the chip.
    void cancel();

    // The serial library lost the port (an adapter pulled, a peer gone).
    void onPortLost(const char* portName);

    // Received bytes are waiting (serial event thread).
    void onReadEvent(unsigned int readBufferLen);

    bool isRunning() const { return running_; }

    // Read by progress displays on other threads while the run advances them.
    std::uint32_t currentBlock() const { return currentBlock_; }
    std::uint32_t blockCount() const { return loader_.blockCount(); }
    // The pauses the protocol mandates between here and the run's end: what a
    // progress display can promise as the time left.
    std::chrono::milliseconds pausesAhead() const;

private:
    // The reply the last frame written asks for.
    enum class Awaiting { Nothing, BootReady, BlockWritten, TransferEnded, BootExited, FactoryResetDone };

    using Lock = std::unique_lock<std::mutex>;

    bool beginRun(Lock& lock);
    void requestBootMode(Lock& lock);
    void endRun(RunOutcome outcome, const QString& reason);

    unsigned int react(const ReplyAssembler::Piece& piece, Lock& lock);
    bool isExpected(ReplyCode code) const;
    unsigned int onBootReady(Lock& lock);
    unsigned int onBlockWritten();
    unsigned int onTransferEnded();
    void onBootExited();
    unsigned int onFactoryResetDone();

    unsigned int write(const std::uint8_t* bytes, std::size_t length, Awaiting awaiting,
                       unsigned int pauseMs);
    unsigned int sendBlock(const FirmwareImage& image, std::uint32_t block, unsigned int pauseMs);
    void announce(const QString& text);
    QString awaitedText() const;

    void onTimer();
    void rearmTimer();

    SequenceHost& host_;
    FirmwareLoader loader_;
    std::atomic<std::uint32_t> currentBlock_{1};
    std::atomic<bool> factoryResetPending_{false};
    std::atomic<bool> running_{false};

    mutable std::mutex mutex_; // guards the members below
    Awaiting awaiting_ = Awaiting::Nothing;
    unsigned int runNumber_ = 0;
    std::chrono::milliseconds replyDeadline_ = kDefaultReplyDeadline;
    ReplyAssembler assembler_;
    std::optional<DeadlineTimer::Clock::time_point> replyDue_;
    std::optional<DeadlineTimer::Clock::time_point> prefixDue_;

    // Last, so that it stops before anything its callback uses goes.
    DeadlineTimer timer_;
};
