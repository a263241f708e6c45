#include "flash/FirmwareFile.h"

#include "flash/RegularFile.h"
#include "flash/StatusLine.h"

#include <QFileInfo>

#include <filesystem>

namespace {

ImageLoad refused(ImageLoad load, ImageRefusal refusal, const QString& reason)
{
    load.refusal = refusal;
    load.reason = reason;
    return load;
}

// The kind of thing path names when it is neither a regular file nor
// missing; null otherwise. Judged by name only, for choosing a file.
const char* irregularKind(const QString& path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    switch (fs::status(fs::path(path.toStdU16String()), error).type()) {
    case fs::file_type::regular:
    case fs::file_type::not_found:
    case fs::file_type::none: return nullptr;
    case fs::file_type::directory: return "a directory";
    case fs::file_type::fifo: return "a FIFO (named pipe)";
    case fs::file_type::block:
    case fs::file_type::character: return "a device";
    case fs::file_type::socket: return "a socket";
    default: return "not a regular file";
    }
}

QString notAFirmwareFile(const QString& path, const char* kind)
{
    return formatStatusLine("Not a firmware file: %s is %s", path.toUtf8().constData(), kind);
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
        // Refused before anything is shown: its blocks could not be numbered,
        // and cutting it would flash a partial firmware.
        return refused(load, ImageRefusal::TooLarge,
                       formatStatusLine("Firmware file too large: %llu Bytes, the limit is %llu Bytes (%u blocks)",
                                        static_cast<unsigned long long>(file.size),
                                        static_cast<unsigned long long>(kMaxImageSize),
                                        static_cast<unsigned>(kMaxBlockCount)));
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
    load.image = std::make_shared<const FirmwareImage>(std::move(file.bytes));
    return load;
}

FirmwareFileCheck checkFirmwareFile(const QString& path)
{
    if (const char* kind = irregularKind(path))
        return {notAFirmwareFile(path, kind)};
    const QFileInfo file(path);
    if (!file.exists())
        return {QStringLiteral("No such file: %1").arg(path)};
    if (!file.isReadable())
        return {QStringLiteral("Cannot read %1: permission denied").arg(path)};
    return {QString(), static_cast<std::uint64_t>(file.size())};
}
