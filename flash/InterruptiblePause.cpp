#include "flash/InterruptiblePause.h"

#include <chrono>

void InterruptiblePause::sleep(unsigned int milliseconds)
{
    std::unique_lock<std::mutex> guard(mutex_);
    cutChanged_.wait_for(guard, std::chrono::milliseconds(milliseconds), [this] { return cut_; });
}

void InterruptiblePause::cut()
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        cut_ = true;
    }
    cutChanged_.notify_all();
}

void InterruptiblePause::restore()
{
    std::lock_guard<std::mutex> guard(mutex_);
    cut_ = false;
}
