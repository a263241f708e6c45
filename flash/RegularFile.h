#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
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
// only when that open file is a regular one of at most sizeLimit bytes: all
// of it, or its first readLimit bytes when it is longer. Implemented per
// operating system.
RegularFileRead readRegularFile(const QString& path, std::uint64_t sizeLimit,
                                std::uint64_t readLimit = UINT64_MAX);

// Reads an open regular file of the given size, or its first readLimit
// bytes: readSome reads at most n bytes into its buffer and returns how many,
// 0 at the end or on an error. What the per-system readers share.
RegularFileRead readWholeFile(std::uint64_t size, std::uint64_t sizeLimit, std::uint64_t readLimit,
                              const std::function<std::size_t(std::uint8_t* buffer, std::size_t n)>& readSome);
