// Frames and the firmware file. The frames' CRCs, numbers and payloads are
// also checked end to end by the chip simulator's own parser; these cases are
// the ones a small image never reaches.
#include "flash/DeviceFrames.h"
#include "flash/FirmwareFile.h"

#include "FlashTestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

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

TEST(FirmwareFile, IsReadWholeWithItsSizeAndBlocks)
{
    const FirmwareFolder files;
    const std::string path = files.write("firmware.bin", imageBytes(600));
    const ImageLoad load = loadFirmwareImage(QString::fromStdString(path));
    ASSERT_TRUE(load.image) << load.reason.toStdString();
    EXPECT_EQ(load.measuredSize, 600u);
    const ImageBlock last = *load.image->block(3);
    EXPECT_EQ(last.length, 88);
    EXPECT_TRUE(std::equal(last.bytes, last.bytes + 88, imageBytes(600).begin() + 512));
}

TEST(FirmwareFile, WhatCannotBeFlashedWholeIsRefusedWithTheReason)
{
    const FirmwareFolder files;
    const std::string missing = files.path("missing.bin");
    EXPECT_EQ(refusalOf(missing), "Unable to open file " + missing);

    // A size that 32 bits would wrap to an acceptable 600, and one byte too many.
    const std::string large = files.write("large.bin", {});
    for (const std::uint64_t size : {(std::uint64_t{1} << 32) + 600, std::uint64_t{65535} * 256 + 1}) {
        std::filesystem::resize_file(large, size);
        EXPECT_EQ(refusalOf(large), "Firmware file too large: " + std::to_string(size)
                                      + " Bytes, the limit is 16776960 Bytes (65535 blocks)");
    }
    EXPECT_EQ(refusalOf(files.write("empty.bin", {})), "Firmware file is empty");
}
