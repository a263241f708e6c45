#pragma once

#include <string>

// A file that several processes append to at once, such as a record of runs
// shared by the stations of a line. Each append holds an exclusive lock on the
// whole file from the look at its size to the last byte written, so no two
// appends interleave and a header goes only into a file that is still empty.
// No Qt here, so that the Windows build compiles it without a Windows Qt.
class LockedAppendFile
{
public:
    LockedAppendFile() = default;
    ~LockedAppendFile();

    LockedAppendFile(const LockedAppendFile&) = delete;
    LockedAppendFile& operator=(const LockedAppendFile&) = delete;

    // Opens the file at path (UTF-8), creating it when missing. Only a regular
    // file is taken: a FIFO or a device could block or swallow the rows.
    // Returns whether it is open; error says why not.
    bool open(const std::string& path, std::string& error);

    // Appends text, with header before it when the file is empty. Returns
    // whether all of it was written; error says why not.
    bool append(const std::string& header, const std::string& text, std::string& error);

private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};
