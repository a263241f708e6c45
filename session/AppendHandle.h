#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// One open file that rows are appended to: what differs per operating system
// under LockedAppendFile (AppendHandlePosix.cpp, AppendHandleWindows.cpp).
// Closed, and its lock released, on destruction. One thread at a time.
class AppendHandle
{
public:
    enum class Opened { Yes, Missing, Failed };

    AppendHandle() = default;
    ~AppendHandle();
    AppendHandle(const AppendHandle&) = delete;
    AppendHandle& operator=(const AppendHandle&) = delete;

    // Opens the file at path (UTF-8) for reading and appending, creating it
    // when `create` is set. Only a regular file is taken, judged on the open
    // file, and opening never waits for a FIFO's writer. error says why not
    // (Failed); Missing when it does not exist and was not to be created.
    Opened open(const std::string& path, bool create, std::string& error);

    // The exclusive lock on the whole file, waiting at most `wait` for
    // other holders.
    bool lock(std::chrono::milliseconds wait, std::string& error);
    bool size(std::uint64_t& size, std::string& error);
    // At most n bytes from the file's start.
    std::string readStart(std::size_t n);
    // All of bytes at the end of the file.
    bool write(const std::string& bytes, std::string& error);
    bool truncate(std::uint64_t size);
    // Whether path names this very file (not by name: by identity).
    bool isSameFileAs(const std::string& path) const;

    // Whether a file may be created at path: its folder exists and takes new files.
    static bool folderTakesNewFiles(const std::string& path, std::string& error);

private:
    std::intptr_t native_ = -1; // a descriptor, or a HANDLE
};
