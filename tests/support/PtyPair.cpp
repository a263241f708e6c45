#include "tests/support/PtyPair.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>

namespace {

[[noreturn]] void die(const char* what)
{
    std::fprintf(stderr, "PtyPair: %s: %s\n", what, std::strerror(errno));
    std::abort();
}

} // namespace

PtyPair::PtyPair()
{
    masterFd_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (masterFd_ < 0 || grantpt(masterFd_) != 0 || unlockpt(masterFd_) != 0)
        die("cannot create a pseudo-terminal");
    char name[128];
    if (ptsname_r(masterFd_, name, sizeof name) != 0)
        die("ptsname_r");
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
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                pollfd fd{masterFd_, POLLOUT, 0};
                poll(&fd, 1, -1);
                continue;
            }
            die("write to the master side");
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
}

std::vector<std::uint8_t> PtyPair::read(std::size_t count, std::chrono::milliseconds timeout)
{
    std::vector<std::uint8_t> bytes;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (bytes.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd fd{masterFd_, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left.count())) <= 0)
            continue;
        std::uint8_t chunk[4096];
        const std::size_t wanted = std::min(sizeof chunk, count - bytes.size());
        const ssize_t n = ::read(masterFd_, chunk, wanted);
        if (n <= 0) {
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            break; // the slave side is closed
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
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
