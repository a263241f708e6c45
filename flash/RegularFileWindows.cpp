#include "flash/RegularFile.h"

#include <windows.h>

#include <new>

namespace {

// Closes the handle on every way out.
class Handle
{
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

// Reads up to bytes.size() bytes; fewer when the file ends sooner.
std::size_t readUpTo(HANDLE file, std::vector<std::uint8_t>& bytes)
{
    constexpr std::size_t kMaxRequest = 1u << 30;
    std::size_t got = 0;
    while (got < bytes.size()) {
        const std::size_t wanted = bytes.size() - got < kMaxRequest ? bytes.size() - got : kMaxRequest;
        DWORD n = 0;
        if (!ReadFile(file, bytes.data() + got, static_cast<DWORD>(wanted), &n, nullptr) || n == 0)
            break;
        got += n;
    }
    return got;
}

} // namespace

RegularFileRead readRegularFile(const QString& path, std::uint64_t sizeLimit)
{
    RegularFileRead result;
    // By its wide name, so that any letter of a path can be read. A pipe or a
    // device opens without waiting and is refused by its type.
    const Handle file(CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        return result;
    if (GetFileType(file.get()) != FILE_TYPE_DISK) {
        result.status = RegularFileRead::Status::NotRegular;
        result.kind = "a device or pipe";
        return result;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        return result;
    result.size = static_cast<std::uint64_t>(size.QuadPart);
    if (result.size > sizeLimit) {
        result.status = RegularFileRead::Status::TooLarge;
        return result;
    }
    try {
        result.bytes.resize(static_cast<std::size_t>(result.size));
    } catch (const std::bad_alloc&) {
        result.status = RegularFileRead::Status::NoMemory;
        return result;
    }
    const std::size_t got = readUpTo(file.get(), result.bytes);
    result.status = got == result.bytes.size() ? RegularFileRead::Status::Read : RegularFileRead::Status::ShortRead;
    result.bytes.resize(got);
    return result;
}
