// The virtual chip's dialogue and its fault modes, played from the program's
// end of the line. A flasher's whole runs against the fault modes are in
// tests/e2e; here, what a flasher cannot tell: that each mode does what it
// says on the line.
#include "tests/simulator/ChipOnLine.h"

#include <numeric>
#include <set>
#include <tuple>

namespace {

using namespace chip_test;

TEST(ChipSimulator, AcknowledgesRunAfterRunAndKeepsTheImageOfEach)
{
    ChipOnLine bench;
    bench.send(kPortOpenNotice + kBootModeRequest); // two frames in one piece
    EXPECT_EQ(bench.receive(6), kBootReady);
    Bytes counting(256); // with every control character a tty could act on
    std::iota(counting.begin(), counting.end(), 0);
    EXPECT_EQ(bench.exchange(kBlockOneOfFF, 3), kBlockWritten);
    EXPECT_EQ(bench.exchange(blockFrame(2, counting), 3), kBlockWritten);
    EXPECT_EQ(bench.exchange(kBlockThreeOfAbc, 3), kBlockWritten);
    EXPECT_EQ(bench.exchange(kEndOfTransfer, 3), (Bytes{0x55, 0x66, 0x34}));
    EXPECT_EQ(bench.exchange(kExitBootMode, 3), (Bytes{0x55, 0x66, 0x35}));
    ASSERT_TRUE(bench.chip.waitUntilBootExitAcknowledged(kPatience));

    const ChipRecord record = bench.chip.record();
    EXPECT_EQ(record.image, (Bytes(256, 0xFF) + counting + Bytes{'a', 'b', 'c'}));
    std::vector<ChipMessage> messages;
    for (const ChipEvent& event : record.events)
        messages.push_back(event.message);
    using M = ChipMessage;
    EXPECT_EQ(messages, (std::vector<M>{M::PortOpenNotice, M::BootModeRequest, M::BootReady, M::DataBlock,
                                        M::BlockWritten, M::DataBlock, M::BlockWritten, M::DataBlock,
                                        M::BlockWritten, M::EndOfTransfer, M::TransferEnded, M::ExitBootMode,
                                        M::BootExited}));

    // The next run on the same open port starts its image afresh.
    bench.flash(Bytes(9, 2));
    EXPECT_EQ(bench.chip.image(), Bytes(9, 2));
}

TEST(ChipSimulator, ReportsTheFirstViolationAndAnswersNothingMore)
{
    ChipBehaviour dropsWhileWriting;
    dropsWhileWriting.wireBaud = 115200;
    dropsWhileWriting.writeTime = 10ms;
    dropsWhileWriting.ackBeforeWrite = dropsWhileWriting.busyDrop = true;
    // The chip, the frames, what it rightly answers to them, and the complaint.
    const std::tuple<ChipBehaviour, Bytes, Bytes, std::string> violations[] = {
        {{}, Bytes(kBlockOneOfFF.begin(), kBlockOneOfFF.end() - 1) + Bytes{0x33}, {},
         "block frame 1: CRC CD 33 where CD 32 was expected"},
        {{}, blockFrame(2, Bytes(256, 1)), {}, "block frame 2 where block 1 was expected"},
        {{}, blockFrame(1, Bytes(100, 7)) + blockFrame(2, Bytes(10, 7)), kBlockWritten,
         "block frame 2 after block 1 of 100 bytes: only the last block may be shorter than 256"},
        {{}, Bytes{0x55, 0x66, 0x33, 0x00, 0x01, 0x01, 0x01}, {}, "block frame 1 has length 257, outside 1 to 256"},
        {{}, kExitBootMode, {}, "exit-boot-mode frame right after boot mode was granted"},
        // Block 2 right behind block 1, as from a host that does not wait for
        // the answer: its head is in before the write, its middle during it,
        // its tail after it. Never a damaged block taken for a sound one.
        {dropsWhileWriting, kBlockOneOfFF + blockFrame(2, Bytes(256, 2)), kBlockWritten,
         "bytes came while block 1 was being written, and were lost"},
    };
    for (const auto& [behaviour, frames, answers, complaint] : violations) {
        SCOPED_TRACE(complaint);
        ChipOnLine bench(behaviour);
        bench.enterBootMode();
        bench.send(frames);
        ASSERT_TRUE(bench.chip.waitUntil([](const ChipRecord& r) { return !r.protocolError.empty(); }, kPatience));
        bench.send(kBootModeRequest);
        EXPECT_EQ(bench.receive(answers.size() + 6, kSilence), answers);
        EXPECT_EQ(bench.chip.protocolError(), complaint) << "not one that came after it";
    }
}

TEST(ChipSimulator, EachFaultModeShowsOnTheLine)
{
    // The rest is due in an hour: the chip's destructor has to cut that pause short.
    ChipOnLine split(ChipBehaviour::splitReplies(99, 1h));
    split.send(kBootModeRequest);
    EXPECT_EQ(split.receive(6, 1s), (Bytes{0x55, 0x66, 0x32, 0x02, 0x05})) << "split before the last byte";

    ChipOnLine slow(ChipBehaviour::slowReplies(300ms));
    const auto asked = std::chrono::steady_clock::now();
    slow.enterBootMode();
    EXPECT_GE(std::chrono::steady_clock::now() - asked, 300ms);

    ChipOnLine noisy(ChipBehaviour::noise(42));
    const Bytes noise = LineNoise(42).next();
    EXPECT_EQ(noisy.exchange(kBootModeRequest, 6 + noise.size()), kBootReady + noise);

    ChipOnLine banner(ChipBehaviour::bootBanner("RQ51x\r\n"));
    EXPECT_EQ(banner.exchange(kPortOpenNotice, 7), (Bytes{'R', 'Q', '5', '1', 'x', '\r', '\n'}));

    ChipOnLine hangUp(ChipBehaviour::hangUpAfterBlock(1));
    hangUp.enterBootMode();
    hangUp.send(kBlockOneOfFF);
    ASSERT_TRUE(hangUp.chip.waitUntilHungUp(kPatience));
    EXPECT_EQ(hangUp.chip.record().count(ChipMessage::BlockWritten), 0u) << "the block goes unanswered";

    ChipOnLine wrongReply(ChipBehaviour::wrongReplyAtBlock(1));
    wrongReply.enterBootMode();
    EXPECT_EQ(wrongReply.exchange(kBlockOneOfFF + blockFrame(2, Bytes(9, 2)), 6),
              (Bytes{0x55, 0x66, 0x35} + kBlockWritten)) << "once, and the dialogue goes on";
}

TEST(LineNoise, FollowsItsSeedAndNeverForgesAnAcknowledgement)
{
    LineNoise noise(7);
    std::set<std::uint8_t> seen;
    std::set<std::size_t> sizes;
    for (int i = 0; i < 2000; ++i) {
        const Bytes bytes = noise.next();
        seen.insert(bytes.begin(), bytes.end());
        sizes.insert(bytes.size());
    }
    EXPECT_EQ(seen.size(), 255u);
    EXPECT_EQ(seen.count(0x55), 0u);
    EXPECT_EQ(sizes, (std::set<std::size_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
    EXPECT_NE(LineNoise(8).next(), LineNoise(7).next());
}

TEST(ChipFrameParser, DatesAFrameFromItsFirstByte)
{
    ChipFrameParser parser;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < kBlockThreeOfAbc.size(); ++i)
        parser.take(kBlockThreeOfAbc[i], start + i * 1ms);
    EXPECT_EQ(parser.frame().firstByteAt, start);
}

} // namespace
