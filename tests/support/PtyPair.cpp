#include "tests/support/PtyPair.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

PtyPair::PtyPair()
{
    masterFd_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (masterFd_ < 0 || grantpt(masterFd_) != 0 || unlockpt(masterFd_) != 0 || ptsname_r(masterFd_, name, sizeof name) != 0) {
        std::perror("PtyPair: cannot create a pseudo-terminal");
        std::abort();
    }
    slavePath_ = name;
    // A raw slave from the start: with the default line discipline the pty
    // would echo and translate before the code under test configures it.
    const int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tty{};
    tcgetattr(slave, &tty);
    cfmakeraw(&tty);
    tcsetattr(slave, TCSANOW, &tty);
    close(slave);
}

PtyPair::~PtyPair()
{
    closeMaster();
}

void PtyPair::write(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        pollfd master{masterFd_, POLLOUT, 0};
        const ssize_t n = poll(&master, 1, -1) > 0 ? ::write(masterFd_, bytes, size) : -1;
        if (n > 0) {
            bytes += n;
            size -= static_cast<std::size_t>(n);
        } else if (errno != EINTR && errno != EAGAIN) {
            std::perror("PtyPair: write to the master side");
            std::abort();
        }
    }
}

std::vector<std::uint8_t> PtyPair::read(std::size_t count, std::chrono::milliseconds timeout)
{
    std::vector<std::uint8_t> bytes;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
        pollfd master{masterFd_, POLLIN, 0};
        if (poll(&master, 1, 10) <= 0)
            continue;
        std::uint8_t chunk[4096];
        const ssize_t n = ::read(masterFd_, chunk, std::min(sizeof chunk, count - bytes.size()));
        if (n > 0)
            bytes.insert(bytes.end(), chunk, chunk + n);
        else if (n == 0 || (errno != EINTR && errno != EAGAIN))
            break; // the slave side is closed
    }
    return bytes;
}

void PtyPair::closeMaster()
{
    if (masterFd_ >= 0)
        close(masterFd_);
    masterFd_ = -1;
}
