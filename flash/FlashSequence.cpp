#include "flash/FlashSequence.h"

#include "flash/DeviceFrames.h"

#include <limits>

namespace {

FlashDialogue::TimePoint now()
{
    return FlashDialogue::Clock::now();
}

} // namespace

FlashSequence::FlashSequence(SequenceHost& host) : host_(host), timer_([this] { onDeadline(); })
{
}

FlashSequence::~FlashSequence()
{
    pause_.endRunsUpTo(std::numeric_limits<unsigned int>::max());
}

void FlashSequence::setSettings(const DialogueSettings& settings)
{
    const Lock lock(mutex_);
    dialogue_.setSettings(settings);
}

void FlashSequence::sendPortOpenNotice()
{
    host_.write(PortOpenNotice.data(), PortOpenNotice.size());
}

void FlashSequence::startFlash(const ImageLoad& load)
{
    Lock lock(mutex_);
    carryOut(dialogue_.startFlash(load), lock);
}

void FlashSequence::startFlash(std::shared_ptr<const FirmwareImage> image)
{
    Lock lock(mutex_);
    carryOut(dialogue_.startFlash(std::move(image)), lock);
}

void FlashSequence::startFactoryReset()
{
    Lock lock(mutex_);
    carryOut(dialogue_.startFactoryReset(), lock);
}

void FlashSequence::probe()
{
    Lock lock(mutex_);
    carryOut(dialogue_.probe(), lock);
}

void FlashSequence::startFlashOnNextChip(std::shared_ptr<const FirmwareImage> image)
{
    Lock lock(mutex_);
    carryOut(dialogue_.startFlashOnNextChip(std::move(image)), lock);
}

void FlashSequence::cancel()
{
    Lock lock(mutex_);
    carryOut(dialogue_.cancel(), lock);
}

void FlashSequence::portLost(const QString& portName)
{
    Lock lock(mutex_);
    carryOut(dialogue_.portLost(portName), lock);
}

void FlashSequence::received(const char* bytes, std::size_t n)
{
    Lock lock(mutex_);
    carryOut(dialogue_.received(bytes, n, now()), lock);
}

FlashSequence::Progress FlashSequence::progress() const
{
    const Lock lock(mutex_);
    return {dialogue_.isRunning(), dialogue_.currentBlock(), dialogue_.blockCount(), dialogue_.timeLeft(now())};
}

// Called with the lock held; returns with it held, having released it for
// every write, pause and report.
void FlashSequence::carryOut(FlashDialogue::Step step, Lock& lock)
{
    for (;;) {
        post(step.reports, step.run);
        deliver(lock);
        if (!step.frame.empty()) {
            lock.unlock();
            const bool whole = host_.write(step.frame.data(), step.frame.size());
            lock.lock();
            FlashDialogue::Step after = dialogue_.written(step.ticket, whole, now());
            post(after.reports, after.run);
            deliver(lock);
        }
        if (step.pause > std::chrono::milliseconds(0)) {
            lock.unlock();
            pause_.sleep(step.pause, step.run);
            lock.lock();
        }
        if (!step.resume)
            break;
        step = dialogue_.resume(step.ticket, now());
    }
    dialogue_.settled(now());
    if (const std::optional<FlashDialogue::TimePoint> due = dialogue_.nextDeadline())
        timer_.arm(*due);
    else
        timer_.disarm();
}

// Queues reports for delivery; a run that ends cuts its pauses at once, also
// the one another thread is keeping.
void FlashSequence::post(std::vector<DialogueReport>& reports, unsigned int run)
{
    for (DialogueReport& report : reports) {
        if (std::holds_alternative<RunEnded>(report))
            pause_.endRunsUpTo(run);
        outbox_.push_back(std::move(report));
    }
}

// Hands the queued reports to the host, unless another thread is doing so
// already: that thread then delivers these too, after its own, so the order
// holds.
void FlashSequence::deliver(Lock& lock)
{
    if (delivering_)
        return;
    delivering_ = true;
    while (!outbox_.empty()) {
        std::deque<DialogueReport> batch;
        batch.swap(outbox_);
        lock.unlock();
        for (const DialogueReport& report : batch)
            host_.report(report);
        lock.lock();
    }
    delivering_ = false;
}

void FlashSequence::onDeadline()
{
    Lock lock(mutex_);
    carryOut(dialogue_.timePassed(now()), lock);
}
