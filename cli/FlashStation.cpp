#include "cli/FlashStation.h"

#include "cli/ExitCode.h"
#include "flash/FirmwareImage.h"
#include "flash/FlashDialogue.h"
#include "session/PrintableText.h"

#include <algorithm>

namespace {

constexpr std::chrono::milliseconds kClockTick{250};

} // namespace

FlashStation::FlashStation(const CommandLine& commandLine, std::shared_ptr<const FirmwareImage> image,
                           ProgressView& view, RunRecord& record)
    : commandLine_(commandLine), image_(std::move(image)), view_(view), record_(record)
{
    for (const QString& name : commandLine_.ports) {
        auto port = std::make_unique<Port>();
        port->run.port = name;
        const std::size_t index = ports_.size();
        connect(&port->tick, &QTimer::timeout, this, [this, index] { onTick(index); });
        ports_.push_back(std::move(port));
        progress_.push_back({printableText(name), 0, 0, {}, {}, std::nullopt, {}, 0, {}});
    }
    clockTicks_.setInterval(kClockTick);
    connect(&clockTicks_, &QTimer::timeout, this, &FlashStation::refreshClocks);
}

FlashStation::~FlashStation() = default;

void FlashStation::start()
{
    view_.showRun(imageFactsOf(commandLine_.firmwarePath, *image_), commandLine_.dialogue);
    for (std::size_t index = 0; index < ports_.size(); ++index)
        lookForPort(index);
    clockTicks_.start();
}

void FlashStation::interrupt()
{
    stop();
}

// The port is opened as soon as it is there; a board on it counts as new.
void FlashStation::lookForPort(std::size_t index)
{
    Port& port = *ports_[index];
    if (const std::optional<PortOpenFailure> failure = port.run.open(commandLine_.line, commandLine_.dialogue)) {
        port.phase = Phase::PortAbsent;
        waitFor(index, failure->code == ResultNotExist ? QStringLiteral("the port")
                                           : QStringLiteral("the port (%1)").arg(failure->cause));
        port.tick.start(kPortLookInterval);
        return;
    }
    port.run.identity = identifyPort(enumerateSerialPorts(), port.run.port);
    connectSession(index);
    port.run.session->sendPortOpenNotice();
    awaitBoard(index);
}

void FlashStation::connectSession(std::size_t index)
{
    Port& port = *ports_[index];
    const unsigned int generation = ++port.generation;
    BoardSession* session = port.run.session.get();
    const auto current = [this, index, generation] { return ports_[index]->generation == generation; };
    // Queued also when emitted on this thread, inside a call into the
    // session: the handlers may close the port and destroy the session.
    connect(
        session, &BoardSession::chipAnswered, this,
        [this, index, current] {
            if (current())
                onChipAnswered(index);
        },
        Qt::QueuedConnection);
    connect(
        session, &BoardSession::blockSent, this,
        [this, index, current](quint32 block, quint32 blockCount) {
            if (current() && ports_[index]->phase == Phase::Flashing) {
                ports_[index]->run.blockWritten(progress_[index], block, blockCount);
                view_.progressed(progress_, index);
            }
        },
        Qt::QueuedConnection);
    connect(
        session, &BoardSession::runEnded, this,
        [this, index, current](const RunResult& result) {
            if (current())
                onRunEnded(index, result);
        },
        Qt::QueuedConnection);
    connect(
        session, &BoardSession::portLost, this,
        [this, index, current] {
            if (current())
                onPortLost(index);
        },
        Qt::QueuedConnection);
    if (commandLine_.verbose)
        port.run.showSteps();
}

void FlashStation::awaitBoard(std::size_t index)
{
    Port& port = *ports_[index];
    port.tick.stop();
    port.phase = Phase::AwaitingBoard;
    waitFor(index, QStringLiteral("a board"));
    port.run.session->startFlashOnNextChip(image_);
}

void FlashStation::onChipAnswered(std::size_t index)
{
    Port& port = *ports_[index];
    if (port.phase == Phase::BoardLeaving) {
        port.sinceHeard.start(); // still there
        return;
    }
    if (port.phase != Phase::AwaitingBoard)
        return;
    port.phase = Phase::Flashing;
    ++progress_[index].boardNumber;
    port.run.begin(progress_[index], image_->blockCount());
    view_.started(progress_, index);
}

void FlashStation::onRunEnded(std::size_t index, const RunResult& result)
{
    Port& port = *ports_[index];
    const bool boardRun = port.phase == Phase::Flashing;
    if (boardRun) {
        port.run.end(progress_[index], result, false);
        view_.finished(progress_, index);
        record_.append(port.run.port, port.run.identity, port.run.startedAt, QDateTime::currentDateTimeUtc(),
                       *progress_[index].result);
        // A board that cannot be traced must not be followed by more.
        if (record_.failed())
            stop();
    }
    if (stopping_) {
        port.phase = Phase::Stopped;
        return endIfStopped();
    }
    if (result.outcome == RunOutcome::PortLost)
        return; // portLost() follows
    if (!boardRun) {
        // The wait for a board failed (a write that did not go out): the
        // port is opened afresh.
        closePort(index);
        return lookForPort(index);
    }
    port.phase = Phase::BoardLeaving;
    waitFor(index, QStringLiteral("the board to go"));
    port.sinceHeard.start();
    port.tick.start(FlashDialogue::kChipProbeInterval);
}

void FlashStation::onPortLost(std::size_t index)
{
    closePort(index);
    if (stopping_)
        return;
    Port& port = *ports_[index];
    port.phase = Phase::PortAbsent;
    waitFor(index, QStringLiteral("the port"));
    port.tick.start(kPortLookInterval);
}

void FlashStation::onTick(std::size_t index)
{
    Port& port = *ports_[index];
    if (port.phase == Phase::PortAbsent)
        return lookForPort(index);
    if (port.phase != Phase::BoardLeaving)
        return port.tick.stop();
    if (port.sinceHeard.elapsed() >= kBoardGoneSilence.count())
        return awaitBoard(index);
    port.run.session->probe();
}

void FlashStation::waitFor(std::size_t index, const QString& what)
{
    if (progress_[index].waitingFor == what)
        return;
    progress_[index].waitingFor = what;
    view_.waiting(progress_, index);
}

// Never called inside a call into the session (its signals are queued).
void FlashStation::closePort(std::size_t index)
{
    Port& port = *ports_[index];
    port.tick.stop();
    ++port.generation;
    port.run.session.reset();
}

void FlashStation::stop()
{
    if (stopping_)
        return;
    stopping_ = true;
    for (const std::unique_ptr<Port>& port : ports_) {
        port->tick.stop();
        const bool running = port->phase == Phase::AwaitingBoard || port->phase == Phase::Flashing;
        if (running && port->run.session)
            port->run.session->cancel();
        else
            port->phase = Phase::Stopped;
    }
    endIfStopped();
}

void FlashStation::endIfStopped()
{
    const bool allStopped = std::all_of(ports_.begin(), ports_.end(),
                                        [](const std::unique_ptr<Port>& port) { return port->phase == Phase::Stopped; });
    if (!allStopped || ended_)
        return;
    ended_ = true;
    clockTicks_.stop();
    for (std::size_t index = 0; index < ports_.size(); ++index)
        closePort(index);
    view_.ended(progress_);
    const bool anyFailed = std::any_of(progress_.begin(), progress_.end(),
                                       [](const BoardProgress& board) { return board.tally.failed > 0; });
    emit finished(anyFailed || record_.failed() ? ExitCode::RunFailed : ExitCode::Success);
}

void FlashStation::refreshClocks()
{
    for (std::size_t index = 0; index < ports_.size(); ++index) {
        if (ports_[index]->phase == Phase::Flashing)
            ports_[index]->run.updateClock(progress_[index]);
    }
    view_.refresh(progress_);
}
