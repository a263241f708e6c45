#include "flash/FirmwareImage.h"

#include "ImageBytes.h"
#include "RecordingStatusSink.h"
#include "TemporaryFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using testing::ElementsAre;

namespace {

// A file that claims, when seeking to its end, a size other than what it
// holds: it shrank between measuring and reading, or, for a negative size,
// it cannot seek at all.
class FileOfClaimedSize : public std::stringbuf
{
public:
    FileOfClaimedSize(const std::string& content, std::streamoff claimedSize)
        : std::stringbuf(content, std::ios::in), claimedSize_(claimedSize)
    {
    }

protected:
    pos_type seekoff(off_type offset, std::ios::seekdir direction, std::ios::openmode which) override
    {
        return direction == std::ios::end ? pos_type(claimedSize_)
                                          : std::stringbuf::seekoff(offset, direction, which);
    }

private:
    std::streamoff claimedSize_;
};

std::vector<std::string> shownSize(const std::string& path, const std::string& size,
                                   const std::string& blocks)
{
    const std::string sizeText = "File: " + path + " \nSize: " + size + " Bytes";
    const std::string blocksText = "Blocks to transfer: " + blocks;
    return {"log: " + sizeText, "label_FileSize: " + sizeText, "log: " + blocksText,
            "label_TotalBlocks: " + blocksText};
}

class FirmwareImageLoad : public testing::Test
{
protected:
    const char* path() const { return file_.path(); }
    void writeFile(const std::vector<std::uint8_t>& bytes) const { file_.write(bytes); }

    // 600 bytes, to see what a later load keeps of them.
    void loadEarlierImage()
    {
        std::istringstream earlier(std::string(600, 'e'));
        ASSERT_TRUE(image.loadFirmware(earlier, "earlier.bin", status));
        status.reports.clear();
    }

    void expectCountsOf600Bytes() const
    {
        EXPECT_EQ(image.size(), 600u);
        EXPECT_EQ(image.blockCount(), 3u);
        EXPECT_EQ(image.lastBlockLength(), 88u);
    }

    FirmwareImage image;
    RecordingStatusSink status;

private:
    TemporaryFile file_;
};

} // namespace

TEST_F(FirmwareImageLoad, HoldsTheFileAndShowsItsSizeAndBlocks)
{
    const std::vector<std::uint8_t> bytes = imageBytes(600);
    writeFile(bytes);

    ASSERT_TRUE(image.loadFirmwareFile(path(), status));

    EXPECT_EQ(status.reports, shownSize(path(), "600", "3"));
    expectCountsOf600Bytes();
    const std::optional<ImageBlock> last = image.snapshot()->block(3);
    ASSERT_TRUE(last);
    EXPECT_TRUE(std::equal(last->bytes, last->bytes + last->length, bytes.begin() + 512, bytes.end()));
}

TEST_F(FirmwareImageLoad, SnapshotInUseOutlivesReloadAndRelease)
{
    loadEarlierImage();
    const std::shared_ptr<const FirmwareData> inUse = image.snapshot();
    writeFile(imageBytes(256));

    ASSERT_TRUE(image.loadFirmwareFile(path(), status));
    EXPECT_EQ(image.snapshot()->size(), 256u);
    image.release();

    EXPECT_FALSE(image.snapshot());
    EXPECT_EQ(image.blockCount(), 1u);
    EXPECT_EQ(inUse->block(3)->bytes[87], 'e');
}

TEST_F(FirmwareImageLoad, MissingFileIsReportedAndDropsOnlyTheImage)
{
    loadEarlierImage();
    const std::string missing = testing::TempDir() + "no-such-firmware.bin";

    EXPECT_FALSE(image.loadFirmwareFile(missing.c_str(), status));

    EXPECT_THAT(status.reports, ElementsAre("log: Unable to open file " + missing));
    expectCountsOf600Bytes();
    EXPECT_FALSE(image.snapshot());
}

TEST_F(FirmwareImageLoad, EmptyFileShowsItsCountsAndIsRefused)
{
    loadEarlierImage();

    EXPECT_FALSE(image.loadFirmwareFile(path(), status));

    std::vector<std::string> expected = shownSize(path(), "0", "0");
    expected.push_back("log: Firmware file is empty");
    EXPECT_EQ(status.reports, expected);
    EXPECT_EQ(image.blockCount(), 0u);
    EXPECT_FALSE(image.snapshot());
}

TEST_F(FirmwareImageLoad, FileBeyondTheBlockLimitIsRefusedWithoutBeingShown)
{
    std::filesystem::resize_file(path(), 65535 * 256);
    ASSERT_TRUE(image.loadFirmwareFile(path(), status));
    EXPECT_EQ(image.blockCount(), 65535u);
    loadEarlierImage();

    // Sparse files: one byte too many, and a size that a 32-bit measurement
    // would wrap to an acceptable 600.
    for (const std::uint64_t size : {std::uint64_t{65535} * 256 + 1, (std::uint64_t{1} << 32) + 600}) {
        status.reports.clear();
        std::filesystem::resize_file(path(), size);

        EXPECT_FALSE(image.loadFirmwareFile(path(), status));

        EXPECT_THAT(status.reports, ElementsAre("log: Firmware file too large: " + std::to_string(size)
                                                + " Bytes, the limit is 16776960 Bytes (65535 blocks)"));
        expectCountsOf600Bytes();
        EXPECT_FALSE(image.snapshot());
    }
}

TEST_F(FirmwareImageLoad, FileThatShrankOrCannotSeekIsRefused)
{
    loadEarlierImage();
    FileOfClaimedSize shrunk(std::string(100, 'x'), 700);
    std::istream shrunkStream(&shrunk);

    EXPECT_FALSE(image.loadFirmware(shrunkStream, "shrunk.bin", status));

    std::vector<std::string> expected = shownSize("shrunk.bin", "700", "3");
    expected.push_back("log: Read only 100 of 700 Bytes of file shrunk.bin");
    EXPECT_EQ(status.reports, expected);
    EXPECT_FALSE(image.snapshot());

    status.reports.clear();
    FileOfClaimedSize unseekable("firmware", -1);
    std::istream unseekableStream(&unseekable);

    EXPECT_FALSE(image.loadFirmware(unseekableStream, "pipe", status));

    EXPECT_THAT(status.reports, ElementsAre("log: Unable to determine the size of file pipe"));
    EXPECT_EQ(image.size(), 700u);
}
