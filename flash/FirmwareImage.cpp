#include "flash/FirmwareImage.h"

#include <QCryptographicHash>
#include <QtGlobal>

#include <utility>

FirmwareImage::FirmwareImage(std::vector<std::uint8_t> bytes)
    : bytes_(std::move(bytes))
{
    Q_ASSERT(bytes_.size() <= kMaxImageSize);
}

std::optional<ImageBlock> FirmwareImage::block(std::uint32_t number) const
{
    if (number < 1 || number > blockCount())
        return std::nullopt;
    const std::uint16_t length
        = number == blockCount() ? lastBlockLength() : static_cast<std::uint16_t>(kBlockSize);
    return ImageBlock{bytes_.data() + memoryIndex(number), length};
}

QString FirmwareImage::sha256Hex() const
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(bytes_.data()),
                                static_cast<qsizetype>(bytes_.size())));
    return QString::fromLatin1(hash.result().toHex());
}
