#include "cli/FlashBatch.h"

#include "cli/ExitCode.h"
#include "flash/FirmwareImage.h"
#include "session/PrintableText.h"

#include <algorithm>

namespace {

// Often enough for a clock that shows seconds to look alive.
constexpr std::chrono::milliseconds kClockTick{250};

} // namespace

FlashBatch::FlashBatch(const CommandLine& commandLine, std::shared_ptr<const FirmwareImage> image, ProgressView& view,
                       RunRecord& record)
    : commandLine_(commandLine), image_(std::move(image)), view_(view), record_(record)
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
        BoardRun board;
        board.port = port;
        board.identity = identifyPort(present, port);
        if (const std::optional<PortOpenFailure> failure = board.open(commandLine_.line, commandLine_.dialogue)) {
            printOpenFailure(port, *failure);
            allOpen = false;
            BoardProgress notOpened;
            notOpened.port = printableText(port);
            board.end(notOpened, {RunOutcome::Failed, QStringLiteral("Port not opened: ") + failure->summary(), nullptr},
                      !image_);
            progress_.push_back(notOpened);
        } else {
            progress_.push_back({printableText(port), 0, 0, {}, {}, std::nullopt, {}, 0, {}});
        }
        boards_.push_back(std::move(board));
    }
    if (allOpen || commandLine_.keepGoing)
        return true;
    boards_.clear();
    progress_.clear();
    return false;
}

void FlashBatch::start()
{
    view_.showRun(image_ ? std::optional<ImageFacts>(imageFactsOf(commandLine_.firmwarePath, *image_)) : std::nullopt,
                  commandLine_.dialogue);
    for (std::size_t index = 0; index < boards_.size(); ++index) {
        BoardRun& board = boards_[index];
        if (!board.session)
            continue;
        connect(board.session.get(), &BoardSession::blockSent, this, [this, index](quint32 block, quint32 blockCount) {
            if (progress_[index].result)
                return;
            boards_[index].blockWritten(progress_[index], block, blockCount);
            view_.progressed(progress_, index);
        });
        connect(board.session.get(), &BoardSession::runEnded, this,
                [this, index](const RunResult& result) { onRunFinished(index, result); });
        if (commandLine_.verbose)
            board.showSteps();
    }
    // Only now that every port is open does a byte go out.
    for (const BoardRun& board : boards_) {
        if (board.session)
            board.session->sendPortOpenNotice();
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (std::size_t index = 0; index < boards_.size(); ++index) {
        BoardRun& board = boards_[index];
        if (!board.session) {
            view_.finished(progress_, index);
            record_.append(board.port, board.identity, now, now, *progress_[index].result);
            continue;
        }
        board.begin(progress_[index], image_ ? image_->blockCount() : 0);
        if (image_)
            board.session->startFlash(image_);
        else
            board.session->startFactoryReset();
        view_.started(progress_, index);
    }
    clockTicks_.start();
    // A batch of ports none of which opened is over already.
    onRunFinished(boards_.size(), RunResult());
}

void FlashBatch::interrupt()
{
    interrupted_ = true;
    for (const BoardRun& board : boards_) {
        if (board.session)
            board.session->cancel();
    }
}

// index beyond the boards: only the check whether every run has ended.
void FlashBatch::onRunFinished(std::size_t index, const RunResult& result)
{
    if (index < boards_.size()) {
        const BoardRun& board = boards_[index];
        board.end(progress_[index], result, !image_);
        view_.finished(progress_, index);
        record_.append(board.port, board.identity, board.startedAt, QDateTime::currentDateTimeUtc(),
                       *progress_[index].result);
    }
    const bool allEnded = std::all_of(progress_.begin(), progress_.end(),
                                      [](const BoardProgress& board) { return board.result.has_value(); });
    if (!allEnded || ended_)
        return;
    ended_ = true;
    clockTicks_.stop();
    view_.ended(progress_);
    emit finished(exitCode());
}

void FlashBatch::refreshClocks()
{
    for (std::size_t index = 0; index < boards_.size(); ++index) {
        if (!progress_[index].result)
            boards_[index].updateClock(progress_[index]);
    }
    view_.refresh(progress_);
}

int FlashBatch::exitCode() const
{
    if (interrupted_)
        return ExitCode::Interrupted;
    const bool allCompleted = std::all_of(progress_.begin(), progress_.end(), [](const BoardProgress& board) {
        return board.result->outcome == RunOutcome::Completed;
    });
    return allCompleted && !record_.failed() ? ExitCode::Success : ExitCode::RunFailed;
}
