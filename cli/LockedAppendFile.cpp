#include "cli/LockedAppendFile.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>

namespace {

std::string windowsErrorText(DWORD code)
{
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, sizeof text, nullptr);
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

bool writeAll(HANDLE handle, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD written = 0;
        if (!WriteFile(handle, text.data() + done, static_cast<DWORD>(text.size() - done), &written, nullptr))
            return false;
        done += written;
    }
    return true;
}

} // namespace

LockedAppendFile::~LockedAppendFile()
{
    if (handle_)
        CloseHandle(handle_);
}

bool LockedAppendFile::open(const std::string& path, std::string& error)
{
    // Append access only: every write lands at the end, whoever wrote last.
    const HANDLE handle = CreateFileW(widened(path).c_str(), GENERIC_READ | FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = windowsErrorText(GetLastError());
        return false;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        error = "not a regular file";
        return false;
    }
    handle_ = handle;
    return true;
}

bool LockedAppendFile::append(const std::string& header, const std::string& text, std::string& error)
{
    OVERLAPPED whole = {};
    if (!LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        error = windowsErrorText(GetLastError());
        return false;
    }
    LARGE_INTEGER size = {};
    const bool written = GetFileSizeEx(handle_, &size)
                         && (size.QuadPart != 0 || writeAll(handle_, header)) && writeAll(handle_, text);
    if (!written)
        error = windowsErrorText(GetLastError());
    UnlockFileEx(handle_, 0, MAXDWORD, MAXDWORD, &whole);
    return written;
}

#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool writeAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

int lockRetryingOnSignal(int fd, int operation)
{
    int result;
    do {
        result = flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    return result;
}

} // namespace

LockedAppendFile::~LockedAppendFile()
{
    if (fd_ >= 0)
        close(fd_);
}

bool LockedAppendFile::open(const std::string& path, std::string& error)
{
    struct stat status{};
    if (stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        error = "not a regular file";
        return false;
    }
    // Non-blocking, so that a FIFO put in the file's place meanwhile cannot
    // hold the program before any run has started.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        error = "not a regular file";
        return false;
    }
    fd_ = fd;
    return true;
}

bool LockedAppendFile::append(const std::string& header, const std::string& text, std::string& error)
{
    if (lockRetryingOnSignal(fd_, LOCK_EX) != 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat status{};
    const bool written = fstat(fd_, &status) == 0 && (status.st_size != 0 || writeAll(fd_, header))
                         && writeAll(fd_, text);
    if (!written)
        error = std::strerror(errno);
    lockRetryingOnSignal(fd_, LOCK_UN);
    return written;
}

#endif
