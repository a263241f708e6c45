// The dialogue on its own, on a clock the test moves: which frames go out,
// after which replies, with which pauses, and how every run ends. The texts a
// whole run shows are checked end to end through the window.
#include "DialogueScript.h"
#include "FlashTestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::Contains;
using testing::ElementsAre;
using namespace std::chrono_literals;

namespace {

class Dialogue : public testing::Test
{
protected:
    void startFlashOf(std::size_t size)
    {
        script.startFlashOf(size, imageBytes(size));
        script.take();
    }

    std::vector<std::string> actionsAfter(const std::string& reply)
    {
        return DialogueScript::actions(script.reply(reply));
    }

    DialogueScript script;
};

} // namespace

TEST_F(Dialogue, WritesEachFrameAfterItsReplyAndPausesAsTheChipNeeds)
{
    script.startFlashOf(600, imageBytes(600));
    EXPECT_THAT(DialogueScript::actions(script.take()), ElementsAre("run started", "send: 10 66", "pause: 5"));
    EXPECT_THAT(actionsAfter(kBootReady), ElementsAre("pause: 1000", "send: block 1 (265 bytes)", "pause: 100"));
    EXPECT_THAT(actionsAfter(kBlockWritten), ElementsAre("send: block 2 (265 bytes)", "pause: 300"));
    EXPECT_THAT(actionsAfter(kBlockWritten), ElementsAre("send: block 3 (97 bytes)", "pause: 5"));
    EXPECT_THAT(actionsAfter(kBlockWritten), ElementsAre("send: 55 66 34 00 01 AA C9 8B", "pause: 5"));
    EXPECT_THAT(actionsAfter(kTransferEnded), ElementsAre("send: 55 66 35 00 01 AA 35 8A", "pause: 5"));
    EXPECT_THAT(actionsAfter(kBootExited), ElementsAre("run ended: Flashing completed."));
    EXPECT_EQ(script.result->outcome, RunOutcome::Completed);

    std::vector<std::uint8_t> sent;
    for (std::size_t i = 1; i <= 3; ++i)
        sent.insert(sent.end(), script.frames[i].begin() + 7, script.frames[i].end() - 2);
    EXPECT_EQ(sent, imageBytes(600));

    script.carryOut(script.dialogue.startFactoryReset());
    EXPECT_THAT(DialogueScript::actions(script.take()), ElementsAre("run started", "send: 10 66", "pause: 5"));
    EXPECT_THAT(actionsAfter(kBootReady), ElementsAre("pause: 1000", "send: 55 66 36 00 01 AA 71 8A", "pause: 100"));
    EXPECT_THAT(actionsAfter(kFactoryResetDone), ElementsAre("send: 55 66 35 00 01 AA 35 8A", "pause: 5"));
    EXPECT_THAT(actionsAfter(kBootExited), ElementsAre("run ended: Flashing completed."));
    EXPECT_FALSE(script.result->image) << "a factory reset has no image";
}

TEST_F(Dialogue, OnlyTheAwaitedReplyMovesTheRun)
{
    EXPECT_THAT(script.reply(kBlockWritten),
                ElementsAre("receive pane: ACK (33)", "log: Ignored reply 33: no run in progress"));

    startFlashOf(1024);
    // A boot-ready before block 1 is acknowledged answers an earlier request,
    // e.g. a cancelled run's: the chip has block 1 and will acknowledge it.
    script.reply(kBootReady);
    EXPECT_THAT(script.reply(kBootReady), Contains("log: Ignored reply 32: waiting for the answer after block 1 of 4"));
    script.reply(kBlockWritten);
    for (const std::string& stray : {kBootExited, kTransferEnded, kFactoryResetDone})
        EXPECT_THAT(actionsAfter(stray), ElementsAre()) << "a partial flash is never completed";
    EXPECT_THAT(script.reply(kBootExited), Contains("log: Ignored reply 35: waiting for the answer after block 2 of 4"));

    // Of the replies in one read, only the first awaited one acts.
    EXPECT_THAT(actionsAfter(kBlockWritten + kBlockWritten + kBlockWritten),
                ElementsAre("send: block 3 (265 bytes)", "pause: 300"));
    EXPECT_TRUE(script.dialogue.isRunning());
}

TEST_F(Dialogue, AChipThatRebootsGetsTheImageAgainButNotForever)
{
    startFlashOf(1024);
    script.reply(kBootReady);
    script.reply(kBlockWritten);
    // A chip that rebooted asks for the image again, from block 1.
    EXPECT_THAT(actionsAfter(kBootReady), Contains("send: block 1 (265 bytes)"));
    EXPECT_EQ(script.dialogue.currentBlock(), 1u);
    script.reply(kBlockWritten);
    // A whole read of boot-ready replies is one restart, not one each.
    EXPECT_THAT(actionsAfter(kBootReady + kBootReady + kBootReady), ElementsAre("pause: 1000", "send: block 1 (265 bytes)", "pause: 100"));
    script.reply(kBlockWritten);
    EXPECT_THAT(actionsAfter(kBootReady),
                ElementsAre("run ended: The chip restarted 3 times; check its power and reset line"));
    EXPECT_EQ(script.result->outcome, RunOutcome::Failed);
}

TEST_F(Dialogue, AReplyIsDueWithinTheDeadlineAfterItsWriteAndPause)
{
    DialogueSettings settings;
    settings.replyDeadline = 2000ms;
    script.dialogue.setSettings(settings);
    startFlashOf(600); // the boot-mode request's 5 ms pause is over
    EXPECT_THAT(script.wait(1999ms), ElementsAre());
    EXPECT_THAT(script.wait(1ms), Contains("run ended: No answer from the chip to the boot-mode request"));
    EXPECT_EQ(script.result->outcome, RunOutcome::NoAnswer);

    startFlashOf(600);
    script.reply(kBootReady);
    EXPECT_THAT(script.wait(1999ms), ElementsAre());
    EXPECT_THAT(script.wait(1ms), Contains("run ended: No answer from the chip after block 1 of 3"));

    // Under acknowledged pacing there is no pause: the deadline counts from the write.
    settings.pacing = Pacing::Acknowledged;
    script.dialogue.setSettings(settings);
    startFlashOf(600);
    EXPECT_THAT(script.wait(2000ms), Contains("run ended: No answer from the chip to the boot-mode request"));
}

TEST_F(Dialogue, CancelALostPortOrAFailedWriteEndTheRunAndNothingMoreIsWritten)
{
    startFlashOf(600);
    // Cancelled during the second before block 1: the pause's end writes nothing.
    const FlashDialogue::Step bootReady = script.dialogue.received(kBootReady.data(), kBootReady.size(), script.now);
    ASSERT_TRUE(bootReady.resume);
    script.carryOut(script.dialogue.cancel());
    EXPECT_THAT(script.take(), ElementsAre("log: Run cancelled.", "label_Action: Run cancelled.", "run ended: Run cancelled."));
    script.carryOut(script.dialogue.resume(bootReady.ticket, script.now));
    EXPECT_THAT(actionsAfter(kBlockWritten), ElementsAre());
    EXPECT_TRUE(script.frames.size() == 1) << "only the boot-mode request went out";

    script.carryOut(script.dialogue.startFactoryReset());
    script.carryOut(script.dialogue.portLost(QStringLiteral("ttyUSB0")));
    EXPECT_THAT(script.take(), Contains("run ended: Port lost: ttyUSB0"));
    EXPECT_EQ(script.result->outcome, RunOutcome::PortLost);
    EXPECT_THAT(actionsAfter(kBootReady), ElementsAre());

    startFlashOf(600);
    script.reply(kBootReady);
    script.writesGoOutWhole = false;
    EXPECT_THAT(actionsAfter(kBlockWritten),
                ElementsAre("send: block 2 (265 bytes)", "run ended: Write failed after block 1 of 3"));
    EXPECT_EQ(script.result->outcome, RunOutcome::Failed);
}

TEST_F(Dialogue, ABeginningOfAReplyWaitsForItsRestButNotAcrossARunsStart)
{
    EXPECT_THAT(script.reply("\x55\x66"), ElementsAre());
    EXPECT_THAT(script.wait(99ms), ElementsAre());
    EXPECT_THAT(script.wait(1ms), ElementsAre("receive pane: U"));

    script.reply(kBootReady.substr(0, 3));
    startFlashOf(600);
    EXPECT_THAT(actionsAfter(kBootReady.substr(3)), ElementsAre()) << "the rest of a reply from before the run";
}

TEST_F(Dialogue, AcknowledgedPacingSendsAsSoonAsTheReplyIsInAfterTheMinimumGap)
{
    DialogueSettings settings;
    settings.pacing = Pacing::Acknowledged;
    script.dialogue.setSettings(settings);
    startFlashOf(600);
    EXPECT_THAT(actionsAfter(kBootReady), ElementsAre("send: block 1 (265 bytes)"));
    EXPECT_THAT(actionsAfter(kBlockWritten), ElementsAre("send: block 2 (265 bytes)"));
    script.now += 40ms;
    EXPECT_THAT(actionsAfter(kBlockWritten), ElementsAre("send: block 3 (97 bytes)"));
    EXPECT_EQ(script.dialogue.timeLeft(script.now), 20ms) << "the pace so far: 20 ms a block, one block ahead";

    script.carryOut(script.dialogue.cancel());
    settings.minimumGap = 3ms;
    script.dialogue.setSettings(settings);
    startFlashOf(600);
    EXPECT_THAT(actionsAfter(kBootReady), ElementsAre("pause: 3", "send: block 1 (265 bytes)"));
}

// A production line's port: a probe finds out whether a chip is there, and a
// run for the next chip asks once a second, for as long as it takes, then
// flashes the chip that answered as any run does.
TEST_F(Dialogue, ProbesAndARunForTheNextChipAskForBootModeUntilOneAnswers)
{
    script.carryOut(script.dialogue.probe());
    EXPECT_THAT(script.take(), ElementsAre("send: 10 66"));
    EXPECT_THAT(script.reply(kBootReady), Contains("chip answered"));
    EXPECT_THAT(script.reply(kBlockWritten), testing::Not(Contains("chip answered")));

    script.carryOut(script.dialogue.startFlashOnNextChip(std::make_shared<const FirmwareImage>(imageBytes(300))));
    EXPECT_THAT(DialogueScript::actions(script.take()), ElementsAre("run started", "send: 10 66", "pause: 5"));
    script.carryOut(script.dialogue.probe());
    EXPECT_THAT(script.take(), ElementsAre()) << "no probe while a run waits";
    EXPECT_THAT(script.wait(999ms), ElementsAre());
    for (int second = 0; second < 30; ++second)
        EXPECT_THAT(DialogueScript::actions(script.wait(1005ms)), ElementsAre("send: 10 66", "pause: 5"));
    const std::vector<std::string> answered = script.reply(kBootReady);
    EXPECT_THAT(answered, Contains("chip answered"));
    EXPECT_THAT(DialogueScript::actions(answered), ElementsAre("pause: 1000", "send: block 1 (265 bytes)", "pause: 100"));
    EXPECT_THAT(actionsAfter(kBlockWritten), ElementsAre("send: block 2 (53 bytes)", "pause: 5"));
    // The chip that answered is held to the reply deadline again.
    EXPECT_THAT(script.wait(DialogueSettings::kDefaultReplyDeadline), Contains("run ended: No answer from the chip after block 2 of 2"));
    script.carryOut(script.dialogue.probe());
    EXPECT_THAT(script.take(), ElementsAre("send: 10 66"));
}
