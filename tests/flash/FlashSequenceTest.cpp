#include "flash/FlashSequence.h"

#include "ImageBytes.h"
#include "RecordingSequenceHost.h"
#include "TemporaryFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;

namespace {

const std::string kBootReady("\x55\x66\x32\x02\x05\x00", 6);
const std::string kBlockWritten("\x55\x66\x33", 3);
const std::string kTransferEnded("\x55\x66\x34", 3);
const std::string kBootExited("\x55\x66\x35", 3);
const std::string kFactoryResetDone("\x55\x66\x36", 3);

const char* const kSendEndOfTransfer = "send: 55 66 34 00 01 AA C9 8B";
const char* const kSendExitBootMode = "send: 55 66 35 00 01 AA 35 8A";
const char* const kSendFactoryReset = "send: 55 66 36 00 01 AA 71 8A";
const char* const kSendBootModeRequest = "send: 10 66";

std::string blockFrame(unsigned int block, unsigned int length)
{
    char line[80];
    std::snprintf(line, sizeof line, "send: 55 66 33 %02X %02X %02X %02X ... (%u bytes)", block >> 8,
                  block & 0xFF, length >> 8, length & 0xFF, length + 9);
    return line;
}

class FlashSequenceRun : public testing::Test
{
protected:
    // Starts a flash run of an image of the given size and forgets its effects.
    void startFlashOf(std::size_t size)
    {
        file.write(imageBytes(size));
        sequence.startFlash(file.path());
        host.takeEffects();
    }

    std::vector<std::string> reply(const std::string& bytes)
    {
        host.chunks.push_back(bytes);
        sequence.onReadEvent(static_cast<unsigned int>(bytes.size()));
        return host.takeEffects();
    }

    RecordingSequenceHost host;
    FlashSequence sequence{host};
    TemporaryFile file;
};

TEST_F(FlashSequenceRun, AThreeBlockImageGoesOutBlockByBlock)
{
    file.write(imageBytes(600));
    sequence.startFlash(file.path());
    const std::string sizeText = std::string("File: ") + file.path() + " \nSize: 600 Bytes";
    EXPECT_THAT(host.takeEffects(),
                ElementsAre("buttons: disabled", "log: Reading...", "label_Action: Reading...",
                            "log: " + sizeText, "label_FileSize: " + sizeText,
                            "log: Blocks to transfer: 3", "label_TotalBlocks: Blocks to transfer: 3",
                            "log: Requesting boot mode...", "label_Action: Requesting boot mode...",
                            kSendBootModeRequest, "pause: 5"));

    EXPECT_THAT(reply(kBootReady),
                ElementsAre("receive pane: ACK (32)", "pause: 1000",
                            "log: Bootloader ready to receive...",
                            "label_Action: Bootloader ready to receive...",
                            "log: Memory index: 0x00000000", blockFrame(1, 256), "pause: 100"));
    EXPECT_EQ(sequence.currentBlock(), 1u);

    EXPECT_THAT(reply(kBlockWritten),
                ElementsAre("receive pane: ACK (33)", "label_CurrenBlock: Written memory block: 1",
                            "receive pane: Written memory block: 1",
                            "receive pane: Next memory block: 2",
                            "label_Action: Next memory block: 2", "log: Memory index: 0x00000100",
                            blockFrame(2, 256), "pause: 300"));
    EXPECT_THAT(reply(kBlockWritten),
                ElementsAre("receive pane: ACK (33)", "label_CurrenBlock: Written memory block: 2",
                            "receive pane: Written memory block: 2",
                            "receive pane: Next memory block: 3",
                            "label_Action: Next memory block: 3", "log: Memory index: 0x00000200",
                            blockFrame(3, 88), "pause: 5"));
    EXPECT_EQ(sequence.currentBlock(), 3u);
    EXPECT_THAT(reply(kBlockWritten),
                ElementsAre("receive pane: ACK (33)", "label_CurrenBlock: Written memory block: 3",
                            "receive pane: Written memory block: 3",
                            "log: Last package completed...",
                            "label_Action: Last package completed...", kSendEndOfTransfer,
                            "pause: 5"));
    EXPECT_THAT(reply(kTransferEnded),
                ElementsAre("receive pane: ACK (34)", "log: Exiting boot mode...",
                            "label_Action: Exiting boot mode...", kSendExitBootMode, "pause: 5"));
    EXPECT_THAT(reply(kBootExited),
                ElementsAre("receive pane: ACK (35)", "log: Flashing completed.",
                            "label_Action: Flashing completed.", "buttons: enabled"));

    // The progress keeps what the run reached; the frames carry the file.
    EXPECT_EQ(sequence.currentBlock(), 3u);
    EXPECT_EQ(sequence.blockCount(), 3u);
    std::vector<std::uint8_t> sent;
    for (std::size_t i = 1; i <= 3; ++i)
        sent.insert(sent.end(), host.frames[i].begin() + 7, host.frames[i].end() - 2);
    EXPECT_EQ(sent, imageBytes(600));
}

TEST_F(FlashSequenceRun, AFactoryResetNeedsNoFile)
{
    sequence.startFactoryReset();
    EXPECT_THAT(host.takeEffects(),
                ElementsAre("log: Restoring factory settings...",
                            "label_Action: Restoring factory settings...", "buttons: disabled",
                            "log: Requesting boot mode...", "label_Action: Requesting boot mode...",
                            kSendBootModeRequest, "pause: 5"));
    EXPECT_THAT(reply(kBootReady),
                ElementsAre("receive pane: ACK (32)", "pause: 1000",
                            "log: Bootloader ready to receive...",
                            "label_Action: Bootloader ready to receive...",
                            "log: Sending factory reset...", "label_Action: Sending factory reset...",
                            kSendFactoryReset, "pause: 100"));
    EXPECT_THAT(reply(kFactoryResetDone),
                ElementsAre("receive pane: ACK (36)", "log: ACK factory reset...",
                            "label_Action: ACK factory reset...", kSendExitBootMode, "pause: 5"));
    EXPECT_THAT(reply(kBootExited),
                ElementsAre("receive pane: ACK (35)", "log: Flashing completed.",
                            "label_Action: Flashing completed.", "buttons: enabled"));

    // The reset is over: Flash loads again, here with no file chosen.
    sequence.startFlash("");
    EXPECT_THAT(host.takeEffects(),
                ElementsAre("buttons: disabled", "log: Reading...", "label_Action: Reading...",
                            "log: Unable to open file ", "log: Firmware file read error",
                            "label_Action: Firmware file read error", "buttons: enabled"));
    EXPECT_TRUE(host.frames.size() == 3) << "nothing more was sent";
}

TEST_F(FlashSequenceRun, OneAndTwoBlockImagesEndWithTheirLastFrame)
{
    startFlashOf(100);
    EXPECT_THAT(reply(kBootReady), testing::Contains(blockFrame(1, 100)));
    EXPECT_THAT(reply(kBlockWritten), testing::Contains(kSendEndOfTransfer));

    startFlashOf(300);
    EXPECT_THAT(reply(kBootReady), testing::IsSupersetOf(std::vector<std::string>{blockFrame(1, 256), "pause: 100"}));
    EXPECT_THAT(reply(kBlockWritten), testing::IsSupersetOf(std::vector<std::string>{blockFrame(2, 44), "pause: 5"}));
    EXPECT_THAT(reply(kBlockWritten), testing::Contains(kSendEndOfTransfer));
}

TEST_F(FlashSequenceRun, ARepeatedBootReadyRestartsAtTheFirstBlock)
{
    startFlashOf(1024);
    reply(kBootReady);
    reply(kBlockWritten);
    reply(kBlockWritten);
    EXPECT_EQ(sequence.currentBlock(), 3u);
    EXPECT_THAT(reply(kBootReady),
                testing::IsSupersetOf(
                    std::vector<std::string>{"log: Memory index: 0x00000000", blockFrame(1, 256)}));
    EXPECT_EQ(sequence.currentBlock(), 1u);
}

TEST_F(FlashSequenceRun, ABootExitMidTransferEndsTheRunAndALateAckIsIgnored)
{
    startFlashOf(1024);
    reply(kBootReady);
    reply(kBlockWritten);
    EXPECT_THAT(reply(kBootExited), testing::Contains("buttons: enabled"));
    const std::size_t framesSent = host.frames.size();

    EXPECT_THAT(reply(kBlockWritten),
                ElementsAre("receive pane: ACK (33)",
                            "log: Acknowledgement without a block in transfer ignored"));
    EXPECT_THAT(reply(kBootReady),
                ElementsAre("receive pane: ACK (32)", "pause: 1000",
                            "log: Bootloader ready to receive...",
                            "label_Action: Bootloader ready to receive...",
                            "log: Boot-mode reply without a firmware image ignored"));
    EXPECT_EQ(host.frames.size(), framesSent) << "a released image is never read";
}

TEST_F(FlashSequenceRun, AnAckAfterTheLastBlockReadsNothingBeyondTheImage)
{
    startFlashOf(256);
    reply(kBootReady);
    reply(kBlockWritten); // the last block: end of transfer requested
    const std::size_t framesSent = host.frames.size();
    EXPECT_THAT(reply(kBlockWritten), testing::Contains(kSendEndOfTransfer))
        << "the last block is acknowledged again, nothing beyond it is built";
    EXPECT_EQ(host.frames.size(), framesSent + 1);
    EXPECT_EQ(sequence.currentBlock(), 1u);
}

TEST_F(FlashSequenceRun, EmptyNotificationsAndFailedReadsChangeNothing)
{
    startFlashOf(600);
    sequence.onReadEvent(0);
    host.chunks.push_back("");
    sequence.onReadEvent(6);
    host.chunks.push_back(RecordingSequenceHost::kFailingRead);
    sequence.onReadEvent(6);
    EXPECT_TRUE(host.takeEffects().empty());
}

TEST_F(FlashSequenceRun, UnrecognisedChunksAreShownCleanedUp)
{
    EXPECT_THAT(reply("bcd!{}"), ElementsAre("receive pane: "));
    EXPECT_THAT(reply("Boot-loader ver 2.5!"), ElementsAre("receive pane: B-a  2.5"));
    EXPECT_THAT(reply(std::string("\x55\x66\x33", 2)), ElementsAre("receive pane: U"));
}

TEST_F(FlashSequenceRun, ALoadFailureSendsNothing)
{
    sequence.startFlash("/nonexistent/firmware.bin");
    EXPECT_THAT(host.takeEffects(),
                ElementsAre("buttons: disabled", "log: Reading...", "label_Action: Reading...",
                            "log: Unable to open file /nonexistent/firmware.bin",
                            "log: Firmware file read error", "label_Action: Firmware file read error",
                            "buttons: enabled"));

    file.write({});
    sequence.startFlash(file.path());
    EXPECT_THAT(host.takeEffects(), testing::Contains("log: Firmware file is empty"));
    EXPECT_TRUE(host.frames.empty());
}

} // namespace
