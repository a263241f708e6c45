#pragma once

#include "flash/DeadlineTimer.h"
#include "flash/FlashDialogue.h"
#include "flash/RunPause.h"
#include "flash/SequenceHost.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

// Drives one board's FlashDialogue: carries out its steps (writes through the
// host, keeps the pauses, delivers the reports) and wakes it when a deadline
// comes.
//
// Threads: the actions and cancel come from the owner's thread, received
// bytes from the serial event thread, deadlines from the sequence's own
// thread. One lock orders their calls into the dialogue; nothing is called
// out while it is held, so a write that blocks or a pause holds up neither
// Cancel nor the progress display, and a report may read the sequence back.
// A step's write and pauses are kept on the thread that caused it: a reply's
// pauses hold up the reading of the next reply, as the protocol expects.
// Reports are delivered one at a time and in the order made, whichever
// thread happens to deliver them.
class FlashSequence
{
public:
    struct Progress
    {
        bool running = false;
        std::uint32_t currentBlock = 1;
        std::uint32_t blockCount = 0;
        std::optional<std::chrono::milliseconds> timeLeft; // nothing while it cannot be told
    };

    explicit FlashSequence(SequenceHost& host);
    // Ends the pauses of every run and waits for a deadline call in progress.
    // The owner makes sure no other thread is inside the sequence any more.
    ~FlashSequence();

    FlashSequence(const FlashSequence&) = delete;
    FlashSequence& operator=(const FlashSequence&) = delete;

    // Takes effect from the next run on.
    void setSettings(const DialogueSettings& settings);

    // Writes the port-open notice; the chip answers nothing to it.
    void sendPortOpenNotice();

    // The Flash action with the file read for it, or with an image read
    // beforehand (one file for many boards).
    void startFlash(const ImageLoad& load);
    void startFlash(std::shared_ptr<const FirmwareImage> image);
    void startFactoryReset();
    // See FlashDialogue::probe() and startFlashOnNextChip().
    void probe();
    void startFlashOnNextChip(std::shared_ptr<const FirmwareImage> image);
    // Ends a run in progress at once; nothing more is written to the chip.
    void cancel();
    void portLost(const QString& portName);

    // Bytes from the chip (serial event thread).
    void received(const char* bytes, std::size_t n);

    Progress progress() const;

private:
    using Lock = std::unique_lock<std::mutex>;

    void carryOut(FlashDialogue::Step step, Lock& lock);
    void post(std::vector<DialogueReport>& reports, unsigned int run);
    void deliver(Lock& lock);
    void onDeadline();

    SequenceHost& host_;
    RunPause pause_;

    mutable std::mutex mutex_; // guards the members below
    FlashDialogue dialogue_;
    std::deque<DialogueReport> outbox_;
    bool delivering_ = false;

    // Last, so that it stops before anything its callback uses goes.
    DeadlineTimer timer_;
};
