#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// A whole regular file, read without ever blocking on anything that is not
// one. What differs per operating system; RegularFilePosix.cpp and
// RegularFileWindows.cpp implement it.
struct RegularFileRead
{
    enum class Status { Read, CannotOpen, NotRegular, TooLarge, ShortRead, NoMemory };

    Status status = Status::CannotOpen;
    std::uint64_t size = 0;     // from TooLarge on: the size measured on the open file
    const char* kind = nullptr; // NotRegular: "a directory", "a FIFO (named pipe)", ...
    std::vector<std::uint8_t> bytes;
};

// Opens path for reading without waiting for a writer, and reads the file
// only when that open file is a regular one of at most sizeLimit bytes.
RegularFileRead readRegularFile(const QString& path, std::uint64_t sizeLimit);
