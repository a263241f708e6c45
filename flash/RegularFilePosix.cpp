#include "flash/RegularFile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

} // namespace

RegularFileRead readRegularFile(const QString& path, std::uint64_t sizeLimit, std::uint64_t readLimit)
{
    // O_NONBLOCK: opening a FIFO must not wait for a writer. The type is then
    // judged on this descriptor, so a path swapped after a check cannot slip
    // a FIFO or a device in.
    const Descriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat status{};
    RegularFileRead refused;
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0)
        return refused;
    if (!S_ISREG(status.st_mode)) {
        refused.status = RegularFileRead::Status::NotRegular;
        refused.kind = kindOf(status.st_mode);
        return refused;
    }
    return readWholeFile(static_cast<std::uint64_t>(status.st_size), sizeLimit, readLimit,
                         [fd = file.get()](std::uint8_t* buffer, std::size_t n) -> std::size_t {
                             ssize_t got;
                             do {
                                 got = ::read(fd, buffer, n);
                             } while (got < 0 && errno == EINTR);
                             return got > 0 ? static_cast<std::size_t>(got) : 0;
                         });
}
