#include "flash/FirmwareLoader.h"

#include "flash/StatusLine.h"

#include <filesystem>
#include <fstream>
#include <istream>
#include <new>
#include <utility>
#include <vector>

namespace {

void logAndLabel(StatusSink& status, InfoLabel label, const QString& line)
{
    status.log(line);
    status.setLabel(label, line);
}

// Fills bytes from the start of the file and returns how many it got: fewer
// than asked when the file shrank since it was measured.
std::streamsize readFromStart(std::istream& file, std::vector<std::uint8_t>& bytes)
{
    file.seekg(0);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file.gcount();
}

} // namespace

std::string notAFirmwareFile(const char* path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const char* kind = nullptr;
    switch (fs::status(path, error).type()) {
    case fs::file_type::regular:
    case fs::file_type::not_found:
    case fs::file_type::none: return {};
    case fs::file_type::directory: kind = "a directory"; break;
    case fs::file_type::fifo: kind = "a FIFO (named pipe)"; break;
    case fs::file_type::block:
    case fs::file_type::character: kind = "a device"; break;
    case fs::file_type::socket: kind = "a socket"; break;
    default: kind = "not a regular file"; break;
    }
    return std::string("Not a firmware file: ") + path + " is " + kind;
}

bool FirmwareLoader::loadFirmwareFile(const char* path, StatusSink& status)
{
    // Opening a FIFO or a device would block the GUI thread until a writer
    // comes; such paths are refused from their type alone.
    const std::string refusal = notAFirmwareFile(path);
    if (!refusal.empty()) {
        release();
        status.log(formatStatusLine("%s", refusal.c_str()));
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) {
        release();
        status.log(formatStatusLine("Unable to open file %s", path));
        return false;
    }
    return loadFirmware(file, path, status);
}

bool FirmwareLoader::loadFirmware(std::istream& file, const char* path, StatusSink& status)
{
    // Dropped first, so that no failure below can leave an older file's bytes
    // for a late reply of an unfinished run to send.
    release();

    // Measured in 64 bits: a file beyond 4 GiB must not wrap into a size that
    // looks acceptable.
    const std::streamoff end = file.rdbuf()->pubseekoff(0, std::ios::end, std::ios::in);
    if (end < 0) {
        status.log(formatStatusLine("Unable to determine the size of file %s", path));
        return false;
    }
    // Refused before anything is shown, like a file that cannot be opened: its
    // blocks could not be numbered in the frame, and cutting it would flash a
    // partial firmware.
    if (static_cast<std::uint64_t>(end) > kMaxImageSize) {
        status.log(formatStatusLine("Firmware file too large: %llu Bytes, the limit is %llu Bytes (%u blocks)",
                                    static_cast<unsigned long long>(end),
                                    static_cast<unsigned long long>(kMaxImageSize),
                                    static_cast<unsigned>(kMaxBlockCount)));
        return false;
    }

    const auto size = static_cast<std::uint32_t>(end);
    setCounts(size);
    logAndLabel(status, InfoLabel::FileSize,
                formatStatusLine("File: %s \nSize: %lu Bytes", path, static_cast<unsigned long>(size)));
    logAndLabel(status, InfoLabel::TotalBlocks,
                formatStatusLine("Blocks to transfer: %u", static_cast<unsigned>(blockCount_)));

    // An empty file has no block to send; its counts of 0 are shown, but no
    // image is held.
    if (size == 0) {
        status.log(formatStatusLine("Firmware file is empty"));
        return false;
    }
    try {
        std::vector<std::uint8_t> bytes(size);
        const std::streamsize received = readFromStart(file, bytes);
        if (received != static_cast<std::streamsize>(size)) {
            status.log(formatStatusLine("Read only %lld of %lu Bytes of file %s",
                                        static_cast<long long>(received),
                                        static_cast<unsigned long>(size), path));
            return false;
        }
        publish(std::make_shared<const FirmwareImage>(std::move(bytes)));
    } catch (const std::bad_alloc&) {
        status.log(formatStatusLine("Memory error!"));
        return false;
    }
    return true;
}

void FirmwareLoader::hold(std::shared_ptr<const FirmwareImage> image)
{
    setCounts(image ? image->size() : 0);
    publish(std::move(image));
}

std::shared_ptr<const FirmwareImage> FirmwareLoader::snapshot() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return image_;
}

void FirmwareLoader::release()
{
    publish(nullptr);
}

void FirmwareLoader::publish(std::shared_ptr<const FirmwareImage> image)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        image_.swap(image);
    }
    // image now holds the replaced one; unless a reader still uses it, it is
    // freed here, outside the lock.
}

void FirmwareLoader::setCounts(std::uint32_t size)
{
    size_ = size;
    blockCount_ = blockCountFor(size);
    lastBlockLength_ = lastBlockLengthFor(size);
}
