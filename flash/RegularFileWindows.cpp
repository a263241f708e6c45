#include "flash/RegularFile.h"

#include <windows.h>

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

} // namespace

RegularFileRead readRegularFile(const QString& path, std::uint64_t sizeLimit, std::uint64_t readLimit)
{
    // By its wide name, so that any letter of a path can be read. A pipe or a
    // device opens without waiting and is refused by its type.
    const Handle file(CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    RegularFileRead refused;
    LARGE_INTEGER size{};
    if (file.get() == INVALID_HANDLE_VALUE)
        return refused;
    if (GetFileType(file.get()) != FILE_TYPE_DISK) {
        refused.status = RegularFileRead::Status::NotRegular;
        refused.kind = "a device or pipe";
        return refused;
    }
    if (!GetFileSizeEx(file.get(), &size))
        return refused;
    return readWholeFile(static_cast<std::uint64_t>(size.QuadPart), sizeLimit, readLimit,
                         [handle = file.get()](std::uint8_t* buffer, std::size_t n) -> std::size_t {
                             constexpr std::size_t kMaxRequest = 1u << 30;
                             DWORD got = 0;
                             if (!ReadFile(handle, buffer, static_cast<DWORD>(n < kMaxRequest ? n : kMaxRequest), &got,
                                           nullptr))
                                 return 0;
                             return got;
                         });
}
