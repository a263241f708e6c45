#include "flash/FirmwareData.h"

#include "ImageBytes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Layout {
    std::size_t size;
    std::uint32_t blockCount;
    std::uint16_t lastBlockLength;
};

class FirmwareDataLayout : public testing::TestWithParam<Layout>
{
};

} // namespace

TEST_P(FirmwareDataLayout, CutsTheImageIntoNumberedBlocks)
{
    const Layout expected = GetParam();
    const std::vector<std::uint8_t> bytes = imageBytes(expected.size);
    const FirmwareData image(bytes);

    EXPECT_EQ(image.size(), expected.size);
    EXPECT_EQ(image.blockCount(), expected.blockCount);
    EXPECT_EQ(image.lastBlockLength(), expected.lastBlockLength);

    std::vector<std::uint8_t> joined;
    for (std::uint32_t number = 1; number <= image.blockCount(); ++number) {
        const std::optional<ImageBlock> block = image.block(number);
        ASSERT_TRUE(block) << "block " << number;
        const std::uint16_t length
            = number < expected.blockCount ? 256 : expected.lastBlockLength;
        ASSERT_EQ(block->length, length) << "block " << number;
        joined.insert(joined.end(), block->bytes, block->bytes + block->length);
    }
    EXPECT_EQ(joined, bytes);
    EXPECT_FALSE(image.block(0));
    EXPECT_FALSE(image.block(expected.blockCount + 1));
}

INSTANTIATE_TEST_SUITE_P(Sizes, FirmwareDataLayout,
                         testing::Values(Layout{1, 1, 1}, Layout{255, 1, 255}, Layout{256, 1, 256},
                                         Layout{257, 2, 1}, Layout{512, 2, 256},
                                         Layout{600, 3, 88}, Layout{65535 * 256, 65535, 256}),
                         [](const testing::TestParamInfo<Layout>& info) {
                             return std::to_string(info.param.size) + "Bytes";
                         });

TEST(FirmwareData, MemoryIndexIsTheBlockOffset)
{
    EXPECT_EQ(memoryIndex(1), 0x000000u);
    EXPECT_EQ(memoryIndex(3), 0x000200u);
    EXPECT_EQ(memoryIndex(65535), 0xFFFE00u);
}

TEST(FirmwareData, EmptyImageHasNoBlock)
{
    const FirmwareData image({});
    EXPECT_EQ(image.blockCount(), 0u);
    EXPECT_EQ(image.lastBlockLength(), 0u);
    EXPECT_FALSE(image.block(1));
}
