// Both pacings against chips that behave like hardware, with a wire and a
// write time: the protocol's pauses suit every chip and are kept run after
// run; acknowledged pacing follows the chip, and a chip that acknowledges a
// block before writing it ends such a run in a clear failure, never in a
// success with a wrong image.
#include "session/BoardSession.h"
#include "simulator/ChipSimulator.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace {

using namespace std::chrono_literals;

std::vector<std::uint8_t> firmware()
{
    std::vector<std::uint8_t> bytes(700);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 11 + i / 256);
    return bytes;
}

// One board on the chip's port; each run waited for to its end.
class Board
{
public:
    explicit Board(const ChipSimulator& chip)
    {
        QObject::connect(&session_, &BoardSession::runEnded, [this](const RunResult& result) {
            const std::lock_guard<std::mutex> guard(mutex_);
            result_ = result;
            ended_.notify_all();
        });
        EXPECT_FALSE(session_.open(QString::fromStdString(chip.slavePath()), LineSettings()));
    }

    RunResult flash(Pacing pacing)
    {
        DialogueSettings settings;
        settings.pacing = pacing;
        settings.replyDeadline = 1s;
        session_.setDialogueSettings(settings);
        {
            const std::lock_guard<std::mutex> guard(mutex_);
            result_.reset();
        }
        session_.startFlash(std::make_shared<const FirmwareImage>(firmware()));
        std::unique_lock<std::mutex> guard(mutex_);
        EXPECT_TRUE(ended_.wait_for(guard, 30s, [this] { return result_.has_value(); }));
        return result_.value_or(RunResult{});
    }

private:
    BoardSession session_;
    std::mutex mutex_;
    std::condition_variable ended_;
    std::optional<RunResult> result_;
};

ChipBehaviour hardware(std::uint32_t wireBaud, std::chrono::milliseconds writeTime)
{
    ChipBehaviour behaviour;
    behaviour.wireBaud = wireBaud;
    behaviour.writeTime = writeTime;
    return behaviour;
}

} // namespace

TEST(Pacing, TheProtocolsPausesAreKeptRunAfterRunAndAcknowledgedPacingFollowsTheChip)
{
    ChipBehaviour watched = hardware(115200, 10ms);
    watched.expectProtocolPauses = true;
    ChipSimulator chip(watched);
    Board board(chip);
    for (int run = 1; run <= 2; ++run) {
        EXPECT_EQ(board.flash(Pacing::Protocol).outcome, RunOutcome::Completed) << "run " << run;
        EXPECT_EQ(chip.protocolError(), "") << "run " << run;
        EXPECT_EQ(chip.image(), firmware());
        chip.newBoard();
    }
    // The same chip sees block 1 long before the second the protocol asks for.
    EXPECT_EQ(board.flash(Pacing::Acknowledged).outcome, RunOutcome::NoAnswer);
    EXPECT_NE(chip.protocolError(), "");

    ChipSimulator sound(hardware(115200, 10ms));
    Board soundBoard(sound);
    EXPECT_EQ(soundBoard.flash(Pacing::Acknowledged).outcome, RunOutcome::Completed);
    EXPECT_EQ(sound.image(), firmware());
}

// The write times leave room for the simulator's own wake-up, which lags by
// up to a few milliseconds on a loaded machine: long enough that the next
// frame surely comes during the write, short enough to end within the
// shortest mandated pause (5 ms).
ChipBehaviour writesAfterAnswering(std::chrono::milliseconds writeTime)
{
    ChipBehaviour unsafe = hardware(0, writeTime);
    unsafe.ackBeforeWrite = true;
    unsafe.busyDrop = true;
    return unsafe;
}

TEST(Pacing, AChipThatAnswersBeforeItWritesIsSafeOnlyUnderTheProtocolsPauses)
{
    ChipSimulator slowWriter(writesAfterAnswering(50ms));
    Board acknowledgedBoard(slowWriter);
    const RunResult acknowledged = acknowledgedBoard.flash(Pacing::Acknowledged);
    EXPECT_EQ(acknowledged.outcome, RunOutcome::NoAnswer);
    EXPECT_TRUE(acknowledged.reason.startsWith("No answer from the chip after block")) << acknowledged.reason.toStdString();
    EXPECT_GT(slowWriter.record().droppedBytes, 0u);

    ChipSimulator quickWriter(writesAfterAnswering(2ms));
    Board protocolBoard(quickWriter);
    EXPECT_EQ(protocolBoard.flash(Pacing::Protocol).outcome, RunOutcome::Completed);
    EXPECT_EQ(quickWriter.image(), firmware());
    EXPECT_EQ(quickWriter.protocolError(), "");
}
