#include "simulator/command/ImageFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

std::string cannot(const char* what, const std::string& path, const std::string& why)
{
    return std::string("cannot ") + what + " " + path + ": " + why;
}

bool sameFile(const struct stat& one, const struct stat& other)
{
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

} // namespace

std::string readImageFile(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return cannot("read", path, std::strerror(errno));
    struct stat info{};
    std::string problem;
    if (fstat(fd, &info) != 0)
        problem = cannot("read", path, std::strerror(errno));
    else if (!S_ISREG(info.st_mode))
        problem = cannot("read", path, "not a regular file");
    std::uint8_t chunk[65536];
    ssize_t n = 0;
    while (problem.empty() && (n = read(fd, chunk, sizeof chunk)) != 0) {
        if (n > 0)
            bytes.insert(bytes.end(), chunk, chunk + n);
        else if (errno != EINTR)
            problem = cannot("read", path, std::strerror(errno));
    }
    close(fd);
    return problem;
}

ImageOutFile::~ImageOutFile()
{
    if (fd_ >= 0)
        close(fd_);
    if (!temporaryPath_.empty())
        unlink(temporaryPath_.c_str());
}

std::string ImageOutFile::open(const std::string& path, const std::string& keepPath)
{
    path_ = path;
    struct stat target{};
    if (stat(path.c_str(), &target) == 0) {
        struct stat kept{};
        if (!keepPath.empty() && stat(keepPath.c_str(), &kept) == 0 && sameFile(target, kept))
            return cannot("write", path, "it is the image to compare with, " + keepPath);
        if (!S_ISREG(target.st_mode))
            return cannot("write", path, "not a regular file");
    } else if (errno != ENOENT) {
        return failure("write");
    }

    const std::size_t slash = path.rfind('/');
    const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    std::string pattern = path.substr(0, nameAt) + "." + path.substr(nameAt) + ".XXXXXX";
    fd_ = mkstemp(pattern.data());
    if (fd_ < 0)
        return failure("write");
    temporaryPath_ = pattern;
    // mkstemp makes the file private; the image gets what a new file gets.
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd_, 0666 & ~mask) != 0 || fcntl(fd_, F_SETFD, FD_CLOEXEC) != 0)
        return failure("write");
    return {};
}

std::string ImageOutFile::commit(const std::vector<std::uint8_t>& image)
{
    std::size_t written = 0;
    while (written < image.size()) {
        const ssize_t n = write(fd_, image.data() + written, image.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failure("write");
        }
        written += static_cast<std::size_t>(n);
    }
    if (fsync(fd_) != 0)
        return failure("write");
    if (close(std::exchange(fd_, -1)) != 0 || rename(temporaryPath_.c_str(), path_.c_str()) != 0)
        return failure("write");
    temporaryPath_.clear();
    return {};
}

std::string ImageOutFile::failure(const char* what) const
{
    return cannot(what, path_, std::strerror(errno));
}
