#include "flash/DeviceFrames.h"

#include "ImageBytes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using testing::ElementsAre;
using testing::ElementsAreArray;

TEST(DeviceFrames, CrcIsModbus)
{
    const char* check = "123456789";
    EXPECT_EQ(frameCrc(reinterpret_cast<const std::uint8_t*>(check), std::strlen(check)), 0x4B37);
}

TEST(DeviceFrames, ShortLastBlockCarriesItsLengthAndCrc)
{
    std::vector<std::uint8_t> bytes = imageBytes(515);
    bytes[512] = 0x61;
    bytes[513] = 0x62;
    bytes[514] = 0x63;

    const std::optional<std::vector<std::uint8_t>> frame = buildBlockFrame(FirmwareData(bytes), 3);

    ASSERT_TRUE(frame);
    EXPECT_THAT(*frame, ElementsAre(0x55, 0x66, 0x33, 0x00, 0x03, 0x00, 0x03, 0x61, 0x62, 0x63, 0x15, 0x9B));
}

TEST(DeviceFrames, FullBlockIsTwoHundredSixtyFiveBytes)
{
    const std::optional<std::vector<std::uint8_t>> frame
        = buildBlockFrame(FirmwareData(std::vector<std::uint8_t>(600, 0xFF)), 1);

    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->size(), 265u);
    EXPECT_THAT(std::vector<std::uint8_t>(frame->begin(), frame->begin() + 7),
                ElementsAre(0x55, 0x66, 0x33, 0x00, 0x01, 0x01, 0x00));
    EXPECT_EQ(std::count(frame->begin() + 7, frame->end() - 2, 0xFF), 256);
    EXPECT_THAT(std::vector<std::uint8_t>(frame->end() - 2, frame->end()), ElementsAre(0xCD, 0x32));

    // A last block of 256 bytes is a full frame too.
    const std::optional<std::vector<std::uint8_t>> last = buildBlockFrame(FirmwareData(imageBytes(512)), 2);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->size(), 265u);
    EXPECT_THAT(std::vector<std::uint8_t>(last->begin() + 5, last->begin() + 7), ElementsAre(0x01, 0x00));
}

TEST(DeviceFrames, BlockNumberAndPayloadComeFromTheBlock)
{
    const std::vector<std::uint8_t> bytes = imageBytes(301 * 256);

    const std::optional<std::vector<std::uint8_t>> frame = buildBlockFrame(FirmwareData(bytes), 300);

    ASSERT_TRUE(frame);
    EXPECT_EQ((*frame)[3], 0x01);
    EXPECT_EQ((*frame)[4], 0x2C);
    EXPECT_THAT(std::vector<std::uint8_t>(frame->begin() + 7, frame->end() - 2),
                ElementsAreArray(bytes.begin() + 299 * 256, bytes.begin() + 300 * 256));
}

TEST(DeviceFrames, BlockOutsideTheImageHasNoFrame)
{
    const FirmwareData image(imageBytes(600));
    EXPECT_FALSE(buildBlockFrame(image, 0));
    EXPECT_FALSE(buildBlockFrame(image, 4));
    EXPECT_FALSE(buildBlockFrame(FirmwareData({}), 1));
}

TEST(DeviceFrames, ControlFrames)
{
    EXPECT_THAT(buildControlFrame(FrameCommand::EndOfTransfer),
                ElementsAre(0x55, 0x66, 0x34, 0x00, 0x01, 0xAA, 0xC9, 0x8B));
    EXPECT_THAT(buildControlFrame(FrameCommand::ExitBootMode),
                ElementsAre(0x55, 0x66, 0x35, 0x00, 0x01, 0xAA, 0x35, 0x8A));
    EXPECT_THAT(buildControlFrame(FrameCommand::FactoryReset),
                ElementsAre(0x55, 0x66, 0x36, 0x00, 0x01, 0xAA, 0x71, 0x8A));
}
