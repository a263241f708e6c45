// The chip's wire and write time, timed from the chip's own record: a frame
// from when the program wrote it, an answer from when its last byte went out.
// Only lower bounds are asserted, which the chip's schedule guarantees
// whatever the machine's load; how close it keeps to them is for bench/.
#include "tests/simulator/ChipOnLine.h"

namespace {

using namespace chip_test;
using std::chrono::nanoseconds;

// Rounded down, so that the bounds sit at or below the chip's own.
nanoseconds byteTimeAt(std::uint32_t baud)
{
    return nanoseconds(10'000'000'000LL / baud);
}

ChipBehaviour wiredChip(std::uint32_t baud, std::chrono::milliseconds writeTime)
{
    ChipBehaviour behaviour;
    behaviour.wireBaud = baud;
    behaviour.writeTime = writeTime;
    return behaviour;
}

bool hasAnswered(const ChipSimulator& chip, ChipMessage answer, std::size_t times)
{
    return chip.waitUntil([&](const ChipRecord& record) { return record.count(answer) == times; }, kPatience);
}

TEST(ChipHardware, BytesTakeTheirWireTimeBothWaysAndABlockIsAnsweredOnceWritten)
{
    const auto byteTime = byteTimeAt(9600);
    ChipOnLine bench(wiredChip(9600, 30ms));
    bench.enterBootMode();
    EXPECT_EQ(bench.exchange(blockFrame(1, {'a', 'b', 'c'}), 3), kBlockWritten);
    ASSERT_TRUE(hasAnswered(bench.chip, ChipMessage::BlockWritten, 1));

    const ChipRecord record = bench.chip.record();
    const auto request = eventsOf(record, ChipMessage::BootModeRequest).at(0).time;
    const auto bootReady = eventsOf(record, ChipMessage::BootReady).at(0).time;
    EXPECT_GE(bootReady - request, (2 + 6) * byteTime) << "2 bytes in, then 6 bytes out one by one";
    const auto block = eventsOf(record, ChipMessage::DataBlock).at(0).time;
    const auto written = eventsOf(record, ChipMessage::BlockWritten).at(0).time;
    EXPECT_GE(written - block, (12 + 3) * byteTime + 30ms) << "12 bytes in, the write, then 3 bytes out";
}

TEST(ChipHardware, AnUnsafeChipAnswersBeforeItWritesAndTakesTheNextFrameAfterTheWrite)
{
    const auto byteTime = byteTimeAt(115200);
    ChipBehaviour behaviour = wiredChip(115200, 400ms);
    behaviour.ackBeforeWrite = true;
    ChipOnLine bench(behaviour);
    bench.enterBootMode();
    // Sent as one piece, block 2 is in while block 1 is being written.
    bench.send(kBlockOneOfFF + blockFrame(2, Bytes(5, 2)));
    EXPECT_EQ(bench.receive(6), kBlockWritten + kBlockWritten);
    ASSERT_TRUE(hasAnswered(bench.chip, ChipMessage::BlockWritten, 2));

    const ChipRecord record = bench.chip.record();
    const auto sent = eventsOf(record, ChipMessage::DataBlock).at(0).time;
    const auto answers = eventsOf(record, ChipMessage::BlockWritten);
    // Due 23 ms after the frame, so far below the write time that only a
    // chip that writes first comes near it.
    EXPECT_LT(answers.at(0).time - sent, 400ms);
    EXPECT_GE(answers.at(1).time - sent, (265 + 3) * byteTime + 400ms + 3 * byteTime);
    EXPECT_EQ(record.image, Bytes(256, 0xFF) + Bytes(5, 2)) << "nothing is lost without busyDrop";
}

TEST(ChipHardware, BytesThatComeDuringAWriteAreLostAndTheChipFallsSilent)
{
    ChipBehaviour behaviour = wiredChip(115200, 10ms);
    behaviour.ackBeforeWrite = true;
    behaviour.busyDrop = true;
    ChipOnLine bench(behaviour);
    bench.enterBootMode();
    // Block 2 goes out at once behind block 1, as from a host that does not
    // wait for the answer: its head is in before the write, its middle
    // during it, its tail after it.
    bench.send(kBlockOneOfFF + blockFrame(2, Bytes(256, 2)));
    EXPECT_EQ(bench.receive(6, kSilence), kBlockWritten) << "block 2 is never answered";
    ASSERT_TRUE(bench.chip.waitUntil([](const ChipRecord& r) { return !r.protocolError.empty(); }, kPatience));

    const ChipRecord record = bench.chip.record();
    EXPECT_EQ(record.protocolError, "bytes came while block 1 was being written, and were lost");
    EXPECT_GT(record.droppedBytes, 0u);
    EXPECT_LT(record.droppedBytes, 265u);
    EXPECT_EQ(record.image, Bytes(256, 0xFF));
    bench.send(blockFrame(2, Bytes(256, 2)));
    EXPECT_EQ(bench.receive(3, kSilence).size(), 0u) << "nor is it, sent again after the write";
}

} // namespace
