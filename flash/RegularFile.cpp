#include "flash/RegularFile.h"

#include <algorithm>
#include <new>

RegularFileRead readWholeFile(std::uint64_t size, std::uint64_t sizeLimit, std::uint64_t readLimit,
                              const std::function<std::size_t(std::uint8_t* buffer, std::size_t n)>& readSome)
{
    RegularFileRead result;
    result.size = size;
    if (size > sizeLimit) {
        result.status = RegularFileRead::Status::TooLarge;
        return result;
    }
    try {
        result.bytes.resize(static_cast<std::size_t>(std::min(size, readLimit)));
    } catch (const std::bad_alloc&) {
        result.status = RegularFileRead::Status::NoMemory;
        return result;
    }
    std::size_t got = 0;
    while (got < result.bytes.size()) {
        const std::size_t n = readSome(result.bytes.data() + got, result.bytes.size() - got);
        if (n == 0)
            break;
        got += n;
    }
    // A file that shrank after it was measured is never taken in part.
    result.status = got == result.bytes.size() ? RegularFileRead::Status::Read : RegularFileRead::Status::ShortRead;
    result.bytes.resize(got);
    return result;
}
