// Both pacings against chips that behave like hardware, with a wire and a
// write time: the protocol's pauses suit every chip and are kept run after
// run; acknowledged pacing follows the chip, and a chip that acknowledges a
// block before writing it ends such a run in a clear failure, never in a
// success with a wrong image.
#include "simulator/ChipSimulator.h"
#include "tests/support/BoardRun.h"
#include "tests/support/ImageBytes.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

const std::vector<std::uint8_t> kFirmware = imageBytes(700);

// One board on the chip's port, flashing the firmware with a pacing.
class Board
{
public:
    explicit Board(const ChipSimulator& chip) : run_(QString::fromStdString(chip.slavePath()))
    {
        EXPECT_FALSE(run_.openFailure());
    }

    RunResult flash(Pacing pacing)
    {
        DialogueSettings settings;
        settings.pacing = pacing;
        settings.replyDeadline = 1s;
        const std::optional<RunResult> result =
            run_.flash(std::make_shared<const FirmwareImage>(kFirmware), settings, 30s);
        EXPECT_TRUE(result) << "the run did not end";
        return result.value_or(RunResult{});
    }

private:
    BoardRun run_;
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
        EXPECT_EQ(chip.image(), kFirmware);
        chip.newBoard();
    }
    // The same chip sees block 1 long before the second the protocol asks for.
    EXPECT_EQ(board.flash(Pacing::Acknowledged).outcome, RunOutcome::NoAnswer);
    EXPECT_NE(chip.protocolError(), "");

    ChipSimulator sound(hardware(115200, 10ms));
    Board soundBoard(sound);
    EXPECT_EQ(soundBoard.flash(Pacing::Acknowledged).outcome, RunOutcome::Completed);
    EXPECT_EQ(sound.image(), kFirmware);
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
    EXPECT_EQ(quickWriter.image(), kFirmware);
    EXPECT_EQ(quickWriter.protocolError(), "");
}
