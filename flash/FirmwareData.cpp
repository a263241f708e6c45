#include "flash/FirmwareData.h"

#include <QtGlobal>

#include <utility>

FirmwareData::FirmwareData(std::vector<std::uint8_t> bytes)
    : bytes_(std::move(bytes))
{
    Q_ASSERT(bytes_.size() <= kMaxImageSize);
}

std::optional<ImageBlock> FirmwareData::block(std::uint32_t number) const
{
    if (number < 1 || number > blockCount())
        return std::nullopt;
    const std::uint16_t length
        = number == blockCount() ? lastBlockLength() : static_cast<std::uint16_t>(kBlockSize);
    return ImageBlock{bytes_.data() + memoryIndex(number), length};
}
