#include "simulator/PseudoTerminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

PseudoTerminal::PseudoTerminal()
{
    create();
}

bool PseudoTerminal::create()
{
    masterFd_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (masterFd_ < 0)
        return fail("cannot create a pseudo-terminal", errno);
    // Programs this process starts have no business with the simulated line.
    if (fcntl(masterFd_, F_SETFD, FD_CLOEXEC) != 0 || grantpt(masterFd_) != 0 || unlockpt(masterFd_) != 0)
        return fail("cannot unlock the pseudo-terminal", errno);
    char name[128];
    if (const int error = ptsname_r(masterFd_, name, sizeof name); error != 0)
        return fail("cannot name the pseudo-terminal's slave side", error);
    slavePath_ = name;

    heldSlaveFd_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tty{};
    if (heldSlaveFd_ < 0 || tcgetattr(heldSlaveFd_, &tty) != 0)
        return fail("cannot open the pseudo-terminal's slave side", errno);
    cfmakeraw(&tty);
    if (tcsetattr(heldSlaveFd_, TCSANOW, &tty) != 0)
        return fail("cannot make the pseudo-terminal raw", errno);
    return true;
}

PseudoTerminal::~PseudoTerminal()
{
    hangUp();
    releaseSlave();
}

void PseudoTerminal::releaseSlave()
{
    if (heldSlaveFd_ >= 0)
        close(heldSlaveFd_);
    heldSlaveFd_ = -1;
}

bool PseudoTerminal::writeAll(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        if (masterFd_ < 0)
            return false;
        const ssize_t written = write(masterFd_, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

void PseudoTerminal::hangUp()
{
    if (masterFd_ >= 0) {
        close(masterFd_);
        masterFd_ = -1;
    }
}

bool PseudoTerminal::fail(const char* what, int errorNumber)
{
    error_ = std::string(what) + ": " + std::strerror(errorNumber);
    slavePath_.clear();
    hangUp();
    return false;
}
