#include "cli/FlashBatch.h"

#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "flash/FirmwareImage.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

namespace {

// Often enough for a clock that shows seconds to look alive.
constexpr std::chrono::milliseconds kClockTick{250};

std::optional<ImageFacts> factsOf(const QString& path, const FirmwareImage* image)
{
    if (!image)
        return std::nullopt;
    return ImageFacts{QFileInfo(path).absoluteFilePath(), image->sha256Hex(), image->size(), image->blockCount()};
}

QString programName()
{
    return QCoreApplication::applicationName();
}

} // namespace

FlashBatch::FlashBatch(const CommandLine& commandLine, std::shared_ptr<const FirmwareImage> image,
                       ProgressView& view, RunRecord* record)
    : commandLine_(commandLine)
    , image_(std::move(image))
    , imageFacts_(factsOf(commandLine.firmwarePath, image_.get()))
    , view_(view)
    , record_(record)
{
    clockTicks_.setInterval(kClockTick);
    connect(&clockTicks_, &QTimer::timeout, this, &FlashBatch::refreshClocks);
}

FlashBatch::~FlashBatch() = default;

bool FlashBatch::openPorts()
{
    const std::vector<SerialPortInfo> present = enumerateSerialPorts();
    bool allOpen = true;
    for (const QString& port : commandLine_.ports) {
        auto session = std::make_unique<BoardSession>();
        if (const std::optional<PortOpenFailure> failure = session->open(port, commandLine_.line)) {
            QString text = programName() + QStringLiteral(": port %1: %2\n").arg(port, failure->summary());
            if (!failure->hint.isEmpty())
                text += programName() + QStringLiteral(": %1\n").arg(failure->hint);
            printError(text);
            allOpen = false;
        }
        boards_.push_back({std::move(session), identifyPort(present, port), QDateTime(), QElapsedTimer()});
    }
    if (!allOpen)
        boards_.clear();
    return allOpen;
}

void FlashBatch::start()
{
    if (imageFacts_)
        view_.showImage(*imageFacts_);
    for (std::size_t index = 0; index < boards_.size(); ++index) {
        BoardSession& session = *boards_[index].session;
        connect(&session, &BoardSession::blockSent, this,
                [this, index](quint32 block, quint32 blockCount) { onBlockWritten(index, block, blockCount); });
        connect(&session, &BoardSession::runEnded, this,
                [this, index](const RunResult& result) { onRunFinished(index, result); });
        if (commandLine_.verbose) {
            const QString port = session.portName();
            connect(&session, &BoardSession::logLine, this,
                    [port](const QString& text) { printError(port + ": " + text + '\n'); });
            connect(&session, &BoardSession::received, this,
                    [port](const QString& text) { printError(port + ": < " + text + '\n'); });
        }
        DialogueSettings settings;
        settings.replyDeadline = commandLine_.replyDeadline;
        session.setDialogueSettings(settings);
        progress_.push_back({session.portName(), 0, image_ ? image_->blockCount() : 0, {}, {}, std::nullopt});
    }
    // Only now that every port is open does a byte go out.
    for (const Board& board : boards_)
        board.session->sendPortOpenNotice();
    for (std::size_t index = 0; index < boards_.size(); ++index) {
        Board& board = boards_[index];
        board.startedAt = QDateTime::currentDateTimeUtc();
        board.clock.start();
        if (image_)
            board.session->startFlash(image_);
        else
            board.session->startFactoryReset();
        updateClock(index);
        view_.started(progress_, index);
    }
    clockTicks_.start();
}

void FlashBatch::interrupt()
{
    interrupted_ = true;
    for (const Board& board : boards_)
        board.session->cancel();
}

void FlashBatch::onBlockWritten(std::size_t index, quint32 block, quint32 blockCount)
{
    BoardProgress& progress = progress_[index];
    if (progress.result)
        return;
    progress.block = block;
    progress.blockCount = blockCount;
    updateClock(index);
    view_.progressed(progress_, index);
}

void FlashBatch::onRunFinished(std::size_t index, const RunResult& result)
{
    updateClock(index);
    progress_[index].result = result;
    view_.finished(progress_, index);
    record(index);

    const bool allEnded = std::all_of(progress_.begin(), progress_.end(),
                                      [](const BoardProgress& board) { return board.result.has_value(); });
    if (!allEnded)
        return;
    clockTicks_.stop();
    view_.batchEnded(progress_);
    emit finished(exitCode());
}

void FlashBatch::updateClock(std::size_t index)
{
    const Board& board = boards_[index];
    BoardProgress& progress = progress_[index];
    progress.elapsed = std::chrono::milliseconds(board.clock.elapsed());
    progress.timeLeft = board.session->progress().timeLeft;
}

void FlashBatch::refreshClocks()
{
    for (std::size_t index = 0; index < boards_.size(); ++index) {
        if (!progress_[index].result)
            updateClock(index);
    }
    view_.refresh(progress_);
}

// A record that cannot be written fails the batch: a board that cannot be
// traced must not pass as a success.
void FlashBatch::record(std::size_t index)
{
    if (!record_)
        return;
    const Board& board = boards_[index];
    QString error;
    if (record_->append(board.startedAt, progress_[index], board.identity, imageFacts_, error))
        return;
    printError(programName()
               + QStringLiteral(": the run on %1 could not be recorded in %2: %3\n")
                     .arg(board.session->portName(), commandLine_.recordPath, error));
    recordFailed_ = true;
}

int FlashBatch::exitCode() const
{
    if (interrupted_)
        return ExitCode::Interrupted;
    const bool allCompleted = std::all_of(progress_.begin(), progress_.end(), [](const BoardProgress& board) {
        return board.result->outcome == RunOutcome::Completed;
    });
    return allCompleted && !recordFailed_ ? ExitCode::Success : ExitCode::RunFailed;
}
