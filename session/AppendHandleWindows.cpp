#include "session/AppendHandle.h"

#include <windows.h>

#include <vector>

namespace {

// Between two tries at a lock another program holds.
constexpr DWORD kLockRetryMs = 20;

HANDLE handleOf(std::intptr_t native)
{
    return reinterpret_cast<HANDLE>(native);
}

std::string windowsErrorText(DWORD code)
{
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        text, sizeof text, nullptr);
    std::string result(text, length);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' '))
        result.pop_back();
    return result.empty() ? "Windows error " + std::to_string(code) : result;
}

std::wstring widened(const std::string& utf8)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::vector<wchar_t> wide(static_cast<std::size_t>(length));
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), length);
    return std::wstring(wide.data());
}

bool identityOf(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info)
{
    return GetFileInformationByHandle(handle, &info) != 0;
}

} // namespace

AppendHandle::~AppendHandle()
{
    if (native_ != -1)
        CloseHandle(handleOf(native_)); // releases the lock
}

AppendHandle::Opened AppendHandle::open(const std::string& path, bool create, std::string& error)
{
    // A pipe or a device opens without waiting and is refused by its type.
    const HANDLE handle = CreateFileW(widened(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (!create && (code == ERROR_FILE_NOT_FOUND))
            return Opened::Missing;
        error = windowsErrorText(code);
        return Opened::Failed;
    }
    native_ = reinterpret_cast<std::intptr_t>(handle);
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        error = "not a regular file";
        return Opened::Failed;
    }
    return Opened::Yes;
}

bool AppendHandle::lock(std::chrono::milliseconds wait, std::string& error)
{
    const ULONGLONG giveUpAt = GetTickCount64() + static_cast<ULONGLONG>(wait.count());
    for (;;) {
        OVERLAPPED whole = {};
        if (LockFileEx(handleOf(native_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                       &whole))
            return true;
        const DWORD code = GetLastError();
        if (code != ERROR_LOCK_VIOLATION) {
            error = windowsErrorText(code);
            return false;
        }
        if (GetTickCount64() >= giveUpAt) {
            error = "another program has held it locked for " + std::to_string(wait.count() / 1000) + " s";
            return false;
        }
        Sleep(kLockRetryMs);
    }
}

bool AppendHandle::size(std::uint64_t& size, std::string& error)
{
    LARGE_INTEGER length = {};
    if (!GetFileSizeEx(handleOf(native_), &length)) {
        error = windowsErrorText(GetLastError());
        return false;
    }
    size = static_cast<std::uint64_t>(length.QuadPart);
    return true;
}

std::string AppendHandle::readStart(std::size_t n)
{
    std::string bytes(n, '\0');
    OVERLAPPED atStart = {};
    DWORD got = 0;
    if (n == 0 || !ReadFile(handleOf(native_), &bytes[0], static_cast<DWORD>(n), &got, &atStart))
        got = 0;
    bytes.resize(got);
    return bytes;
}

bool AppendHandle::write(const std::string& bytes, std::string& error)
{
    LARGE_INTEGER end = {};
    if (!SetFilePointerEx(handleOf(native_), LARGE_INTEGER{}, &end, FILE_END)) {
        error = windowsErrorText(GetLastError());
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(handleOf(native_), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                       nullptr)) {
            error = windowsErrorText(GetLastError());
            return false;
        }
        done += written;
    }
    return true;
}

bool AppendHandle::truncate(std::uint64_t size)
{
    LARGE_INTEGER position = {};
    position.QuadPart = static_cast<LONGLONG>(size);
    return SetFilePointerEx(handleOf(native_), position, nullptr, FILE_BEGIN) && SetEndOfFile(handleOf(native_));
}

bool AppendHandle::isSameFileAs(const std::string& path) const
{
    const HANDLE other = CreateFileW(widened(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (other == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION mine = {};
    BY_HANDLE_FILE_INFORMATION theirs = {};
    const bool same = identityOf(handleOf(native_), mine) && identityOf(other, theirs)
                      && mine.dwVolumeSerialNumber == theirs.dwVolumeSerialNumber
                      && mine.nFileIndexHigh == theirs.nFileIndexHigh && mine.nFileIndexLow == theirs.nFileIndexLow;
    CloseHandle(other);
    return same;
}

bool AppendHandle::folderTakesNewFiles(const std::string& path, std::string& error)
{
    const std::size_t separator = path.find_last_of("\\/");
    const std::string folder = separator == std::string::npos ? "." : path.substr(0, separator + 1);
    const DWORD attributes = GetFileAttributesW(widened(folder).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return true;
    error = "cannot create it in " + folder + ": no such folder";
    return false;
}
