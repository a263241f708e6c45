// The limit: read() straight from the slave, nothing in between.
#include "bench/ThroughputReceiver.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

class ReadLoopReceiver final : public ThroughputReceiver
{
public:
    using ThroughputReceiver::ThroughputReceiver;

    ~ReadLoopReceiver() override
    {
        if (fd_ >= 0)
            close(fd_);
    }

    bool open(const std::string& slavePath, std::string& whyNot) override
    {
        fd_ = ::open(slavePath.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
        termios tty{};
        if (fd_ < 0 || tcgetattr(fd_, &tty) != 0) {
            whyNot = std::strerror(errno);
            return false;
        }
        // Raw, and VMIN 0 with VTIME: a read that returns whatever is there
        // but gives up after the stall limit, so the limit costs one system
        // call per chunk.
        cfmakeraw(&tty);
        cfsetspeed(&tty, B115200);
        tty.c_cflag &= ~(CSTOPB | CRTSCTS);
        tty.c_cc[VMIN] = 0;
        tty.c_cc[VTIME] = static_cast<cc_t>(kStallLimit.count() * 10);
        if (tcsetattr(fd_, TCSANOW, &tty) != 0) {
            whyNot = std::strerror(errno);
            return false;
        }
        return true;
    }

    void receive() override
    {
        char bytes[kReadSize];
        while (!check_.done()) {
            const ssize_t got = read(fd_, bytes, sizeof bytes);
            if (got <= 0)
                return;
            check_.take(bytes, static_cast<std::size_t>(got));
        }
    }

private:
    int fd_ = -1;
};

} // namespace

std::unique_ptr<ThroughputReceiver> makeReadLoopReceiver(StreamCheck& check)
{
    return std::make_unique<ReadLoopReceiver>(check);
}
