#include "session/AppendHandle.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// Between two tries at a lock another program holds.
constexpr std::chrono::milliseconds kLockRetry{20};

int fdOf(std::intptr_t native)
{
    return static_cast<int>(native);
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

AppendHandle::~AppendHandle()
{
    if (native_ >= 0)
        ::close(fdOf(native_)); // releases the lock
}

AppendHandle::Opened AppendHandle::open(const std::string& path, bool create, std::string& error)
{
    // O_NONBLOCK: a FIFO put in the file's place must not hold the program.
    const int flags = O_RDWR | O_APPEND | O_CLOEXEC | O_NONBLOCK | (create ? O_CREAT : 0);
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        if (errno == ENOENT && !create)
            return Opened::Missing;
        error = std::strerror(errno);
        return Opened::Failed;
    }
    native_ = fd;
    struct stat status{};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        error = "not a regular file";
        return Opened::Failed;
    }
    return Opened::Yes;
}

bool AppendHandle::lock(std::chrono::milliseconds wait, std::string& error)
{
    const auto giveUpAt = std::chrono::steady_clock::now() + wait;
    while (flock(fdOf(native_), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK) {
            error = std::strerror(errno);
            return false;
        }
        if (std::chrono::steady_clock::now() >= giveUpAt) {
            error = "another program has held it locked for " + std::to_string(wait.count() / 1000) + " s";
            return false;
        }
        std::this_thread::sleep_for(kLockRetry);
    }
    return true;
}

bool AppendHandle::size(std::uint64_t& size, std::string& error)
{
    struct stat status{};
    if (fstat(fdOf(native_), &status) != 0) {
        error = std::strerror(errno);
        return false;
    }
    size = static_cast<std::uint64_t>(status.st_size);
    return true;
}

std::string AppendHandle::readStart(std::size_t n)
{
    std::string bytes(n, '\0');
    std::size_t got = 0;
    while (got < n) {
        const ssize_t read = pread(fdOf(native_), &bytes[got], n - got, static_cast<off_t>(got));
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0)
            break;
        got += static_cast<std::size_t>(read);
    }
    bytes.resize(got);
    return bytes;
}

bool AppendHandle::write(const std::string& bytes, std::string& error)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fdOf(native_), bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            // A write cut short by a full disk or a size limit says so only
            // on the next try, which is the one that fails.
            error = written < 0 ? std::strerror(errno) : "nothing written";
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool AppendHandle::truncate(std::uint64_t size)
{
    return ftruncate(fdOf(native_), static_cast<off_t>(size)) == 0;
}

bool AppendHandle::isSameFileAs(const std::string& path) const
{
    struct stat mine{};
    struct stat other{};
    return fstat(fdOf(native_), &mine) == 0 && stat(path.c_str(), &other) == 0 && mine.st_dev == other.st_dev
           && mine.st_ino == other.st_ino;
}

bool AppendHandle::folderTakesNewFiles(const std::string& path, std::string& error)
{
    const std::string folder = folderOf(path);
    if (access(folder.c_str(), W_OK | X_OK) == 0)
        return true;
    error = "cannot create it in " + folder + ": " + std::strerror(errno);
    return false;
}
