// One line, many runs and many boards, as on a station that flashes board
// after board through the same adapter.
#include "tests/simulator/ChipOnLine.h"

namespace {

using namespace chip_test;

TEST(ChipBoards, RunAfterRunOnOneOpenPortThenBoardAfterBoard)
{
    ChipOnLine bench;
    bench.flash(Bytes(9, 1));
    bench.flash(Bytes(9, 2));
    EXPECT_EQ(bench.chip.record().count(ChipMessage::BootExited), 2u);
    EXPECT_EQ(bench.chip.image(), Bytes(9, 2));

    bench.chip.removeBoard();
    bench.send(kBootModeRequest);
    EXPECT_EQ(bench.receive(6, kSilence).size(), 0u) << "an unplugged board answers nothing";
    EXPECT_EQ(bench.chip.record().count(ChipMessage::BootModeRequest), 2u) << "nor does it see anything";

    bench.chip.newBoard();
    bench.flash(Bytes(9, 3));
    const ChipRecord fresh = bench.chip.record();
    EXPECT_EQ(fresh.count(ChipMessage::BootModeRequest), 1u);
    EXPECT_EQ(fresh.image, Bytes(9, 3));
    const std::vector<ChipRecord> earlier = bench.chip.earlierBoards();
    ASSERT_EQ(earlier.size(), 1u);
    EXPECT_EQ(earlier[0].image, Bytes(9, 2));
}

TEST(ChipBoards, ANewBoardStartsAfreshWhateverTheOldOneWasDoing)
{
    // A write longer than the test's patience: neither its answer nor the
    // time it takes may reach the new board.
    ChipBehaviour slowWriter;
    slowWriter.writeTime = 2 * kPatience;
    ChipOnLine bench(slowWriter);
    bench.enterBootMode();
    bench.send(blockFrame(1, Bytes(9, 1)));
    ASSERT_TRUE(bench.chip.waitUntil([](const ChipRecord& r) { return r.count(ChipMessage::DataBlock) == 1; },
                                     kPatience));
    bench.chip.newBoard(); // while block 1 is being written
    EXPECT_EQ(bench.exchange(kBootModeRequest, 6), kBootReady) << "the old board's answer never comes";
    EXPECT_EQ(bench.chip.earlierBoards().at(0).count(ChipMessage::BlockWritten), 0u);
}

} // namespace
