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

// Files in other formats would be flashed as their text or headers and brick
// the board. Choosing and loading refuse them alike, with the way to convert.
TEST(FirmwareFile, OtherFormatsAreRefusedWithTheWayToARawImage)
{
    const FirmwareFolder files;
    const auto bytesOf = [](const std::string& text) { return std::vector<std::uint8_t>(text.begin(), text.end()); };
    std::vector<std::uint8_t> elf = imageBytes(600);
    elf[0] = 0x7F, elf[1] = 'E', elf[2] = 'L', elf[3] = 'F';
    const struct
    {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* says;
    } others[] = {
        {"app.hex", bytesOf("\r\n:020000040800F2\r\n:10000000F8FF0020C1000008C3000008C500000849\r\n:00000001FF\r\n"),
         "looks like an Intel HEX file; convert it to a raw binary image first, e.g. `objcopy -I ihex -O binary in.hex out.bin`"},
        {"app.s19", bytesOf("S00F000068656C6C6F202020202000003C\nS11F00007C0802A6900100049421FFF07C6C1B787C8C23783C6000003863000026\n"),
         "looks like a Motorola S-record file; convert it to a raw binary image first, e.g. `objcopy -I srec -O binary in.srec out.bin`"},
        {"app.elf", elf, "looks like an ELF file; extract the raw binary image first, e.g. `objcopy -O binary in.elf out.bin`"},
        {"notes.bin", bytesOf("Release notes, version 2.4\n\tFixes the paper-out sensor.\n"), "holds only text"},
    };
    for (const auto& other : others) {
        const std::string path = files.write(other.name, other.bytes);
        const std::string expected = "Not a raw firmware image: " + path + " " + other.says;
        EXPECT_EQ(refusalOf(path).substr(0, expected.size()), expected);
        EXPECT_EQ(checkFirmwareFile(QString::fromStdString(path)).refusal.toStdString().substr(0, expected.size()),
                  expected);
    }
    // Binary bytes after a start that reads like a record are an image.
    std::vector<std::uint8_t> binary = bytesOf(":10000000F8FF0020C1000008C3000008C500000849\n");
    binary.push_back(0x00);
    const std::string path = files.write("image.bin", binary);
    EXPECT_TRUE(loadFirmwareImage(QString::fromStdString(path)).image);
    EXPECT_TRUE(checkFirmwareFile(QString::fromStdString(path)).acceptable());
}
