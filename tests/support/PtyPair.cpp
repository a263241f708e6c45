#include "tests/support/PtyPair.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void die(const char* what)
{
    std::fprintf(stderr, "PtyPair: %s: %s\n", what, std::strerror(errno));
    std::abort();
}

// Waits up to timeoutMs (-1: without limit) until the master can be read or
// written; false if it cannot yet.
bool waitForMaster(int fd, short events, int timeoutMs)
{
    pollfd master{fd, events, 0};
    return poll(&master, 1, timeoutMs) > 0;
}

} // namespace

PtyPair::PtyPair()
{
    masterFd_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (masterFd_ < 0 || grantpt(masterFd_) != 0 || unlockpt(masterFd_) != 0 || ptsname_r(masterFd_, name, sizeof name) != 0)
        die("cannot create a pseudo-terminal");
    slavePath_ = name;

    // A raw slave from the start: with the default line discipline the pty
    // would echo and translate before the code under test configures it.
    const int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        die("cannot open the slave side");
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
        const ssize_t n = ::write(masterFd_, bytes, size);
        if (n > 0) {
            bytes += n;
            size -= static_cast<std::size_t>(n);
        } else if (errno == EAGAIN) {
            waitForMaster(masterFd_, POLLOUT, -1);
        } else if (errno != EINTR) {
            die("write to the master side");
        }
    }
}

std::vector<std::uint8_t> PtyPair::read(std::size_t count, std::chrono::milliseconds timeout)
{
    std::vector<std::uint8_t> bytes;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (bytes.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        if (!waitForMaster(masterFd_, POLLIN, static_cast<int>(left.count())))
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
    if (masterFd_ >= 0) {
        close(masterFd_);
        masterFd_ = -1;
    }
}
