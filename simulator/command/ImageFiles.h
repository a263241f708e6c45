#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The image files of orvanne-chipsim: the one it compares with and the one it
// writes what it received into. Errors are texts for the command's message,
// naming the file; an empty text means success.

// Reads a whole regular file. Anything else (a FIFO, a device, a folder) is
// refused without being waited on.
std::string readImageFile(const std::string& path, std::vector<std::uint8_t>& bytes);

// The file the received image goes into, written only at the end: open()
// makes a temporary file beside it, so that a folder that cannot be written
// is refused before anyone flashes, and commit() fills that file and renames
// it into place. The file at the path is never truncated: it stays as it was
// until the whole image replaces it.
class ImageOutFile
{
public:
    ImageOutFile() = default;
    // Removes the temporary file unless commit() has put it in place.
    ~ImageOutFile();

    ImageOutFile(const ImageOutFile&) = delete;
    ImageOutFile& operator=(const ImageOutFile&) = delete;

    // Refuses a path that names something other than a regular file, or the
    // same file as `keepPath` (if not empty) by identity, as a link or
    // another name for it would.
    std::string open(const std::string& path, const std::string& keepPath);
    std::string commit(const std::vector<std::uint8_t>& image);

private:
    std::string failure(const char* what) const;

    std::string path_;
    std::string temporaryPath_;
    int fd_ = -1;
};
