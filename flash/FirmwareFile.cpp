#include "flash/FirmwareFile.h"

#include "flash/RegularFile.h"
#include "flash/StatusLine.h"

#include <QFileInfo>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

ImageLoad refused(ImageLoad load, ImageRefusal refusal, const QString& reason)
{
    load.refusal = refusal;
    load.reason = reason;
    return load;
}

QString notAFirmwareFile(const QString& path, const char* kind)
{
    return formatStatusLine("Not a firmware file: %s is %s", path.toUtf8().constData(), kind);
}

QString tooLarge(std::uint64_t size)
{
    // Its blocks could not be numbered, and cutting it would flash a partial firmware.
    return formatStatusLine("Firmware file too large: %llu Bytes, the limit is %llu Bytes (%u blocks)",
                            static_cast<unsigned long long>(size), static_cast<unsigned long long>(kMaxImageSize),
                            static_cast<unsigned>(kMaxBlockCount));
}

bool isHexDigit(char c)
{
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// Only line breaks, tabs, form feeds and printable characters, in whatever
// encoding. Firmware holds zeros and other control bytes within its first
// few hundred bytes (a vector table, code).
bool isTextOnly(const std::uint8_t* bytes, std::size_t n)
{
    return std::all_of(bytes, bytes + n, [](std::uint8_t byte) {
        return byte >= 0x20 ? byte != 0x7F : (byte == '\t' || byte == '\n' || byte == '\r' || byte == '\f');
    });
}

// The first line that holds anything but blanks.
QByteArray firstLine(const std::uint8_t* bytes, std::size_t n)
{
    const char* text = reinterpret_cast<const char*>(bytes);
    for (const QByteArray& line : QByteArray(text, static_cast<qsizetype>(n)).split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            return trimmed;
    }
    return {};
}

// ":" then byte count, address and record type (10 hex digits) and more hex.
bool isIntelHexRecord(const QByteArray& line)
{
    return line.size() >= 11 && line[0] == ':' && std::all_of(line.begin() + 1, line.end(), isHexDigit);
}

// "S0" to "S9", then byte count and address (at least 6 hex digits).
bool isSRecord(const QByteArray& line)
{
    return line.size() >= 8 && line[0] == 'S' && line[1] >= '0' && line[1] <= '9'
           && std::all_of(line.begin() + 2, line.end(), isHexDigit);
}

// What the first bytes of a file show it to be when it is not a raw image,
// with the way to make one of it; empty when nothing shows. A raw image
// starts with binary data: a vector table, code.
QString otherFormat(const std::uint8_t* bytes, std::size_t n)
{
    if (n >= 4 && std::memcmp(bytes, "\x7f" "ELF", 4) == 0)
        return QStringLiteral("looks like an ELF file; extract the raw binary image first, e.g. "
                              "`objcopy -O binary in.elf out.bin`");
    if (!isTextOnly(bytes, n))
        return {};
    const QByteArray line = firstLine(bytes, n);
    if (isIntelHexRecord(line))
        return QStringLiteral("looks like an Intel HEX file; convert it to a raw binary image first, e.g. "
                              "`objcopy -I ihex -O binary in.hex out.bin`");
    if (isSRecord(line))
        return QStringLiteral("looks like a Motorola S-record file; convert it to a raw binary image first, e.g. "
                              "`objcopy -I srec -O binary in.srec out.bin`");
    return QStringLiteral("holds only text; a firmware image is raw binary bytes, such as the .bin file the "
                          "firmware build produces");
}

QString notARawImage(const QString& path, const QString& format)
{
    return QStringLiteral("Not a raw firmware image: %1 %2").arg(path, format);
}

} // namespace

ImageLoad loadFirmwareImage(const QString& path)
{
    ImageLoad load;
    load.path = path;
    const QByteArray name = path.toUtf8();
    RegularFileRead file = readRegularFile(path, kMaxImageSize);
    switch (file.status) {
    case RegularFileRead::Status::CannotOpen:
        return refused(load, ImageRefusal::CannotOpen, formatStatusLine("Unable to open file %s", name.constData()));
    case RegularFileRead::Status::NotRegular:
        return refused(load, ImageRefusal::NotRegularFile, notAFirmwareFile(path, file.kind));
    case RegularFileRead::Status::TooLarge:
        // Refused before anything is shown.
        return refused(load, ImageRefusal::TooLarge, tooLarge(file.size));
    case RegularFileRead::Status::ShortRead:
    case RegularFileRead::Status::NoMemory:
    case RegularFileRead::Status::Read: break;
    }

    const auto size = static_cast<std::uint32_t>(file.size);
    load.measuredSize = size;
    if (file.status == RegularFileRead::Status::NoMemory)
        return refused(load, ImageRefusal::NoMemory, formatStatusLine("Memory error!"));
    if (file.status == RegularFileRead::Status::ShortRead)
        return refused(load, ImageRefusal::ShortRead,
                       formatStatusLine("Read only %llu of %lu Bytes of file %s",
                                        static_cast<unsigned long long>(file.bytes.size()),
                                        static_cast<unsigned long>(size), name.constData()));
    if (size == 0)
        return refused(load, ImageRefusal::Empty, formatStatusLine("Firmware file is empty"));
    const QString format = otherFormat(file.bytes.data(), std::min<std::size_t>(file.bytes.size(), kContentSampleBytes));
    if (!format.isEmpty())
        return refused(load, ImageRefusal::NotRawImage, notARawImage(path, format));
    load.image = std::make_shared<const FirmwareImage>(std::move(file.bytes));
    return load;
}

FirmwareFileCheck checkFirmwareFile(const QString& path)
{
    const RegularFileRead file = readRegularFile(path, kMaxImageSize, kContentSampleBytes);
    switch (file.status) {
    case RegularFileRead::Status::CannotOpen:
        if (!QFileInfo::exists(path))
            return {QStringLiteral("No such file: %1").arg(path)};
        return {QStringLiteral("Cannot read %1: permission denied").arg(path)};
    case RegularFileRead::Status::NotRegular: return {notAFirmwareFile(path, file.kind)};
    case RegularFileRead::Status::TooLarge: return {tooLarge(file.size)};
    case RegularFileRead::Status::ShortRead:
    case RegularFileRead::Status::NoMemory:
    case RegularFileRead::Status::Read: break;
    }
    const QString format = otherFormat(file.bytes.data(), file.bytes.size());
    if (!format.isEmpty())
        return {notARawImage(path, format)};
    return {QString(), file.size};
}
