// The sequence against a recording host: which frames go out, after which
// replies, with which pauses, and how every run ends. The texts a whole run
// shows are checked end to end through the window.
#include "flash/FlashSequence.h"

#include "FlashTestFiles.h"
#include "RecordingHost.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;

namespace {

const std::string kBootReady("\x55\x66\x32\x02\x05\x00", 6);
const std::string kBlockWritten("\x55\x66\x33", 3);
const std::string kTransferEnded("\x55\x66\x34", 3);
const std::string kBootExited("\x55\x66\x35", 3);
const std::string kFactoryResetDone("\x55\x66\x36", 3);

class FlashSequenceRun : public testing::Test
{
protected:
    void startFlashOf(std::size_t size)
    {
        sequence.startFlash(files.write("firmware.bin", imageBytes(size)).c_str());
        host.takeEffects();
    }

    // Delivers a chunk and returns what the sequence did about it.
    std::vector<std::string> reply(const std::string& bytes)
    {
        host.chunks.push_back(bytes);
        sequence.onReadEvent(static_cast<unsigned int>(bytes.size()));
        return host.takeEffects();
    }

    // Only the writes, pauses and the run's end.
    std::vector<std::string> actions(const std::vector<std::string>& effects)
    {
        std::vector<std::string> kept;
        for (const std::string& effect : effects)
            if (effect.rfind("send", 0) == 0 || effect.rfind("pause", 0) == 0 || effect.rfind("run", 0) == 0)
                kept.push_back(effect);
        return kept;
    }

    FirmwareFolder files;
    RecordingHost host;
    FlashSequence sequence{host};
};

} // namespace

TEST_F(FlashSequenceRun, WritesEachFrameAfterItsReplyAndPausesAsTheChipNeeds)
{
    sequence.startFlash(files.write("firmware.bin", imageBytes(600)).c_str());
    EXPECT_THAT(actions(host.takeEffects()), ElementsAre("run started", "send: 10 66", "pause: 5"));
    EXPECT_THAT(actions(reply(kBootReady)), ElementsAre("pause: 1000", "send: block 1 (265 bytes)", "pause: 100"));
    EXPECT_THAT(actions(reply(kBlockWritten)), ElementsAre("send: block 2 (265 bytes)", "pause: 300"));
    EXPECT_THAT(actions(reply(kBlockWritten)), ElementsAre("send: block 3 (97 bytes)", "pause: 5"));
    EXPECT_THAT(actions(reply(kBlockWritten)), ElementsAre("send: 55 66 34 00 01 AA C9 8B", "pause: 5"));
    EXPECT_THAT(actions(reply(kTransferEnded)), ElementsAre("send: 55 66 35 00 01 AA 35 8A", "pause: 5"));
    EXPECT_THAT(actions(reply(kBootExited)), ElementsAre("run ended: Flashing completed."));
    EXPECT_EQ(host.outcome, RunOutcome::Completed);

    std::vector<std::uint8_t> sent;
    for (std::size_t i = 1; i <= 3; ++i)
        sent.insert(sent.end(), host.frames[i].begin() + 7, host.frames[i].end() - 2);
    EXPECT_EQ(sent, imageBytes(600));
}

TEST_F(FlashSequenceRun, OnlyTheAwaitedReplyMovesTheRun)
{
    EXPECT_THAT(reply(kBlockWritten), ElementsAre("receive pane: ACK (33)", "log: Ignored reply 33: no run in progress"));

    startFlashOf(1024);
    reply(kBootReady);
    reply(kBlockWritten);
    for (const std::string& stray : {kBootExited, kTransferEnded, kFactoryResetDone})
        EXPECT_THAT(actions(reply(stray)), ElementsAre()) << "a partial flash is never completed";
    EXPECT_THAT(reply(kBootExited), testing::Contains("log: Ignored reply 35: waiting for the answer after block 2 of 4"));
    EXPECT_TRUE(sequence.isRunning());

    // A chip that rebooted asks for the image again.
    EXPECT_THAT(actions(reply(kBootReady)), testing::Contains("send: block 1 (265 bytes)"));
    EXPECT_EQ(sequence.currentBlock(), 1u);
}

TEST_F(FlashSequenceRun, ASilentChipEndsTheRunAtTheDeadline)
{
    sequence.setReplyDeadline(std::chrono::milliseconds(20));
    startFlashOf(600);
    EXPECT_TRUE(host.waitFor("run ended: No answer from the chip to the boot-mode request"));

    startFlashOf(600);
    reply(kBootReady);
    EXPECT_TRUE(host.waitFor("run ended: No answer from the chip after block 1 of 3"));
    EXPECT_EQ(host.outcome, RunOutcome::NoAnswer);
    EXPECT_FALSE(sequence.isRunning());
}

TEST_F(FlashSequenceRun, CancelAndALostPortEndTheRunAndNothingMoreIsWritten)
{
    startFlashOf(600);
    reply(kBootReady);
    sequence.cancel();
    EXPECT_THAT(host.takeEffects(), ElementsAre("log: Run cancelled.", "label_Action: Run cancelled.",
                                                "run ended: Run cancelled."));
    EXPECT_THAT(actions(reply(kBlockWritten)), ElementsAre());

    sequence.startFactoryReset();
    sequence.onPortLost("ttyUSB0");
    EXPECT_THAT(host.takeEffects(), testing::Contains("run ended: Port lost: ttyUSB0"));
    EXPECT_EQ(host.outcome, RunOutcome::PortLost);
    EXPECT_THAT(actions(reply(kBootReady)), ElementsAre());
}

TEST_F(FlashSequenceRun, ABeginningOfAReplyNotCompletedInTimeIsShownAsItCame)
{
    EXPECT_THAT(reply("\x55\x66"), ElementsAre());
    EXPECT_TRUE(host.waitFor("receive pane: U"));
}
