#include "serialport/posix/WakePipe.h"

#include <fcntl.h>
#include <unistd.h>

WakePipe::WakePipe()
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        readFd_ = fds[0];
        writeFd_ = fds[1];
    }
}

WakePipe::~WakePipe()
{
    if (readFd_ >= 0) {
        close(readFd_);
        close(writeFd_);
    }
}

void WakePipe::signal()
{
    pending_ = true;
    const char byte = 1;
    // A full pipe already holds a pending signal, so a failed write loses nothing.
    [[maybe_unused]] const ssize_t written = write(writeFd_, &byte, 1);
}

void WakePipe::drain()
{
    if (!pending_)
        return;
    pending_ = false;
    char bytes[64];
    while (read(readFd_, bytes, sizeof bytes) > 0) {
    }
}
