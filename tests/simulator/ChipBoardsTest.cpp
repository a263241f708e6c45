// One line and many boards, as on a station that flashes board after board
// through the same adapter.
#include "tests/simulator/ChipOnLine.h"

namespace {

using namespace chip_test;

TEST(ChipBoards, BoardsComeAndGoAndEachStartsAfreshWhateverTheOneBeforeWasDoing)
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
    const auto replaced = std::chrono::steady_clock::now();
    bench.chip.newBoard(); // while block 1 is being written
    EXPECT_LT(std::chrono::steady_clock::now() - replaced, kPatience) << "the new board waited for the write";
    EXPECT_EQ(bench.exchange(kBootModeRequest, 6), kBootReady) << "the old board's answer never comes";

    bench.chip.removeBoard();
    bench.send(kBootModeRequest);
    EXPECT_EQ(bench.receive(6, kSilence).size(), 0u) << "an unplugged board answers nothing";
    bench.chip.newBoard();
    EXPECT_EQ(bench.exchange(kBootModeRequest, 6), kBootReady);

    const std::vector<ChipRecord> earlier = bench.chip.earlierBoards();
    ASSERT_EQ(earlier.size(), 2u);
    EXPECT_EQ(earlier[0].image, Bytes(9, 1));
    EXPECT_EQ(earlier[0].count(ChipMessage::BlockWritten), 0u);
    EXPECT_EQ(earlier[1].count(ChipMessage::BootModeRequest), 1u) << "a record of its own, and nothing seen unplugged";
}

} // namespace
