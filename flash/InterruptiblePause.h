#pragma once

#include <condition_variable>
#include <mutex>

// The pauses of a flash run, which a cancelled run must not wait out: cut()
// ends the pause in progress and every later one until restore(). A cut that
// comes just before a pause begins still holds, so no pause is missed.
class InterruptiblePause
{
public:
    void sleep(unsigned int milliseconds);
    void cut();
    void restore();

private:
    std::mutex mutex_;
    std::condition_variable cutChanged_;
    bool cut_ = false;
};
