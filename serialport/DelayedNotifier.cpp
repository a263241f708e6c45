#include "serialport/DelayedNotifier.h"

#include "serialport/TextField.h"

#include <chrono>
#include <system_error>

DelayedNotifier::~DelayedNotifier()
{
    stop();
    if (thread_.joinable())
        thread_.join();
}

void DelayedNotifier::arm(unsigned int delayMs, const char* portName, unsigned int readBufferLen,
                          kavrio::CSerialPortListener* listener)
{
    stop();
    std::unique_lock<std::mutex> guard(mutex_);
    delayMs_ = delayMs;
    copyTextField(portName_, portName);
    readBufferLen_ = readBufferLen;
    listener_ = listener;

    // The previous timer thread has cleared running_ and is at most returning.
    if (thread_.joinable())
        thread_.join();
    running_ = true;
    try {
        thread_ = std::thread(&DelayedNotifier::timerMain, this);
    } catch (const std::system_error&) {
        running_ = false;
    }
}

void DelayedNotifier::stop()
{
    std::unique_lock<std::mutex> guard(mutex_);
    if (!running_ || stopping_)
        return;
    stopping_ = true;
    wake_.notify_one();
    finished_.wait(guard, [this] { return !running_; });
    stopping_ = false;
}

void DelayedNotifier::timerMain()
{
    std::unique_lock<std::mutex> guard(mutex_);
    // The deadline is kept on the steady clock so that a change of the wall
    // clock neither shortens nor stretches the quiet time.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs_);
    wake_.wait_until(guard, deadline, [this] { return stopping_; });

    if (!stopping_) {
        char portName[sizeof portName_];
        copyTextField(portName, portName_);
        const unsigned int readBufferLen = readBufferLen_;
        kavrio::CSerialPortListener* const listener = listener_;
        guard.unlock();
        listener->onReadEvent(portName, readBufferLen);
        guard.lock();
    }
    running_ = false;
    finished_.notify_all();
}
