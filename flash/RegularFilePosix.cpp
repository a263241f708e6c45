#include "flash/RegularFile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

namespace {

const char* kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISFIFO(mode))
        return "a FIFO (named pipe)";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

// Closes the descriptor on every way out.
class Descriptor
{
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }

private:
    int fd_;
};

// Reads up to bytes.size() bytes; fewer when the file ends sooner.
std::size_t readUpTo(int fd, std::vector<std::uint8_t>& bytes)
{
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

} // namespace

RegularFileRead readRegularFile(const QString& path, std::uint64_t sizeLimit)
{
    RegularFileRead result;
    // O_NONBLOCK: opening a FIFO must not wait for a writer. The type is then
    // judged on this descriptor, so a path swapped after a check cannot slip
    // a FIFO or a device in.
    const Descriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat status{};
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0)
        return result;
    if (!S_ISREG(status.st_mode)) {
        result.status = RegularFileRead::Status::NotRegular;
        result.kind = kindOf(status.st_mode);
        return result;
    }
    result.size = static_cast<std::uint64_t>(status.st_size);
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
