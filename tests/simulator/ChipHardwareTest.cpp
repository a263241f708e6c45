// The chip's wire and write time, timed from the chip's own record: a frame
// from when the program wrote it, an answer from when its last byte went out.
// Only lower bounds are asserted, which the chip's schedule guarantees
// whatever the machine's load; how close it keeps to them is for bench/.
// What a flasher makes of a chip that answers before it writes, and of one
// that loses what comes during a write, is in tests/session/PacingTest.cpp.
#include "tests/simulator/ChipOnLine.h"

namespace {

using namespace chip_test;
using M = ChipMessage;

// When the record shows `message` first.
std::chrono::steady_clock::time_point timeOf(const ChipRecord& record, ChipMessage message)
{
    for (const ChipEvent& event : record.events)
        if (event.message == message)
            return event.time;
    ADD_FAILURE() << "not in the record: " << int(message);
    return {};
}

// Block 1, the last, and the end of transfer behind it in one piece: the end
// is in while the block is being written, and has to wait for the write
// whether the chip answers the block before or after it.
TEST(ChipHardware, BytesTakeTheirWireTimeBothWaysAndNoFrameIsTakenDuringAWrite)
{
    // Rounded down, so that the bounds sit at or below the chip's own.
    const auto byteTime = std::chrono::nanoseconds(10'000'000'000LL / 9600);
    const auto writeTime = 300ms;
    for (const bool ackBeforeWrite : {false, true}) {
        SCOPED_TRACE(ackBeforeWrite ? "answers, then writes" : "writes, then answers");
        ChipBehaviour behaviour;
        behaviour.wireBaud = 9600;
        behaviour.writeTime = writeTime;
        behaviour.ackBeforeWrite = ackBeforeWrite;
        ChipOnLine bench(behaviour);
        bench.enterBootMode();
        bench.send(blockFrame(1, {'a', 'b', 'c'}) + kEndOfTransfer);
        EXPECT_EQ(bench.receive(6), (kBlockWritten + Bytes{0x55, 0x66, 0x34})) << "nothing is lost without busyDrop";
        ASSERT_TRUE(bench.chip.waitUntil([](const ChipRecord& r) { return r.count(M::TransferEnded) == 1; }, kPatience));

        const ChipRecord r = bench.chip.record();
        EXPECT_GE(timeOf(r, M::BootReady) - timeOf(r, M::BootModeRequest), (2 + 6) * byteTime)
            << "2 bytes in, then 6 bytes out one by one";
        const auto block = timeOf(r, M::DataBlock);
        if (ackBeforeWrite)
            EXPECT_LT(timeOf(r, M::BlockWritten) - block, writeTime) << "due 16 ms after the frame";
        else
            EXPECT_GE(timeOf(r, M::BlockWritten) - block, (12 + 3) * byteTime + writeTime)
                << "12 bytes in, the write, then 3 bytes out";
        EXPECT_GE(timeOf(r, M::TransferEnded) - block, (12 + 3 + 3) * byteTime + writeTime)
            << "the block in, its answer and its write, then 3 bytes out";
    }
}

} // namespace
