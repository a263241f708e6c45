// Frames and the firmware file. The frames' CRCs, numbers and payloads are
// also checked end to end by the chip simulator's own parser; these cases are
// the ones a small image never reaches.
#include "flash/DeviceFrames.h"
#include "flash/FirmwareLoader.h"

#include "FlashTestFiles.h"
#include "RecordingHost.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <sstream>

using testing::ElementsAre;

TEST(DeviceFrames, CarryNumberLengthPayloadAndCrcHighByteFirst)
{
    std::vector<std::uint8_t> bytes = imageBytes(301 * 256);
    bytes.resize(515);
    bytes[512] = 0x61, bytes[513] = 0x62, bytes[514] = 0x63;
    EXPECT_THAT(*buildBlockFrame(FirmwareImage(bytes), 3),
                ElementsAre(0x55, 0x66, 0x33, 0x00, 0x03, 0x00, 0x03, 0x61, 0x62, 0x63, 0x15, 0x9B));

    const std::optional<std::vector<std::uint8_t>> block300 = buildBlockFrame(FirmwareImage(imageBytes(301 * 256)), 300);
    ASSERT_TRUE(block300);
    EXPECT_EQ((*block300)[3], 0x01);
    EXPECT_EQ((*block300)[4], 0x2C);
    EXPECT_FALSE(buildBlockFrame(FirmwareImage(bytes), 4)) << "no block beyond the image";
    EXPECT_THAT(buildControlFrame(FrameCommand::FactoryReset), ElementsAre(0x55, 0x66, 0x36, 0x00, 0x01, 0xAA, 0x71, 0x8A));
}

class FirmwareLoad : public testing::Test
{
protected:
    // Loads a 600-byte file, to see what a later failed load keeps of it.
    void loadEarlierImage()
    {
        ASSERT_TRUE(loader.loadFirmwareFile(files.write("earlier.bin", imageBytes(600)).c_str(), host));
        host.takeEffects();
    }

    std::vector<std::string> refusalOf(const std::string& path)
    {
        EXPECT_FALSE(loader.loadFirmwareFile(path.c_str(), host));
        EXPECT_FALSE(loader.snapshot()) << "a failed load holds no image";
        return host.takeEffects();
    }

    FirmwareFolder files;
    FirmwareLoader loader;
    RecordingHost host;
};

TEST_F(FirmwareLoad, ShowsSizeAndBlocksAndHoldsTheBytes)
{
    const std::string path = files.write("firmware.bin", imageBytes(600));
    ASSERT_TRUE(loader.loadFirmwareFile(path.c_str(), host));
    const std::string size = "File: " + path + " \nSize: 600 Bytes";
    EXPECT_THAT(host.takeEffects(), ElementsAre("log: " + size, "label_FileSize: " + size, "log: Blocks to transfer: 3",
                                                "label_TotalBlocks: Blocks to transfer: 3"));
    const ImageBlock last = *loader.snapshot()->block(3);
    EXPECT_EQ(last.length, 88);
    EXPECT_TRUE(std::equal(last.bytes, last.bytes + 88, imageBytes(600).begin() + 512));

    // A frame builder's snapshot outlives a release on another thread.
    const std::shared_ptr<const FirmwareImage> inUse = loader.snapshot();
    loader.release();
    EXPECT_EQ(inUse->block(3)->bytes[0], imageBytes(600)[512]);
    EXPECT_EQ(loader.blockCount(), 3u) << "the counts outlive the release";
}

TEST_F(FirmwareLoad, RefusesWhatCannotBeFlashedWholeAndSaysWhy)
{
    loadEarlierImage();
    const std::string missing = files.path("missing.bin");
    EXPECT_THAT(refusalOf(missing), ElementsAre("log: Unable to open file " + missing));
    EXPECT_EQ(loader.blockCount(), 3u);

    // A size that 32 bits would wrap to an acceptable 600, and one byte too many.
    const std::string large = files.write("large.bin", {});
    for (const std::uint64_t size : {(std::uint64_t{1} << 32) + 600, std::uint64_t{65535} * 256 + 1}) {
        std::filesystem::resize_file(large, size);
        EXPECT_THAT(refusalOf(large), ElementsAre("log: Firmware file too large: " + std::to_string(size)
                                                  + " Bytes, the limit is 16776960 Bytes (65535 blocks)"));
    }
    EXPECT_THAT(refusalOf(files.write("empty.bin", {})), testing::Contains("log: Firmware file is empty"));
    EXPECT_EQ(loader.blockCount(), 0u);

    // Neither may block the caller, nor pass for a file of some size.
#ifndef _WIN32
    const std::string fifo = files.path("fifo.bin");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THAT(refusalOf(fifo), ElementsAre("log: Not a firmware file: " + fifo + " is a FIFO (named pipe)"));
#endif
    const std::string folder = files.path(".");
    EXPECT_THAT(refusalOf(folder), ElementsAre("log: Not a firmware file: " + folder + " is a directory"));
}

TEST_F(FirmwareLoad, RefusesAFileThatShrankWhileBeingRead)
{
    // Claims 700 bytes when measured, holds 100 when read.
    struct ShrinkingFile : std::stringbuf
    {
        ShrinkingFile() : std::stringbuf(std::string(100, 'x'), std::ios::in) {}
        pos_type seekoff(off_type offset, std::ios::seekdir direction, std::ios::openmode which) override
        {
            return direction == std::ios::end ? pos_type(700) : std::stringbuf::seekoff(offset, direction, which);
        }
    } shrinking;
    std::istream file(&shrinking);
    EXPECT_FALSE(loader.loadFirmware(file, "shrunk.bin", host));
    EXPECT_THAT(host.takeEffects(), testing::Contains("log: Read only 100 of 700 Bytes of file shrunk.bin"));
    EXPECT_FALSE(loader.snapshot());
}
