#pragma once

// A self-pipe that lets one thread cut another's poll() short: the waiter
// polls readFd() beside its device, another thread calls signal(). Callers
// serialise signal() and drain() (they hold their device's lock), which lets
// drain() skip the pipe when nothing was signalled.
class WakePipe
{
public:
    WakePipe();
    ~WakePipe();

    WakePipe(const WakePipe&) = delete;
    WakePipe& operator=(const WakePipe&) = delete;

    bool isValid() const { return readFd_ >= 0; }
    int readFd() const { return readFd_; }
    void signal();
    // Consumes every pending signal.
    void drain();

private:
    int readFd_ = -1;
    int writeFd_ = -1;
    bool pending_ = false;
};
